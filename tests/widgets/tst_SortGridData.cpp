#include "core/grid/SortGridData.h"
#include "support/GridHooks.h"

#include <QLocale>
#include <QtTest>

#include <memory>

class SortGridDataTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    // rows and columns
    void rowsBeyondCountStayStored();
    void insertRow_data();
    void insertRow();
    void insertRowBeyondLastRowReportsError();
    void insertRowClearsStaleTexts();
    void deleteRow();
    void deleteRowKeepsLastDataRow();
    void clearGrid();
    void exchangeRows();
    void exchangeWithRowBeyondCount();
    void insertAndDeleteColumn();
    void moveColumnSortColFollows_data();
    void moveColumnSortColFollows();
    void findRow_data();
    void findRow();
    // navigation
    void goToCellClampsAndAsks();
    void scrollToCell_data();
    void scrollToCell();
    void wheelSteps();
    void scrollToCellLeftCol();
    void incrementalSearch();
    // update state and size changes
    void sizeChangeOutsideUpdate();
    void rowsizeTooSmall();
    void countsDuringUpdateOnlySetCounts();
    void nestedEndUpdateRunsSizeChange();
    void updateOnSizeChangeResorts();
    void nestedUpdateKeepsUpdateOnSizeChange();
    // sorting
    void tiesKeepOrderBothDirections_data();
    void tiesKeepOrderBothDirections();
    void secondaryIndex_data();
    void secondaryIndex();
    void badSecondaryIndexWritesNoRow_data();
    void badSecondaryIndexWritesNoRow();
    void caseFolding();
    void automaticStyleIsDetectedAndKept();
    void sortStyleVariableCarriesOver();
    void customCompareIsResetAfterSort();
    void selectionFollowsRows();
    void sortEventsAndCanSort();
    void sortLargeGridMatchesReference();
    // filter
    void filterKeepsAcceptedRows();
    void filterAcceptingNothing();
    void filterAgainLosesNoRow();
    void filterRestoresModified();
    void rowOperationsWhileFilteredKeepHiddenRows();
    // events
    void oneReceiverOfEvents();
};

namespace {

// The engine with its events reachable by the test.
struct HookedGrid : SortGridData {
    using SortGridData::SortGridData;
    GridHooks hooks{*this};
};

// Data rows from `rows`, each "a|b|c" giving the cells of columns 0, 1, 2.
std::unique_ptr<HookedGrid> MakeGrid(const QStringList& rows, int cols = 3) {
    auto grid = std::make_unique<HookedGrid>(cols, int(rows.size()) + 1);
    for (int c = 0; c < cols; ++c)
        grid->SetCell(c, 0, QStringLiteral("H%1").arg(c));
    for (int r = 0; r < rows.size(); ++r)
        grid->SetRows(r + 1, rows[r].split(u'|'));
    return grid;
}

// Column `col` of the data rows, header left out.
QStringList Column(const SortGridData& grid, int col = 0) {
    return grid.Cols(col).mid(1);
}

} // namespace

void SortGridDataTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

// --- rows and columns

void SortGridDataTest::rowsBeyondCountStayStored() {
    auto grid = MakeGrid({"a", "b", "c", "d"});
    grid->SetRowCount(3);
    QCOMPARE(Column(*grid), QStringList({"a", "b"}));
    QCOMPARE(grid->Cell(0, 4), QString("d"));
    grid->SetRowCount(5);
    QCOMPARE(Column(*grid), QStringList({"a", "b", "c", "d"}));
}

void SortGridDataTest::insertRow_data() {
    QTest::addColumn<int>("at");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("current");
    QTest::newRow("first") << 1 << QStringList{"", "r1", "r2", "r3", "r4", "r5"} << 1;
    QTest::newRow("middle") << 3 << QStringList{"r1", "r2", "", "r3", "r4", "r5"} << 3;
    QTest::newRow("before last") << 4 << QStringList{"r1", "r2", "r3", "", "r4", "r5"} << 4;
    QTest::newRow("last appends") << 5 << QStringList{"r1", "r2", "r3", "r4", "r5", ""} << 6;
}

void SortGridDataTest::insertRow() {
    QFETCH(int, at);
    QFETCH(QStringList, expected);
    QFETCH(int, current);
    auto grid = MakeGrid({"r1", "r2", "r3", "r4", "r5"});
    int inserted = -1;
    grid->hooks.OnRowInsert = [&](int row) { inserted = row; };
    grid->InsertRow(at);
    QCOMPARE(grid->RowCount(), 7);
    QCOMPARE(Column(*grid), expected);
    QCOMPARE(grid->Row(), current);
    QCOMPARE(inserted, current);
    QCOMPARE(grid->SelectedRows(), std::vector<int>{current});
}

void SortGridDataTest::insertRowBeyondLastRowReportsError() {
    auto grid = MakeGrid({"r1", "r2"});
    QStringList errors;
    bool inserted = false;
    grid->hooks.OnError = [&](const QString& m) { errors << m; };
    grid->hooks.OnRowInsert = [&](int) { inserted = true; };
    grid->InsertRow(3);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(Column(*grid), QStringList({"r1", "r2", ""}));
    QCOMPARE(errors, QStringList{"Grid index out of range"});
    QVERIFY(!inserted);
}

void SortGridDataTest::insertRowClearsStaleTexts() {
    auto grid = MakeGrid({"r1", "r2", "r3"});
    grid->SetRowCount(3); // "r3" stays stored behind the last row
    grid->InsertRow(1);
    QCOMPARE(Column(*grid), QStringList({"", "r1", "r2"}));
}

void SortGridDataTest::deleteRow() {
    auto grid = MakeGrid({"r1", "r2", "r3"});
    int deleted = -1;
    int modified = 0;
    grid->hooks.OnRowDelete = [&](int row) { deleted = row; };
    grid->hooks.OnModified = [&] { ++modified; };
    grid->DeleteRow(2);
    QCOMPARE(Column(*grid), QStringList({"r1", "r3"}));
    QCOMPARE(deleted, 2);
    QVERIFY(grid->Modified());
    QVERIFY(modified > 0);
    // The deleted row does not come back when the grid grows again.
    grid->SetRowCount(4);
    QCOMPARE(Column(*grid), QStringList({"r1", "r3", ""}));
}

void SortGridDataTest::deleteRowKeepsLastDataRow() {
    auto grid = MakeGrid({"only|x|y"});
    int deleted = -1;
    grid->hooks.OnRowDelete = [&](int row) { deleted = row; };
    grid->DeleteRow(1);
    QCOMPARE(grid->RowCount(), 2);
    QCOMPARE(grid->Rows(1), QStringList({"", "", ""}));
    QCOMPARE(grid->Cell(0, 0), QString("H0"));
    QCOMPARE(deleted, 1);
    QVERIFY(grid->Modified());
}

void SortGridDataTest::clearGrid() {
    auto grid = MakeGrid({"r1|a", "r2|b", "r3|c"});
    grid->GoToCell(2, 3, false);
    grid->SortOptions.UpdateOnSizeChange = true;
    QList<QPair<int, int>> sizes;
    QList<int> autoSized;
    int rowSelected = 0;
    grid->hooks.OnSizeChanged = [&](int c, int r) { sizes.append({c, r}); };
    grid->hooks.OnAutoSizeColumn = [&](int col, bool force) {
        QVERIFY(force);
        QVERIFY(grid->Updating());
        autoSized << col;
    };
    grid->hooks.OnRowSelected = [&] { ++rowSelected; };
    grid->ClearGrid();
    QCOMPARE(grid->RowCount(), 2);
    QCOMPARE(grid->Rows(1), QStringList({"", "", ""}));
    QCOMPARE(grid->Rows(0), QStringList({"H0", "H1", "H2"}));
    QCOMPARE(grid->Col(), 0);
    QCOMPARE(grid->Row(), 1);
    QVERIFY(grid->Modified());
    QCOMPARE(sizes, (QList<QPair<int, int>>{{3, 2}}));
    QCOMPARE(autoSized, (QList<int>{0, 1, 2}));
    QVERIFY(rowSelected > 0);
    QVERIFY(!grid->Updating());
    QVERIFY(grid->SortOptions.UpdateOnSizeChange); // the nested update inside must not lose it
    // The cleared rows stay empty when the grid grows again.
    grid->SetRowCount(4);
    QCOMPARE(Column(*grid), QStringList({"", "", ""}));
}

void SortGridDataTest::exchangeRows() {
    auto grid = MakeGrid({"r1", "r2", "r3", "r4"});
    grid->ExchangeRows(1, 3);
    QCOMPARE(Column(*grid), QStringList({"r3", "r2", "r1", "r4"}));
    grid->ExchangeRows(4, 2);
    QCOMPARE(Column(*grid), QStringList({"r3", "r4", "r1", "r2"}));
    grid->ExchangeRows(2, 2);
    QCOMPARE(Column(*grid), QStringList({"r3", "r4", "r1", "r2"}));
}

void SortGridDataTest::exchangeWithRowBeyondCount() {
    auto grid = MakeGrid({"r1", "r2", "r3"});
    grid->ExchangeRows(1, grid->RowCount());
    QCOMPARE(Column(*grid), QStringList({"", "r2", "r3"}));
    QCOMPARE(grid->Cell(0, 4), QString("r1"));
}

void SortGridDataTest::insertAndDeleteColumn() {
    auto grid = MakeGrid({"a|b|c", "d|e|f"});
    QList<int> inserted;
    QList<int> deleted;
    grid->hooks.OnColumnInsert = [&](int c) { inserted << c; };
    grid->hooks.OnColumnDelete = [&](int c) { deleted << c; };
    grid->InsertColumn(1);
    QCOMPARE(grid->ColCount(), 4);
    QCOMPARE(grid->Rows(1), QStringList({"a", "", "b", "c"}));
    QCOMPARE(grid->Rows(0), QStringList({"H0", "", "H1", "H2"}));
    QCOMPARE(grid->Col(), 1);
    grid->DeleteColumn(0);
    QCOMPARE(grid->ColCount(), 3);
    QCOMPARE(grid->Rows(2), QStringList({"", "e", "f"}));
    QCOMPARE(inserted, QList<int>{1});
    QCOMPARE(deleted, QList<int>{0});
}

void SortGridDataTest::moveColumnSortColFollows_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("sortCol");
    QTest::addColumn<int>("expected");
    QTest::newRow("sort column moves") << 2 << 5 << 2 << 5;
    QTest::newRow("moved in front") << 5 << 1 << 3 << 4;
    QTest::newRow("moved behind") << 1 << 5 << 3 << 2;
    QTest::newRow("unaffected") << 4 << 6 << 2 << 2;
}

void SortGridDataTest::moveColumnSortColFollows() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, sortCol);
    QFETCH(int, expected);
    SortGridData grid(8, 3);
    for (int c = 0; c < 8; ++c)
        grid.SetCell(c, 1, QString::number(c));
    grid.SortOptions.SortCol = sortCol;
    grid.MoveColumn(from, to);
    QCOMPARE(grid.SortOptions.SortCol, expected);
    QCOMPARE(grid.Cell(to, 1), QString::number(from));
    QCOMPARE(grid.Cell(expected, 1), QString::number(sortCol));
    QVERIFY(grid.Modified());
}

void SortGridDataTest::findRow_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ignoreCase");
    QTest::addColumn<int>("expected");
    QTest::newRow("exact") << "Meier" << false << 2;
    QTest::newRow("case differs") << "MEIER" << false << -1;
    QTest::newRow("ignore case") << "MEIER" << true << 2;
    QTest::newRow("umlaut not folded") << "\u00d6ller" << true << -1;
    QTest::newRow("umlaut exact") << "\u00f6ller" << true << 4;
    QTest::newRow("empty finds first empty cell") << "" << false << 3;
    QTest::newRow("none") << "Huber" << false << -1;
}

void SortGridDataTest::findRow() {
    QFETCH(QString, text);
    QFETCH(bool, ignoreCase);
    QFETCH(int, expected);
    auto grid = MakeGrid({"Abel", "Meier", "", "\u00f6ller"});
    QCOMPARE(grid->FindRow(0, text, ignoreCase), expected);
}

// --- navigation

void SortGridDataTest::goToCellClampsAndAsks() {
    auto grid = MakeGrid({"a", "b", "c", "d"});
    grid->GoToCell(7, 99, false);
    QCOMPARE(grid->Col(), 2);
    QCOMPARE(grid->Row(), 4);
    grid->GoToCell(-3, 0, false);
    QCOMPARE(grid->Col(), 0);
    QCOMPARE(grid->Row(), 1);
    QCOMPARE(grid->SelectedRows(), std::vector<int>{1});
    grid->hooks.OnCanSelectCell = [](int, int row) { return row != 3; };
    grid->GoToCell(1, 3, true);
    QCOMPARE(grid->Col(), 0);
    QCOMPARE(grid->Row(), 1);
    grid->GoToCell(1, 2, true);
    QCOMPARE(grid->Row(), 2);
    QCOMPARE(grid->Anchor(), 2);
}

void SortGridDataTest::scrollToCell_data() {
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("top");
    QTest::newRow("middle: one row below top") << 101 << 50 << 49;
    QTest::newRow("first row") << 101 << 1 << 1;
    QTest::newRow("second row") << 101 << 2 << 1;
    QTest::newRow("last page") << 101 << 100 << 91;
    QTest::newRow("beyond clamps") << 101 << 500 << 91;
    QTest::newRow("short grid") << 6 << 5 << 1;
}

void SortGridDataTest::scrollToCell() {
    QFETCH(int, rowCount);
    QFETCH(int, row);
    QFETCH(int, top);
    SortGridData grid(3, rowCount);
    grid.SetVisibleRowCount(10);
    grid.ScrollToCell(0, row);
    QCOMPARE(grid.TopRow(), top);
}

void SortGridDataTest::wheelSteps() {
    SortGridData grid(3, 101);
    grid.SetVisibleRowCount(10);
    grid.ScrollToCell(0, 6); // rows 5 to 14 in view
    QCOMPARE(grid.TopRow(), 5);
    grid.WheelDown();
    QCOMPARE(grid.TopRow(), 6);
    grid.WheelUp();
    QCOMPARE(grid.TopRow(), 3);
    grid.WheelUp();
    QCOMPARE(grid.TopRow(), 1);
    QCOMPARE(grid.Row(), 1); // the current cell stays
    grid.ScrollToCell(0, 100);
    grid.WheelDown();
    QCOMPARE(grid.TopRow(), 91);
}

void SortGridDataTest::scrollToCellLeftCol() {
    SortGridData grid(13, 20);
    grid.SetVisibleColCount(3);
    grid.ScrollToCell(10, 1);
    QCOMPARE(grid.LeftCol(), 8);
    grid.ScrollToCell(9, 1);
    QCOMPARE(grid.LeftCol(), 8);
    grid.ScrollToCell(2, 1);
    QCOMPARE(grid.LeftCol(), 2);
}

void SortGridDataTest::incrementalSearch() {
    auto grid = MakeGrid({"x|Meier", "x|albers", "x|mayer", "x|", "x|Huber"});
    grid->SortOptions.SortCol = 1;
    grid->GoToCell(1, 1, false);
    QVERIFY(grid->IncrementalSearch(u'm'));
    QCOMPARE(grid->Row(), 3);
    QVERIFY(grid->IncrementalSearch(u'M'));
    QCOMPARE(grid->Row(), 1); // continues from the top
    QVERIFY(!grid->IncrementalSearch(u'z'));
    QCOMPARE(grid->Row(), 1);
}

// --- update state and size changes

void SortGridDataTest::sizeChangeOutsideUpdate() {
    auto grid = MakeGrid({"a", "b", "c"});
    grid->GoToCell(2, 3, false);
    grid->SetVisibleRowCount(1);
    grid->ScrollToCell(2, 3);
    QList<QPair<int, int>> sizes;
    grid->hooks.OnSizeChanged = [&](int c, int r) { sizes.append({c, r}); };
    grid->SetRowCount(10);
    QCOMPARE(sizes, (QList<QPair<int, int>>{{3, 4}}));
    QCOMPARE(grid->Col(), 0);
    QCOMPARE(grid->Row(), 1);
    QCOMPARE(grid->TopRow(), 1);
    QVERIFY(grid->Modified());
}

void SortGridDataTest::rowsizeTooSmall() {
    auto grid = MakeGrid({"a", "b"});
    QStringList errors;
    grid->hooks.OnError = [&](const QString& m) { errors << m; };
    grid->SetRowCount(1);
    QCOMPARE(errors, QStringList{"Rowsize too small"});
    QCOMPARE(grid->RowCount(), 1);
}

void SortGridDataTest::countsDuringUpdateOnlySetCounts() {
    auto grid = MakeGrid({"a", "b", "c"});
    grid->GoToCell(1, 3, false);
    int sizes = 0;
    int ended = 0;
    grid->hooks.OnSizeChanged = [&](int, int) { ++sizes; };
    grid->hooks.OnEndUpdate = [&] { ++ended; };
    grid->BeginUpdate();
    QVERIFY(grid->Updating());
    grid->SetRowCount(2);
    grid->SetColCount(5);
    QCOMPARE(grid->RowCount(), 2);
    QVERIFY(!grid->Modified());
    grid->EndUpdate();
    QVERIFY(!grid->Updating());
    QCOMPARE(sizes, 0);
    QCOMPARE(ended, 1);
    QVERIFY(!grid->Modified());
    QCOMPARE(grid->Row(), 1); // kept inside the grid
}

void SortGridDataTest::nestedEndUpdateRunsSizeChange() {
    auto grid = MakeGrid({"a", "b", "c"});
    QList<QPair<int, int>> sizes;
    grid->hooks.OnSizeChanged = [&](int c, int r) { sizes.append({c, r}); };
    grid->BeginUpdate();
    grid->BeginUpdate();
    grid->SetRowCount(3);
    grid->EndUpdate(); // the flag is no counter: this ends the update
    QVERIFY(!grid->Updating());
    QVERIFY(sizes.isEmpty());
    grid->EndUpdate();
    QCOMPARE(sizes, (QList<QPair<int, int>>{{3, 3}}));
    QVERIFY(grid->Modified());
}

void SortGridDataTest::updateOnSizeChangeResorts() {
    auto grid = MakeGrid({"c", "a", "b"});
    grid->SortOptions.UpdateOnSizeChange = true;
    grid->SetRowCount(5);
    QCOMPARE(Column(*grid), QStringList({"", "a", "b", "c"}));
    grid->BeginUpdate();
    QVERIFY(!grid->SortOptions.UpdateOnSizeChange);
    grid->SetCell(0, 1, "z");
    grid->SetRowCount(6);
    grid->EndUpdate();
    QVERIFY(grid->SortOptions.UpdateOnSizeChange);
    QCOMPARE(Column(*grid), QStringList({"z", "a", "b", "c", ""}));
}

void SortGridDataTest::nestedUpdateKeepsUpdateOnSizeChange() {
    SortGridData grid(3, 4);
    grid.SortOptions.UpdateOnSizeChange = true;
    grid.BeginUpdate();
    grid.BeginUpdate();
    grid.EndUpdate();
    grid.EndUpdate();
    QVERIFY(grid.SortOptions.UpdateOnSizeChange);
}

// --- sorting

void SortGridDataTest::tiesKeepOrderBothDirections_data() {
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("ascending") << false << QStringList{"a|1", "a|2", "a|3", "b|1", "b|2"};
    QTest::newRow("descending") << true << QStringList{"b|1", "b|2", "a|1", "a|2", "a|3"};
}

void SortGridDataTest::tiesKeepOrderBothDirections() {
    QFETCH(bool, descending);
    QFETCH(QStringList, expected);
    auto grid = MakeGrid({"b|1", "a|1", "a|2", "b|2", "a|3"});
    grid->SortOptions.SortDirection = descending ? TSortDirection::sdDescending : TSortDirection::sdAscending;
    QVERIFY(grid->SortByColumn(0));
    QStringList rows;
    for (int r = 1; r < grid->RowCount(); ++r)
        rows << grid->Cell(0, r) + "|" + grid->Cell(1, r);
    QCOMPARE(rows, expected);
}

void SortGridDataTest::secondaryIndex_data() {
    QTest::addColumn<QString>("secondary");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("by 2") << "2" << false << QStringList{"p", "r", "q", "s"};
    QTest::newRow("by 2 descending") << "2" << true << QStringList{"s", "q", "r", "p"};
    QTest::newRow("primary in list ignored") << "1,2" << false << QStringList{"p", "r", "q", "s"};
    QTest::newRow("primary alone") << "1" << false << QStringList{"p", "q", "r", "s"};
    QTest::newRow("blanks around items") << " 2 " << false << QStringList{"p", "r", "q", "s"};
}

void SortGridDataTest::secondaryIndex() {
    QFETCH(QString, secondary);
    QFETCH(bool, descending);
    QFETCH(QStringList, expected);
    auto grid = MakeGrid({"p|1|c", "q|2|b", "r|2|a", "s|3|a"});
    grid->SortOptions.SecondaryIndex = secondary;
    grid->SortOptions.SortDirection = descending ? TSortDirection::sdDescending : TSortDirection::sdAscending;
    QVERIFY(grid->SortByColumn(1));
    QCOMPARE(Column(*grid), expected);
}

void SortGridDataTest::badSecondaryIndexWritesNoRow_data() {
    QTest::addColumn<QString>("secondary");
    QTest::newRow("not a number") << "x";
    QTest::newRow("column too large") << "3";
    QTest::newRow("negative") << "-1";
    QTest::newRow("bad after good") << "2,1x";
}

void SortGridDataTest::badSecondaryIndexWritesNoRow() {
    QFETCH(QString, secondary);
    auto grid = MakeGrid({"c|3|z", "a|1|x", "b|2|y"});
    grid->SortOptions.SecondaryIndex = secondary;
    QStringList errors;
    grid->hooks.OnError = [&](const QString& m) { errors << m; };
    grid->SortOptions.SortCompare = [](const QString& a, const QString& b) { return a.compare(b); };
    QVERIFY(!grid->SortByColumn(0));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first().contains(secondary.split(u',').last().trimmed()));
    QCOMPARE(Column(*grid), QStringList({"c", "a", "b"}));
    QVERIFY(!grid->Updating());
    QVERIFY(!grid->SortOptions.SortCompare);
}

void SortGridDataTest::caseFolding() {
    auto grid = MakeGrid({"b|1", "a|2", "A|3", "\u00e4|4", "\u00c4|5"});
    QVERIFY(grid->SortByColumn(0));
    // 'a' and 'A' tie (position decides); 0xC4 sorts before 0xE4.
    QCOMPARE(Column(*grid, 1), QStringList({"2", "3", "1", "5", "4"}));
    grid->SortOptions.SortCaseSensitive = true;
    grid->SetRows(1, {"b", "1"});
    grid->SetRows(2, {"a", "2"});
    grid->SetRows(3, {"A", "3"});
    QVERIFY(grid->SortByColumn(0));
    QCOMPARE(Column(*grid, 1), QStringList({"3", "2", "1", "5", "4"}));
}

void SortGridDataTest::automaticStyleIsDetectedAndKept() {
    auto grid = MakeGrid({"10|b|1.2.2024", "9|a|15.1.2024", "100|c|3.1.2023"});
    grid->SortOptions.SortStyle = TSortStyle::ssAutomatic;
    QVERIFY(grid->SortByColumn(0));
    QCOMPARE(grid->SortOptions.SortStyle, TSortStyle::ssNumeric);
    QCOMPARE(Column(*grid), QStringList({"9", "10", "100"}));
    grid->SortOptions.SortStyle = TSortStyle::ssAutomatic;
    QVERIFY(grid->SortByColumn(2));
    QCOMPARE(grid->SortOptions.SortStyle, TSortStyle::ssDateTime);
    QCOMPARE(Column(*grid, 2), QStringList({"3.1.2023", "15.1.2024", "1.2.2024"}));
    // The detected style stays for later sorts of other columns.
    QVERIFY(grid->SortByColumn(1));
    QCOMPARE(grid->SortOptions.SortStyle, TSortStyle::ssDateTime);
    QCOMPARE(Column(*grid, 1), QStringList({"a", "b", "c"}));
}

void SortGridDataTest::sortStyleVariableCarriesOver() {
    auto grid = MakeGrid({"10|x", "9|x", "2|y"});
    grid->SortOptions.SecondaryIndex = "0";
    QList<QPair<int, TSortStyle>> calls;
    grid->hooks.OnGetSortStyle = [&](int col, TSortStyle& style) {
        calls.append({col, style});
        if (col == 0)
            style = TSortStyle::ssNumeric;
    };
    QVERIFY(grid->SortByColumn(1));
    // Least significant first; the second call sees what the first one left.
    QCOMPARE(calls, (QList<QPair<int, TSortStyle>>{{0, TSortStyle::ssAutomatic}, {1, TSortStyle::ssNumeric}}));
    QCOMPARE(Column(*grid), QStringList({"9", "10", "2"}));
    calls.clear();
    QVERIFY(grid->SortByColumn(0));
    QCOMPARE(calls.first().second, TSortStyle::ssAutomatic);
    QCOMPARE(grid->SortOptions.SortStyle, TSortStyle::ssNumeric);

    // A handler leaving the style alone sorts like ssNormal.
    auto other = MakeGrid({"10", "9", "2"});
    other->hooks.OnGetSortStyle = [](int, TSortStyle&) {};
    QVERIFY(other->SortByColumn(0));
    QCOMPARE(other->SortOptions.SortStyle, TSortStyle::ssAutomatic);
    QCOMPARE(Column(*other), QStringList({"10", "2", "9"}));
}

void SortGridDataTest::customCompareIsResetAfterSort() {
    auto grid = MakeGrid({"bb", "a", "ccc"});
    grid->SortOptions.SortStyle = TSortStyle::ssCustom;
    grid->SortOptions.SortDirection = TSortDirection::sdDescending;
    grid->SortOptions.SortCompare = [](const QString& a, const QString& b) { return int(a.size() - b.size()); };
    QVERIFY(grid->SortByColumn(0));
    QCOMPARE(Column(*grid), QStringList({"ccc", "bb", "a"}));
    QVERIFY(!grid->SortOptions.SortCompare);
    // Without a compare function ssCustom falls back to the bytes.
    grid->SortOptions.SortDirection = TSortDirection::sdAscending;
    QVERIFY(grid->SortByColumn(0));
    QCOMPARE(Column(*grid), QStringList({"a", "bb", "ccc"}));
}

void SortGridDataTest::selectionFollowsRows() {
    auto grid = MakeGrid({"d", "c", "b", "a"});
    grid->GoToCell(0, 4, false);
    grid->AddSelectedRow(2);
    QVERIFY(grid->SortByColumn(0));
    QCOMPARE(grid->SelectedRows(), (std::vector<int>{1, 3}));
    QCOMPARE(grid->Row(), 1);
    QCOMPARE(grid->Cell(0, grid->Row()), QString("a"));

    grid->ClearSelection();
    grid->SetTrackSelection(false);
    grid->SetRow(2);
    grid->SortOptions.SortDirection = TSortDirection::sdDescending;
    QVERIFY(grid->SortByColumn(0));
    QCOMPARE(grid->Row(), 2); // nothing selected: the row number stays
    QVERIFY(grid->SelectedRows().empty());
}

void SortGridDataTest::sortEventsAndCanSort() {
    auto grid = MakeGrid({"b|2", "a|1"});
    QStringList events;
    grid->hooks.OnBeginSort = [&](int& col) {
        events << QStringLiteral("begin %1").arg(col);
        col = 1;
    };
    grid->hooks.OnEndSort = [&](int col) { events << QStringLiteral("end %1").arg(col); };
    grid->hooks.OnGetSortStyle = [&](int col, TSortStyle&) { events << QStringLiteral("style %1").arg(col); };
    grid->hooks.OnBeginUpdate = [&] { events << "beginUpdate"; };
    grid->hooks.OnEndUpdate = [&] { events << "endUpdate"; };
    QVERIFY(grid->SortByColumn(0));
    QCOMPARE(events, QStringList({"beginUpdate", "begin 0", "style 1", "end 1", "endUpdate"}));
    QCOMPARE(grid->SortOptions.SortCol, 0);
    QCOMPARE(Column(*grid), QStringList({"a", "b"}));

    events.clear();
    grid->SortOptions.CanSort = false;
    grid->SortOptions.SortDirection = TSortDirection::sdDescending;
    QVERIFY(grid->SortByColumn(1));
    QVERIFY(events.isEmpty());
    QCOMPARE(grid->SortOptions.SortCol, 0);
    QCOMPARE(Column(*grid), QStringList({"a", "b"}));

    auto single = MakeGrid({"only"});
    int styles = 0;
    single->hooks.OnGetSortStyle = [&](int, TSortStyle&) { ++styles; };
    QVERIFY(single->SortByColumn(0));
    QCOMPARE(styles, 1);
    QCOMPARE(Column(*single), QStringList{"only"});
}

void SortGridDataTest::sortLargeGridMatchesReference() {
    // Many ties on the primary column, a secondary column and a case-folded custom comparison.
    QStringList rows;
    std::vector<std::tuple<QString, QString, int>> reference;
    for (int i = 0; i < 2000; ++i) {
        const QString a = QString::number((i * 7919) % 13);
        const QString b = QString(QChar(u'A' + (i * 31) % 7)) + QString::number(i % 5);
        rows << a + "|" + b + "|" + QString::number(i);
        reference.emplace_back(a, b.toLower(), i);
    }
    auto grid = MakeGrid(rows);
    grid->SortOptions.SecondaryIndex = "1";
    grid->SortOptions.SortDirection = TSortDirection::sdDescending;
    grid->hooks.OnGetSortStyle = [&](int col, TSortStyle& style) {
        style = col == 0 ? TSortStyle::ssNumeric : TSortStyle::ssCustom;
        if (col == 1)
            grid->SortOptions.SortCompare = [](const QString& x, const QString& y) { return x.compare(y); };
    };
    QVERIFY(grid->SortByColumn(0));
    std::stable_sort(reference.begin(), reference.end(), [](const auto& x, const auto& y) {
        const int a = std::get<0>(x).toInt();
        const int b = std::get<0>(y).toInt();
        if (a != b)
            return a > b;
        return std::get<1>(x) > std::get<1>(y);
    });
    for (int r = 1; r < grid->RowCount(); ++r)
        QCOMPARE(grid->Cell(2, r).toInt(), std::get<2>(reference[r - 1]));
}

// --- filter

void SortGridDataTest::filterKeepsAcceptedRows() {
    auto grid = MakeGrid({"r1", "r2", "r3", "r4", "r5"});
    grid->SortOptions.CanSort = false;
    grid->GoToCell(1, 4, false);
    grid->hooks.OnSetFilter = [](const QStringList& row, bool& accept) { accept = row[0] == "r2" || row[0] == "r4"; };
    grid->SetFiltered(true);
    QVERIFY(grid->Filtered());
    QCOMPARE(grid->RowCount(), 3);
    QCOMPARE(Column(*grid), QStringList({"r2", "r4"}));
    QCOMPARE(grid->HiddenRowCount(), 3);
    QCOMPARE(grid->Col(), 0);
    QCOMPARE(grid->Row(), 1);
    QCOMPARE(grid->FindRow(0, "r5"), 5);
    QCOMPARE(grid->FindRow(0, "r4"), 2);
    grid->SetFiltered(false);
    QCOMPARE(Column(*grid), QStringList({"r2", "r4", "r1", "r3", "r5"}));
    QCOMPARE(grid->HiddenRowCount(), 0);

    // With sorting on, switching the filter off sorts again.
    grid->SortOptions.CanSort = true;
    grid->SortOptions.SortDirection = TSortDirection::sdDescending;
    grid->SetFiltered(true);
    QCOMPARE(Column(*grid), QStringList({"r4", "r2"}));
    grid->SetFiltered(false);
    QCOMPARE(Column(*grid), QStringList({"r5", "r4", "r3", "r2", "r1"}));
}

void SortGridDataTest::filterAcceptingNothing() {
    auto grid = MakeGrid({"r1", "r2", "r3", "r4"});
    grid->SortOptions.CanSort = false;
    grid->SetRowCount(4);    // "r4" stays stored behind the last row
    grid->SetFiltered(true); // no handler: nothing accepted
    QCOMPARE(grid->RowCount(), 2);
    QCOMPARE(grid->Rows(1), QStringList({"", "", ""}));
    QCOMPARE(grid->HiddenRowCount(), 3);
    QCOMPARE(grid->FindRow(0, "r1"), 4);
    grid->SetFiltered(false);
    QCOMPARE(Column(*grid), QStringList({"r2", "r3", "r1"}));
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Cell(0, 4), QString("r4"));
}

void SortGridDataTest::filterAgainLosesNoRow() {
    auto grid = MakeGrid({"a1", "b1", "a2", "b2"});
    grid->SortOptions.CanSort = false;
    QString prefix = "a";
    grid->hooks.OnSetFilter = [&](const QStringList& row, bool& accept) { accept = row[0].startsWith(prefix); };
    grid->SetFiltered(true);
    QCOMPARE(Column(*grid), QStringList({"a1", "a2"}));
    prefix = "b";
    grid->SetFiltered(true);
    QCOMPARE(Column(*grid), QStringList({"b1", "b2"}));
    QCOMPARE(grid->HiddenRowCount(), 2);
    grid->SetFiltered(false);
    QStringList all = Column(*grid);
    all.sort();
    QCOMPARE(all, QStringList({"a1", "a2", "b1", "b2"}));
}

void SortGridDataTest::filterRestoresModified() {
    auto grid = MakeGrid({"a", "b"});
    grid->hooks.OnSetFilter = [](const QStringList& row, bool& accept) { accept = row[0] == "b"; };
    QVERIFY(!grid->Modified());
    grid->SetFiltered(true);
    QVERIFY(!grid->Modified());
    grid->SetFiltered(false);
    QVERIFY(!grid->Modified());
    grid->SetModified(true);
    int modified = 0;
    grid->hooks.OnModified = [&] { ++modified; };
    grid->SetFiltered(true);
    QVERIFY(grid->Modified());
    QVERIFY(modified > 0);
}

void SortGridDataTest::rowOperationsWhileFilteredKeepHiddenRows() {
    auto grid = MakeGrid({"a1", "b1", "a2", "b2", "a3"});
    grid->SortOptions.CanSort = false;
    grid->hooks.OnSetFilter = [](const QStringList& row, bool& accept) { accept = row[0].startsWith(u'a'); };
    grid->SetFiltered(true);
    QCOMPARE(Column(*grid), QStringList({"a1", "a2", "a3"}));
    grid->DeleteRow(2);
    grid->InsertRow(1);
    grid->SetCell(0, 1, "new");
    grid->InsertRow(3); // appended after the last row
    grid->SetCell(0, 4, "end");
    QCOMPARE(Column(*grid), QStringList({"new", "a1", "a3", "end"}));
    QCOMPARE(grid->FindRow(0, "b2"), 6);
    grid->SetFiltered(false);
    QCOMPARE(Column(*grid), QStringList({"new", "a1", "a3", "end", "b1", "b2"}));
}

// --- events

void SortGridDataTest::oneReceiverOfEvents() {
    auto grid = MakeGrid({"a", "b"});
    QStringList seen;
    grid->hooks.OnCellChanged = [&](int col, int row) { seen << QStringLiteral("%1,%2").arg(col).arg(row); };
    {
        // What shows the data keeps hearing from it: a second receiver is refused.
        GridHooks intruder(*grid);
        QCOMPARE(grid->Events(), static_cast<SortGridEvents*>(&grid->hooks));
        grid->SetCell(0, 1, "x");
    }
    QCOMPARE(grid->Events(), static_cast<SortGridEvents*>(&grid->hooks));
    grid->SetCell(0, 2, "b"); // the same text: no cell change
    grid->SetCell(1, 2, "y");
    QCOMPARE(seen, QStringList({"0,1", "1,2"}));
}

QTEST_APPLESS_MAIN(SortGridDataTest)
#include "tst_SortGridData.moc"
