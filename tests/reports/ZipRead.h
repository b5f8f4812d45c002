#pragma once

// Reads parts of an office file back for the tests: libzip to unpack, pugixml to parse.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <pugixml.hpp>
#include <zip.h>

// The entry `name` of the archive `file`; empty when either is missing.
inline QByteArray ZipEntry(const QString& file, const char* name, bool* found = nullptr) {
    if (found)
        *found = false;
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(file).constData(), ZIP_RDONLY, &err);
    if (!z)
        return {};
    QByteArray data;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(z, name, 0, &st) == 0) {
        if (zip_file_t* f = zip_fopen(z, name, 0)) {
            data.resize(static_cast<qsizetype>(st.size));
            if (zip_fread(f, data.data(), st.size) == static_cast<zip_int64_t>(st.size) && found)
                *found = true;
            zip_fclose(f);
        }
    }
    zip_discard(z);
    return data;
}

inline QStringList ZipNames(const QString& file) {
    QStringList names;
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(file).constData(), ZIP_RDONLY, &err);
    if (!z)
        return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i)
        names << QString::fromUtf8(zip_get_name(z, static_cast<zip_uint64_t>(i), 0));
    zip_discard(z);
    return names;
}

inline bool ParseXml(const QByteArray& xml, pugi::xml_document& doc) {
    return bool(doc.load_buffer(xml.constData(), static_cast<size_t>(xml.size())));
}

inline QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}
