#include "core/race/Backups.h"

#include "core/base/FolderSync.h"
#include "core/files/GridTextFile.h"
#include "core/grid/GridCopy.h"
#include "core/race/RunState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

template <typename Grid>
bool WriteBoth(const QString& folder, const Grid& protocol, const Grid& finish, QString& error) {
    QString protocolError;
    QString finishError;
    const bool protocolOk = WriteGridText(protocol, ProtocolBackupName(folder), &protocolError);
    const bool finishOk = WriteGridText(finish, FinishBackupName(folder), &finishError);
    error = !protocolOk ? protocolError : finishError;
    return protocolOk && finishOk;
}

} // namespace

bool Backups::WriteBackups(const SortGridData& protocol, const SortGridData& finish, QString& error) const {
    return WriteBoth(m_folder, protocol, finish, error);
}

bool Backups::WriteBackups(const GridCopy& protocol, const GridCopy& finish, QString& error) const {
    return WriteBoth(m_folder, protocol, finish, error);
}

namespace {
const QLatin1String kMassStart("Massenstart=");
const QLatin1String kFirstFinish("ErsterZieleinlauf=");
} // namespace

QString RunStateBackupName(const QString& folder) {
    return folder + QStringLiteral("Kadenzor") + QStringLiteral("-Sicherungsdatei-L.txt");
}

bool Backups::WriteRunState(const RunState& state, QString& error) const {
    QByteArray text;
    if (!state.massStartClock.isEmpty())
        text += (kMassStart + state.massStartClock).toLatin1() + "\r\n";
    if (!state.firstFinishClock.isEmpty())
        text += (kFirstFinish + state.firstFinishClock).toLatin1() + "\r\n";
    const QString name = RunStateBackupName(m_folder);
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = QStringLiteral("%1 lässt sich nicht schreiben (%2).").arg(name, file.errorString());
        file.cancelWriting();
        return false;
    }
    SyncFolderOf(name);
    return true;
}

void Backups::ReadRunState(RunState& state) const {
    QFile file(RunStateBackupName(m_folder));
    if (!file.open(QIODevice::ReadOnly))
        return;
    // Clock texts only (" 9:05:03,07"): anything else in the file is ignored.
    static const QRegularExpression clockText(QStringLiteral("^[ 0-9][0-9]:[0-5][0-9]:[0-5][0-9],[0-9][0-9]$"));
    const QList<QByteArray> lines = file.read(4096).split('\n');
    for (QByteArray line : lines) {
        const QString text = QString::fromLatin1(line.replace('\r', QByteArray()));
        for (const auto& [key, target] :
             {std::pair{kMassStart, &state.massStartClock}, std::pair{kFirstFinish, &state.firstFinishClock}}) {
            const QString value = text.mid(key.size());
            if (text.startsWith(key) && clockText.match(value).hasMatch())
                *target = value;
        }
    }
}

bool BackupLooksIntact(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return false;
    while (!file.atEnd())
        if (file.read(64 * 1024).contains('\0'))
            return false;
    return true;
}

QString DefaultBackupFolder(const QString& programFolder) {
    const QFileInfo info(programFolder);
    if (!programFolder.isEmpty() && info.isDir() && info.isWritable())
        return programFolder;
    QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    if (!data.endsWith(QLatin1Char('/')))
        data += QLatin1Char('/');
    return data;
}
