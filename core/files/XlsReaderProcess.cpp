#include "core/files/XlsReaderProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace {

const QString kProgramName = QStringLiteral("kadenzor-xls-reader");

bool IsProgram(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

XlsReaderProcess::~XlsReaderProcess() {
    Stop();
}

void XlsReaderProcess::Stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(-1);
}

QString XlsReaderProcess::Program() {
    // /proc/self/exe: also without a QCoreApplication (core tools, the fuzzers).
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!self.isEmpty()) {
        const QString beside = QFileInfo(self).dir().filePath(kProgramName);
        if (IsProgram(beside))
            return beside;
    }
#ifdef KADENZOR_XLS_READER_BUILD_PATH
    const QString built = QStringLiteral(KADENZOR_XLS_READER_BUILD_PATH);
    if (IsProgram(built))
        return built;
#endif
    return QString();
}

bool XlsReaderProcess::Run(const QString& program, const QStringList& arguments, int timeoutMs, qint64 maxBytes,
                           QByteArray& output) {
    Stop();
    output.clear();
    m_process.setProgram(program);
    m_process.setArguments(arguments);
    m_process.setStandardInputFile(QProcess::nullDevice());
    // The library's complaints are no message for the operator.
    m_process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    m_process.start(QIODevice::ReadOnly);
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    while (m_process.state() != QProcess::NotRunning) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0) {
            Stop();
            return false;
        }
        const int slice = static_cast<int>(qMin<qint64>(left, 1000));
        if (!m_process.waitForReadyRead(slice) && m_process.state() != QProcess::NotRunning)
            m_process.waitForFinished(slice); // output closed, the child not yet gone
        output += m_process.readAllStandardOutput();
        if (output.size() > maxBytes) {
            Stop();
            return false;
        }
    }
    output += m_process.readAllStandardOutput();
    return output.size() <= maxBytes && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}
