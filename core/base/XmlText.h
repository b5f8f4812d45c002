#pragma once

#include <QByteArray>
#include <QString>

// UTF-8 of `text` without the characters that XML 1.0 forbids (control characters
// other than TAB, LF and CR, lone surrogates, U+FFFE and U+FFFF), so that a crafted
// cell text cannot make an office document unreadable.
QByteArray XmlTextUtf8(const QString& text);
