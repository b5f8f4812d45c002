#include "RaceWindow.h"

#include "core/base/TimeText.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/run/TimeDisplay.h"
#include "ui/tables/ProtocolFiles.h"

#include <QAction>
#include <QDir>
#include <QPushButton>
#include <QToolButton>
#include <ctime>

// Times from real input: keys where the window system sends them, restarts in the same
// boot and after a reboot, the daylight-saving change and midnight (Europe/Berlin).
namespace {

// 2026-03-29: at 02:00 CET the clocks go to 03:00 CEST.
QDateTime Berlin(int day, int h, int m, int s, int ms) {
    return QDateTime(QDate(2026, 3, day), QTime(h, m, s, ms));
}

// The backup folder as a SIGKILL leaves it: copied before the window's shutdown writes.
void KillInto(const RaceWindow& w, const QTemporaryDir& into) {
    const QDir from(w.folder);
    for (const QString& name : from.entryList({QStringLiteral("Kadenzor-Sicherungsdatei-*")}, QDir::Files))
        QVERIFY(QFile::copy(w.folder + name, into.path() + QLatin1Char('/') + name));
}

QString FolderOf(const QTemporaryDir& dir) {
    return dir.path() + QLatin1Char('/');
}

void LoadList(RaceWindow& w, const QByteArray& rows) {
    QFile f(w.folder + "Liste.txt");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("St.Nr.\tVorname\tNachname\r\n" + rows);
    f.close();
    QVERIFY(w.form->Files().LoadStartList(w.folder + "Liste.txt"));
}

QString BoxText(const RaceWindow& w, const char* name) {
    return Find<NumberBox>(w.form, name)->currentText();
}

TSettings Mode(bool mass, bool autoSort = false) {
    TSettings s;
    s.StartType = mass ? 1 : 0;
    s.AutoSort = autoSort;
    return s;
}

} // namespace

class RealInputTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void enterInNumberBox_data();
    void enterInNumberBox();
    void noInlineCompletion_data();
    void noInlineCompletion();
    void assignmentLeavesFinishBoxEmpty();
    void placeholderNumbersNeverRepeat();
    void massStartRestartKeepsStartClosed();
    void restartTimesFromTicks_data();
    void restartTimesFromTicks();
    void finishBeforeStartRefused_data();
    void finishBeforeStartRefused();
    void loadAndClearWriteBackups_data();
    void loadAndClearWriteBackups();
    void questionsOpenWithNo();
    void duplicateNumbers();
    void startAfterFinishAsks_data();
    void startAfterFinishAsks();
    void restoredRaceLooksRunning();
    void rowShortcuts_data();
    void rowShortcuts();
};

void RealInputTest::initTestCase() {
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QCOMPARE(Berlin(29, 3, 0, 0, 0).toMSecsSinceEpoch() - Berlin(29, 1, 59, 0, 0).toMSecsSinceEpoch(), 60000);
}

// Return and keypad Enter in either box record the number typed there.
void RealInputTest::enterInNumberBox_data() {
    QTest::addColumn<bool>("finish");
    QTest::addColumn<bool>("keypad");
    QTest::newRow("START, Return") << false << false;
    QTest::newRow("START, keypad Enter") << false << true;
    QTest::newRow("FINISH, Return") << true << false;
    QTest::newRow("FINISH, keypad Enter") << true << true;
}

void RealInputTest::enterInNumberBox() {
    QFETCH(bool, finish);
    QFETCH(bool, keypad);
    RaceWindow w;
    const Qt::Key key = keypad ? Qt::Key_Enter : Qt::Key_Return;
    const Qt::KeyboardModifiers mods = keypad ? Qt::KeypadModifier : Qt::NoModifier;
    w.TypeStart(QStringLiteral("22"));
    if (!finish)
        w.Press(key, mods);
    else
        w.Key(Qt::Key_F5);
    QCOMPARE(w.Of("22", Col::Start), QStringLiteral("10:00:00,00"));
    w.Advance(15770);
    w.TypeStop(QStringLiteral("22"));
    w.Press(key, mods);
    QCOMPARE(w.Of("22", Col::Zeit), QStringLiteral("15,77"));
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QString());
}

// "25" stays 25 although the box's list holds 250.
void RealInputTest::noInlineCompletion_data() {
    QTest::addColumn<bool>("finish");
    QTest::newRow("START box") << false;
    QTest::newRow("FINISH box") << true;
}

void RealInputTest::noInlineCompletion() {
    QFETCH(bool, finish);
    RaceWindow w;
    LoadList(w, "250\tA\tA\r\n25\tB\tB\r\n");
    w.StartNumber(QStringLiteral("250"));
    if (finish)
        w.StartNumber(QStringLiteral("25"));
    w.Advance(1000);
    finish ? w.TypeStop(QStringLiteral("25")) : w.TypeStart(QStringLiteral("25"));
    QCOMPARE(BoxText(w, finish ? "cbStopN" : "cbStartN"), QStringLiteral("25"));
    w.Press(Qt::Key_Return);
    QCOMPARE(w.Of("25", finish ? Col::Zeit : Col::Start),
             finish ? QStringLiteral("1,00") : QStringLiteral("10:00:01,00"));
    QCOMPARE(w.Of("250", Col::Zeit), QString());
    QCOMPARE(w.Of("250", Col::Start), QStringLiteral("10:00:00,00"));
}

// A ranking after an assignment puts no athlete's number into the FINISH box.
void RealInputTest::assignmentLeavesFinishBoxEmpty() {
    RaceWindow w(Mode(false, true));
    for (const char* n : {"1", "7", "3"}) {
        w.StartNumber(QString::fromLatin1(n));
        w.Advance(1000);
    }
    w.TypeStop(QString());
    w.Key(Qt::Key_F8);
    w.Advance(500);
    w.Key(Qt::Key_F8);
    w.AssignInFinishTable(2, QStringLiteral("1"));
    QCOMPARE(w.Of("1", Col::Zeit), QStringLiteral("3,50"));
    QCOMPARE(BoxText(w, "cbStopN"), QString());
    w.Key(Qt::Key_F8);
    QCOMPARE(w.Of("7", Col::Zeit), QString());
    QCOMPARE(w.F()->RowCount(), 3); // the first queued one and this one
}

// A placeholder number is never given twice, across a deleted row and a restart.
void RealInputTest::placeholderNumbersNeverRepeat() {
    QTemporaryDir killed;
    QStringList given;
    {
        RaceWindow w;
        w.Key(Qt::Key_F5);
        w.Key(Qt::Key_F5);
        w.StartNumber(QStringLiteral("2"));
        w.StartNumber(QStringLiteral("1"));
        w.TypeStart(QString());
        w.Key(Qt::Key_F5);
        QCOMPARE(w.Cell(Col::StNr, 5), QStringLiteral("-5"));
        w.fake->prompts.Answers = {TFDlgYesNo::kYes};
        w.P()->GoToCell(0, 1, false);
        Find<QAction>(w.form, "Erase2")->trigger();
        QCOMPARE(w.RowOf("-1"), -1);
        w.TypeStart(QString());
        w.Key(Qt::Key_F5);
        for (int r = 1; r < w.P()->RowCount(); ++r)
            if (w.Cell(Col::StNr, r).startsWith(QLatin1Char('-')))
                given << w.Cell(Col::StNr, r);
        KillInto(w, killed);
    }
    QCOMPARE(given, QStringList({"-2", "-5", "-6"}));
    RaceWindow w(TSettings(), true, FolderOf(killed), QDateTime(QDate(2026, 3, 20), QTime(10, 5)), 400000);
    w.TypeStart(QString());
    w.Key(Qt::Key_F5);
    QCOMPARE(w.RowOf("-7"), w.P()->RowCount() - 2);
    for (const QString& n : given)
        QCOMPARE(w.P()->Data().Cols(Col::StNr).count(n), 1);
}

// After a restart a mass start stays started: F5 neither restarts it nor drops the first finish.
void RealInputTest::massStartRestartKeepsStartClosed() {
    QTemporaryDir killed;
    {
        RaceWindow w(Mode(true));
        LoadList(w, "1\tA\tA\r\n2\tB\tB\r\n");
        w.Key(Qt::Key_F5);
        w.Advance(60000);
        w.FinishNumber(QStringLiteral("1"));
        QCOMPARE(w.Of("1", Col::Zeit), QStringLiteral("1:00,00"));
        KillInto(w, killed);
    }
    RaceWindow w(Mode(true), true, FolderOf(killed), QDateTime(QDate(2026, 3, 20), QTime(10, 2)), 220000);
    const QByteArray before = w.ReadFile(QStringLiteral("Kadenzor-Sicherungsdatei-L.txt"));
    QVERIFY(before.contains("Massenstart=10:00:00,00"));
    QVERIFY(!Find<TBitBtnWithColor>(w.form, "bSTART")->isEnabled());
    QVERIFY(Find<TBitBtnWithColor>(w.form, "bSTOP")->isEnabled());
    QCOMPARE(BoxText(w, "cbStopN"), QString());
    w.Key(Qt::Key_F5);
    QCOMPARE(w.ReadFile(QStringLiteral("Kadenzor-Sicherungsdatei-L.txt")), before);
    w.FinishNumber(QStringLiteral("2"));
    QCOMPARE(w.Of("2", Col::Zeit), QStringLiteral("2:00,00"));
    QCOMPARE(w.Of("2", Col::Split), QStringLiteral("+1:00,00"));
}

// Across the daylight-saving change, after a restart in the same boot and
// after a reboot, a running time is the exact difference of the moments, never of
// rounded local clock texts; directly into the row and through the finish table.
void RealInputTest::restartTimesFromTicks_data() {
    QTest::addColumn<bool>("reboot");
    QTest::addColumn<bool>("queued");
    QTest::newRow("same boot, into the row") << false << false;
    QTest::newRow("same boot, from the finish table") << false << true;
    QTest::newRow("reboot, into the row") << true << false;
    QTest::newRow("reboot, from the finish table") << true << true;
}

void RealInputTest::restartTimesFromTicks() {
    QFETCH(bool, reboot);
    QFETCH(bool, queued);
    QTemporaryDir killed;
    // Start 01:59:44,229 CET, finish 03:00:59,221 CEST: 1:14,992 later.
    const Tick startTick = 7200000;
    {
        RaceWindow w(TSettings(), true, QString(), Berlin(29, 1, 59, 44, 229), startTick);
        w.StartNumber(QStringLiteral("1"));
        w.StartNumber(QStringLiteral("2")); // on the course through the restart
        QCOMPARE(w.Of("1", Col::Start), QStringLiteral(" 1:59:44,22"));
        if (queued) {
            w.Advance(74992);
            w.TypeStop(QString());
            w.Key(Qt::Key_F8);
            QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral(" 3:00:59,22"));
        }
        KillInto(w, killed);
    }
    const qint32 later = 120000;
    RaceWindow w(TSettings(), true, FolderOf(killed), Berlin(29, 3, 0, 59, 221).addMSecs(later),
                 reboot ? 90000 : startTick + 74992 + later, reboot ? QStringLiteral("fake-boot-2") : QString());
    if (queued)
        w.AssignInFinishTable(1, QStringLiteral("1"));
    else
        w.FinishNumber(QStringLiteral("1"));
    QCOMPARE(w.Of("1", Col::Zeit), queued ? QStringLiteral("1:14,99") : QStringLiteral("3:14,99"));
    w.FinishNumber(QStringLiteral("2"));
    QCOMPARE(w.Of("2", Col::Zeit), QStringLiteral("3:14,99"));
}

// A finish before the start is refused with "!", across midnight and a restart.
void RealInputTest::finishBeforeStartRefused_data() {
    QTest::addColumn<bool>("restart");
    QTest::addColumn<bool>("finishFirst");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("zeit");
    QTest::newRow("finish before the start") << false << true << "!"
                                             << "";
    QTest::newRow("finish before the start, restart") << true << true << "!"
                                                      << "";
    QTest::newRow("across midnight, restart") << true << false << ""
                                              << "21,09";
}

void RealInputTest::finishBeforeStartRefused() {
    QFETCH(bool, restart);
    QFETCH(bool, finishFirst);
    QFETCH(QString, mark);
    QFETCH(QString, zeit);
    QTemporaryDir killed;
    auto w = std::make_unique<RaceWindow>(TSettings(), true, QString(), Berlin(19, 23, 59, 50, 200), 500000);
    // The queued finish at 23:59:50,20 and the start at 0:00:11,29, in either order.
    if (finishFirst) {
        w->Key(Qt::Key_F8);
        w->Advance(21090);
        w->StartNumber(QStringLiteral("1"));
    } else {
        w->StartNumber(QStringLiteral("1"));
        w->Advance(21090);
        w->TypeStop(QString());
        w->Key(Qt::Key_F8);
    }
    if (restart) {
        KillInto(*w, killed);
        w.reset();
        w = std::make_unique<RaceWindow>(TSettings(), true, FolderOf(killed), Berlin(20, 0, 5, 0, 0), 800000);
    }
    w->AssignInFinishTable(1, QStringLiteral("1"));
    QCOMPARE(w->Of("1", Col::Zeit).trimmed(), zeit);
    QCOMPARE(w->F()->Cell(FinishCol::Nr, 1), mark);
}

// A loaded start list and a cleared protocol are on the disk at once.
void RealInputTest::loadAndClearWriteBackups_data() {
    QTest::addColumn<bool>("clear");
    QTest::newRow("start list") << false;
    QTest::newRow("Protokoll löschen") << true;
}

void RealInputTest::loadAndClearWriteBackups() {
    QFETCH(bool, clear);
    RaceWindow w;
    w.StartNumber(QStringLiteral("77"));
    w.Advance(1000);
    w.FinishNumber(QStringLiteral("77"));
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    w.Key(Qt::Key_F10);
    QVERIFY(w.ReadFile(QStringLiteral("Kadenzor-Sicherungsdatei-P.txt")).contains("\t77\t"));
    if (clear) {
        w.fake->prompts.Answers = {TFDlgYesNo::kYes};
        Find<QToolButton>(w.form, "sbCls")->click();
    } else {
        LoadList(w, "5\tNeu\tListe\r\n");
    }
    const QByteArray protocol = w.ReadFile(QStringLiteral("Kadenzor-Sicherungsdatei-P.txt"));
    QVERIFY(!protocol.isEmpty());
    QVERIFY(!protocol.contains("\t77\t"));
    QCOMPARE(protocol.contains("Liste"), !clear);
    QVERIFY(!w.ReadFile(QStringLiteral("Kadenzor-Sicherungsdatei-L.txt")).contains("Start="));
}

// Enter on a question answers its safe button, every time, whatever came before.
void RealInputTest::questionsOpenWithNo() {
    RaceWindow w;
    w.StartNumber(QStringLiteral("1"));
    w.Advance(30000);
    w.FinishNumber(QStringLiteral("1"));
    w.Advance(1000);
    w.Key(Qt::Key_F8);
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    w.Key(Qt::Key_F10);
    QStringList focused;
    w.fake->prompts.OnExec = [&](QDialog& d) {
        d.show();
        if (!QTest::qWaitForWindowExposed(&d))
            return -1;
        // The keys go to what has the focus in the question's window.
        QWidget* target = d.focusWidget();
        auto* button = qobject_cast<QPushButton*>(target);
        focused << (button ? button->text() : QStringLiteral("keine Schaltfläche"));
        int result = -1;
        QObject::connect(&d, &QDialog::finished, &d, [&](int r) { result = r; });
        QTest::keyClick(target, Qt::Key_Return);
        d.hide();
        return result;
    };
    // Overwriting 1's finish with the queued one: Enter keeps it.
    w.AssignInFinishTable(1, QStringLiteral("1"));
    QCOMPARE(w.Of("1", Col::Zeit), QStringLiteral("30,00"));
    // The notice answered with Enter: "Abbrechen", nothing loaded.
    w.fake->prompts.FileNames = {w.folder + "nichts.txt"};
    Find<QAbstractButton>(w.form, "sbLoadList")->click();
    QCOMPARE(w.fake->prompts.PickerCalls, 0);
    // Then the clearing question: Enter is "Nein".
    Find<QToolButton>(w.form, "sbCls")->click();
    QCOMPARE(focused, QStringList({"Nein", "Abbrechen", "Nein"}));
    QCOMPARE(w.Of("1", Col::Start), QStringLiteral("10:00:00,00"));
}

// A number two rows carry is named at load time and never picks a row by itself.
void RealInputTest::duplicateNumbers() {
    RaceWindow w;
    LoadList(w, "21\tA\tA\r\n21\tB\tB\r\n22\tC\tC\r\n");
    QCOMPARE(w.fake->prompts.Errors.size(), 1);
    QVERIFY(w.fake->prompts.Errors.first().contains(QStringLiteral("Startnummer 21 kommt zweimal vor")));
    w.StartNumber(QStringLiteral("21"));
    for (int r = 1; r <= 2; ++r)
        QCOMPARE(w.Cell(Col::Start, r), QString());
    // The start is kept, on a placeholder row for the operator to give to the right athlete.
    const int placeholder = w.P()->RowCount() - 2;
    QVERIFY(w.Cell(Col::StNr, placeholder).startsWith(QLatin1Char('-')));
    QCOMPARE(w.Cell(Col::Start, placeholder), QStringLiteral("10:00:00,00"));
    w.Advance(1000);
    w.FinishNumber(QStringLiteral("21"));
    QCOMPARE(w.F()->Cell(FinishCol::Kontakt, 1), QStringLiteral("10:00:01,00"));
    w.AssignInFinishTable(1, QStringLiteral("21"));
    QCOMPARE(w.F()->Cell(FinishCol::Nr, 1), QStringLiteral("-"));
    for (int r = 1; r <= 2; ++r)
        QCOMPARE(w.Cell(Col::Stopp, r), QString());
}

// START for an athlete with a finish asks, "Nein" by default.
void RealInputTest::startAfterFinishAsks_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("Nein") << TFDlgYesNo::kNo;
    QTest::newRow("Ja") << TFDlgYesNo::kYes;
}

void RealInputTest::startAfterFinishAsks() {
    QFETCH(int, answer);
    const bool yes = answer == TFDlgYesNo::kYes;
    RaceWindow w;
    w.StartNumber(QStringLiteral("1"));
    w.Advance(30000);
    w.FinishNumber(QStringLiteral("1"));
    w.Advance(5000);
    w.fake->prompts.Answers = {answer};
    w.StartNumber(QStringLiteral("1"));
    QCOMPARE(w.form->Question().Label1->text(), QStringLiteral("Athlet 1 hat bereits eine Zielzeit. Neu starten?"));
    QCOMPARE(w.Of("1", Col::Start), yes ? QStringLiteral("10:00:35,00") : QStringLiteral("10:00:00,00"));
    QCOMPARE(w.Of("1", Col::Stopp), yes ? QString() : QStringLiteral("10:00:30,00"));
    QCOMPARE(w.Of("1", Col::Zeit), yes ? QString() : QStringLiteral("30,00"));
    QCOMPARE(w.Of("1", Col::Split), yes ? QStringLiteral("35,00") : QString());
}

// A restored race runs on: FINISH open, the clock from the first start, splits from it.
void RealInputTest::restoredRaceLooksRunning() {
    QTemporaryDir killed;
    {
        RaceWindow w;
        w.StartNumber(QStringLiteral("1"));
        w.Advance(25660);
        w.StartNumber(QStringLiteral("2"));
        QCOMPARE(w.Of("2", Col::Split), QStringLiteral("25,66"));
        KillInto(w, killed);
    }
    RaceWindow w(TSettings(), true, FolderOf(killed), QDateTime(QDate(2026, 3, 20), QTime(10, 1)), 160000);
    QVERIFY(Find<TBitBtnWithColor>(w.form, "bSTOP")->isEnabled());
    QVERIFY(Find<TBitBtnWithColor>(w.form, "bEnd")->isEnabled());
    QVERIFY(!Find<QAbstractButton>(w.form, "sbLoadList")->isEnabled());
    QVERIFY(w.form->Display().ClockRunning());
    w.StartNumber(QStringLiteral("3"));
    QCOMPARE(w.Of("3", Col::Split), QStringLiteral("1:00,00"));
    w.FinishNumber(QStringLiteral("2"));
    QCOMPARE(w.Of("2", Col::Zeit), QStringLiteral("34,34"));
}

// Delete and new row from the keypad and from the main keyboard.
void RealInputTest::rowShortcuts_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<int>("rowsAdded");
    QTest::newRow("Ctrl+keypad -") << int(Qt::Key_Minus) << true << -1;
    QTest::newRow("Ctrl+-") << int(Qt::Key_Minus) << false << -1;
    QTest::newRow("Ctrl+keypad +") << int(Qt::Key_Plus) << true << 1;
    QTest::newRow("Ctrl++") << int(Qt::Key_Plus) << false << 1;
}

void RealInputTest::rowShortcuts() {
    QFETCH(int, key);
    QFETCH(bool, keypad);
    QFETCH(int, rowsAdded);
    RaceWindow w;
    LoadList(w, "1\tA\tA\r\n2\tB\tB\r\n");
    const int before = w.P()->RowCount();
    w.fake->prompts.Answers = {TFDlgYesNo::kYes};
    w.FocusOn("SortGrid1");
    w.Press(Qt::Key(key), Qt::ControlModifier | (keypad ? Qt::KeypadModifier : Qt::NoModifier));
    QCOMPARE(w.P()->RowCount(), before + rowsAdded);
}

QTEST_MAIN(RealInputTest)
#include "tst_RealInput.moc"
