#include "core/base/ZipReader.h"

#include <zip.h>

#include <climits>

ZipReader::ZipReader(qint64 limit) : m_limit(limit) {}

ZipReader::~ZipReader() {
    if (m_zip)
        zip_discard(m_zip);
}

bool ZipReader::Fail(Status status) {
    m_status = status;
    return false;
}

bool ZipReader::Open(const QByteArray& data) {
    if (m_zip) {
        zip_discard(m_zip);
        m_zip = nullptr;
    }
    m_total = 0;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(data.constData(), static_cast<zip_uint64_t>(data.size()), 0, &error);
    if (source)
        m_zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!m_zip) {
        if (source)
            zip_source_free(source);
        m_detail = QString::fromLocal8Bit(zip_error_strerror(&error));
        zip_error_fini(&error);
        return Fail(Status::NotZip);
    }
    zip_error_fini(&error);
    m_status = Status::Ok;
    return true;
}

int ZipReader::Count() const {
    return m_zip ? static_cast<int>(qMin<zip_int64_t>(zip_get_num_entries(m_zip, 0), INT_MAX)) : 0;
}

QString ZipReader::Name(int index) const {
    const char* name = m_zip ? zip_get_name(m_zip, static_cast<zip_uint64_t>(index), 0) : nullptr;
    return name ? QString::fromUtf8(name) : QString();
}

qint64 ZipReader::Locate(const QString& name) const {
    return m_zip ? zip_name_locate(m_zip, name.toUtf8().constData(), ZIP_FL_NOCASE) : -1;
}

bool ZipReader::Has(const QString& name) const {
    return Locate(name) >= 0;
}

bool ZipReader::Read(const QString& name, QByteArray& out) {
    const qint64 index = Locate(name);
    if (index < 0)
        return Fail(Status::Missing);
    return ReadAt(static_cast<int>(index), out);
}

bool ZipReader::ReadAt(int index, QByteArray& out) {
    out.clear();
    if (!m_zip || index < 0 || index >= Count())
        return Fail(Status::Missing);
    zip_stat_t st;
    zip_stat_init(&st);
    const bool sized =
        zip_stat_index(m_zip, static_cast<zip_uint64_t>(index), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE);
    if (sized && st.size > static_cast<zip_uint64_t>(m_limit - m_total))
        return Fail(Status::TooLarge);
    zip_file_t* file = zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0);
    if (!file)
        return Fail(Status::Unpack);
    // The stated size is only a first guess; the limit holds for what really comes out.
    qsizetype chunk = sized ? static_cast<qsizetype>(st.size) + 1 : 256 * 1024;
    Status status = Status::Ok;
    for (;;) {
        if (m_total + out.size() > m_limit) {
            status = Status::TooLarge;
            break;
        }
        const qsizetype before = out.size();
        out.resize(before + chunk);
        const zip_int64_t got = zip_fread(file, out.data() + before, static_cast<zip_uint64_t>(chunk));
        if (got < 0) {
            status = Status::Unpack;
            break;
        }
        out.resize(before + got);
        if (got == 0)
            break;
        chunk = 256 * 1024;
    }
    zip_fclose(file);
    if (status != Status::Ok) {
        out.clear();
        return Fail(status);
    }
    m_total += out.size();
    m_status = Status::Ok;
    return true;
}
