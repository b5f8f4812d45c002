#include "core/race/Ranking.h"

#include "core/base/TimeText.h"
#include "core/grid/SortCompare.h"
#include "core/race/ProtocolColumns.h"

#include <QHash>

namespace {

// Whether `text` is the decimal text of `n`, without making that text.
bool IsNumberText(const QString& text, int n) {
    char digits[12];
    int len = 0;
    do {
        digits[len++] = char('0' + n % 10);
        n /= 10;
    } while (n > 0 && len < 11);
    if (text.size() != len)
        return false;
    for (int i = 0; i < len; ++i)
        if (text[i] != QLatin1Char(digits[len - 1 - i]))
            return false;
    return true;
}

void SetPlace(SortGridData& grid, int col, int row, int place) {
    if (!IsNumberText(grid.Cell(col, row), place))
        grid.SetCell(col, row, QString::number(place));
}

QString GapText(TimeValue t, TimeValue leader, int digits) {
    return t == leader ? TimeToText(0, digits) : QLatin1Char('+') + TimeToText(t - leader, digits);
}

// Places and gaps within each class. Classes are told apart as the sort compares them
// (letters A to Z without case) and with blanks trimmed, so " m" and "M" are one class
// even where the sort did not put them side by side: the walk goes in time order and
// keeps each class's count, previous time and leader.
void ClassPass(SortGridData& grid, const RankingOptions& o, RankingTexts& texts) {
    grid.SortOptions.SecondaryIndex = QString::number(Col::Zeit);
    grid.SortByColumn(Col::Klasse);
    grid.SortOptions.SecondaryIndex.clear();
    grid.SortByColumn(Col::Zeit);

    struct ClassRun {
        QString previous;
        int place = 1;
        int count = 0;
        TimeValue leader = 0;
    };
    QHash<QString, ClassRun> classes;
    for (int r = 1; r < grid.RowCount(); ++r) {
        const QString zeit = grid.Cell(Col::Zeit, r);
        if (!HasTimeText(zeit))
            continue;
        ClassRun& c = classes[LowerAZ(grid.Cell(Col::Klasse, r).trimmed())];
        if (c.count == 0) {
            // The class leader (an empty class text is a class too).
            c.leader = texts.Time(zeit, o.fractionDigits);
            grid.SetCell(Col::Split, r, TimeToText(0, o.fractionDigits));
        }
        ++c.count;
        if (zeit != c.previous) {
            SetPlace(grid, Col::KlPl, r, c.count);
            c.previous = zeit;
            c.place = c.count;
        } else {
            SetPlace(grid, Col::KlPl, r, c.place);
        }
        if (!grid.Cell(Col::StNr, r).contains(QLatin1Char('-')))
            grid.SetCell(Col::Split, r, GapText(texts.Time(zeit, o.fractionDigits), c.leader, o.fractionDigits));
    }
}

} // namespace

TimeValue RankingTexts::Time(const QString& zeit, int digits) {
    Keep(digits);
    const auto it = m_times.constFind(zeit);
    if (it != m_times.constEnd())
        return *it;
    const TimeValue t = TextToTime(zeit, digits);
    m_times.insert(zeit, t);
    return t;
}

const QString& RankingTexts::Gap(const QString& zeit, TimeValue leader, int digits) {
    Keep(digits);
    if (leader != m_leader) {
        m_gaps.clear();
        m_leader = leader;
    }
    auto it = m_gaps.find(zeit);
    if (it == m_gaps.end()) {
        const TimeValue t = Time(zeit, digits);
        it = m_gaps.insert(zeit, t == leader ? QString() : QLatin1Char('+') + TimeToText(t - leader, digits));
    }
    return *it;
}

void RankingTexts::Keep(int digits) {
    // Other digits read and write other texts; a table that was replaced leaves texts
    // no row holds any more, and they must not pile up over a long day.
    constexpr qsizetype kMost = 100000;
    if (digits != m_digits || m_times.size() > kMost || m_gaps.size() > kMost) {
        m_times.clear();
        m_gaps.clear();
        m_digits = digits;
    }
}

int RankProtocolRows(SortGridData& grid, const RankingOptions& o) {
    RankingTexts texts;
    return RankProtocolRows(grid, o, texts);
}

int RankProtocolRows(SortGridData& grid, const RankingOptions& o, RankingTexts& texts) {
    grid.SortOptions.SortDirection = TSortDirection::sdAscending;
    grid.SortOptions.CanSort = true;
    grid.SortOptions.SecondaryIndex = QString::number(Col::Split);
    grid.SortByColumn(Col::Zeit);

    if (o.classMode)
        ClassPass(grid, o, texts);

    QString previous;
    int place = 1;
    int count = 0;
    TimeValue leader = 0;
    for (int r = 1; r < grid.RowCount(); ++r) {
        const QString zeit = grid.Cell(Col::Zeit, r);
        if (!HasTimeText(zeit))
            continue;
        ++count;
        if (count > 1 && zeit == previous) {
            SetPlace(grid, Col::Platz, r, place);
        } else {
            SetPlace(grid, Col::Platz, r, count);
            previous = zeit;
            place = count;
        }
        if (o.individualStart && !o.classMode) {
            if (count == 1) {
                leader = texts.Time(zeit, o.fractionDigits);
                grid.SetCell(Col::Split, r, TimeToText(0, o.fractionDigits));
            } else if (!grid.Cell(Col::StNr, r).contains(QLatin1Char('-'))) {
                grid.SetCell(Col::Split, r, texts.Gap(zeit, leader, o.fractionDigits));
            }
        }
    }

    const int empty = grid.FindRow(Col::Zeit, QString());
    return empty >= 1 ? empty : grid.FindRow(Col::Zeit, QStringLiteral(" "));
}
