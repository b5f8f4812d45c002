#include "core/base/XmlText.h"

namespace {

bool Allowed(char16_t c) {
    if (c < 0x20)
        return c == u'\t' || c == u'\n' || c == u'\r';
    return c != 0xFFFE && c != 0xFFFF;
}

} // namespace

QByteArray XmlTextUtf8(const QString& text) {
    bool clean = true;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n && clean; ++i) {
        const QChar ch = text[i];
        if (ch.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate())
            ++i; // a pair is one character
        else if (ch.isSurrogate() || !Allowed(ch.unicode()))
            clean = false;
    }
    if (clean)
        return text.toUtf8();
    QString kept;
    kept.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text[i];
        if (ch.isHighSurrogate()) {
            if (i + 1 < n && text[i + 1].isLowSurrogate()) {
                kept += ch;
                kept += text[++i];
            }
        } else if (!ch.isLowSurrogate() && Allowed(ch.unicode())) {
            kept += ch;
        }
    }
    return kept.toUtf8();
}
