#include "core/settings/RegFormat.h"

#include "core/base/Windows1252.h"

#include <QStringList>

namespace {

// Reads a quoted text starting at `pos` (at the opening quote). On success `pos`
// is just after the closing quote.
bool ReadQuoted(const QString& line, qsizetype& pos, QString& text, QString& damage) {
    if (pos >= line.size() || line[pos] != QLatin1Char('"')) {
        damage = QStringLiteral("\" erwartet");
        return false;
    }
    text.clear();
    for (++pos; pos < line.size(); ++pos) {
        const QChar ch = line[pos];
        if (ch == QLatin1Char('"')) {
            ++pos;
            return true;
        }
        if (ch == QLatin1Char('\\')) {
            if (pos + 1 >= line.size() || (line[pos + 1] != QLatin1Char('\\') && line[pos + 1] != QLatin1Char('"'))) {
                damage = QStringLiteral("unbekanntes Escape-Zeichen");
                return false;
            }
            ++pos;
            text += line[pos];
            continue;
        }
        text += ch;
    }
    damage = QStringLiteral("schließendes \" fehlt");
    return false;
}

// Exactly eight digits, as every registry export writes them: "dword:0000" is a cut line.
bool ReadDword(const QString& digits, int& value) {
    if (digits.size() != 8)
        return false;
    quint32 v = 0;
    for (QChar ch : digits) {
        const int d = QStringLiteral("0123456789abcdef").indexOf(ch.toLower());
        if (d < 0)
            return false;
        v = v * 16 + static_cast<quint32>(d);
    }
    value = static_cast<qint32>(v);
    return true;
}

// Other registry types: a lower-case type word, optionally with "(n)", then ":".
bool IsOtherType(const QString& rest) {
    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    for (qsizetype i = 0; i < colon; ++i) {
        const QChar ch = rest[i];
        if (!(ch.isLetterOrNumber() && ch.unicode() < 128) && ch != QLatin1Char('(') && ch != QLatin1Char(')'))
            return false;
    }
    return true;
}

// False when the line gives no value. True with `damage` set when a text was cut inside
// its quotes: what stands up to the line end is its value.
bool ReadValueLine(const QString& line, RegValue& value, QString& damage) {
    qsizetype pos = 0;
    if (!ReadQuoted(line, pos, value.name, damage))
        return false;
    if (value.name.isEmpty()) {
        damage = QStringLiteral("leerer Name");
        return false;
    }
    if (pos >= line.size() || line[pos] != QLatin1Char('=')) {
        damage = QStringLiteral("= erwartet");
        return false;
    }
    ++pos;
    const QString rest = line.mid(pos);
    if (rest.startsWith(QLatin1Char('"'))) {
        QString text;
        qsizetype p = 0;
        if (!ReadQuoted(rest, p, text, damage)) {
            if (p < rest.size())
                return false; // a broken escape, not a cut line
            value.value = text;
            return true;
        }
        if (!rest.mid(p).trimmed().isEmpty()) {
            damage = QStringLiteral("Zeichen nach dem Text");
            return false;
        }
        value.value = text;
        return true;
    }
    if (rest.startsWith(QLatin1String("dword:"))) {
        int v = 0;
        if (!ReadDword(rest.mid(6).trimmed(), v)) {
            damage = QStringLiteral("dword braucht 8 Hexadezimalziffern");
            return false;
        }
        value.value = v;
        return true;
    }
    if (IsOtherType(rest) && !rest.endsWith(QLatin1Char('\\'))) {
        value.value = rest.toUtf8();
        return true;
    }
    damage = QStringLiteral("unbekannter Werttyp");
    return false;
}

QString Quoted(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (QChar ch : text) {
        if (ch == QLatin1Char('\\') || ch == QLatin1Char('"'))
            out += QLatin1Char('\\');
        // A line break cannot stand inside a line of the file.
        out += (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) ? QLatin1Char(' ') : ch;
    }
    out += QLatin1Char('"');
    return out;
}

} // namespace

namespace RegFormat {

RegReadResult Read(const QByteArray& data, const QString& key) {
    RegReadResult result;
    QString text = DecodeWindowsText(data);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    // CR LF, LF and a lone CR each end a line.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    const QString keyLine = QLatin1Char('[') + key + QLatin1Char(']');
    bool inOtherKey = false;
    QStringList keptOwn;   // unreadable lines of the key: written back right after its values
    QStringList keptOther; // other keys with their lines: written back after those
    auto damaged = [&](qsizetype i, const QString& why) {
        if (result.damagedLine == 0) {
            result.damagedLine = static_cast<int>(i + 1);
            result.damage = why;
        }
        ++result.damagedLines;
    };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (i == 0 && line.trimmed() == QLatin1String(kHeader))
            continue;
        if (i == 0) // no header: the file is read all the same, and written with one
            damaged(i, QStringLiteral("Kopfzeile \"%1\" erwartet").arg(QLatin1String(kHeader)));
        if (line.trimmed().isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inOtherKey = line.trimmed().compare(keyLine, Qt::CaseInsensitive) != 0;
            if (inOtherKey)
                keptOther << line;
            continue;
        }
        if (inOtherKey) {
            keptOther << line;
            continue;
        }
        if (line.startsWith(QLatin1Char(';'))) { // a comment, as in registry exports
            keptOwn << line;
            continue;
        }
        RegValue value;
        QString why;
        if (!ReadValueLine(line, value, why)) {
            // Kept as a comment: the text stays for whoever repairs the file, and the
            // next start has nothing left to report.
            damaged(i, why);
            keptOwn << QLatin1String(kDamagedMark) + line;
            qsizetype pos = 0;
            QString name;
            QString ignored;
            if (ReadQuoted(line, pos, name, ignored) && !name.isEmpty())
                result.damagedNames << name;
            continue;
        }
        if (!why.isEmpty())
            damaged(i, why);
        result.values.append(value);
    }
    result.kept = keptOwn + keptOther;
    return result;
}

QString ValueLine(const RegValue& value) {
    QString line = Quoted(value.name) + QLatin1Char('=');
    switch (value.value.typeId()) {
    case QMetaType::QString:
        return line + Quoted(value.value.toString());
    case QMetaType::QByteArray:
        return line + QString::fromUtf8(value.value.toByteArray());
    case QMetaType::Bool:
        return line + (value.value.toBool() ? QStringLiteral("dword:00000001") : QStringLiteral("dword:00000000"));
    default:
        return line +
               QStringLiteral("dword:%1").arg(static_cast<quint32>(value.value.toInt()), 8, 16, QLatin1Char('0'));
    }
}

QByteArray Write(const QList<RegValue>& values, const QString& key, const QStringList& kept) {
    QString out = QLatin1String(kHeader) + QStringLiteral("\r\n\r\n[") + key + QStringLiteral("]\r\n");
    for (const RegValue& value : values)
        out += ValueLine(value) + QStringLiteral("\r\n");
    for (const QString& line : kept)
        out += line + QStringLiteral("\r\n");
    out += QStringLiteral("\r\n");
    return out.toUtf8();
}

} // namespace RegFormat
