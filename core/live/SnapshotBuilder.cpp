#include "core/live/SnapshotBuilder.h"

#include "core/files/ExportOptions.h"
#include "core/grid/SortGridData.h"
#include "core/race/ProtocolColumns.h"

#include <QHash>

namespace {

const QString& At(const Snapshot& s, int col, int row) {
    static const QString empty;
    if (row < 0 || row >= s.RowCount())
        return empty;
    const QStringList& cells = s.cells[static_cast<size_t>(row)];
    return col >= 0 && col < cells.size() ? cells.at(col) : empty;
}

bool Finished(const Snapshot& s, int row) {
    const QString& zeit = At(s, Col::Zeit, row);
    for (const QChar ch : zeit)
        if (!ch.isSpace())
            return true;
    return false;
}

// The row of the latest "Stopp" among `rows`, -1 for none.
int LatestFinish(const Snapshot& s, const QList<int>& rows) {
    int best = -1;
    for (int r : rows)
        if (best < 0 || CompareTimeTexts(At(s, Col::Stopp, r), At(s, Col::Stopp, best)) > 0)
            best = r;
    return best;
}

int FindLastFinish(const Snapshot& s, const Snapshot* previous) {
    QList<int> candidates;
    if (!previous) {
        for (int r = 1; r < s.RowCount(); ++r)
            if (Finished(s, r))
                candidates << r;
        return LatestFinish(s, candidates);
    }
    // Mostly a row stays where it was; only rows that moved are looked up by number.
    QHash<QString, int> before;
    for (int r = 1; r < s.RowCount(); ++r) {
        if (!Finished(s, r))
            continue;
        const QString& number = At(s, Col::StNr, r);
        int old = r;
        if (At(*previous, Col::StNr, r) != number) {
            if (before.isEmpty()) {
                before.reserve(previous->RowCount());
                for (int p = 1; p < previous->RowCount(); ++p)
                    before.insert(At(*previous, Col::StNr, p), p);
            }
            old = before.value(number, -1);
        }
        if (old < 0 || At(*previous, Col::Zeit, old) != At(s, Col::Zeit, r))
            candidates << r;
    }
    if (!candidates.isEmpty())
        return LatestFinish(s, candidates);
    // Nothing new: the same athlete as before, wherever the ranking moved the row.
    if (previous->lastFinishRow < 1)
        return -1;
    const QString& number = At(*previous, Col::StNr, previous->lastFinishRow);
    if (At(s, Col::StNr, previous->lastFinishRow) == number && Finished(s, previous->lastFinishRow))
        return previous->lastFinishRow;
    for (int r = 1; r < s.RowCount(); ++r)
        if (At(s, Col::StNr, r) == number && Finished(s, r))
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
    const int cols = grid.ColCount();
    for (int r = 0; r < n; ++r) {
        // A row as it was is shared with the previous snapshot, not copied: comparing the
        // two snapshots then costs one pointer comparison for it.
        if (previous && r < previous->RowCount()) {
            const QStringList& old = previous->cells[static_cast<size_t>(r)];
            bool same = old.size() == cols;
            for (int c = 0; same && c < cols; ++c)
                same = grid.Cell(c, r) == old.at(c);
            if (same) {
                s->cells.push_back(old);
                continue;
            }
        }
        s->cells.push_back(grid.Rows(r));
    }
    s->lastFinishRow = FindLastFinish(*s, previous);
    return s;
}

bool SameContent(const Snapshot& a, const Snapshot& b) {
    return a.title == b.title && a.running == b.running && a.classes == b.classes && a.columns == b.columns &&
           a.cells == b.cells;
}
