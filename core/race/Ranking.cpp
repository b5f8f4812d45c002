#include "core/race/Ranking.h"

#include "core/base/TimeText.h"
#include "core/grid/SortCompare.h"
#include "core/race/ProtocolColumns.h"

#include <QHash>

namespace {

QString GapText(TimeValue t, TimeValue leader, int digits) {
    return t == leader ? TimeToText(0, digits) : QLatin1Char('+') + TimeToText(t - leader, digits);
}

// Places and gaps within each class. Classes are told apart as the sort compares them
// (letters A to Z without case) and with blanks trimmed, so " m" and "M" are one class
// even where the sort did not put them side by side: the walk goes in time order and
// keeps each class's count, previous time and leader.
void ClassPass(SortGridData& grid, const RankingOptions& o) {
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
            c.leader = TextToTime(zeit, o.fractionDigits);
            grid.SetCell(Col::Split, r, TimeToText(0, o.fractionDigits));
        }
        ++c.count;
        if (zeit != c.previous) {
            grid.SetCell(Col::KlPl, r, QString::number(c.count));
            c.previous = zeit;
            c.place = c.count;
        } else {
            grid.SetCell(Col::KlPl, r, QString::number(c.place));
        }
        if (!grid.Cell(Col::StNr, r).contains(QLatin1Char('-')))
            grid.SetCell(Col::Split, r, GapText(TextToTime(zeit, o.fractionDigits), c.leader, o.fractionDigits));
    }
}

} // namespace

int RankProtocolRows(SortGridData& grid, const RankingOptions& o) {
    grid.SortOptions.SortDirection = TSortDirection::sdAscending;
    grid.SortOptions.CanSort = true;
    grid.SortOptions.SecondaryIndex = QString::number(Col::Split);
    grid.SortByColumn(Col::Zeit);

    if (o.classMode)
        ClassPass(grid, o);

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
            grid.SetCell(Col::Platz, r, QString::number(place));
        } else {
            grid.SetCell(Col::Platz, r, QString::number(count));
            previous = zeit;
            place = count;
        }
        if (o.individualStart && !o.classMode) {
            const TimeValue t = TextToTime(zeit, o.fractionDigits);
            if (count == 1) {
                leader = t;
                grid.SetCell(Col::Split, r, TimeToText(0, o.fractionDigits));
            } else if (!grid.Cell(Col::StNr, r).contains(QLatin1Char('-'))) {
                grid.SetCell(Col::Split, r,
                             t == leader ? QString() : QLatin1Char('+') + TimeToText(t - leader, o.fractionDigits));
            }
        }
    }

    const int empty = grid.FindRow(Col::Zeit, QString());
    return empty >= 1 ? empty : grid.FindRow(Col::Zeit, QStringLiteral(" "));
}
