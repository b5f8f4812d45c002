#include "core/race/JournalEntry.h"

#include "core/base/Windows1252.h"

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kClockFormat = QStringLiteral("HH:mm:ss,zzz");

// Tabs and line ends inside a text would split the line: they are written as \t, \r, \n;
// in the detail ";" separates pairs and is written as \;; a character Windows-1252 lacks
// is written as \u and four hex digits of its UTF-16 unit.
QString Escape(const QString& text, bool inDetail) {
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        switch (ch.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case ';':
            out += inDetail ? QStringLiteral("\\;") : QStringLiteral(";");
            break;
        default:
            // The journal is Windows-1252 like every file: "Ł" is kept as \u0141, not lost as "?".
            if (ch.unicode() >= 0x80 && (ch.isSurrogate() || !InWindows1252(ch.unicode())))
                out += QStringLiteral("\\u%1").arg(ch.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += ch;
        }
    }
    return out;
}

// Undoes Escape up to an unescaped `stop` (none when null); false on a broken escape.
bool Unescape(const QString& text, qsizetype& pos, QChar stop, QString& out) {
    out.clear();
    while (pos < text.size()) {
        const QChar ch = text[pos];
        if (!stop.isNull() && ch == stop)
            return true;
        ++pos;
        if (ch != QLatin1Char('\\')) {
            out += ch;
            continue;
        }
        if (pos >= text.size())
            return false;
        const QChar next = text[pos++];
        switch (next.unicode()) {
        case '\\':
            out += QLatin1Char('\\');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case ';':
            out += QLatin1Char(';');
            break;
        case 'u': {
            bool ok = false;
            const uint unit = pos + 4 <= text.size() ? text.mid(pos, 4).toUInt(&ok, 16) : 0;
            if (!ok)
                return false;
            out += QChar(static_cast<char16_t>(unit));
            pos += 4;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

bool UnescapeField(const QString& text, QString& out) {
    qsizetype pos = 0;
    return Unescape(text, pos, QChar(), out);
}

bool ParseDetail(const QString& text, QList<QPair<QString, QString>>& detail) {
    detail.clear();
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype eq = text.indexOf(QLatin1Char('='), pos);
        if (eq < 0)
            return false;
        const QString key = text.mid(pos, eq - pos);
        if (key.isEmpty() || key.contains(QLatin1Char(';')) || key.contains(QLatin1Char('\\')))
            return false;
        pos = eq + 1;
        QString value;
        if (!Unescape(text, pos, QLatin1Char(';'), value))
            return false;
        detail.append({key, value});
        if (pos < text.size()) {
            // "; " between pairs
            ++pos;
            if (pos >= text.size() || text[pos] != QLatin1Char(' '))
                return false;
            ++pos;
        }
    }
    return true;
}

const QStringList& KnownEvents() {
    using namespace JournalEvent;
    static const QStringList events{ProgramStart,
                                    ProgramEnd,
                                    Start,
                                    Finish,
                                    Queued,
                                    Assign,
                                    End,
                                    StartList,
                                    StartListRow,
                                    Cleared,
                                    CellTyped,
                                    TimeCorrected,
                                    ResultMoved,
                                    TimeCleared,
                                    AllTimesCleared,
                                    RowDeleted,
                                    RowInserted,
                                    FinishRowDeleted,
                                    FinishTimesCleared,
                                    Ranked};
    return events;
}

} // namespace

QString JournalEntry::Value(const QString& key, bool* found) const {
    for (const auto& [k, v] : detail) {
        if (k == key) {
            if (found)
                *found = true;
            return v;
        }
    }
    if (found)
        *found = false;
    return QString();
}

bool JournalEntry::Has(const QString& key) const {
    bool found = false;
    Value(key, &found);
    return found;
}

QByteArray JournalHeaderLine() {
    return EncodeWindows1252(QStringLiteral("Datum\tUhrzeit\tTick\tEreignis\tQuelle\tSt.Nr.\tZeit\tDetail\r\n"));
}

QByteArray FormatJournalLine(const JournalEntry& e) {
    QStringList pairs;
    pairs.reserve(e.detail.size());
    for (const auto& [key, value] : e.detail)
        pairs << key + QLatin1Char('=') + Escape(value, true);
    QStringList fields{e.date.toString(kDateFormat), e.clock.toString(kClockFormat),  QString::number(e.tick),
                       Escape(e.event, false),       Escape(e.source, false),         Escape(e.number, false),
                       Escape(e.time, false),        pairs.join(QStringLiteral("; "))};
    for (const QString& cell : e.cells)
        fields << Escape(cell, false);
    return EncodeWindows1252(fields.join(QLatin1Char('\t')) + QStringLiteral("\r\n"));
}

bool ParseJournalLine(const QByteArray& line, JournalEntry& e) {
    QByteArray bytes = line;
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    const QStringList fields = DecodeWindowsText(bytes).split(QLatin1Char('\t'));
    if (fields.size() < 8)
        return false;
    e = JournalEntry();
    e.date = QDate::fromString(fields[0], kDateFormat);
    e.clock = QTime::fromString(fields[1], kClockFormat);
    bool ok = false;
    e.tick = fields[2].toUInt(&ok);
    e.hasTick = ok;
    if (!e.date.isValid() || !e.clock.isValid() || !ok)
        return false;
    if (!UnescapeField(fields[3], e.event) || !KnownEvents().contains(e.event))
        return false;
    if (!UnescapeField(fields[4], e.source) || !UnescapeField(fields[5], e.number) ||
        !UnescapeField(fields[6], e.time) || !ParseDetail(fields[7], e.detail))
        return false;
    for (qsizetype i = 8; i < fields.size(); ++i) {
        QString cell;
        if (!UnescapeField(fields[i], cell))
            return false;
        e.cells << cell;
    }
    return true;
}
