#pragma once

// Read-only access to a zip archive held in memory (an .xlsx workbook, a Word
// template). One limit holds for everything unpacked from the archive, counted on
// what really comes out, so a small archive that unpacks to gigabytes is refused
// instead of filling the memory.

#include <QByteArray>
#include <QString>

struct zip;

class ZipReader {
public:
    enum class Status { Ok, NotZip, Missing, Unpack, TooLarge };

    explicit ZipReader(qint64 limit);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // `data` must stay alive and unchanged while the reader is used.
    bool Open(const QByteArray& data);
    int Count() const;
    QString Name(int index) const;
    bool Has(const QString& name) const; // the case of the name does not count
    bool Read(const QString& name, QByteArray& out);
    bool ReadAt(int index, QByteArray& out);

    // Why the last call failed; for NotZip the library's own words are in Detail().
    Status LastStatus() const { return m_status; }
    QString Detail() const { return m_detail; }

private:
    bool Fail(Status status);
    qint64 Locate(const QString& name) const;

    struct zip* m_zip = nullptr;
    qint64 m_limit = 0;
    qint64 m_total = 0;
    Status m_status = Status::Ok;
    QString m_detail;
};
