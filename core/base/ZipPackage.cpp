#include "core/base/ZipPackage.h"

#include "core/base/ZipReader.h"

#include <QFile>

#include <zip.h>

#include <memory>

namespace {

// Largest template taken into memory.
constexpr qint64 kMaxArchive = 64 * 1024 * 1024;

struct SourceFree {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};
using SourcePtr = std::unique_ptr<zip_source_t, SourceFree>;

void SetError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

QString ZipErrorText(zip_error_t* e) {
    return QString::fromLocal8Bit(zip_error_strerror(e));
}

} // namespace

bool ZipPackage::Load(const QString& fileName, QString* error) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        SetError(error, file.errorString());
        return false;
    }
    if (file.size() > kMaxArchive) {
        SetError(error, QStringLiteral("Die Vorlage ist zu groß."));
        return false;
    }
    const QByteArray data = file.readAll();
    ZipReader archive(kMaxArchive);
    if (!archive.Open(data)) {
        SetError(error, QStringLiteral("Die Datei ist kein Zip-Archiv (%1).").arg(archive.Detail()));
        return false;
    }
    QList<std::pair<QString, QByteArray>> entries;
    for (int i = 0; i < archive.Count(); ++i) {
        QByteArray bytes;
        if (!archive.ReadAt(i, bytes)) {
            SetError(error, archive.LastStatus() == ZipReader::Status::TooLarge
                                ? QStringLiteral("Die Vorlage ist zu groß.")
                                : QStringLiteral("Die Vorlage ist beschädigt."));
            return false;
        }
        entries.append({archive.Name(i), bytes});
    }
    m_entries = entries;
    return true;
}

bool ZipPackage::Contains(const QString& name) const {
    for (const auto& e : m_entries)
        if (e.first == name)
            return true;
    return false;
}

QByteArray ZipPackage::Entry(const QString& name) const {
    for (const auto& e : m_entries)
        if (e.first == name)
            return e.second;
    return QByteArray();
}

void ZipPackage::SetEntry(const QString& name, const QByteArray& data) {
    for (auto& e : m_entries) {
        if (e.first == name) {
            e.second = data;
            return;
        }
    }
    m_entries.append({name, data});
}

bool ZipPackage::Build(QByteArray& out, QString* error) const {
    zip_error_t ze;
    zip_error_init(&ze);
    SourcePtr buffer(zip_source_buffer_create(nullptr, 0, 0, &ze));
    if (!buffer) {
        SetError(error, ZipErrorText(&ze));
        zip_error_fini(&ze);
        return false;
    }
    zip_t* archive = zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &ze);
    if (!archive) {
        SetError(error, ZipErrorText(&ze));
        zip_error_fini(&ze);
        return false;
    }
    zip_error_fini(&ze);
    // The archive takes a reference of the buffer; ours keeps it alive after zip_close.
    zip_source_keep(buffer.get());

    for (const auto& [name, data] : m_entries) {
        // The entry data lives in m_entries until zip_close has read it.
        zip_source_t* part = zip_source_buffer(archive, data.constData(), static_cast<zip_uint64_t>(data.size()), 0);
        const QByteArray utf8 = name.toUtf8();
        if (!part || zip_file_add(archive, utf8.constData(), part, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
            if (part)
                zip_source_free(part);
            SetError(error, QString::fromLocal8Bit(zip_strerror(archive)));
            zip_discard(archive);
            return false;
        }
    }
    if (zip_close(archive) != 0) {
        SetError(error, QString::fromLocal8Bit(zip_strerror(archive)));
        zip_discard(archive);
        return false;
    }

    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(buffer.get(), &st) != 0 || zip_source_open(buffer.get()) != 0) {
        SetError(error, QStringLiteral("Das Archiv lässt sich nicht lesen."));
        return false;
    }
    QByteArray bytes(static_cast<qsizetype>(st.size), Qt::Uninitialized);
    const zip_int64_t got = zip_source_read(buffer.get(), bytes.data(), st.size);
    zip_source_close(buffer.get());
    if (got != static_cast<zip_int64_t>(st.size)) {
        SetError(error, QStringLiteral("Das Archiv lässt sich nicht lesen."));
        return false;
    }
    out = bytes;
    return true;
}
