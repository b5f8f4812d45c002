#include "core/base/Windows1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

QString DecodeWindowsText(const QByteArray& data) {
    static const QByteArray bom("\xEF\xBB\xBF", 3);
    if (data.startsWith(bom))
        return QString::fromUtf8(data.constData() + 3, data.size() - 3);
    QStringDecoder decoder("windows-1252");
    if (!decoder.isValid())
        return QString::fromLatin1(data);
    return decoder.decode(data);
}

QByteArray EncodeWindows1252(const QString& text) {
    QStringEncoder encoder("windows-1252", QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) {
        QByteArray latin = text.toLatin1(); // writes "?" for what Latin-1 lacks
        return latin;
    }
    QByteArray bytes = encoder.encode(text);
    // The converter marks an unmappable character with SUB; the files want "?".
    if (encoder.hasError())
        bytes.replace('\x1A', '?');
    return bytes;
}

bool InWindows1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return true;
    // The printable characters of bytes 0x80 .. 0x9F.
    static constexpr char32_t kHigh[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
                                         0x0160, 0x2039, 0x0152, 0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                         0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};
    for (char32_t h : kHigh)
        if (h == c)
            return true;
    return false;
}
