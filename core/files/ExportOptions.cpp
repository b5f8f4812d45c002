#include "core/files/ExportOptions.h"

#include "core/grid/SortGridData.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace {

// After the rename the folder entry must reach the disk too, or a power cut can lose the file.
void SyncFolder(const QString& fileName) {
    const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

QString CreateFailureReason(const QString& fileName, const QSaveFile& file) {
    const QFileInfo info(fileName);
    const QFileInfo dir(info.absolutePath());
    if (!dir.exists())
        return QStringLiteral("Der Ordner existiert nicht.");
    if (!dir.isWritable())
        return QStringLiteral("Keine Schreibberechtigung im Ordner.");
    if (info.isDir())
        return QStringLiteral("Das ist ein Ordner.");
    return file.errorString();
}

} // namespace

QList<int> VisibleColumns(const SortGridData& grid, const ExportOptions& options, bool withLast) {
    QList<int> columns;
    const int count = withLast ? grid.ColCount() : grid.ColCount() - 1;
    for (int c = 0; c < count; ++c)
        if (options.colWidths.value(c, 0) >= 0)
            columns << c;
    return columns;
}

QString ExportErrorText(const QString& fileName, const QString& reason) {
    QString text = QStringLiteral("Der Schreibfehler der Datei: ") + QDir::toNativeSeparators(fileName);
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    return text;
}

bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes, QString* error) {
    QSaveFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = ExportErrorText(fileName, CreateFailureReason(fileName, file));
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = ExportErrorText(fileName, file.errorString());
        file.cancelWriting();
        return false;
    }
    SyncFolder(fileName);
    return true;
}
