#include "core/race/JournalReplay.h"

#include "core/race/JournalEntry.h"
#include "core/race/ProtocolColumns.h"
#include "core/race/ProtocolEdits.h"

#include <QRegularExpression>

namespace {

const QString kMassStart = QStringLiteral("Massenstart");
const QString kIndividual = QStringLiteral("Einzelstart");
const QString kClasses = QStringLiteral("Klassen");

void AppendEmptyRow(SortGridData& g) {
    g.SetRowCount(g.RowCount() + 1);
    const int row = g.RowCount() - 1;
    for (int col = 0; col < g.ColCount(); ++col)
        g.SetCell(col, row, QString());
}

bool RowEmpty(const SortGridData& g, int row, int cols) {
    for (int col = 0; col < cols; ++col)
        if (!g.Cell(col, row).trimmed().isEmpty())
            return false;
    return true;
}

// Clears all data rows; one empty data row stays, as in a cleared grid.
void Reset(SortGridData& g) {
    g.SetRowCount(2);
    for (int col = 0; col < g.ColCount(); ++col)
        g.SetCell(col, 1, QString());
}

int IntValue(const JournalEntry& e, const QString& key, bool& ok) {
    return e.Value(key).toInt(&ok);
}

// The protocol row an event names: its row number when that row still carries the
// event's start number, else the first row with that number.
int ResolveRow(const SortGridData& g, const JournalEntry& e, const QString& key, bool emptyOk = false) {
    bool ok = false;
    const int index = IntValue(e, key, ok);
    const QString number = e.number.trimmed();
    const bool inRange = ok && index >= 1 && index < g.RowCount();
    if (inRange) {
        const QString at = g.Cell(Col::StNr, index).trimmed();
        if (at == number || (emptyOk && at.isEmpty()))
            return index;
    }
    if (!number.isEmpty())
        for (int r = 1; r < g.RowCount(); ++r)
            if (g.Cell(Col::StNr, r).trimmed() == number)
                return r;
    return inRange && number.isEmpty() ? index : -1;
}

// The queued finish an event names: its row when number and time still match there.
int ResolveFinishRow(const SortGridData& g, const JournalEntry& e) {
    bool ok = false;
    const int index = IntValue(e, JournalKey::FinishRow, ok);
    const QString number = e.Value(JournalKey::Number);
    auto matches = [&](int r) {
        return g.Cell(FinishCol::Number, r) == number && g.Cell(FinishCol::Kontakt, r) == e.time;
    };
    if (ok && index >= 1 && index < g.RowCount() && matches(index))
        return index;
    for (int r = 1; r < g.RowCount(); ++r)
        if (matches(r))
            return r;
    for (int r = 1; r < g.RowCount(); ++r)
        if (g.Cell(FinishCol::Number, r) == number)
            return r;
    return -1;
}

// Writes every pair of `e` whose key names a protocol column.
void ApplyCells(SortGridData& g, int row, const JournalEntry& e) {
    for (const auto& [key, value] : e.detail)
        for (int col = 0; col < Col::Count; ++col)
            if (key == CellKey(col))
                g.SetCell(col, row, value);
}

void RankIf(SortGridData& g, const JournalEntry& e) {
    bool found = false;
    const QString text = e.Value(JournalKey::Ranked, &found);
    if (found)
        RankProtocolRows(g, ReadRankingText(text));
}

void ReplayStart(SortGridData& g, const JournalEntry& e) {
    bool ok = false;
    const int index = IntValue(e, JournalKey::Row, ok);
    if (!ok)
        return; // mass start: no row is written
    int row = ResolveRow(g, e, JournalKey::Row, true);
    if (row < 1) {
        // A row number far beyond the table is not believed: the start gets a new row.
        if (index >= g.RowCount() && index <= g.RowCount() + 1) {
            while (g.RowCount() <= index)
                AppendEmptyRow(g);
            row = index;
        } else {
            row = g.RowCount() - 1;
            if (!RowEmpty(g, row, g.ColCount())) {
                AppendEmptyRow(g);
                row = g.RowCount() - 1;
            }
        }
    }
    g.SetCell(Col::StNr, row, e.number);
    g.SetCell(Col::Start, row, e.time);
    g.SetCell(Col::Platz, row, QStringLiteral("-"));
    ApplyCells(g, row, e);
    if (row == g.RowCount() - 1)
        AppendEmptyRow(g);
}

void ReplayFinishRow(SortGridData& g, const JournalEntry& e) {
    const int row = ResolveRow(g, e, JournalKey::Row);
    if (row < 1)
        return;
    g.SetCell(Col::Stopp, row, e.time);
    ApplyCells(g, row, e);
    RankIf(g, e);
}

void ReplayQueued(SortGridData& f, const JournalEntry& e) {
    int row = 1;
    const bool single = f.RowCount() <= 2 && RowEmpty(f, 1, f.ColCount());
    if (!single) {
        AppendEmptyRow(f);
        row = f.RowCount() - 1;
    }
    f.SetCell(FinishCol::Kontakt, row, e.time);
    f.SetCell(FinishCol::Number, row, e.Value(JournalKey::Number));
}

void ReplayAssign(SortGridData& g, SortGridData& f, const JournalEntry& e) {
    const int k = ResolveFinishRow(f, e);
    bool marked = false;
    const QString mark = e.Value(JournalKey::Marked, &marked);
    if (marked) {
        if (k >= 1)
            f.SetCell(FinishCol::Nr, k, mark);
        return;
    }
    const int row = ResolveRow(g, e, JournalKey::Row);
    if (row >= 1)
        ApplyCells(g, row, e);
    if (k >= 1)
        f.DeleteRow(k);
    RankIf(g, e);
}

void ReplayCell(SortGridData& g, const JournalEntry& e) {
    const int row = ResolveRow(g, e, JournalKey::Row);
    bool ok = false;
    const int col = IntValue(e, JournalKey::Column, ok);
    if (row < 1 || !ok || col < 0 || col >= g.ColCount())
        return;
    g.SetCell(col, row, e.Value(JournalKey::New));
}

void ReplayMove(SortGridData& g, const JournalEntry& e) {
    const int from = ResolveRow(g, e, JournalKey::Row);
    if (from < 1)
        return;
    bool ok = false;
    int to = IntValue(e, JournalKey::Target, ok);
    if (!ok || to < 1 || to >= g.RowCount() || to == from || g.Cell(Col::StNr, to).trimmed() != e.number.trimmed())
        to = ProtocolEdits::FindOtherRow(g, e.number, from);
    if (to < 1)
        return;
    ApplyCells(g, to, e);
    g.DeleteRow(from);
    RankIf(g, e);
}

// What a restart did to the tables: they came back from the backups, which keep
// neither the hidden column nor empty rows, and were ranked.
void ReplayProgramStart(SortGridData& g, SortGridData& f, const JournalEntry& e) {
    for (int r = 1; r < g.RowCount(); ++r)
        g.SetCell(Col::Raw, r, QString());
    for (int r = g.RowCount() - 1; r >= 1 && g.RowCount() > 2; --r)
        if (RowEmpty(g, r, Col::Raw))
            g.DeleteRow(r);
    for (int r = f.RowCount() - 1; r >= 1 && f.RowCount() > 2; --r)
        if (RowEmpty(f, r, f.ColCount()))
            f.DeleteRow(r);
    RankIf(g, e);
    bool allStarted = true;
    for (int r = 1; r < g.RowCount(); ++r)
        allStarted = allStarted && !g.Cell(Col::Start, r).trimmed().isEmpty();
    if (allStarted)
        AppendEmptyRow(g);
}

void ReplayStartListRow(SortGridData& g, const JournalEntry& e) {
    bool ok = false;
    const int row = IntValue(e, JournalKey::Row, ok);
    // The rows come in order, so each is at most one beyond the table.
    if (!ok || row < 0 || row > g.RowCount())
        return;
    if (g.RowCount() <= row)
        g.SetRowCount(row + 1);
    QStringList cells = e.cells;
    while (cells.size() < g.ColCount())
        cells << QString();
    g.SetRows(row, cells.mid(0, g.ColCount()));
}

void Replay(SortGridData& g, SortGridData& f, const JournalEntry& e) {
    using namespace JournalEvent;
    const QString& ev = e.event;
    if (ev == Start) {
        ReplayStart(g, e);
    } else if (ev == Finish || ev == TimeCorrected) {
        if (ev == Finish)
            ReplayFinishRow(g, e);
        else if (const int row = ResolveRow(g, e, JournalKey::Row); row >= 1) {
            ApplyCells(g, row, e);
            RankIf(g, e);
        }
    } else if (ev == Queued) {
        ReplayQueued(f, e);
    } else if (ev == Assign) {
        ReplayAssign(g, f, e);
    } else if (ev == StartList) {
        g.SetRowCount(2);
        for (int col = 0; col < g.ColCount(); ++col)
            g.SetCell(col, 1, QString());
    } else if (ev == StartListRow) {
        ReplayStartListRow(g, e);
    } else if (ev == Cleared) {
        Reset(g);
        Reset(f);
    } else if (ev == CellTyped) {
        ReplayCell(g, e);
    } else if (ev == ResultMoved) {
        ReplayMove(g, e);
    } else if (ev == TimeCleared) {
        if (const int row = ResolveRow(g, e, JournalKey::Row); row >= 1)
            ProtocolEdits::ClearResults(g, row);
        RankIf(g, e);
    } else if (ev == AllTimesCleared) {
        ProtocolEdits::ClearAllResults(g);
    } else if (ev == RowDeleted) {
        if (const int row = ResolveRow(g, e, JournalKey::Row); row >= 1)
            g.DeleteRow(row);
        RankIf(g, e);
    } else if (ev == RowInserted) {
        if (e.Has(JournalKey::Appended)) {
            AppendEmptyRow(g);
        } else if (const int row = ResolveRow(g, e, JournalKey::Row); row >= 1) {
            g.InsertRow(row + 1);
        }
    } else if (ev == FinishRowDeleted) {
        if (const int k = ResolveFinishRow(f, e); k >= 1)
            f.DeleteRow(k);
    } else if (ev == FinishTimesCleared) {
        Reset(f);
    } else if (ev == Ranked) {
        RankIf(g, e);
    } else if (ev == ProgramStart) {
        ReplayProgramStart(g, f, e);
    }
}

bool HasText(const SortGridData& g) {
    for (int r = 1; r < g.RowCount(); ++r)
        if (!RowEmpty(g, r, g.ColCount()))
            return true;
    return false;
}

} // namespace

QString RankingText(const RankingOptions& o) {
    QStringList parts{o.individualStart ? kIndividual : kMassStart};
    if (o.classMode)
        parts << kClasses;
    parts << QString::number(o.fractionDigits);
    return parts.join(QStringLiteral(", "));
}

RankingOptions ReadRankingText(const QString& text) {
    RankingOptions o;
    const QStringList parts = text.split(QStringLiteral(", "));
    o.individualStart = !parts.contains(kMassStart);
    o.classMode = parts.contains(kClasses);
    bool ok = false;
    const int digits = parts.isEmpty() ? 2 : parts.last().toInt(&ok);
    if (ok && digits >= 0 && digits <= 3)
        o.fractionDigits = digits;
    return o;
}

QString CellKey(int col) {
    static const QStringList keys{QStringLiteral("Platz"),    QStringLiteral("St.Nr."),  QStringLiteral("Vorname"),
                                  QStringLiteral("Nachname"), QStringLiteral("JG"),      QStringLiteral("Verein"),
                                  QStringLiteral("Klasse"),   QStringLiteral("Kl.-Pl."), QStringLiteral("Start"),
                                  QStringLiteral("Stopp"),    QStringLiteral("Zeit"),    QStringLiteral("Split"),
                                  QStringLiteral("Roh")};
    return col >= 0 && col < keys.size() ? keys[col] : QString();
}

void AddCells(JournalEntry& entry, const SortGridData& grid, int row, std::initializer_list<int> cols) {
    for (const int col : cols)
        entry.Add(CellKey(col), grid.Cell(col, row));
}

namespace {

// The journal's whole lines; everything after the last line end is a line the write
// did not finish.
QList<JournalEntry> ReadEntries(const QByteArray& journal, JournalReplayResult& result) {
    QList<QByteArray> lines = journal.split('\n');
    if (!lines.isEmpty()) {
        if (!lines.last().isEmpty())
            result.lastLineCut = true;
        lines.removeLast();
    }
    QList<JournalEntry> entries;
    entries.reserve(lines.size());
    for (const QByteArray& line : lines) {
        JournalEntry e;
        if (ParseJournalLine(line, e))
            entries.append(std::move(e));
        else if (!line.startsWith("Datum\t") && !line.trimmed().isEmpty())
            ++result.skipped;
    }
    return entries;
}

// Answers the ranking's question how the time columns sort, as the protocol grid does;
// a replayed grid has no widget to ask.
class ProtocolSortStyles final : public SortGridEvents {
public:
    explicit ProtocolSortStyles(SortGridData& grid) : m_grid(grid) { grid.SetEvents(this); }
    ~ProtocolSortStyles() override {
        if (m_grid.Events() == this)
            m_grid.SetEvents(nullptr);
    }
    ProtocolSortStyles(const ProtocolSortStyles&) = delete;
    ProtocolSortStyles& operator=(const ProtocolSortStyles&) = delete;

    bool GetSortStyle(int col, TSortStyle& style) override {
        ProtocolSortStyle(m_grid, col, style);
        return true;
    }
    void GridChanged() override {}
    void CellChanged(int, int) override {}
    void TopLeftChanged() override {}
    void RowSelected() override {}
    void Modified() override {}
    void UpdateBegun() override {}
    void UpdateEnded() override {}
    void SizeChanged(int, int) override {}
    void RowInserted(int) override {}
    void RowDeleted(int) override {}
    void ColumnInserted(int) override {}
    void ColumnDeleted(int) override {}
    void Error(const QString&) override {}
    bool CanSelectCell(int, int) override { return true; }
    int VisibleColCountFrom(int) override { return -1; }
    void AutoSizeColumn(int, bool) override {}
    void SortBegun(int&) override {}
    void SortEnded(int) override {}
    void FilterRow(const QStringList&, bool&) override {}

private:
    SortGridData& m_grid;
};

} // namespace

QList<JournalEntry> CurrentRaceEntries(const QByteArray& journal) {
    JournalReplayResult unused;
    const QList<JournalEntry> entries = ReadEntries(journal, unused);
    qsizetype from = 0;
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (entries[i].event == JournalEvent::Cleared || entries[i].event == JournalEvent::StartList)
            from = i;
    QList<JournalEntry> race;
    for (qsizetype i = from; i < entries.size(); ++i)
        if (entries[i].event != JournalEvent::StartListRow)
            race << entries[i];
    return race;
}

JournalReplayResult ReplayJournal(const QByteArray& journal, SortGridData& protocol, SortGridData& finish) {
    JournalReplayResult result;
    const QList<JournalEntry> entries = ReadEntries(journal, result);
    // The protocol from its last start list or clearing on, the finish table from the
    // last clearing on (a start list leaves the queued finishes as they are).
    qsizetype fromProtocol = 0;
    qsizetype fromFinish = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries[i].event == JournalEvent::Cleared)
            fromProtocol = fromFinish = i;
        else if (entries[i].event == JournalEvent::StartList)
            fromProtocol = i;
    }
    Reset(protocol);
    Reset(finish);
    SortGridData unused(finish.ColCount(), 2);
    SortGridData unusedProtocol(protocol.ColCount(), 2);
    // The ranking sorts the time columns as the protocol grid does.
    const ProtocolSortStyles protocolStyles(protocol);
    const ProtocolSortStyles unusedStyles(unusedProtocol);
    for (qsizetype i = std::min(fromProtocol, fromFinish); i < entries.size(); ++i) {
        SortGridData& g = i >= fromProtocol ? protocol : unusedProtocol;
        SortGridData& f = i >= fromFinish ? finish : unused;
        Replay(g, f, entries[i]);
        ++result.events;
    }
    result.content = HasText(protocol) || HasText(finish);
    return result;
}

QString ReplayNotice(const JournalReplayResult& result) {
    if (result.skipped == 0 && !result.lastLineCut)
        return QString();
    const int count = result.skipped + (result.lastLineCut ? 1 : 0);
    return count == 1 ? QStringLiteral("Journal: eine beschädigte Zeile übersprungen")
                      : QStringLiteral("Journal: %1 beschädigte Zeilen übersprungen").arg(count);
}
