#include "core/files/ExportOptions.h"

#include "core/base/WriteFailure.h"

#include "core/grid/SortGridData.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
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
    return WriteFailureText(fileName, reason);
}

bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes, QString* error) {
    QSaveFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::WriteOnly)) {
        const int errorNumber = errno;
        if (error)
            *error = WriteFailureText(fileName, errorNumber);
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const int errorNumber = errno;
        if (error)
            *error = WriteFailureText(fileName, errorNumber);
        file.cancelWriting();
        return false;
    }
    SyncFolder(fileName);
    return true;
}
