#include "protocol/Ranking.h"

#include "protocol/ProtocolColumns.h"
#include "timing/TimeText.h"
#include "widgets/SortCompare.h"

namespace {

QString GapText(TimeValue t, TimeValue leader, int digits) {
    return t == leader ? TimeToText(0, digits) : QLatin1Char('+') + TimeToText(t - leader, digits);
}

void ClassPass(SortGridData& grid, const RankingOptions& o) {
    grid.SortOptions.SecondaryIndex = QString::number(Col::Zeit);
    grid.SortByColumn(Col::Klasse);
    QString currentClass;
    QString previous;
    int place = 1;
    int count = 0;
    TimeValue leader = 0;
    for (int r = 1; r < grid.RowCount(); ++r) {
        const QString zeit = grid.Cell(Col::Zeit, r);
        if (!HasTimeText(zeit))
            continue;
        // Classes are told apart as the sort grouped them: letter case does not count.
        const QString klasse = LowerAZ(grid.Cell(Col::Klasse, r).trimmed());
        if (klasse != currentClass || count == 0) {
            // A new class begins (the first timed row opens the first class, even an empty one).
            previous.clear();
            place = 1;
            count = 0;
            currentClass = klasse;
            leader = TextToTime(zeit, o.fractionDigits);
            grid.SetCell(Col::Split, r, TimeToText(0, o.fractionDigits));
        }
        ++count;
        if (zeit != previous) {
            grid.SetCell(Col::KlPl, r, QString::number(count));
            previous = zeit;
            place = count;
        } else {
            grid.SetCell(Col::KlPl, r, QString::number(place));
        }
        if (!grid.Cell(Col::StNr, r).contains(QLatin1Char('-')))
            grid.SetCell(Col::Split, r, GapText(TextToTime(zeit, o.fractionDigits), leader, o.fractionDigits));
    }
    grid.SortOptions.SecondaryIndex.clear();
    grid.SortByColumn(Col::Zeit);
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
