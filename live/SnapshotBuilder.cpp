#include "live/SnapshotBuilder.h"

#include "protocol/ProtocolColumns.h"
#include "reports/ExportOptions.h"
#include "widgets/SortGridData.h"

#include <QHash>

namespace {

// The row of the latest "Stopp" among `rows`, -1 for none.
int LatestFinish(const Snapshot& s, const QList<int>& rows) {
    int best = -1;
    for (int r : rows)
        if (best < 0 || CompareTimeTexts(s.Cell(Col::Stopp, r), s.Cell(Col::Stopp, best)) > 0)
            best = r;
    return best;
}

bool Finished(const Snapshot& s, int row) {
    return !s.Cell(Col::Zeit, row).trimmed().isEmpty();
}

int FindLastFinish(const Snapshot& s, const Snapshot* previous) {
    QList<int> candidates;
    if (!previous) {
        for (int r = 1; r < s.RowCount(); ++r)
            if (Finished(s, r))
                candidates << r;
        return LatestFinish(s, candidates);
    }
    QHash<QString, QString> before;
    before.reserve(previous->RowCount());
    for (int r = 1; r < previous->RowCount(); ++r)
        before.insert(previous->Cell(Col::StNr, r), previous->Cell(Col::Zeit, r));
    for (int r = 1; r < s.RowCount(); ++r) {
        if (!Finished(s, r))
            continue;
        const auto it = before.constFind(s.Cell(Col::StNr, r));
        if (it == before.constEnd() || *it != s.Cell(Col::Zeit, r))
            candidates << r;
    }
    if (!candidates.isEmpty())
        return LatestFinish(s, candidates);
    // Nothing new: the same athlete as before, wherever the ranking moved the row.
    if (previous->lastFinishRow < 1)
        return -1;
    const QString number = previous->Cell(Col::StNr, previous->lastFinishRow);
    for (int r = 1; r < s.RowCount(); ++r)
        if (s.Cell(Col::StNr, r) == number && Finished(s, r))
            return r;
    return -1;
}

} // namespace

std::shared_ptr<Snapshot> TakeSnapshot(const SortGridData& grid, const SnapshotInputs& inputs,
                                       const Snapshot* previous) {
    auto s = std::make_shared<Snapshot>();
    s->version = previous ? previous->version + 1 : 1;
    s->title = inputs.title;
    s->running = inputs.running;
    s->classes = inputs.classes;
    const QTime clock = inputs.now.time();
    s->stand = clock.toString(QStringLiteral("HH:mm:ss"));
    s->dayMs = clock.msecsSinceStartOfDay();
    s->raceMs = inputs.raceMs;
    s->taken.start();
    s->colWidths = inputs.colWidths;
    ExportOptions options;
    options.colWidths = inputs.colWidths;
    s->columns = VisibleColumns(grid, options, false);

    // Rows waiting for a start (no start number) at the end are nothing to show.
    int n = grid.RowCount();
    while (n > 1 && grid.Cell(Col::StNr, n - 1).trimmed().isEmpty())
        --n;
    s->cells.reserve(static_cast<size_t>(n));
    for (int r = 0; r < n; ++r)
        s->cells.push_back(grid.Rows(r));
    s->lastFinishRow = FindLastFinish(*s, previous);
    return s;
}

bool SameContent(const Snapshot& a, const Snapshot& b) {
    return a.title == b.title && a.running == b.running && a.classes == b.classes && a.columns == b.columns &&
           a.cells == b.cells;
}
