// Protocol corrections through the real window: menu items, shortcuts, typed cells.
#include "RaceWindow.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/tables/ProtocolEditing.h"
#include "ui/tables/StatusFields.h"

#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QTimer>

class tst_ProtocolEditing : public QObject {
    Q_OBJECT
private slots:
    void menuCaptions();
    void zeitLoeschenOnFinishedRowIsBackedUp();
    void alleZeitenLoeschenAsksFirst();
    void correctionByTypedZeit();
    void invalidZeitIsRefused();
    void standingFailureOutranksPassingMessage();
    void numberNoRowHasStays();
    void massStartMove();
    void deletingOnlyRowLeavesEmptyRow();
    void copyAllToClipboard();
    void copyAllFromFocusedNumberBox();
    void finishWinsOverOpenEditor();
};

namespace {
void Fill(RaceWindow& w) {
    TSortGrid* g = w.P();
    g->SetRowCount(4);
    g->SetRows(1, {"1", "17", "A", "B", "", "", "M;W", "1", "10:00:00,00", "10:09:00,00", "9:00,00", "0,00", "540000"});
    g->SetRows(2, {"-", "18", "C", "D", "", "", "", "", "10:01:00,00", "", "", "1:00,00", "160000"});
    g->SetRows(3, {"", "", "", "", "", "", "", "", "", "", "", "", ""});
}
void TypeInCell(RaceWindow& w, int col, int row, const QString& text) {
    w.P()->setFocus();
    w.P()->GoToCell(col, row, false);
    // F2 belongs to the settings dialog: the operator opens the editor by typing.
    QTest::keyClicks(QApplication::focusWidget(), text.left(1));
    QLineEdit* e = w.P()->InplaceEditor();
    QVERIFY(e && e->isVisible());
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
}
} // namespace

void tst_ProtocolEditing::menuCaptions() {
    RaceWindow w;
    ProtocolEditing& e = w.form->Editing();
    QStringList captions;
    for (QAction* a : e.PopupMenuProtokol->actions())
        captions << a->text();
    // The five commands; below a separator the journal window follows.
    QCOMPARE(captions.mid(0, 5), QStringList({"Edit zeit", "Alle Zeiten löschen", "Zeit löschen       (Strg+0)",
                                              "Zeile löschen     (Strg+\"-\")", "Neue Zeile         (Strg+\"+\")"}));
    QCOMPARE(captions.mid(5), QStringList({"", "Journal      (Strg+J)"}));
    QCOMPARE(w.P()->PopupMenu(), e.PopupMenuProtokol);
}

void tst_ProtocolEditing::zeitLoeschenOnFinishedRowIsBackedUp() {
    RaceWindow w;
    Fill(w);
    w.P()->setFocus();
    w.P()->GoToCell(Col::Platz, 1, false);
    w.Key(Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(w.P()->Rows(1).mid(7).join(QString()), QString());
    QCOMPARE(w.Cell(Col::Platz, 1), QString());
    QCOMPARE(w.Cell(Col::Vorname, 1), QStringLiteral("A"));
    // The place of the other row stays (no AutoSort), and the backup has the change.
    QCOMPARE(w.Cell(Col::Platz, 2), QStringLiteral("-"));
    const QByteArray backup = w.ReadFile(QStringLiteral("Kadenzor-Sicherungsdatei-P.txt"));
    QVERIFY(!backup.contains("9:00,00"));
    QVERIFY(backup.contains("17\tA\tB"));
}

void tst_ProtocolEditing::alleZeitenLoeschenAsksFirst() {
    RaceWindow w;
    Fill(w);
    w.fake->prompts.Answers << TFDlgYesNo::kNo;
    w.form->Editing().Allezeitloschwn1->trigger();
    QCOMPARE(w.Cell(Col::Zeit, 1), QStringLiteral("9:00,00"));
    w.fake->prompts.Answers << TFDlgYesNo::kYes;
    w.form->Editing().Allezeitloschwn1->trigger();
    for (int r = 1; r <= 2; ++r) {
        QCOMPARE(w.Cell(Col::Platz, r), QString());
        QCOMPARE(w.P()->Rows(r).mid(7).join(QString()), QString());
    }
    QCOMPARE(w.Cell(Col::StNr, 2), QStringLiteral("18"));
    QCOMPARE(w.Cell(Col::Nachname, 2), QStringLiteral("D"));
    QCOMPARE(w.fake->prompts.Shown.size(), 2);
}

void tst_ProtocolEditing::correctionByTypedZeit() {
    RaceWindow w;
    Fill(w);
    TypeInCell(w, Col::Zeit, 1, QStringLiteral("10:05,23"));
    QCOMPARE(w.Cell(Col::Zeit, 1), QStringLiteral("10:05,23"));
    QCOMPARE(w.Cell(Col::Stopp, 1), QStringLiteral("10:10:05,23"));
    QCOMPARE(w.Cell(Col::Split, 1), QString());
    QVERIFY(!w.P()->EditorMode());
    QVERIFY(w.P()->Options() & goRowSelect);
    QVERIFY(w.ReadFile(QStringLiteral("Kadenzor-Sicherungsdatei-P.txt")).contains("10:10:05,23"));
    // Across midnight the finish clock is the next day's.
    w.P()->SetCell(Col::Start, 1, QStringLiteral("23:59:00,00"));
    TypeInCell(w, Col::Zeit, 1, QStringLiteral("2:00,00"));
    QCOMPARE(w.Cell(Col::Stopp, 1), QStringLiteral(" 0:01:00,00"));
}

void tst_ProtocolEditing::invalidZeitIsRefused() {
    RaceWindow w;
    Fill(w);
    for (const QString& typed : {QStringLiteral("abc"), QStringLiteral("-1:00,00"), QStringLiteral("123:00:00,00")}) {
        TypeInCell(w, Col::Zeit, 1, typed);
        QCOMPARE(w.Cell(Col::Zeit, 1), QStringLiteral("9:00,00"));
        QCOMPARE(w.Cell(Col::Stopp, 1), QStringLiteral("10:09:00,00"));
        QVERIFY(w.form->StatusPanel(2)->text().contains(QStringLiteral("keine gültige Zeit")));
    }
}

void tst_ProtocolEditing::standingFailureOutranksPassingMessage() {
    TSettings s;
    RaceWindow probe;
    s.RezervDir = probe.dir.path() + QStringLiteral("/missing/");
    RaceWindow w(s);
    Fill(w);
    w.Key(Qt::Key_F5);
    QLabel* field = w.form->StatusPanel(2);
    const QString failure = field->text();
    QVERIFY2(failure.startsWith(QStringLiteral("Sicherung fehlgeschlagen")), qPrintable(failure));
    TypeInCell(w, Col::Zeit, 1, QStringLiteral("1:2:3:4:5"));
    QVERIFY(field->text().startsWith(QStringLiteral("Zeit \"1:2:3:4:5\" nicht übernommen")));
    QVERIFY(field->toolTip().contains(failure));
    // The message passes; the failure that still stands comes back and stays.
    auto* passing = w.form->Status().findChild<QTimer*>(QStringLiteral("StatusPassingTimer"));
    QVERIFY(passing && passing->isActive());
    passing->start(0);
    QTRY_COMPARE(field->text(), failure);
    w.Key(Qt::Key_F5);
    QCOMPARE(field->text(), failure);
    QVERIFY(field->toolTip().startsWith(failure + QLatin1Char('\n') + QStringLiteral("Journal fehlgeschlagen")));
}

void tst_ProtocolEditing::numberNoRowHasStays() {
    RaceWindow w;
    Fill(w);
    TypeInCell(w, Col::StNr, 2, QStringLiteral("99"));
    QCOMPARE(w.Cell(Col::StNr, 2), QStringLiteral("99"));
    QCOMPARE(w.P()->RowCount(), 4);
    // A number whose row cannot take the result: both rows unchanged, the operator told why.
    TypeInCell(w, Col::StNr, 2, QStringLiteral("17"));
    QCOMPARE(w.Cell(Col::StNr, 2), QStringLiteral("99"));
    QCOMPARE(w.Cell(Col::Zeit, 1), QStringLiteral("9:00,00"));
    QCOMPARE(w.fake->prompts.Errors.size(), 1);
    QVERIFY(w.fake->prompts.Errors.first().contains(QStringLiteral("keine Zeit")));
}

void tst_ProtocolEditing::massStartMove() {
    TSettings s;
    s.StartType = 1;
    RaceWindow w(s);
    TSortGrid* g = w.P();
    g->SetRowCount(4);
    g->SetRows(1, {"", "5", "Anna", "", "", "", "", "", "", "", "", "", ""});
    g->SetRows(2, {"", "", "", "", "", "", "", "", "", "10:12:00,00", "12:00,00", "+1:00,00", "720000"});
    g->SetRows(3, {"", "", "", "", "", "", "", "", "", "", "", "", ""});
    TypeInCell(w, Col::StNr, 2, QStringLiteral("5"));
    QCOMPARE(g->RowCount(), 3);
    QCOMPARE(w.Of(QStringLiteral("5"), Col::Zeit), QStringLiteral("12:00,00"));
    QCOMPARE(w.Of(QStringLiteral("5"), Col::Split), QStringLiteral("+1:00,00"));
    QCOMPARE(w.Of(QStringLiteral("5"), Col::Vorname), QStringLiteral("Anna"));
}

void tst_ProtocolEditing::deletingOnlyRowLeavesEmptyRow() {
    RaceWindow w;
    w.P()->SetRows(1, {"1", "17", "A", "B", "", "", "", "", "", "", "9:00,00", "", ""});
    w.P()->setFocus();
    w.P()->GoToCell(Col::Platz, 1, false);
    w.fake->prompts.Answers << TFDlgYesNo::kYes;
    w.Key(Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(w.P()->RowCount(), 2);
    QCOMPARE(w.P()->Rows(1).join(QString()), QString());
}

void tst_ProtocolEditing::copyAllToClipboard() {
    RaceWindow w;
    Fill(w);
    w.P()->setFocus();
    w.Key(Qt::Key_A, Qt::ControlModifier);
    const QString text = QGuiApplication::clipboard()->text();
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 5); // header, three rows, nothing after the last CR LF
    QCOMPARE(lines.last(), QString());
    QCOMPARE(lines[0].count(QLatin1Char('\t')), 12);
    QCOMPARE(lines[1], QStringLiteral("1\t17\tA\tB\t\t\t\"M;W\"\t1\t10:00:00,00\t10:09:00,00\t9:00,00\t0,00\t540000"));
}

// The number box's own "select all" must not swallow the window's Ctrl+A.
void tst_ProtocolEditing::copyAllFromFocusedNumberBox() {
    RaceWindow w;
    Fill(w);
    QGuiApplication::clipboard()->setText(QStringLiteral("vorher"));
    w.TypeStart(QStringLiteral("17"));
    QLineEdit* box = Find<NumberBox>(w.form, "cbStartN")->lineEdit();
    QCOMPARE(QApplication::focusWidget(), Find<NumberBox>(w.form, "cbStartN"));
    w.Press(Qt::Key_A, Qt::ControlModifier);
    const QStringList lines = QGuiApplication::clipboard()->text().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[2].section(QLatin1Char('\t'), 1, 1), QStringLiteral("18"));
    QCOMPARE(box->text(), QStringLiteral("17"));
    QVERIFY(!box->hasSelectedText());
}

void tst_ProtocolEditing::finishWinsOverOpenEditor() {
    RaceWindow w;
    w.StartNumber(QStringLiteral("17"));
    w.StartNumber(QStringLiteral("18"));
    w.Advance(100000);
    w.TypeStop(QStringLiteral("17"));
    // The operator opens 17's empty "Zeit" by typing and takes the key back; 17 crosses the line.
    w.P()->setFocus();
    w.P()->GoToCell(Col::Zeit, w.RowOf(QStringLiteral("17")), false);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("9"));
    QVERIFY(w.P()->EditorMode());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QCOMPARE(w.Of(QStringLiteral("17"), Col::Zeit), QString());
    w.Key(Qt::Key_F8);
    QVERIFY(!w.P()->EditorMode());
    QCOMPARE(w.Of(QStringLiteral("17"), Col::Zeit), QStringLiteral("1:40,00"));
    QCOMPARE(w.form->StatusPanel(2)->text(),
             QStringLiteral("Bearbeitung verworfen: Zelle wurde vom Programm geändert"));
    // The next keys do not write the typed text back over the recorded time.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("5"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(w.Of(QStringLiteral("17"), Col::Zeit), QStringLiteral("1:40,00"));
    QCOMPARE(w.Of(QStringLiteral("17"), Col::Stopp), QStringLiteral("10:01:40,00"));
}

QTEST_MAIN(tst_ProtocolEditing)
#include "tst_ProtocolEditing.moc"
