#include "core/race/ProtocolColumns.h"

#include "core/base/TimeText.h"

const QStringList& ProtocolCaptions() {
    static const QStringList captions = {QStringLiteral("Platz"),
                                         QStringLiteral("St.Nr."),
                                         QStringLiteral("Vorname"),
                                         QStringLiteral("Nachname"),
                                         QStringLiteral("JG"),
                                         QStringLiteral("Verein"),
                                         QStringLiteral("Klasse"),
                                         QStringLiteral("Kl.-Pl."),
                                         QStringLiteral("Start"),
                                         QStringLiteral("Stopp"),
                                         QStringLiteral("Zeit"),
                                         QStringLiteral("Split"),
                                         QString()};
    return captions;
}

const QStringList& FinishCaptions() {
    static const QStringList captions = {QString(), QStringLiteral("Kontakt"), QStringLiteral("Nr"), QString()};
    return captions;
}

std::array<int, Col::Count> ProtocolColumnWidths(int mask, int gridWidth, int scrollArrow) {
    static constexpr int kWeights[12] = {7, 6, 13, 13, 6, 16, 8, 7, 13, 13, 13, 13};
    std::array<int, Col::Count> widths{};
    int shown = 0;
    int weightSum = 0;
    for (int c = 0; c < 12; ++c) {
        if (mask & (1 << c)) {
            ++shown;
            weightSum += kWeights[c];
        }
    }
    for (int c = 0; c < 12; ++c) {
        if (!(mask & (1 << c)))
            widths[c] = -1;
        else if (c == Col::Platz)
            widths[c] = 40;
        else if (c == Col::StNr)
            widths[c] = 48;
        else
            widths[c] = weightSum > 0 ? static_cast<int>(static_cast<qint64>(kWeights[c]) * gridWidth / weightSum) : -1;
    }
    widths[Col::Raw] = -1;
    // The gap column takes whatever width is left; negative hides it.
    int used = 0;
    for (int c = 0; c <= Col::Zeit; ++c)
        if (widths[c] > 0)
            used += widths[c];
    widths[Col::Split] = gridWidth - used - shown - 4 - scrollArrow;
    if (widths[Col::Split] < 0)
        widths[Col::Split] = -1;
    return widths;
}

std::array<int, FinishCol::Count> FinishColumnWidths(int gridWidth, int scrollArrow) {
    return {34, gridWidth - 39 - 34 - scrollArrow - 7, 39, -1};
}

int CompareTimeTexts(const QString& a, const QString& b) {
    // Called for every comparison of a sort: no allocation here.
    auto blank = [](const QString& s) {
        for (QChar c : s)
            if (!c.isSpace())
                return false;
        return true;
    };
    const qsizetype la = blank(a) ? 20 : a.size();
    const qsizetype lb = blank(b) ? 20 : b.size();
    if (la != lb)
        return la < lb ? -1 : 1;
    // Time texts are plain ASCII; compare code units as the bytes they are written as.
    const qsizetype n = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i)
        if (a[i] != b[i])
            return a[i].unicode() < b[i].unicode() ? -1 : 1;
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool TimeTextSortKey(const QString& text, quint64& key) {
    // Blanks alone (all sorting behind every time) order by their length.
    bool blank = true;
    for (QChar c : text)
        blank = blank && c.isSpace();
    if (blank) {
        for (QChar c : text)
            if (c != QLatin1Char(' '))
                return false;
        if (text.size() > 31)
            return false;
        key = (quint64(20) << 59) | quint64(text.size());
        return true;
    }
    // Length first, then the code units, five bits each: ' ' ... '?' hold every time text.
    if (text.size() > 11)
        return false;
    quint64 chars = 0;
    for (qsizetype i = 0; i < 11; ++i) {
        const char16_t u = i < text.size() ? text[i].unicode() : u' ';
        if (u < 0x20 || u > 0x3F)
            return false;
        chars = chars << 5 | quint64(u - 0x20);
    }
    key = (quint64(text.size()) << 59) | chars;
    return true;
}

void ProtocolSortStyle(SortGridData& grid, int col, TSortStyle& style) {
    if (col == Col::Platz || col == Col::StNr)
        style = TSortStyle::ssNumeric;
    else if (col >= Col::Vorname && col <= Col::KlPl)
        style = TSortStyle::ssNormal;
    else if (col >= Col::Start && col <= Col::Split) {
        style = TSortStyle::ssCustom;
        grid.SortOptions.SortCompare = CompareTimeTexts;
        grid.SortOptions.SortKey = TimeTextSortKey;
    }
}

bool ClockTextDifference(const QString& finishClock, const QString& startClock, int fractionDigits,
                         qint32& runningTime) {
    // Midnight is a real clock of day (" 0:00:00,00"): only an empty text means no start.
    if (!HasTimeText(startClock) || !HasTimeText(finishClock))
        return false;
    constexpr TimeValue kDay = 24 * 3600000;
    constexpr TimeValue kNextDayLimit = 12 * 3600000;
    const TimeValue fin = TextToTime(finishClock, fractionDigits);
    const TimeValue st = TextToTime(startClock, fractionDigits);
    TimeValue t = fin - st;
    if (t < 0) {
        // A finish clock below the start clock is on the next day. Far from midnight that
        // reading would give a number typed by mistake almost a day: it is refused instead.
        t += kDay;
        if (t >= kNextDayLimit)
            return false;
    }
    if (t <= 0)
        return false;
    runningTime = t;
    return true;
}

namespace {
const QLatin1String kClockSuffix(" Uhr");
} // namespace

QString MassStartClockEntry(const QString& finishClock) {
    return finishClock + kClockSuffix;
}

bool IsMassStartClockEntry(const QString& kontakt, QString* finishClock) {
    const QString text = kontakt.trimmed();
    if (!text.endsWith(kClockSuffix))
        return false;
    if (finishClock)
        *finishClock = text.chopped(kClockSuffix.size());
    return true;
}

bool ToInt(const QString& text, int& value) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok)
        value = v;
    return ok;
}
