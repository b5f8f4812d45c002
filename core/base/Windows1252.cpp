#include "core/base/Windows1252.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <optional>

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF", 3);
const QByteArray kUtf16LeBom("\xFF\xFE", 2);
const QByteArray kUtf16BeBom("\xFE\xFF", 2);

bool IsAscii(const QByteArray& data) {
    for (char c : data)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Decodes strictly: nullopt when a byte sequence is not valid in `encoding`.
std::optional<QString> DecodeStrict(QByteArrayView data, QStringConverter::Encoding encoding) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(data);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QString DecodeWindowsText(const QByteArray& data) {
    if (data.startsWith(kUtf8Bom))
        return QString::fromUtf8(data.constData() + 3, data.size() - 3);
    if (data.startsWith(kUtf16LeBom) || data.startsWith(kUtf16BeBom)) {
        QStringDecoder decoder(data.startsWith(kUtf16LeBom) ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        return decoder.decode(QByteArrayView(data).sliced(2));
    }
    if (!IsAscii(data)) {
        if (std::optional<QString> utf8 = DecodeStrict(data, QStringConverter::Utf8))
            return *utf8;
    }
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

bool LooksBinary(const QByteArray& data) {
    if (data.startsWith(kUtf16LeBom) || data.startsWith(kUtf16BeBom))
        return data.size() % 2 != 0;
    qsizetype controls = 0;
    for (char ch : data) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0)
            return true;
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n' && c != '\f') || c == 0x7F)
            ++controls;
    }
    return controls * 20 > data.size();
}

QString CharactersOutsideWindows1252(const QStringList& texts) {
    QList<char32_t> found;
    for (const QString& text : texts) {
        bool ascii = true;
        for (QChar ch : text)
            ascii = ascii && ch.unicode() < 0x80;
        if (ascii)
            continue;
        for (char32_t c : text.toUcs4())
            if (!InWindows1252(c) && !found.contains(c))
                found << c;
    }
    QStringList shown;
    for (char32_t c : found)
        shown << QString::fromUcs4(&c, 1);
    return shown.join(QStringLiteral(", "));
}

QString Windows1252Warning(const QStringList& texts) {
    const QString characters = CharactersOutsideWindows1252(texts);
    if (characters.isEmpty())
        return QString();
    return QStringLiteral("Zeichen können in den Sicherungsdateien nicht gespeichert werden: ") + characters;
}
