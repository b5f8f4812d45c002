#include "core/base/TimeText.h"

namespace {

QString TwoDigits(int v) {
    return QString::number(v).rightJustified(2, QLatin1Char('0'));
}

// A fixed-position field: decimal digits with optional leading blanks; anything else gives 0.
int FieldValue(QStringView field) {
    qsizetype i = 0;
    while (i < field.size() && field[i] == QLatin1Char(' '))
        ++i;
    if (i == field.size())
        return 0;
    int value = 0;
    for (; i < field.size(); ++i) {
        const QChar c = field[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

} // namespace

QString TrimTimeText(const QString& fullText) {
    qsizetype p = fullText.size(); // index of the first digit 1..9, or one past the end
    for (qsizetype i = 0; i < fullText.size(); ++i) {
        const QChar c = fullText[i];
        if (c >= QLatin1Char('1') && c <= QLatin1Char('9')) {
            p = i;
            break;
        }
    }
    // At most "HH:MM:S" (7 characters) is removed: the units digit of the seconds stays.
    return fullText.mid(qMin<qsizetype>(p, 7));
}

QString TimeToText(TimeValue value, int fractionDigits) {
    const qint32 h = value / 10; // hundredths, truncated toward zero
    QString text = TwoDigits((h / 360000) % 100) + QLatin1Char(':') + TwoDigits((h / 6000) % 60) + QLatin1Char(':') +
                   TwoDigits((h / 100) % 60);
    if (fractionDigits == 2)
        text += QLatin1Char(',') + TwoDigits(h % 100);
    else if (fractionDigits == 1)
        text += QLatin1Char(',') + QString::number((h / 10) % 10);
    return TrimTimeText(text);
}

// Texts with a comma are read right-aligned in the frame "00:00:00,00". Under
// fraction digits 0 a comma-less text (as TimeToText writes it then) is read
// right-aligned in the frame "00:00:00", so 1:05 reads 65 000 ms; clock texts,
// which always carry ",hh", still go through the 11-character frame and read
// correctly under every setting. Under 1 and 2 fraction digits comma-less texts
// keep the 11-character frame.
TimeValue TextToTime(const QString& text, int fractionDigits) {
    QString t = text;
    const bool commaless = !t.contains(QLatin1Char(','));
    if (fractionDigits == 0 && commaless) {
        if (t.size() > 8)
            return 0;
        t = t.rightJustified(8, QLatin1Char('0'));
        const QStringView v(t);
        return FieldValue(v.mid(0, 2)) * 3600000 + FieldValue(v.mid(3, 2)) * 60000 + FieldValue(v.mid(6, 2)) * 1000;
    }
    if (t.size() >= 2 && t[t.size() - 2] == QLatin1Char(','))
        t += QLatin1Char('0');
    if (t.size() > 11)
        return 0;
    t = t.rightJustified(11, QLatin1Char('0'));
    const QStringView v(t);
    TimeValue result =
        FieldValue(v.mid(0, 2)) * 3600000 + FieldValue(v.mid(3, 2)) * 60000 + FieldValue(v.mid(6, 2)) * 1000;
    if (fractionDigits == 2)
        result += FieldValue(v.mid(9, 2)) * 10;
    else if (fractionDigits == 1)
        result += FieldValue(v.mid(9, 1)) * 100;
    return result;
}

QString ClockText(int hour, int minute, int second, int millisecond) {
    QString text = QString::asprintf("%2d:%2d:%2d,%2d", hour, minute, second, millisecond / 10);
    for (qsizetype i = 1; i < text.size(); ++i)
        if (text[i] == QLatin1Char(' '))
            text[i] = QLatin1Char('0');
    return text;
}

QString ClockText(const QTime& time) {
    return ClockText(time.hour(), time.minute(), time.second(), time.msec());
}

bool HasTimeText(const QString& text) {
    return !text.trimmed().isEmpty() && text != QLatin1String("-");
}

QString FileStamp(const QDateTime& now) {
    return now.toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
}
