#include "core/grid/SortCompare.h"

#include <QDate>
#include <QLocale>

#include <cmath>
#include <limits>

namespace {

// Upper half of Windows-1252 that differs from Latin-1 (0x80 to 0x9F).
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Reads the code point at i and advances i; a lone surrogate counts as one unknown character.
char32_t NextCodePoint(const QString& s, qsizetype& i) {
    const char16_t c = s.at(i).unicode();
    ++i;
    if (QChar::isHighSurrogate(c) && i < s.size() && QChar::isLowSurrogate(s.at(i).unicode())) {
        const char16_t low = s.at(i).unicode();
        ++i;
        return QChar::surrogateToUcs4(c, low);
    }
    if (QChar::isSurrogate(c))
        return 0xFFFD;
    return c;
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Reads an unsigned decimal number of at most maxDigits digits at pos.
bool ScanNumber(const QString& s, qsizetype& pos, int maxDigits, int& value, int* digits = nullptr) {
    int n = 0;
    value = 0;
    while (pos < s.size() && IsDigit(s.at(pos)) && n < maxDigits) {
        value = value * 10 + (s.at(pos).unicode() - u'0');
        ++pos;
        ++n;
    }
    if (digits)
        *digits = n;
    return n > 0;
}

void SkipBlanks(const QString& s, qsizetype& pos) {
    while (pos < s.size() && s.at(pos) == u' ')
        ++pos;
}

QChar SeparatorOf(const QString& format, QChar fallback) {
    for (const QChar c : format)
        if (!c.isLetter() && c != u' ' && c != u'\'')
            return c;
    return fallback;
}

struct DateRules {
    QChar separator = u'.';
    int order = 0; // 0 day-month-year, 1 month-day-year, 2 year-month-day
    QChar timeSeparator = u':';
    QChar decimalPoint = u',';
};

DateRules CurrentDateRules() {
    const QLocale locale;
    DateRules rules;
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    rules.separator = SeparatorOf(format, u'.');
    const qsizetype d = format.indexOf(u'd');
    const qsizetype m = format.indexOf(u'M');
    const qsizetype y = format.indexOf(u'y');
    if (y >= 0 && y < m && y < d)
        rules.order = 2;
    else if (m >= 0 && d >= 0 && m < d)
        rules.order = 1;
    rules.timeSeparator = SeparatorOf(locale.timeFormat(QLocale::ShortFormat), u':');
    rules.decimalPoint = locale.decimalPoint().isEmpty() ? QChar(u',') : locale.decimalPoint().at(0);
    return rules;
}

// Two-digit years fall into the century window around the current year.
int ExpandYear(int year, int digits) {
    if (digits > 2)
        return year;
    const int now = QDate::currentDate().year();
    int full = now / 100 * 100 + year;
    if (full > now + 50)
        full -= 100;
    else if (full <= now - 50)
        full += 100;
    return full;
}

bool ScanDate(const QString& s, qsizetype& pos, const DateRules& rules, qint64& julianDay) {
    int n[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int count = 0;
    for (; count < 3; ++count) {
        if (count > 0) {
            if (pos >= s.size() || s.at(pos) != rules.separator)
                break;
            ++pos;
        }
        if (!ScanNumber(s, pos, 4, n[count], &digits[count]))
            return false;
    }
    if (count < 2)
        return false;
    int year = QDate::currentDate().year();
    int month = 0;
    int day = 0;
    if (count == 2) {
        if (rules.order == 1) {
            month = n[0];
            day = n[1];
        } else if (rules.order == 2) {
            month = n[0];
            day = n[1];
        } else {
            day = n[0];
            month = n[1];
        }
    } else if (rules.order == 0) {
        day = n[0], month = n[1], year = ExpandYear(n[2], digits[2]);
    } else if (rules.order == 1) {
        month = n[0], day = n[1], year = ExpandYear(n[2], digits[2]);
    } else {
        year = ExpandYear(n[0], digits[0]), month = n[1], day = n[2];
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return false;
    // A separator after the year (as in "1.2.2024.") belongs to the date.
    if (pos < s.size() && s.at(pos) == rules.separator)
        ++pos;
    julianDay = date.toJulianDay();
    return true;
}

bool ScanTime(const QString& s, qsizetype& pos, const DateRules& rules, double& ms) {
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!ScanNumber(s, pos, 2, hour))
        return false;
    if (pos >= s.size() || s.at(pos) != rules.timeSeparator)
        return false;
    ++pos;
    if (!ScanNumber(s, pos, 2, minute))
        return false;
    double fraction = 0;
    if (pos < s.size() && s.at(pos) == rules.timeSeparator) {
        ++pos;
        if (!ScanNumber(s, pos, 2, second))
            return false;
        if (pos < s.size() && (s.at(pos) == rules.decimalPoint || s.at(pos) == u'.')) {
            ++pos;
            double scale = 0.1;
            const qsizetype start = pos;
            while (pos < s.size() && IsDigit(s.at(pos))) {
                fraction += scale * (s.at(pos).unicode() - u'0');
                scale /= 10;
                ++pos;
            }
            if (pos == start)
                return false;
        }
    }
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    ms = ((hour * 60.0 + minute) * 60.0 + second + fraction) * 1000.0;
    return true;
}

// Both values converted: compare them; otherwise fall back to the bytes.
template <typename Convert>
int CompareConverted(const QString& a, const QString& b, Convert convert) {
    double va = 0;
    double vb = 0;
    if (convert(a, va) && convert(b, vb))
        return va < vb ? -1 : (vb < va ? 1 : 0);
    return CompareBytes(a, b);
}

// Decimal 32-bit integer with optional leading blanks and sign, nothing after it.
bool TextToInt32(const QString& text, qint32& value) {
    qsizetype pos = 0;
    SkipBlanks(text, pos);
    bool negative = false;
    if (pos < text.size() && (text.at(pos) == u'-' || text.at(pos) == u'+')) {
        negative = text.at(pos) == u'-';
        ++pos;
    }
    if (pos >= text.size())
        return false;
    qint64 v = 0;
    for (; pos < text.size(); ++pos) {
        if (!IsDigit(text.at(pos)))
            return false;
        v = v * 10 + (text.at(pos).unicode() - u'0');
        if (v > qint64(std::numeric_limits<qint32>::max()) + 1)
            return false;
    }
    v = negative ? -v : v;
    if (v > std::numeric_limits<qint32>::max() || v < std::numeric_limits<qint32>::min())
        return false;
    value = static_cast<qint32>(v);
    return true;
}

} // namespace

unsigned char Cp1252Byte(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<unsigned char>(codePoint);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == codePoint)
            return static_cast<unsigned char>(0x80 + i);
    return '?';
}

QString LowerAZ(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && !(text.at(i) >= u'A' && text.at(i) <= u'Z'))
        ++i;
    if (i == text.size())
        return text;
    QString lower = text;
    QChar* data = lower.data();
    for (; i < lower.size(); ++i)
        if (data[i] >= u'A' && data[i] <= u'Z')
            data[i] = QChar(data[i].unicode() + (u'a' - u'A'));
    return lower;
}

int CompareBytes(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const char16_t ca = a.at(i).unicode();
        const char16_t cb = b.at(j).unicode();
        if (ca < 0x80 && cb < 0x80) { // the common case: ASCII on both sides
            if (ca != cb)
                return ca < cb ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        const unsigned char ba = Cp1252Byte(NextCodePoint(a, i));
        const unsigned char bb = Cp1252Byte(NextCodePoint(b, j));
        if (ba != bb)
            return ba < bb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

bool TextToFloat(const QString& text, double& value) {
    if (text.trimmed().isEmpty())
        return false;
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool TextToDateTimeMs(const QString& text, double& value) {
    const DateRules rules = CurrentDateRules();
    qsizetype pos = 0;
    SkipBlanks(text, pos);
    qint64 julianDay = 0;
    double ms = 0;
    const qsizetype start = pos;
    if (ScanDate(text, pos, rules, julianDay)) {
        SkipBlanks(text, pos);
        if (pos < text.size() && !ScanTime(text, pos, rules, ms))
            return false;
    } else {
        // A time alone lies on the day the date scale starts from.
        pos = start;
        julianDay = QDate(1899, 12, 30).toJulianDay();
        if (!ScanTime(text, pos, rules, ms))
            return false;
    }
    SkipBlanks(text, pos);
    if (pos != text.size())
        return false;
    value = double(julianDay) * 86400000.0 + ms;
    return true;
}

bool TextToTimeMs(const QString& text, double& value) {
    const DateRules rules = CurrentDateRules();
    qsizetype pos = 0;
    SkipBlanks(text, pos);
    double ms = 0;
    if (!ScanTime(text, pos, rules, ms))
        return false;
    SkipBlanks(text, pos);
    if (pos != text.size())
        return false;
    value = ms;
    return true;
}

int CompareNumeric(const QString& a, const QString& b) {
    return CompareConverted(a, b, TextToFloat);
}

int CompareDateTime(const QString& a, const QString& b) {
    return CompareConverted(a, b, TextToDateTimeMs);
}

int CompareTime(const QString& a, const QString& b) {
    return CompareConverted(a, b, TextToTimeMs);
}

int CompareNumericExtended(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() ? (b.isEmpty() ? 0 : -1) : 1;
    // Keep only what differs or is a digit: '12 kg' and '9 kg' keep '12 kg' and '9 kg',
    // 'Lauf 10' and 'Lauf 9' keep '10' and '9'.
    const qsizetype n = std::min(a.size(), b.size());
    QString ra;
    QString rb;
    for (qsizetype i = 0; i < n; ++i) {
        if (a.at(i) != b.at(i) || IsDigit(a.at(i))) {
            if (i == n - 1) {
                ra += a.mid(i);
                rb += b.mid(i);
            } else {
                ra += a.at(i);
                rb += b.at(i);
            }
        }
    }
    // Then drop common non-digit endings such as units.
    const QString origA = ra;
    const QString origB = rb;
    const qsizetype m = std::min(origA.size(), origB.size());
    for (qsizetype k = 0; k < m; ++k) {
        const QChar ca = origA.at(origA.size() - 1 - k);
        const QChar cb = origB.at(origB.size() - 1 - k);
        if (ca == cb && !IsDigit(ca)) {
            ra.chop(1);
            rb.chop(1);
        }
    }
    if (ra == rb)
        return 0;
    qint32 va = 0;
    qint32 vb = 0;
    if (TextToInt32(ra, va) && TextToInt32(rb, vb))
        return va < vb ? -1 : 1;
    return CompareBytes(ra, rb);
}

int CompareByStyle(TSortStyle style, const QString& a, const QString& b, const TSortCompareFunc& custom) {
    switch (style) {
    case TSortStyle::ssNumeric:
        return CompareNumeric(a, b);
    case TSortStyle::ssNumericExtended:
        return CompareNumericExtended(a, b);
    case TSortStyle::ssDateTime:
        return CompareDateTime(a, b);
    case TSortStyle::ssTime:
        return CompareTime(a, b);
    case TSortStyle::ssCustom:
        return custom ? custom(a, b) : CompareBytes(a, b);
    case TSortStyle::ssAutomatic:
    case TSortStyle::ssNormal:
        break;
    }
    return CompareBytes(a, b);
}
