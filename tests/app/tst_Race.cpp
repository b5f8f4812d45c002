#include "RaceWindow.h"

#include "core/base/TimeText.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/run/RunControl.h"
#include "ui/widgets/RunColors.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

// Whole competitions driven as the operator drives them: keys, typed numbers,
// mouse presses, the fake clock advanced between impulses.
class RaceTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void individualStartWithoutNumberUsesPlaceholderRow();
    void individualStartAndFinishWithNumbers();
    void secondStartOfSameNumberOverwrites();
    void finishesThatFindNoRowAreQueued();
    void placeholderFinishNeedsItsOwnRow();
    void preEnteredFinishOrder();
    void tickIsReadFirst();
    void startNeverOverwritesLastAthlete();
    void finishWithoutStartTickUsesClockTexts();
    void assignmentFromFinishTable_data();
    void assignmentFromFinishTable();
    void overwriteQuestionAnsweredBothWays();
    void rankingTiesAndGaps();
    void classModePlaces();
    void massStartGapsAndClosedRoutes();
    void endAnsweredNoChangesNothing();
    void endResetsTheRun();
    void backupsAfterEveryStartFinishAndAssignment();
    void backupFailureShowsUntilWriteSucceeds();
    void exportsNeedNoPrinter();
    void mousePressOnStartButton();
    void tonesPlayWhenOnAndFilesExist();
    void numberBoxesAndColoursAfterFinishClearAndRestore();
};

void RaceTest::individualStartWithoutNumberUsesPlaceholderRow() {
    RaceWindow w;
    w.Key(Qt::Key_F5);
    QCOMPARE(w.Cell(Col::StNr, 1), QStringLiteral("-1"));
    QCOMPARE(w.Cell(Col::Platz, 1), QStringLiteral("-"));
    QCOMPARE(w.Cell(Col::Split, 1), QStringLiteral("0,00"));
    QCOMPARE(w.Cell(Col::Start, 1), QStringLiteral("10:00:00,00"));
    QCOMPARE(w.Cell(Col::Raw, 1), QStringLiteral("100000"));
    QCOMPARE(w.P()->RowCount(), 3); // a new empty row waits for the next start
    QCOMPARE(Find<NumberBox>(w.form, "cbStopN")->Items(),
             QStringList{QStringLiteral("-1")}); // the placeholder, never athlete 1
    QVERIFY(Find<TBitBtnWithColor>(w.form, "bSTOP")->isEnabled());
    QVERIFY(Find<TBitBtnWithColor>(w.form, "bEnd")->isEnabled());
    QVERIFY(!Find<QToolButton>(w.form, "sbLoadList")->isEnabled());
}

void RaceTest::individualStartAndFinishWithNumbers() {
    RaceWindow w;
    w.StartNumber(QStringLiteral("17"));
    w.Advance(65230);
    w.StartNumber(QStringLiteral("18"));
    QCOMPARE(w.Of(QStringLiteral("18"), Col::Split), QStringLiteral("1:05,23"));
    QCOMPARE(w.Of(QStringLiteral("18"), Col::Start), QStringLiteral("10:01:05,23"));
    w.Advance(100000);
    w.FinishNumber(QStringLiteral("17"));
    QCOMPARE(w.Of(QStringLiteral("17"), Col::Zeit), QStringLiteral("2:45,23"));
    QCOMPARE(w.Of(QStringLiteral("17"), Col::Stopp), QStringLiteral("10:02:45,23"));
    QCOMPARE(w.Of(QStringLiteral("17"), Col::Raw), QStringLiteral("165230"));
    QCOMPARE(w.Of(QStringLiteral("17"), Col::Split), QString());
    w.Advance(5009);
    w.FinishNumber(QStringLiteral("18"));
    QCOMPARE(w.Of(QStringLiteral("18"), Col::Zeit), QStringLiteral("1:45,00")); // 105 009 ms truncated
    QCOMPARE(Find<NumberBox>(w.form, "cbStopN")->count(), 0);
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QString()); // nothing queued
}

void RaceTest::secondStartOfSameNumberOverwrites() {
    RaceWindow w;
    w.StartNumber(QStringLiteral("5"));
    const int rows = w.P()->RowCount();
    w.Advance(3000);
    w.StartNumber(QStringLiteral("5"));
    QCOMPARE(w.P()->RowCount(), rows);
    QCOMPARE(w.Of(QStringLiteral("5"), Col::Start), QStringLiteral("10:00:03,00"));
    QCOMPARE(w.Of(QStringLiteral("5"), Col::Split), QStringLiteral("3,00"));
    QCOMPARE(w.Of(QStringLiteral("5"), Col::Raw), QString::number(103000));
}

void RaceTest::finishesThatFindNoRowAreQueued() {
    RaceWindow w;
    w.StartNumber(QStringLiteral("7"));
    w.Advance(1000);
    w.FinishNumber(QStringLiteral("7"));
    const QString zeit = w.Of(QStringLiteral("7"), Col::Zeit);
    w.Advance(1000);
    w.FinishNumber(QStringLiteral("7")); // already has a time
    QCOMPARE(w.Of(QStringLiteral("7"), Col::Zeit), zeit);
    w.Advance(1000);
    w.FinishNumber(QStringLiteral("99")); // no such row
    w.Advance(1000);
    w.FinishNumber(QString()); // empty box
    QCOMPARE(w.F()->RowCount(), 4);
    QCOMPARE(w.F()->Cell(FinishCol::Number, 1), QStringLiteral("1."));
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral("10:00:02,00"));
    QCOMPARE(w.F()->Cell(FinishCol::Number, 3), QStringLiteral("3."));
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 3), QStringLiteral("10:00:04,00"));
    QCOMPARE(w.form->StatusPanel(4)->text(), QStringLiteral("3"));
}

void RaceTest::placeholderFinishNeedsItsOwnRow() {
    RaceWindow w;
    w.StartNumber(QStringLiteral("3"));
    w.Advance(2000);
    w.Key(Qt::Key_F5); // without number: row 2 gets -2
    QCOMPARE(w.Cell(Col::StNr, 2), QStringLiteral("-2"));
    w.Advance(10000);
    w.FinishNumber(QStringLiteral("-2"));
    QCOMPARE(w.Cell(Col::Zeit, 2), QStringLiteral("10,00"));
    // A placeholder that names no unfinished row is queued, never written over the selection.
    w.P()->GoToCell(0, 1, false);
    w.Advance(1000);
    w.FinishNumber(QStringLiteral("-9"));
    QCOMPARE(w.Of(QStringLiteral("3"), Col::Zeit), QString());
    QCOMPARE(w.F()->Cell(FinishCol::Number, 1), QStringLiteral("1."));
    w.Advance(1000);
    w.FinishNumber(QStringLiteral("-2")); // finished already
    QCOMPARE(w.Cell(Col::Zeit, 2), QStringLiteral("10,00"));
    QCOMPARE(w.F()->RowCount(), 3);
}

void RaceTest::preEnteredFinishOrder() {
    RaceWindow w;
    w.StartNumber(QStringLiteral("439"));
    w.StartNumber(QStringLiteral("2"));
    w.Advance(30000);
    w.TypeStop(QStringLiteral("439"));
    Find<QLineEdit>(w.form, "EditPred")->setFocus();
    QTest::keyClicks(Find<QLineEdit>(w.form, "EditPred"), QStringLiteral("-,2x"));
    QCOMPARE(Find<QLineEdit>(w.form, "EditPred")->text(), QStringLiteral("-,2")); // letters are not taken
    w.Key(Qt::Key_F8);
    QCOMPARE(w.Of(QStringLiteral("439"), Col::Zeit), QStringLiteral("30,00"));
    QCOMPARE(Find<NumberBox>(w.form, "cbStopN")->currentText(), QStringLiteral("-"));
    w.Advance(1000);
    w.Key(Qt::Key_F8);
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral("10:00:31,00"));
    QCOMPARE(Find<NumberBox>(w.form, "cbStopN")->currentText(), QStringLiteral("2"));
    w.Advance(1000);
    w.Key(Qt::Key_F8);
    QCOMPARE(w.Of(QStringLiteral("2"), Col::Zeit), QStringLiteral("32,00"));
    QCOMPARE(Find<QLineEdit>(w.form, "EditPred")->text(), QString());
    QCOMPARE(Find<NumberBox>(w.form, "cbStopN")->currentText(), QString());
    QTest::mouseDClick(Find<QLineEdit>(w.form, "EditPred"), Qt::LeftButton);
}

void RaceTest::tickIsReadFirst() {
    RaceWindow w;
    w.fake->clock.AdvancePerRead = 700; // every reading moves the clock: only the first one may count
    w.StartNumber(QStringLiteral("1"));
    QCOMPARE(w.Of(QStringLiteral("1"), Col::Raw), QString::number(100000));
    // The clock text is the one read with the tick, not a later reading.
    QCOMPARE(w.Of(QStringLiteral("1"), Col::Start), QStringLiteral("10:00:00,00"));
    w.fake->clock.AdvancePerRead = 0;
    w.fake->clock.Set(160000, QDateTime(QDate(2026, 3, 20), QTime(10, 1)));
    w.fake->clock.AdvancePerRead = 700;
    w.FinishNumber(QStringLiteral("1"));
    QCOMPARE(w.Of(QStringLiteral("1"), Col::Raw), QString::number(60000));
    QCOMPARE(w.Of(QStringLiteral("1"), Col::Stopp), QStringLiteral("10:01:00,00"));
}

void RaceTest::startNeverOverwritesLastAthlete() {
    RaceWindow w;
    // A start list whose last row is a real athlete.
    TSortGrid* p = w.P();
    p->SetRowCount(3);
    p->SetCell(Col::StNr, 1, QStringLiteral("10"));
    p->SetCell(Col::Nachname, 1, QStringLiteral("Alpha"));
    p->SetCell(Col::StNr, 2, QStringLiteral("11"));
    p->SetCell(Col::Nachname, 2, QStringLiteral("Beta"));
    w.StartNumber(QStringLiteral("55")); // a late entry
    QCOMPARE(w.Cell(Col::StNr, 2), QStringLiteral("11"));
    QCOMPARE(w.Cell(Col::Start, 2), QString());
    QCOMPARE(w.Cell(Col::StNr, 3), QStringLiteral("55"));
    Find<NumberBox>(w.form, "cbStartN")->setEditText(QString());
    w.Key(Qt::Key_F5);
    QCOMPARE(w.Cell(Col::StNr, 4), QStringLiteral("-4"));
    QCOMPARE(w.Cell(Col::Nachname, 2), QStringLiteral("Beta"));
}

void RaceTest::finishWithoutStartTickUsesClockTexts() {
    RaceWindow w;
    w.StartNumber(QStringLiteral("1"));
    // As after a restart: the row keeps its start clock text but lost its tick.
    w.P()->SetCell(Col::Raw, w.RowOf(QStringLiteral("1")), QString());
    w.P()->SetCell(Col::Start, w.RowOf(QStringLiteral("1")), QStringLiteral(" 9:59:00,50"));
    w.Advance(12340);
    w.FinishNumber(QStringLiteral("1"));
    QCOMPARE(w.Of(QStringLiteral("1"), Col::Zeit), QStringLiteral("1:11,84"));
    QVERIFY(w.fake->prompts.Errors.isEmpty());
    // A row that never started: its finish is queued, not lost.
    w.P()->SetRowCount(w.P()->RowCount() + 1);
    const int r = w.P()->RowCount() - 1;
    w.P()->SetCell(Col::StNr, r, QStringLiteral("8"));
    w.FinishNumber(QStringLiteral("8"));
    QCOMPARE(w.Cell(Col::Zeit, r), QString());
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral("10:00:12,34"));
}

void RaceTest::assignmentFromFinishTable_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("finishAfterMs");
    QTest::addColumn<QString>("nrCell");
    QTest::addColumn<QString>("zeit");
    QTest::newRow("assigned") << "4" << 61500 << ""
                              << "1:01,50";
    QTest::newRow("unknown number") << "77" << 61500 << "-"
                                    << "";
    QTest::newRow("finish not after start") << "4" << -1000 << "!"
                                            << "";
}

void RaceTest::assignmentFromFinishTable() {
    QFETCH(QString, typed);
    QFETCH(int, finishAfterMs);
    QFETCH(QString, nrCell);
    QFETCH(QString, zeit);
    RaceWindow w;
    w.Advance(5000);
    w.StartNumber(QStringLiteral("4"));
    if (finishAfterMs < 0)
        w.P()->SetCell(Col::Start, w.RowOf(QStringLiteral("4")), QStringLiteral("10:00:06,00"));
    else
        w.Advance(finishAfterMs);
    w.FinishNumber(QString());
    QCOMPARE(w.F()->Cell(FinishCol::Number, 1), QStringLiteral("1."));

    // Into the "Nr" cell of the queued finish (a letter among the digits), then Enter.
    w.fake->prompts.Answers.clear();
    w.F()->setFocus();
    w.F()->GoToCell(FinishCol::Nr, 1, false);
    for (QChar ch : typed + QStringLiteral("x"))
        QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
    QCOMPARE(w.F()->Cell(FinishCol::Nr, 1), typed); // letters never appear
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(w.Of(QStringLiteral("4"), Col::Zeit), zeit);
    if (nrCell.isEmpty()) {
        QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QString()); // the queued row is gone
        QCOMPARE(w.Of(QStringLiteral("4"), Col::Stopp), QStringLiteral("10:01:06,50"));
        QCOMPARE(w.form->StatusPanel(4)->text(), QStringLiteral("1"));
    } else {
        QCOMPARE(w.F()->Cell(FinishCol::Nr, 1), nrCell);
        QVERIFY(!w.F()->Cell(FinishCol::Kontakt, 1).isEmpty());
    }
}

void RaceTest::overwriteQuestionAnsweredBothWays() {
    for (const bool yes : {false, true}) {
        RaceWindow w;
        w.StartNumber(QStringLiteral("4"));
        w.Advance(10000);
        w.FinishNumber(QStringLiteral("4"));
        w.Advance(10000);
        w.FinishNumber(QString());
        w.fake->prompts.Answers = {yes ? TFDlgYesNo::kYes : TFDlgYesNo::kNo};
        w.AssignInFinishTable(1, QStringLiteral("4"));
        QCOMPARE(w.fake->prompts.Shown.size(), 1);
        QCOMPARE(w.form->Question().Label1->text(),
                 QStringLiteral("Dieser Startnummer ist bereits eine Zielzeit zugeordnet. Soll diese Zielzeit "
                                "überschrieben werden?"));
        QCOMPARE(w.Of(QStringLiteral("4"), Col::Zeit), yes ? QStringLiteral("20,00") : QStringLiteral("10,00"));
        QCOMPARE(w.F()->Cell(FinishCol::Nr, 1), QString());
        w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    }
}

void RaceTest::rankingTiesAndGaps() {
    RaceWindow w;
    for (const char* n : {"1", "2", "3"})
        w.StartNumber(QString::fromLatin1(n));
    // Three runners: 1:00,00, 1:00,00 and 1:01,50 after their own starts (all started at once).
    w.Advance(60000);
    w.FinishNumber(QStringLiteral("2"));
    w.FinishNumber(QStringLiteral("1"));
    w.Advance(1500);
    w.FinishNumber(QStringLiteral("3"));
    w.Key(Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(w.Of(QStringLiteral("1"), Col::Platz), QStringLiteral("1"));
    QCOMPARE(w.Of(QStringLiteral("2"), Col::Platz), QStringLiteral("1"));
    QCOMPARE(w.Of(QStringLiteral("3"), Col::Platz), QStringLiteral("3"));
    QCOMPARE(w.Cell(Col::Split, 1), QStringLiteral("0,00"));
    QCOMPARE(w.Cell(Col::Split, 2), QString());
    QCOMPARE(w.Of(QStringLiteral("3"), Col::Split), QStringLiteral("+1,50"));
    // Ties keep the order in which they stood: row 1 is number 2 (the ties sort by "Split").
    QCOMPARE(w.Cell(Col::StNr, 3), QStringLiteral("3"));
}

void RaceTest::classModePlaces() {
    TSettings s;
    s.Klass = true;
    RaceWindow w(s);
    for (const char* n : {"1", "2", "3"})
        w.StartNumber(QString::fromLatin1(n));
    w.P()->SetCell(Col::Klasse, w.RowOf(QStringLiteral("1")), QStringLiteral("M"));
    w.P()->SetCell(Col::Klasse, w.RowOf(QStringLiteral("2")), QStringLiteral("W"));
    w.P()->SetCell(Col::Klasse, w.RowOf(QStringLiteral("3")), QStringLiteral("M"));
    w.Advance(50000);
    w.FinishNumber(QStringLiteral("1"));
    w.Advance(1000);
    w.FinishNumber(QStringLiteral("2"));
    w.Advance(1000);
    w.FinishNumber(QStringLiteral("3"));
    w.Key(Qt::Key_P, Qt::ControlModifier);
    const QStringList expected[3] = {{"1", "1", "M", "1", "50,00", "0,00"},
                                     {"2", "2", "W", "1", "51,00", "0,00"},
                                     {"3", "3", "M", "2", "52,00", "+2,00"}};
    for (int r = 1; r <= 3; ++r) {
        const QStringList got = {w.Cell(Col::Platz, r), w.Cell(Col::StNr, r), w.Cell(Col::Klasse, r),
                                 w.Cell(Col::KlPl, r),  w.Cell(Col::Zeit, r), w.Cell(Col::Split, r)};
        QCOMPARE(got, expected[r - 1]);
    }
}

void RaceTest::massStartGapsAndClosedRoutes() {
    TSettings s;
    s.StartType = 1;
    RaceWindow w(s);
    QVERIFY(Find<NumberBox>(w.form, "cbStartN")->isHidden());
    w.P()->SetRowCount(4);
    for (int r = 1; r <= 3; ++r)
        w.P()->SetCell(Col::StNr, r, QString::number(r * 10));
    w.Key(Qt::Key_F5);
    QVERIFY(!Find<QAction>(w.form, "mStart")->isEnabled());
    QVERIFY(!Find<TBitBtnWithColor>(w.form, "bSTART")->isEnabled());
    QCOMPARE(Find<NumberBox>(w.form, "cbStopN")->Items(), (QStringList{"10", "20", "30"}));
    const QString startBefore = w.Cell(Col::Start, 1);
    w.Advance(5000);
    w.Key(Qt::Key_F5); // closed until ENDE
    QTest::mousePress(Find<TBitBtnWithColor>(w.form, "bSTART"), Qt::LeftButton);
    QCOMPARE(w.form->State().lastStartTick, Tick(100000));
    QCOMPARE(w.Cell(Col::Start, 1), startBefore);
    w.Advance(55000);
    w.FinishNumber(QStringLiteral("20"));
    w.Advance(2500);
    w.FinishNumber(QStringLiteral("10"));
    QCOMPARE(w.Of(QStringLiteral("20"), Col::Zeit), QStringLiteral("1:00,00"));
    QCOMPARE(w.Of(QStringLiteral("20"), Col::Split), QStringLiteral("+0,00"));
    QCOMPARE(w.Of(QStringLiteral("10"), Col::Split), QStringLiteral("+2,50"));
    w.Advance(1000);
    w.FinishNumber(QString());
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral("1:03,50"));
    // Ranking in mass start changes places only.
    w.Key(Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(w.Of(QStringLiteral("20"), Col::Platz), QStringLiteral("1"));
    QCOMPARE(w.Of(QStringLiteral("10"), Col::Split), QStringLiteral("+2,50"));
}

void RaceTest::endAnsweredNoChangesNothing() {
    RaceWindow w;
    w.StartNumber(QStringLiteral("1"));
    w.fake->prompts.Answers = {TFDlgYesNo::kNo};
    w.Key(Qt::Key_F10);
    QCOMPARE(w.form->Question().Label1->text(), QStringLiteral("Wettkampf Ende?"));
    QVERIFY(w.form->State().Started());
    QVERIFY(Find<TBitBtnWithColor>(w.form, "bSTOP")->isEnabled());
}

void RaceTest::endResetsTheRun() {
    RaceWindow w;
    w.StartNumber(QStringLiteral("1"));
    w.FinishNumber(QString());
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    w.Key(Qt::Key_F10);
    QVERIFY(!w.form->State().Started());
    QCOMPARE(w.form->State().finishCounter, 0);
    QVERIFY(!Find<TBitBtnWithColor>(w.form, "bSTOP")->isEnabled());
    QVERIFY(Find<TBitBtnWithColor>(w.form, "bSTART")->isEnabled());
    QVERIFY(Find<QToolButton>(w.form, "sbLoadList")->isEnabled());
    QVERIFY(Find<TBitBtnWithColor>(w.form, "bEnd")->isEnabled());
    QCOMPARE(w.Of(QStringLiteral("1"), Col::Start), QStringLiteral("10:00:00,00")); // the tables stay
    w.Key(Qt::Key_F8);                                                              // FINISH is closed after the end
    QCOMPARE(w.F()->RowCount(), 2);
    // The next competition's queued finishes count from 1 again.
    w.StartNumber(QStringLiteral("2"));
    w.FinishNumber(QString());
    QCOMPARE(w.F()->Cell(FinishCol::Number, 2), QStringLiteral("1."));
}

void RaceTest::backupsAfterEveryStartFinishAndAssignment() {
    RaceWindow w;
    const QString p = QStringLiteral("Kadenzor-Sicherungsdatei-P.txt");
    const QString f = QStringLiteral("Kadenzor-Sicherungsdatei-F.txt");
    w.StartNumber(QStringLiteral("12"));
    QVERIFY(w.ReadFile(p).contains("-\t12\t"));
    w.Advance(42000);
    w.FinishNumber(QString());
    QCOMPARE(w.ReadFile(f), QByteArray("1.\t10:00:42,00\t \t\r\n"));
    w.AssignInFinishTable(1, QStringLiteral("12"));
    QVERIFY(w.ReadFile(p).contains("42,00"));
    QCOMPARE(w.ReadFile(f), QByteArray());
}

void RaceTest::backupFailureShowsUntilWriteSucceeds() {
    TSettings s;
    RaceWindow probe;
    s.RezervDir = probe.dir.path() + QStringLiteral("/missing/");
    RaceWindow w(s);
    w.StartNumber(QStringLiteral("1"));
    QVERIFY(w.form->StatusPanel(2)->text().startsWith(QStringLiteral("Sicherung fehlgeschlagen")));
    QVERIFY(QDir().mkpath(s.RezervDir));
    w.FinishNumber(QStringLiteral("1"));
    QCOMPARE(w.form->StatusPanel(2)->text(), QString());
}

void RaceTest::exportsNeedNoPrinter() {
    RaceWindow w;
    w.fake->printers.Count = 0;
    QVERIFY(!Find<QToolButton>(w.form, "sbSave")->isEnabled());
    w.StartNumber(QStringLiteral("1"));
    QVERIFY(Find<QToolButton>(w.form, "sbSave")->isEnabled());
    QVERIFY(Find<QToolButton>(w.form, "sbWord")->isEnabled());
    QVERIFY(Find<QToolButton>(w.form, "sbExcel")->isEnabled());
    QVERIFY(Find<QToolButton>(w.form, "sbHTML")->isEnabled());
    QVERIFY(!Find<QToolButton>(w.form, "sbPrint")->isEnabled());
}

void RaceTest::mousePressOnStartButton() {
    RaceWindow w;
    QTest::mousePress(Find<TBitBtnWithColor>(w.form, "bSTART"), Qt::RightButton);
    QCOMPARE(w.Cell(Col::StNr, 1), QStringLiteral("-1"));
    QTest::mouseRelease(Find<TBitBtnWithColor>(w.form, "bSTART"), Qt::RightButton);
    w.Advance(9000);
    w.TypeStop(QStringLiteral("-1"));
    QTest::mousePress(Find<TBitBtnWithColor>(w.form, "bSTOP"), Qt::LeftButton);
    QCOMPARE(w.Cell(Col::Zeit, 1), QStringLiteral("9,00"));
}

void RaceTest::tonesPlayWhenOnAndFilesExist() {
    {
        RaceWindow w;
        w.StartNumber(QStringLiteral("1"));
        w.FinishNumber(QStringLiteral("1"));
        QCOMPARE(w.fake->sound.Played.size(), 2);
        QVERIFY(w.fake->sound.Played[0].endsWith(QStringLiteral("Ton-start.wav")));
        QVERIFY(w.fake->sound.Played[1].endsWith(QStringLiteral("Ton-finish.wav")));
        QTest::mouseClick(Find<QToolButton>(w.form, "sbSound1"), Qt::LeftButton);
        QVERIFY(Find<QToolButton>(w.form, "sbSound0")->isVisible());
        w.StartNumber(QStringLiteral("2"));
        QCOMPARE(w.fake->sound.Played.size(), 2);
    }
    RaceWindow silent(TSettings(), false);
    silent.StartNumber(QStringLiteral("1"));
    QVERIFY(silent.fake->sound.Played.isEmpty());
}

namespace {
// What the command buttons show must be what they do: green START and yellow FINISH
// only while enabled, the grey face otherwise, whichever event changed them last.
void CheckCommandColours(TFormMain& form) {
    auto* start = form.findChild<TBitBtnWithColor*>(QStringLiteral("bSTART"));
    auto* stop = form.findChild<TBitBtnWithColor*>(QStringLiteral("bSTOP"));
    QVERIFY(start && stop);
    QCOMPARE(start->Color(), start->isEnabled() ? RunColors::Green : RunColors::ButtonFace());
    QCOMPARE(stop->Color(), stop->isEnabled() ? RunColors::Yellow : RunColors::ButtonFace());
}
} // namespace

void RaceTest::numberBoxesAndColoursAfterFinishClearAndRestore() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    {
        RaceWindow w(TSettings(), true, folder);
        auto* stopN = w.form->findChild<NumberBox*>(QStringLiteral("cbStopN"));
        QVERIFY(stopN);
        w.StartNumber(QStringLiteral("17"));
        w.Advance(1000);
        w.StartNumber(QStringLiteral("18"));
        QCOMPARE(stopN->Items(), (QStringList{"17", "18"}));
        QCOMPARE(stopN->currentText(), QString());
        CheckCommandColours(*w.form);
        w.Advance(60000);
        w.FinishNumber(QStringLiteral("17"));
        QCOMPARE(stopN->Items(), QStringList{"18"});
        QCOMPARE(stopN->currentText(), QString());
        QVERIFY(w.form->findChild<TBitBtnWithColor*>(QStringLiteral("bSTOP"))->isEnabled());
        CheckCommandColours(*w.form);
    } // both backups hold 17 finished and 18 on the course
    {
        RaceWindow w(TSettings(), true, folder);
        auto* stopN = w.form->findChild<NumberBox*>(QStringLiteral("cbStopN"));
        QCOMPARE(w.Of("18", Col::Zeit).trimmed(), QString());
        // No number is left over for a FINISH before the operator names one.
        QCOMPARE(stopN->currentText(), QString());
        QVERIFY(w.form->findChild<TBitBtnWithColor*>(QStringLiteral("bSTART"))->isEnabled());
        QVERIFY(w.form->findChild<QAction*>(QStringLiteral("mStop"))->isEnabled());
        CheckCommandColours(*w.form);

        w.fake->prompts.Answers = {TFDlgYesNo::kYes};
        QTest::mouseClick(w.form->findChild<QToolButton*>(QStringLiteral("sbCls")), Qt::LeftButton);
        QCOMPARE(stopN->count(), 0);
        QCOMPARE(stopN->currentText(), QString());
        QCOMPARE(w.form->findChild<NumberBox*>(QStringLiteral("cbStartN"))->count(), 0);
        QVERIFY(!w.form->findChild<TBitBtnWithColor*>(QStringLiteral("bSTOP"))->isEnabled());
        CheckCommandColours(*w.form);
    }
}

QTEST_MAIN(RaceTest)
#include "tst_Race.moc"
