#include "support/FakePlatform.h"
#include "ui/widgets/GridPictures.h"
#include "ui/widgets/TSortGrid.h"

#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QtTest>

#include <memory>

// Real grids on a shown window, driven by mouse, key and wheel events.
class SortGridTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void headerClicksSortAndMoveIndicator();
    void rightClickSortsDescending();
    void clickInSizingZoneDoesNotSort();
    void columnSizingByMouse();
    void headerDoubleClickFitsColumn();
    void editorValidationRestoresInvalidText();
    void editorKeyFilterDiscardsCharacters();
    void escapeRestoresCellText();
    void programWritesWinOverOpenEditor();
    void isChecked_data();
    void isChecked();
    void checkBoxTogglesByClickAndSpace();
    void comboListOpensAboveCellAndChooses();
    void comboListHeight_data();
    void comboListHeight();
    void incrementalSearchWrapsAround();
    void wheelMovesView_data();
    void wheelMovesView();
    void wheelAddsUpPartialSteps_data();
    void wheelAddsUpPartialSteps();
    void pastedBreaksBecomeBlanks();
    void paintsOnlyVisibleRows();
    void shortenHeader_data();
    void shortenHeader();
    void hideRowsPaintsDataRowsEmpty();
    void errorsGoToPrompts();
    void extendedKeysNeedExactModifiers();
    void longForeignTextIsDrawn();
    void updateShowsWaitCursorAndBlanksRows();
    void clearGridFitsColumnsToHeaders();
    void multiSelectWithCtrlAndShift();

private:
    TSortGrid* MakeGrid(int cols, int rows);
    void ClickCell(int col, int row, Qt::MouseButton button = Qt::LeftButton, int dx = 0);
    QImage IndicatorPixels(int col);
    QImage ExpectedIndicator(const QImage& arrow);
    void Type(const QString& text);

    std::unique_ptr<QWidget> m_window;
    TSortGrid* m_grid = nullptr;
    FakePrompts m_prompts;
};

void SortGridTest::init() {
    m_window = std::make_unique<QWidget>();
    m_window->resize(640, 640);
    m_prompts.Errors.clear();
}

void SortGridTest::cleanup() {
    m_grid = nullptr;
    m_window.reset();
}

// A grid as the program sets it up, standing low in its window so that a
// drop-down list has room above it.
TSortGrid* SortGridTest::MakeGrid(int cols, int rows) {
    m_grid = new TSortGrid(m_window.get());
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    m_grid->setFont(font);
    m_grid->SetDefaultRowHeight(18);
    m_grid->SetPrompts(&m_prompts);
    m_grid->Data().BeginUpdate();
    m_grid->SetColCount(cols);
    m_grid->SetRowCount(rows);
    m_grid->Data().EndUpdate();
    for (int c = 0; c < cols; ++c)
        m_grid->SetColWidths(c, 80);
    m_grid->setGeometry(10, 300, 420, 300);
    m_grid->show();
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        qFatal("window not exposed");
    m_grid->setFocus();
    QCoreApplication::processEvents();
    m_prompts.Errors.clear();
    return m_grid;
}

void SortGridTest::ClickCell(int col, int row, Qt::MouseButton button, int dx) {
    const QRect r = m_grid->CellRect(col, row);
    QVERIFY(!r.isEmpty());
    QTest::mouseClick(m_grid->viewport(), button, {}, r.center() + QPoint(dx, 0));
}

void SortGridTest::Type(const QString& text) {
    for (const QChar ch : text) {
        QWidget* target = QApplication::focusWidget();
        QVERIFY(target);
        QTest::keyClick(target, ch.toLatin1());
    }
}

QImage SortGridTest::IndicatorPixels(int col) {
    m_grid->viewport()->repaint();
    const QImage shot = m_grid->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect cell = m_grid->CellRect(col, 0);
    return shot.copy(cell.x() + 3, m_grid->RowHeights(0) / 2 - 4, 8, 7);
}

QImage SortGridTest::ExpectedIndicator(const QImage& arrow) {
    QImage expected(8, 7, QImage::Format_RGB32);
    expected.fill(m_grid->FixedColor());
    QPainter p(&expected);
    p.drawImage(0, 0, arrow);
    return expected;
}

void SortGridTest::headerClicksSortAndMoveIndicator() {
    MakeGrid(4, 5);
    const QStringList names{"Moser", "Adam", "Zeller", "Huber"};
    for (int r = 1; r <= 4; ++r)
        m_grid->SetCell(2, r, names[r - 1]);
    m_grid->SetCell(2, 0, QStringLiteral("Name"));
    m_grid->SortOptions().SortCol = 0;

    ClickCell(2, 0);
    QCOMPARE(m_grid->SortOptions().SortCol, 2);
    QCOMPARE(m_grid->SortOptions().SortDirection, TSortDirection::sdAscending);
    QCOMPARE(m_grid->Cols(2).mid(1), QStringList({"Adam", "Huber", "Moser", "Zeller"}));
    QCOMPARE(IndicatorPixels(2), ExpectedIndicator(GridPictures::Up()));

    ClickCell(2, 0);
    QCOMPARE(m_grid->SortOptions().SortDirection, TSortDirection::sdDescending);
    QCOMPARE(m_grid->Cols(2).mid(1), QStringList({"Zeller", "Moser", "Huber", "Adam"}));
    QCOMPARE(IndicatorPixels(2), ExpectedIndicator(GridPictures::Down()));

    // A third click sorts ascending again; another column starts ascending too.
    ClickCell(2, 0);
    QCOMPARE(m_grid->SortOptions().SortDirection, TSortDirection::sdAscending);
    ClickCell(1, 0);
    QCOMPARE(m_grid->SortOptions().SortCol, 1);
    QCOMPARE(m_grid->SortOptions().SortDirection, TSortDirection::sdAscending);
    QVERIFY(IndicatorPixels(2) != ExpectedIndicator(GridPictures::Up()));
}

void SortGridTest::rightClickSortsDescending() {
    MakeGrid(3, 4);
    m_grid->SetCell(1, 1, "b");
    m_grid->SetCell(1, 2, "c");
    m_grid->SetCell(1, 3, "a");
    ClickCell(1, 0, Qt::RightButton);
    QCOMPARE(m_grid->SortOptions().SortDirection, TSortDirection::sdDescending);
    QCOMPARE(m_grid->Cols(1).mid(1), QStringList({"c", "b", "a"}));
    ClickCell(1, 0, Qt::RightButton);
    QCOMPARE(m_grid->SortOptions().SortDirection, TSortDirection::sdDescending);
    // The context menu opens on data rows only.
    QMenu menu;
    menu.addAction(QStringLiteral("Zeile löschen"));
    m_grid->SetPopupMenu(&menu);
    ClickCell(1, 0, Qt::RightButton);
    QVERIFY(!menu.isVisible());
    ClickCell(1, 2, Qt::RightButton);
    QVERIFY(menu.isVisible());
    menu.close();
}

void SortGridTest::clickInSizingZoneDoesNotSort() {
    MakeGrid(3, 4);
    m_grid->SetCell(1, 1, "b");
    m_grid->SetCell(1, 2, "a");
    m_grid->SetCell(1, 3, "c");
    const QRect r = m_grid->CellRect(1, 0);
    // 3 pixels inside the right edge and 2 inside the left edge belong to sizing.
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, QPoint(r.x() + r.width() - 3, r.center().y()));
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, QPoint(r.x() + 2, r.center().y()));
    QCOMPARE(m_grid->SortOptions().SortCol, 0);
    QCOMPARE(m_grid->Cell(1, 1), QStringLiteral("b"));
    // Just outside the zone the click sorts.
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, QPoint(r.x() + r.width() - 6, r.center().y()));
    QCOMPARE(m_grid->SortOptions().SortCol, 1);
    QCOMPARE(m_grid->Cell(1, 1), QStringLiteral("a"));
}

void SortGridTest::columnSizingByMouse() {
    MakeGrid(3, 4);
    m_grid->SetOption(goColSizing, true);
    int changes = 0;
    m_grid->OnColumnWidthsChanged = [&](TSortGrid*) { ++changes; };
    const QRect r = m_grid->CellRect(0, 0);
    const QPoint edge(r.x() + r.width() - 1, r.center().y());
    QTest::mousePress(m_grid->viewport(), Qt::LeftButton, {}, edge);
    QMouseEvent move(QEvent::MouseMove, QPointF(edge + QPoint(30, 0)), m_grid->viewport()->mapToGlobal(edge),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_grid->viewport(), &move);
    QTest::mouseRelease(m_grid->viewport(), Qt::LeftButton, {}, edge + QPoint(30, 0));
    QCOMPARE(m_grid->ColWidths(0), 110);
    QVERIFY(changes > 0);
    QCOMPARE(m_grid->SortOptions().SortDirection, TSortDirection::sdAscending);
    QCOMPARE(m_grid->Cell(0, 1), QString());
}

void SortGridTest::headerDoubleClickFitsColumn() {
    MakeGrid(3, 3);
    m_grid->SortOptions().CanSort = false;
    m_grid->SetCell(1, 0, QStringLiteral("Kurz"));
    m_grid->SetCell(1, 2, QStringLiteral("Ein recht langer Vereinsname"));
    const QFontMetrics fm(m_grid->font());
    const int expected = fm.horizontalAdvance("Ein recht langer Vereinsname") + fm.horizontalAdvance("X");
    // Near the left edge of column 2: the column to the left is fitted.
    const QRect r2 = m_grid->CellRect(2, 0);
    const int lastWidth = m_grid->ColWidths(2);
    QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, QPoint(r2.x() + 1, r2.center().y()));
    QCOMPARE(m_grid->ColWidths(1), expected);
    QCOMPARE(m_grid->ColWidths(2), lastWidth);
    QCOMPARE(m_grid->SortOptions().SortCol, 0);
}

void SortGridTest::editorValidationRestoresInvalidText() {
    MakeGrid(3, 4);
    m_grid->SetOption(goEditing, true);
    m_grid->SetCell(1, 2, QStringLiteral("7"));
    m_grid->SetModified(false);
    QString seenOld;
    QString seenNew;
    int calls = 0;
    m_grid->OnCellValidate = [&](TSortGrid*, int col, int row, const QString& oldValue, QString& newValue,
                                 bool& valid) {
        ++calls;
        QCOMPARE(col, 1);
        QCOMPARE(row, 2);
        seenOld = oldValue;
        seenNew = newValue;
        valid = newValue.toInt() < 100;
    };
    ClickCell(1, 2);
    QCOMPARE(m_grid->Row(), 2);
    Type(QStringLiteral("123"));
    QVERIFY(m_grid->EditorMode());
    QCOMPARE(m_grid->Cell(1, 2), QStringLiteral("123"));
    QVERIFY(m_grid->Modified());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(calls, 1);
    QCOMPARE(seenOld, QStringLiteral("7"));
    QCOMPARE(seenNew, QStringLiteral("123"));
    QCOMPARE(m_grid->Cell(1, 2), QStringLiteral("7"));
    QVERIFY(!m_grid->Modified());

    // A valid text stays; an arrow key away from an edited cell checks it as well.
    Type(QStringLiteral("42"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(calls, 2);
    QCOMPARE(m_grid->Cell(1, 2), QStringLiteral("42"));
    QCOMPARE(m_grid->Row(), 3);
    QVERIFY(m_grid->Modified());
}

void SortGridTest::editorKeyFilterDiscardsCharacters() {
    MakeGrid(3, 3);
    m_grid->SetOption(goEditing, true);
    m_grid->OnKeyPress = [](TSortGrid*, QChar& key) {
        if (!(key.isDigit() || key == u'-' || key == u'\b' || key == u'\r'))
            key = QChar();
    };
    ClickCell(2, 1);
    Type(QStringLiteral("x1a-2"));
    QCOMPARE(m_grid->Cell(2, 1), QStringLiteral("1-2"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QCOMPARE(m_grid->Cell(2, 1), QStringLiteral("1-"));
}

void SortGridTest::escapeRestoresCellText() {
    MakeGrid(3, 3);
    m_grid->SetOption(goEditing, true);
    m_grid->SetCell(0, 1, QStringLiteral("alt"));
    ClickCell(0, 1);
    QTest::keyClick(m_grid, Qt::Key_F2);
    QVERIFY(m_grid->EditorMode());
    Type(QStringLiteral("neu"));
    QCOMPARE(m_grid->Cell(0, 1), QStringLiteral("neu"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!m_grid->EditorMode());
    QCOMPARE(m_grid->Cell(0, 1), QStringLiteral("alt"));
}

void SortGridTest::programWritesWinOverOpenEditor() {
    MakeGrid(3, 4);
    m_grid->SetOption(goEditing, true);
    m_grid->SetRows(1, {"b", "5"});
    m_grid->SetRows(2, {"a", "7"});
    QList<QPoint> dropped;
    int checks = 0;
    m_grid->OnEditDropped = [&](TSortGrid*, int col, int row) { dropped << QPoint(col, row); };
    // A check that refuses everything would put the old text back.
    m_grid->OnCellValidate = [&](TSortGrid*, int, int, const QString&, QString&, bool& valid) {
        ++checks;
        valid = false;
    };
    ClickCell(1, 2);
    Type(QStringLiteral("12"));
    QCOMPARE(m_grid->Cell(1, 2), QStringLiteral("12"));
    // The program records into the cell being edited: its text wins, no key writes the typed one back.
    m_grid->SetCell(1, 2, QStringLiteral("9:00,00"));
    QVERIFY(!m_grid->EditorMode());
    QCOMPARE(dropped, QList<QPoint>{QPoint(1, 2)});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(checks, 0);
    QCOMPARE(m_grid->Cell(1, 2), QStringLiteral("9:00,00"));

    // A ranking moves the rows under an editor: the typed text is not taken along.
    ClickCell(0, 1);
    Type(QStringLiteral("x"));
    QCOMPARE(m_grid->Cell(0, 1), QStringLiteral("x"));
    m_grid->Batch([](SortGridData& data) { data.SortByColumn(1); });
    QVERIFY(!m_grid->EditorMode());
    QCOMPARE(dropped.size(), 2);
    QCOMPARE(m_grid->Cols(0).mid(1), (QStringList{"", "b", "a"}));
    QCOMPARE(checks, 0);
}

void SortGridTest::isChecked_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("checked");
    QTest::newRow("v") << "v" << true;
    QTest::newRow("true") << "true" << true;
    QTest::newRow("?") << "?" << true;
    QTest::newRow("yes") << "yes" << false;
    QTest::newRow("1") << "1" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("V") << "V" << false;
}

void SortGridTest::isChecked() {
    QFETCH(QString, text);
    QFETCH(bool, checked);
    MakeGrid(2, 3);
    m_grid->SetCell(0, 1, text);
    m_grid->SetCell(1, 1, text);
    m_grid->OnGetCellFormat = [](TSortGrid*, int col, int row, TGridDrawState, TFormatOptions&, bool& checkBox, bool&,
                                 bool&) { checkBox = col == 0 && row > 0; };
    QCOMPARE(m_grid->IsChecked(0, 1), checked);
    QVERIFY(!m_grid->IsChecked(1, 1)); // no check box there
}

void SortGridTest::checkBoxTogglesByClickAndSpace() {
    MakeGrid(3, 4);
    m_grid->OnGetCellFormat = [](TSortGrid*, int col, int row, TGridDrawState, TFormatOptions&, bool& checkBox, bool&,
                                 bool&) { checkBox = col == 0 && row > 0; };
    QList<bool> states;
    m_grid->OnSetChecked = [&](TSortGrid*, int col, int row, bool state) {
        QCOMPARE(col, 0);
        QCOMPARE(row, 2);
        states << state;
    };
    ClickCell(0, 2);
    QCOMPARE(m_grid->Cell(0, 2), QStringLiteral("v"));
    ClickCell(0, 2);
    QCOMPARE(m_grid->Cell(0, 2), QString());
    QTest::keyClick(m_grid, Qt::Key_Space);
    QCOMPARE(m_grid->Cell(0, 2), QStringLiteral("v"));
    QCOMPARE(states, QList<bool>({true, false, true}));
    // Space on a plain cell toggles nothing.
    m_grid->SetCol(1);
    QTest::keyClick(m_grid, Qt::Key_Space);
    QCOMPARE(states.size(), 3);
}

void SortGridTest::comboListOpensAboveCellAndChooses() {
    MakeGrid(4, 3);
    m_grid->SetCell(3, 1, QStringLiteral("Jugend"));
    m_grid->OnGetCellFormat = [](TSortGrid*, int col, int row, TGridDrawState, TFormatOptions&, bool&, bool& combo,
                                 bool&) { combo = col == 3 && row > 0; };
    m_grid->OnGetComboBox = [](TSortGrid*, int, int, QStringList& strs, int&, int&, bool& sorted) {
        strs << "Herren"
             << "Damen"
             << "Jugend";
        sorted = true;
    };
    QString chosen;
    m_grid->OnSetComboBox = [&](TSortGrid*, int col, int row, const QString& str) {
        QCOMPARE(col, 3);
        QCOMPARE(row, 1);
        chosen = str;
    };
    ClickCell(3, 1);
    QListWidget* list = m_grid->ComboList();
    QVERIFY(list->isVisible());
    QCOMPARE(list->currentItem()->text(), QStringLiteral("Jugend"));
    QCOMPARE(list->item(0)->text(), QStringLiteral("Damen")); // sorted
    const QRect cell = m_grid->CellRect(3, 1);
    const QPoint cellTopLeft = m_grid->viewport()->mapTo(m_window.get(), cell.topLeft());
    QCOMPARE(list->geometry().left(), cellTopLeft.x());
    QCOMPARE(list->geometry().bottom() + 1, cellTopLeft.y());

    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(!list->isVisible());
    QCOMPARE(chosen, QStringLiteral("Herren"));
    QCOMPARE(m_grid->Cell(3, 1), QStringLiteral("Herren"));
}

void SortGridTest::comboListHeight_data() {
    QTest::addColumn<int>("items");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("rows");
    QTest::newRow("3 items") << 3 << 0 << 3;
    QTest::newRow("12 items") << 12 << 0 << 10;
    QTest::newRow("10 items") << 10 << 0 << 10;
    QTest::newRow("3 items, height asked") << 3 << 40 << 10;
}

void SortGridTest::comboListHeight() {
    QFETCH(int, items);
    QFETCH(int, height);
    QFETCH(int, rows);
    MakeGrid(2, 3);
    m_grid->OnGetCellFormat = [](TSortGrid*, int, int row, TGridDrawState, TFormatOptions&, bool&, bool& combo, bool&) {
        combo = row > 0;
    };
    m_grid->OnGetComboBox = [&](TSortGrid*, int, int, QStringList& strs, int& w, int& h, bool&) {
        for (int i = 0; i < items; ++i)
            strs << QStringLiteral("Klasse %1").arg(i, 2, 10, QLatin1Char('0'));
        w = 150;
        h = height;
    };
    QVERIFY(m_grid->ShowComboList(1, 1));
    QListWidget* list = m_grid->ComboList();
    QCOMPARE(list->height(), rows * list->sizeHintForRow(0) + 5);
    QCOMPARE(list->width(), 150);
}

void SortGridTest::incrementalSearchWrapsAround() {
    MakeGrid(3, 6);
    const QStringList names{"Anna", "max", "Bert", "Moritz", "Zoe"};
    for (int r = 1; r <= 5; ++r)
        m_grid->SetCell(2, r, names[r - 1]);
    m_grid->SortOptions().SortCol = 2;
    m_grid->GoToCell(0, 1, true);
    QTest::keyClick(m_grid, 'm');
    QCOMPARE(m_grid->Row(), 2);
    QCOMPARE(m_grid->Col(), 2);
    QTest::keyClick(m_grid, 'M');
    QCOMPARE(m_grid->Row(), 4);
    QTest::keyClick(m_grid, 'm');
    QCOMPARE(m_grid->Row(), 2);
    QTest::keyClick(m_grid, 'q'); // no match: nothing moves
    QCOMPARE(m_grid->Row(), 2);
}

void SortGridTest::wheelMovesView_data() {
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("expected");
    QTest::newRow("down one step") << 5 << -120 << 6;
    QTest::newRow("up one step") << 6 << 120 << 3;
    QTest::newRow("up near the top") << 2 << 120 << 1;
    QTest::newRow("down two steps") << 5 << -240 << 7;
    QTest::newRow("down at the end") << 1000 << -120 << -1; // -1: the last page
}

void SortGridTest::wheelMovesView() {
    QFETCH(int, top);
    QFETCH(int, delta);
    QFETCH(int, expected);
    MakeGrid(3, 100);
    m_grid->SetTopRow(top);
    const int lastPage = m_grid->RowCount() - m_grid->VisibleRowCount();
    if (expected < 0)
        expected = lastPage;
    const int row = m_grid->Row();
    const QPoint pos = m_grid->CellRect(1, m_grid->TopRow()).center();
    QWheelEvent wheel(QPointF(pos), QPointF(m_grid->viewport()->mapToGlobal(pos)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_grid->viewport(), &wheel);
    QCOMPARE(m_grid->TopRow(), expected);
    QCOMPARE(m_grid->Row(), row);
    QCOMPARE(m_grid->verticalScrollBar()->value(), expected - 1);
}

void SortGridTest::wheelAddsUpPartialSteps_data() {
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<QList<int>>("tops"); // top row after each delta
    QTest::newRow("three fine steps down make one") << QList<int>{-40, -40, -40} << QList<int>{5, 5, 6};
    QTest::newRow("six fine steps down make two")
        << QList<int>{-40, -40, -40, -40, -40, -40} << QList<int>{5, 5, 6, 6, 6, 7};
    QTest::newRow("three fine steps up make one") << QList<int>{40, 40, 40} << QList<int>{5, 5, 2};
    QTest::newRow("a turn back starts afresh") << QList<int>{-40, -40, 40, 40, 40} << QList<int>{5, 5, 5, 5, 2};
    QTest::newRow("one and a half notches") << QList<int>{-180, -60} << QList<int>{6, 7};
}

// A touchpad or fine-stepping wheel sends 40 at a time: three of them scroll as one notch.
void SortGridTest::wheelAddsUpPartialSteps() {
    QFETCH(QList<int>, deltas);
    QFETCH(QList<int>, tops);
    MakeGrid(3, 100);
    m_grid->SetTopRow(5);
    for (int i = 0; i < deltas.size(); ++i) {
        const QPoint pos = m_grid->CellRect(1, m_grid->TopRow()).center();
        QWheelEvent wheel(QPointF(pos), QPointF(m_grid->viewport()->mapToGlobal(pos)), QPoint(), QPoint(0, deltas[i]),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_grid->viewport(), &wheel);
        QCOMPARE(m_grid->TopRow(), tops[i]);
    }
}

// A cell keeps one line: pasted line breaks and TABs become blanks.
void SortGridTest::pastedBreaksBecomeBlanks() {
    MakeGrid(3, 5);
    m_grid->SetOption(goEditing, true);
    ClickCell(1, 2);
    QTest::keyClick(m_grid, Qt::Key_F2);
    QVERIFY(m_grid->EditorMode());
    m_grid->InplaceEditor()->selectAll();
    QApplication::clipboard()->setText(QStringLiteral("Anna\tBerg\r\nSchmidt"));
    QTest::keyClick(m_grid->InplaceEditor(), Qt::Key_V, Qt::ControlModifier);
    const QString cell = m_grid->Cell(1, 2);
    QVERIFY2(!cell.contains(QLatin1Char('\t')) && !cell.contains(QLatin1Char('\r')) &&
                 !cell.contains(QLatin1Char('\n')),
             qPrintable(cell));
    QVERIFY2(cell.startsWith(QStringLiteral("Anna Berg")), qPrintable(cell));
    QCOMPARE(m_grid->InplaceEditor()->text(), cell);
}

void SortGridTest::paintsOnlyVisibleRows() {
    auto paintsWhileScrolling = [&](int rows) {
        TSortGrid* grid = MakeGrid(4, rows);
        for (int r = 1; r < rows; ++r)
            grid->SetCell(0, r, QString::number(r));
        grid->viewport()->repaint();
        const int before = grid->CellPaintCount();
        for (int top = 2; top <= 4; ++top) {
            grid->SetTopRow(top);
            grid->viewport()->repaint();
        }
        const int painted = grid->CellPaintCount() - before;
        delete grid;
        return painted;
    };
    const int small = paintsWhileScrolling(20);
    const int large = paintsWhileScrolling(10000);
    QVERIFY(small > 0);
    QCOMPARE(large, small);
}

void SortGridTest::shortenHeader_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fitChars"); // available width: this many characters of the text
    QTest::addColumn<QString>("expected");
    QTest::newRow("fits") << "Nachname" << 8 << "Nachname";
    QTest::newRow("five characters") << "Nachname" << 5 << "Nac..";
    QTest::newRow("seven characters") << "Nachname" << 7 << "Nachn..";
    QTest::newRow("never below three") << "Nachname" << 0 << "N..";
    QTest::newRow("one character") << "X" << 0 << "X";
}

void SortGridTest::shortenHeader() {
    QFETCH(QString, text);
    QFETCH(int, fitChars);
    QFETCH(QString, expected);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    const QFontMetrics fm(font);
    // The width of the wanted result decides, so proportional glyphs do not matter.
    const int width = fitChars == 0 ? 1 : fm.horizontalAdvance(expected);
    QCOMPARE(TSortGrid::ShortenHeader(text, fm, width), expected);
}

void SortGridTest::hideRowsPaintsDataRowsEmpty() {
    MakeGrid(3, 5);
    QSet<int> formattedRows;
    m_grid->OnGetCellFormat = [&](TSortGrid*, int, int row, TGridDrawState, TFormatOptions&, bool&, bool&, bool&) {
        formattedRows << row;
    };
    m_grid->SetCell(0, 2, QStringLiteral("Text"));
    m_grid->GoToCell(0, 3, true);
    m_grid->SetHideRows(true);
    QCOMPARE(m_grid->Row(), 1);
    m_grid->viewport()->repaint();
    QCOMPARE(formattedRows, QSet<int>({0}));
    const QImage shot = m_grid->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect cell = m_grid->CellRect(0, 2);
    const QRgb color = m_grid->Color().rgb();
    for (int x = cell.left(); x <= cell.right(); ++x)
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            QCOMPARE(shot.pixel(x, y), color);
    m_grid->SetHideRows(false);
    m_grid->viewport()->repaint();
    QVERIFY(formattedRows.contains(2));
}

void SortGridTest::errorsGoToPrompts() {
    MakeGrid(3, 3);
    m_grid->SetRowCount(1);
    QVERIFY(m_prompts.Errors.contains(QStringLiteral("Rowsize too small")));
    m_prompts.Errors.clear();
    m_grid->SetRowCount(4);
    m_grid->SetRow(99);
    QCOMPARE(m_prompts.Errors, QStringList({"Grid index out of range"}));
}

void SortGridTest::extendedKeysNeedExactModifiers() {
    MakeGrid(2, 4);
    m_grid->SetCell(0, 2, QStringLiteral("zwei"));
    m_grid->GoToCell(0, 2, true);
    QTest::keyClick(m_grid, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(m_grid->RowCount(), 4); // ExtendedKeys is off
    m_grid->SetExtendedKeys(true);
    QTest::keyClick(m_grid, Qt::Key_Insert, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(m_grid->RowCount(), 4);
    QTest::keyClick(m_grid, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(m_grid->RowCount(), 5);
    QCOMPARE(m_grid->Cell(0, 2), QString());
    QCOMPARE(m_grid->Cell(0, 3), QStringLiteral("zwei"));
    QTest::keyClick(m_grid, Qt::Key_Insert, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_grid->ColCount(), 3);
}

void SortGridTest::longForeignTextIsDrawn() {
    MakeGrid(2, 3);
    QString text;
    for (int i = 0; i < 200000; ++i)
        text += QStringLiteral("Ж😀");
    m_grid->SetCell(0, 1, text);
    m_grid->SetCell(1, 0, text);
    m_grid->SetAlignmentHorz(TAlignment::taRightJustify);
    m_grid->viewport()->repaint();
    m_grid->AutoSizeColumn(0, true);
    QVERIFY(m_grid->ColWidths(0) > 80);
    QCOMPARE(m_grid->Cell(0, 1), text);
}

void SortGridTest::updateShowsWaitCursorAndBlanksRows() {
    MakeGrid(2, 4);
    QSet<int> formattedRows;
    m_grid->OnGetCellFormat = [&](TSortGrid*, int, int row, TGridDrawState, TFormatOptions&, bool&, bool&, bool&) {
        formattedRows << row;
    };
    int ended = 0;
    m_grid->OnEndUpdate = [&](TSortGrid*) { ++ended; };
    QVERIFY(!QGuiApplication::overrideCursor());
    m_grid->BeginUpdate();
    m_grid->BeginUpdate(); // a flag, not a counter: one EndUpdate ends both
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    m_grid->viewport()->repaint();
    QCOMPARE(formattedRows, QSet<int>({0}));
    m_grid->EndUpdate();
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(ended, 1);
    m_grid->viewport()->repaint();
    QVERIFY(formattedRows.contains(1));
}

void SortGridTest::clearGridFitsColumnsToHeaders() {
    MakeGrid(3, 6);
    m_grid->SetRows(0, {"Nr", "Nachname", "Zeit"});
    m_grid->SetCell(1, 3, QStringLiteral("Ein sehr langer Name"));
    m_grid->SortOptions().SortCol = 2;
    m_grid->SortOptions().CanSort = true;
    int sizeChanges = 0;
    m_grid->OnSizeChanged = [&](TSortGrid*, int, int) { ++sizeChanges; };
    m_grid->GoToCell(1, 4, true);
    m_grid->ClearGrid();
    QCOMPARE(m_grid->RowCount(), 2);
    QCOMPARE(m_grid->Row(), 1);
    QCOMPARE(m_grid->Col(), 0);
    QVERIFY(m_grid->Modified());
    QCOMPARE(sizeChanges, 1);
    QCOMPARE(m_grid->Cell(1, 3), QString());
    const QFontMetrics fm(m_grid->font());
    const int x = fm.horizontalAdvance("X");
    QCOMPARE(m_grid->ColWidths(0), fm.horizontalAdvance("Nr") + x);
    QCOMPARE(m_grid->ColWidths(1), fm.horizontalAdvance("Nachname") + x);
    QCOMPARE(m_grid->ColWidths(2), fm.horizontalAdvance("Zeit") + 12 + x);
}

void SortGridTest::multiSelectWithCtrlAndShift() {
    MakeGrid(2, 8);
    m_grid->SetMultiSelect(true);
    QVERIFY(m_grid->Options() & goRowSelect);
    int selections = 0;
    m_grid->OnRowSelected = [&](TSortGrid*) { ++selections; };
    ClickCell(0, 2);
    QCOMPARE(m_grid->Data().SelectedRows(), std::vector<int>({2}));
    const QRect r5 = m_grid->CellRect(0, 5);
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, Qt::ControlModifier, r5.center());
    QCOMPARE(m_grid->Data().SelectedRows(), std::vector<int>({2, 5}));
    QCOMPARE(m_grid->Row(), 5);
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, Qt::ControlModifier, r5.center());
    QCOMPARE(m_grid->Data().SelectedRows(), std::vector<int>({2}));
    QCOMPARE(m_grid->Row(), 2);
    // Shift with range selection: the rows from the anchor to the clicked one.
    m_grid->SetOption(goRangeSelect, true);
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, m_grid->CellRect(0, 4).center());
    QCOMPARE(m_grid->Data().SelectedRows(), std::vector<int>({2, 3, 4}));
    QVERIFY(selections >= 4);
}

QTEST_MAIN(SortGridTest)
#include "tst_SortGrid.moc"
