#include "core/race/Journal.h"

#include "core/base/FolderSync.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString JournalFileName(const QString& folder) {
    return folder + QStringLiteral("Kadenzor-Journal.txt");
}

Journal::~Journal() {
    Close();
}

void Journal::SetFolder(const QString& folder) {
    if (folder == m_folder)
        return;
    Close();
    m_folder = folder;
}

QString Journal::FileName() const {
    return JournalFileName(m_folder);
}

void Journal::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool Journal::Open() {
    if (m_fd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(FileName());
    // O_APPEND: every write lands at the end, whatever else holds the file open.
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_error = QStringLiteral("%1 lässt sich nicht öffnen (%2).")
                      .arg(FileName(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        m_error = QStringLiteral("%1 lässt sich nicht prüfen (%2).")
                      .arg(FileName(), QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_needsLineEnd = false;
    if (st.st_size == 0) {
        if (!WriteAll(JournalHeaderLine())) {
            Close();
            return false;
        }
        // The new file's name must survive a power cut as well as its lines.
        SyncFolderOf(FileName());
    } else {
        // A line cut by a power cut stays as it is; the next one starts on its own line.
        char last = 0;
        const int reader = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (reader >= 0) {
            if (::pread(reader, &last, 1, st.st_size - 1) == 1 && last != '\n')
                m_needsLineEnd = true;
            ::close(reader);
        }
    }
    return true;
}

bool Journal::WriteAll(const QByteArray& bytes) {
    const ssize_t n = ::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    if (n != bytes.size()) {
        const int error = n < 0 ? errno : ENOSPC;
        m_error = QStringLiteral("%1 lässt sich nicht schreiben (%2).")
                      .arg(FileName(), QString::fromLocal8Bit(std::strerror(error)));
        if (n != 0)
            m_needsLineEnd = true;
        return false;
    }
    if (::fdatasync(m_fd) != 0) {
        m_error = QStringLiteral("%1 lässt sich nicht auf die Platte bringen (%2).")
                      .arg(FileName(), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

bool Journal::Append(const JournalEntry& entry) {
    return Append(QList<JournalEntry>{entry});
}

bool Journal::Append(const QList<JournalEntry>& entries) {
    // A folder removed under the open file would swallow the lines: the file must still have its name.
    struct stat st {};
    if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || st.st_nlink == 0))
        Close();
    if (!Open())
        return false;
    QByteArray bytes;
    for (const JournalEntry& entry : entries)
        bytes += FormatJournalLine(entry);
    if (m_needsLineEnd)
        bytes.prepend("\r\n");
    if (!WriteAll(bytes)) {
        // Opened afresh next time: the folder may be back, or another disk.
        Close();
        return false;
    }
    m_needsLineEnd = false;
    return true;
}
