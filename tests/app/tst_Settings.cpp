#include "RaceWindow.h"

#include "core/contacts/ContactInput.h"
#include "core/files/GridTextFile.h"
#include "core/race/ProtocolColumns.h"
#include "core/settings/SettingsStore.h"
#include "support/FakeSerialDevices.h"
#include "ui/dialogs/TCfgDialog.h"
#include "ui/run/LockOut.h"
#include "ui/run/TimeDisplay.h"
#include "ui/widgets/TDigit.h"
#include "ui/widgets/TSpinFloatEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>

#include <sys/ioctl.h>

namespace {

constexpr int kPort = 17; // FakeSerialDevices' default device

// The main window with a scripted serial device (COM17) and a real settings store
// in a temporary configuration folder.
struct SettingsWindow {
    QTemporaryDir dir;
    QString folder;
    FakePlatform fake;
    FakeSerialDevices serial;
    std::unique_ptr<TFormMain> form;

    // `plug` adds adapters before the window lists the ports.
    explicit SettingsWindow(const TSettings& settings = TSettings(), bool withSerial = true,
                            const std::function<void(FakeSerialDevices&)>& plug = {})
        : folder(dir.path() + QLatin1Char('/')), fake(folder, folder) {
        if (plug)
            plug(serial);
        if (withSerial)
            fake.platform.serial = &serial;
        fake.platform.settingsFile = SettingsStore::FileNameIn(folder + QStringLiteral("config"));
        fake.clock.Set(100000, QDateTime(QDate(2026, 3, 20), QTime(10, 0)));
        form = std::make_unique<TFormMain>(fake.platform, settings);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }

    TCfgDialog& Dlg() { return form->CfgDialog(); }
    // Opens the dialog with F2; `script` acts on it as the operator would, and the
    // dialog ends with the button it presses (or "Abbrechen" when it presses none).
    void F2(const std::function<void(TCfgDialog&)>& script) {
        fake.prompts.OnExec = [script](QDialog& dialog) {
            auto& d = static_cast<TCfgDialog&>(dialog);
            d.setResult(QDialog::Rejected);
            d.show();
            if (!QTest::qWaitForWindowExposed(&d))
                return int(QDialog::Rejected);
            script(d);
            const int result = d.result();
            d.hide();
            return result;
        };
        QTest::keyClick(form.get(), Qt::Key_F2);
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    static void Ok(TCfgDialog& d) { QTest::mouseClick(d.OKBtn, Qt::LeftButton); }
    static void Cancel(TCfgDialog& d) { QTest::mouseClick(d.CancelBtn, Qt::LeftButton); }
    static void Type(QWidget* w, const QString& text) {
        w->setFocus();
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w, Qt::Key_Backspace);
        QTest::keyClicks(w, text);
    }
    // Space on entry k of the column list toggles its tick.
    static void ToggleColumn(TCfgDialog& d, int k) {
        d.ColListBox1->setFocus();
        d.ColListBox1->setCurrentRow(k);
        QTest::keyClick(d.ColListBox1->viewport(), Qt::Key_Space);
    }
    static bool Ticked(TCfgDialog& d, int k) { return d.ColListBox1->item(k)->checkState() == Qt::Checked; }
    static bool Red(QWidget* w) { return w->palette().color(QPalette::Text) == QColor(255, 0, 0); }
    int FractionDigits() const {
        const auto& c = form->Display().Controls();
        return c.Upper[7]->isVisible() ? 2 : c.Upper[6]->isVisible() ? 1 : 0;
    }
    TSettings Stored() const { return SettingsStore(fake.platform.settingsFile).Load(folder); }
};

TSettings WithPort(int port = kPort) {
    TSettings s;
    s.Port = port;
    return s;
}

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void f2AndButtonOpenTheDialog();
    void dialogShowsTheSettings();
    void everyTextIsWholeAtTheDefaultSize();
    void tabFollowsTheTableOfControls();
    void escAndEnterWorkFromEveryField_data();
    void escAndEnterWorkFromEveryField();
    void confirmWithoutChangesLeavesThePortUntouched();
    void keineClosesThePort();
    void changingOnlyTheLogicKeepsThePortOpen();
    void okWithoutPortEntryKeepsTheStoredPort();
    void timerSetsTheStartLockOutAndWarns();
    void columnTicksFollowTheRules();
    void columnDraggedToZeroIsHiddenAfterOk();
    void startLockOutInWholeSeconds();
    void finishLockOutInHundredths();
    void cancelRestoresTheDigitPreview();
    void okAppliesStartModeAndDigitsAtOnce();
    void okWritesTheStore();
    void storeWriteFailureIsReported();
    void folderPickerAppendsTheSeparator();
    void missingBackupFolderIsShownAtOnce();
    void debounceIsStored();
    void debounceReachesTheOpenPortAtOnce();
    void adapterChosenByItsStableName();
    void stableNameOpensTheAdapterAtStartAndReplug();
    void storeGivesAMassStartWindowWithOneDigit();
    void windowOffEveryScreenComesBack();
    void windowBoundsAndSoundReachTheStoreAtTheEnd();
};

void SettingsTest::f2AndButtonOpenTheDialog() {
    SettingsWindow w;
    w.F2(SettingsWindow::Cancel);
    QCOMPARE(w.fake.prompts.Shown.size(), 1);
    QCOMPARE(w.fake.prompts.Shown[0]->windowTitle(), QStringLiteral("Einstellungen"));
    // Over the main window at its default 890 x 603, the live results' and the stations' groups included.
    const QWidget* dialog = w.fake.prompts.Shown[0];
    QVERIFY2(dialog->width() <= 890, qPrintable(QString::number(dialog->width())));
    QVERIFY2(dialog->height() <= 603, qPrintable(QString::number(dialog->height())));
    QTest::mouseClick(Find<QToolButton>(w.form, "bCFG"), Qt::LeftButton);
    QCOMPARE(w.fake.prompts.Shown.size(), 2);
    w.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    QVERIFY(w.form->findChild<QAction*>(QStringLiteral("EinstellunGen1")));
    // While a competition runs the settings stay closed, by button and by key.
    QTest::keyClick(w.form.get(), Qt::Key_F5);
    QVERIFY(!Find<QToolButton>(w.form, "bCFG")->isEnabled());
    QTest::keyClick(w.form.get(), Qt::Key_F2);
    QCOMPARE(w.fake.prompts.Shown.size(), 2);
}

void SettingsTest::everyTextIsWholeAtTheDefaultSize() {
    SettingsWindow w;
    w.F2([](TCfgDialog& d) {
        // Each text gets the room its font asks for, and no two controls cover each other.
        QList<QWidget*> leaves;
        for (QWidget* c : d.findChildren<QWidget*>()) {
            QWidget* parent = c->parentWidget();
            if (!c->isVisibleTo(&d) || (parent != &d && !qobject_cast<QGroupBox*>(parent)))
                continue;
            if (qobject_cast<QLabel*>(c) || qobject_cast<QAbstractButton*>(c))
                QVERIFY2(c->width() >= c->sizeHint().width() && c->height() >= c->minimumSizeHint().height(),
                         qPrintable(c->objectName() + ": " + c->property("text").toString()));
            leaves << c;
        }
        for (auto* b : d.findChildren<QGroupBox*>())
            QVERIFY2(b->width() >= b->fontMetrics().horizontalAdvance(b->title()) + 16, qPrintable(b->title()));
        for (qsizetype i = 0; i < leaves.size(); ++i)
            for (qsizetype j = i + 1; j < leaves.size(); ++j) {
                if (leaves[i]->parentWidget() != leaves[j]->parentWidget())
                    continue;
                QVERIFY2(!leaves[i]->geometry().intersects(leaves[j]->geometry()),
                         qPrintable(leaves[i]->objectName() + " / " + leaves[j]->objectName()));
            }
        // Every protocol column is in sight, without a scroll bar.
        QListWidget* list = d.ColListBox1;
        QCOMPARE(list->count(), 12);
        QVERIFY(list->visualItemRect(list->item(11)).bottom() < list->viewport()->height());
        QCOMPARE(list->verticalScrollBar()->maximum(), 0);
        SettingsWindow::Ok(d);
    });
}

void SettingsTest::tabFollowsTheTableOfControls() {
    SettingsWindow w(WithPort());
    QStringList visited;
    w.F2([&](TCfgDialog& d) {
        d.OKBtn->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 22 && QApplication::focusWidget(); ++i) {
            QWidget* f = QApplication::focusWidget();
            // A spin box's focus is on its line edit.
            visited << (f->objectName().isEmpty() && f->parentWidget() ? f->parentWidget() : f)->objectName();
            QTest::keyClick(f, Qt::Key_Tab);
        }
    });
    QCOMPARE(visited, QString("OKBtn CancelBtn eTitel sbDIR eDIR cbDigits cbPort cbAlg seTimer seWait seWaitFinish "
                              "seDebounce cbAutoSort cbStart0 rgZeit0 ColListBox1 seWebPort eWebBind sbPublishDir "
                              "ePublishDir cbStation OKBtn")
                          .split(' '));
}

void SettingsTest::escAndEnterWorkFromEveryField_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    for (const char* field :
         {"eTitel", "eDIR", "cbDigits", "cbPort", "cbAlg", "seTimer", "seWait", "seWaitFinish", "seDebounce",
          "cbAutoSort", "cbStart0", "rgZeit0", "ColListBox1", "seWebPort", "eWebBind", "ePublishDir"}) {
        QTest::addRow("%s Esc", field) << field << int(Qt::Key_Escape) << int(QDialog::Rejected);
        QTest::addRow("%s Enter", field) << field << int(Qt::Key_Return) << int(QDialog::Accepted);
    }
}

void SettingsTest::escAndEnterWorkFromEveryField() {
    QFETCH(QString, field);
    QFETCH(int, key);
    QFETCH(int, result);
    SettingsWindow w(WithPort()); // with a port, the logic and the lock-outs can be reached
    int got = -1;
    w.F2([&](TCfgDialog& d) {
        d.setResult(-1);
        d.OKBtn->setFocus(Qt::TabFocusReason);
        auto* target = d.findChild<QWidget*>(field);
        QVERIFY(target);
        // Tab there, as the operator would.
        for (int i = 0;
             i < 25 && QApplication::focusWidget() != target && QApplication::focusWidget()->parentWidget() != target;
             ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY2(QApplication::focusWidget() == target || QApplication::focusWidget()->parentWidget() == target,
                 qPrintable(QApplication::focusWidget()->objectName()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        got = d.result();
    });
    QCOMPARE(got, result);
}

void SettingsTest::dialogShowsTheSettings() {
    TSettings s = WithPort();
    s.Alg = 1;
    s.Timer = 30;
    s.Acc = 1;
    s.StartType = 1;
    s.Title = QStringLiteral("Stadtlauf");
    s.WaitFinish = 1250;
    s.FormatZeit = 1;
    s.AutoSort = true;
    SettingsWindow w(s);
    w.F2([](TCfgDialog& d) {
        QCOMPARE(d.cbPort->currentText(), QStringLiteral("COM17"));
        QCOMPARE(d.cbPort->itemText(0), QStringLiteral("Keine"));
        QVERIFY(d.cbPort->toolTip().contains(QStringLiteral("7+8=Ziel")));
        QCOMPARE(d.cbAlg->currentText(), QStringLiteral("Aus"));
        QVERIFY(d.cbAlg->isEnabled());
        QCOMPARE(d.seTimer->value(), 30);
        QCOMPARE(d.cbDigits->currentText(), QStringLiteral("HH:MM:SS,s"));
        QVERIFY(d.cbStart->findChild<QRadioButton*>(QStringLiteral("cbStart1"))->isChecked());
        QCOMPARE(d.eTitel->text(), QStringLiteral("Stadtlauf"));
        QCOMPARE(d.seWaitFinish->text(), QStringLiteral("1,25"));
        QCOMPARE(d.ZeitIndex(), 1);
        QVERIFY(d.cbAutoSort->isChecked());
        QCOMPARE(d.ColListBox1->count(), 12);
        QCOMPARE(d.ColListBox1->item(11)->text(), QStringLiteral("Split"));
        QVERIFY(!SettingsWindow::Ticked(d, 8)); // "Start" is hidden by default
        QVERIFY(SettingsWindow::Ticked(d, 3));
        SettingsWindow::Cancel(d);
    });
}

void SettingsTest::confirmWithoutChangesLeavesThePortUntouched() {
    SettingsWindow w(WithPort());
    QCOMPARE(w.serial.Opens(), 1);
    QCOMPARE(w.serial.OpenDescriptors(), 1);
    w.F2(SettingsWindow::Ok);
    QCOMPARE(w.serial.Opens(), 1); // no close, no reopen
    QCOMPARE(w.serial.OpenDescriptors(), 1);
    QCOMPARE(w.form->Settings().Port, kPort);
    QCOMPARE(w.form->Settings().Columns, 0xCFF);
}

void SettingsTest::keineClosesThePort() {
    SettingsWindow w(WithPort());
    w.F2([](TCfgDialog& d) {
        d.cbPort->setFocus();
        QTest::keyClick(d.cbPort, Qt::Key_Home);
        QCOMPARE(d.cbPort->currentText(), QStringLiteral("Keine"));
        QVERIFY(!d.cbAlg->isEnabled());
        QVERIFY(!d.seWait->isEnabled());
        QVERIFY(!d.seWaitFinish->isEnabled());
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.serial.OpenDescriptors(), 0);
    QCOMPARE(w.form->Settings().Port, 0);
    QVERIFY(!w.form->Lock().IconsVisible());
}

void SettingsTest::changingOnlyTheLogicKeepsThePortOpen() {
    SettingsWindow w(WithPort());
    w.F2([](TCfgDialog& d) {
        d.cbAlg->setFocus();
        QTest::keyClick(d.cbAlg, Qt::Key_Down);
        QCOMPARE(d.cbAlg->currentText(), QStringLiteral("Aus"));
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.form->Settings().Alg, 1);
    QCOMPARE(w.form->Contacts()->ComPort().Tag(), 1);
    QCOMPARE(w.serial.Opens(), 1);
    QCOMPARE(w.serial.OpenDescriptors(), 1);
}

void SettingsTest::okWithoutPortEntryKeepsTheStoredPort() {
    TSettings s = WithPort(5); // an adapter that is not plugged in today
    s.Alg = 1;
    SettingsWindow w(s);
    const int opens = w.serial.Opens();
    // The missing adapter is reported once at start; confirming the dialog adds nothing.
    QCoreApplication::processEvents();
    const auto errors = w.fake.prompts.Errors.size();
    QCOMPARE(errors, 1);
    w.F2([](TCfgDialog& d) {
        QCOMPARE(d.cbPort->currentIndex(), -1);
        SettingsWindow::Ok(d);
    });
    QCoreApplication::processEvents();
    QCOMPARE(w.form->Settings().Port, 5);
    QCOMPARE(w.form->Settings().Alg, 1);
    QCOMPARE(w.serial.Opens(), opens);
    QCOMPARE(w.fake.prompts.Errors.size(), errors);
}

void SettingsTest::timerSetsTheStartLockOutAndWarns() {
    SettingsWindow w(WithPort());
    w.F2([](TCfgDialog& d) {
        SettingsWindow::Type(d.seTimer, QStringLiteral("10"));
        QCOMPARE(d.seWait->value(), 9);
        QVERIFY(!SettingsWindow::Red(d.seWait));
        SettingsWindow::Type(d.seWait, QStringLiteral("10"));
        QVERIFY(SettingsWindow::Red(d.seWait)); // not shorter than the countdown
        SettingsWindow::Type(d.seTimer, QStringLiteral("1"));
        QCOMPARE(d.seWait->value(), 1);
        QVERIFY(!SettingsWindow::Red(d.seWait));
        SettingsWindow::Type(d.seTimer, QStringLiteral("10"));
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.form->Settings().Timer, 10);
    QCOMPARE(Find<QSpinBox>(w.form, "seAutoStart")->value(), 10);
    QCOMPARE(w.form->Settings().WaitStart, 9000);
    QCOMPARE(w.form->Lock().StartInterval(), 9000);
}

void SettingsTest::columnTicksFollowTheRules() {
    TSettings s;
    s.Columns = 0xFFF;
    s.Klass = true;
    SettingsWindow w(s);
    w.F2([](TCfgDialog& d) {
        QVERIFY(SettingsWindow::Ticked(d, 6) && SettingsWindow::Ticked(d, 7));
        SettingsWindow::ToggleColumn(d, 6); // "Klasse" off takes "Kl.-Pl." along
        QVERIFY(!SettingsWindow::Ticked(d, 6));
        QVERIFY(!SettingsWindow::Ticked(d, 7));
        for (int k : {0, 1, 10}) {
            SettingsWindow::ToggleColumn(d, k);
            QVERIFY2(SettingsWindow::Ticked(d, k), qPrintable(d.ColListBox1->item(k)->text()));
        }
        SettingsWindow::ToggleColumn(d, 3);
        QVERIFY(!SettingsWindow::Ticked(d, 3));
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.form->Settings().Columns, 0xFFF & ~((1 << 3) | (1 << 6) | (1 << 7)));
    QVERIFY(!w.form->Settings().Klass);
    QVERIFY(Find<TSortGrid>(w.form, "SortGrid1")->ColWidths(Col::Nachname) <= 0);
    QVERIFY(Find<TSortGrid>(w.form, "SortGrid1")->ColWidths(Col::Klasse) <= 0);
    QVERIFY(Find<TSortGrid>(w.form, "SortGrid1")->ColWidths(Col::Zeit) > 0);
}

void SettingsTest::columnDraggedToZeroIsHiddenAfterOk() {
    SettingsWindow w;
    Find<TSortGrid>(w.form, "SortGrid1")->SetColWidths(Col::Verein, 0);
    w.F2([](TCfgDialog& d) {
        QVERIFY(!SettingsWindow::Ticked(d, Col::Verein));
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.form->Settings().Columns & (1 << Col::Verein), 0);
    QVERIFY(Find<TSortGrid>(w.form, "SortGrid1")->ColWidths(Col::Verein) <= 0);
    w.form->resize(w.form->width() + 40, w.form->height()); // stays hidden in a new layout
    QVERIFY(Find<TSortGrid>(w.form, "SortGrid1")->ColWidths(Col::Verein) <= 0);
}

void SettingsTest::startLockOutInWholeSeconds() {
    TSettings s = WithPort();
    s.WaitStart = 4500;
    SettingsWindow w(s);
    QCOMPARE(w.form->Lock().StartInterval(), 4500);
    w.F2([](TCfgDialog& d) {
        QCOMPARE(d.seWait->value(), 4);
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.form->Settings().WaitStart, 4000);
    QCOMPARE(w.form->Lock().StartInterval(), 4000);
    QCOMPARE(w.Stored().WaitStart, 4000);
}

void SettingsTest::finishLockOutInHundredths() {
    SettingsWindow w(WithPort());
    w.F2([](TCfgDialog& d) {
        QVERIFY(d.seWaitFinish->isEnabled());
        SettingsWindow::Type(d.seWaitFinish, QStringLiteral("0,25"));
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.form->Settings().WaitFinish, 250);
    QCOMPARE(w.form->Lock().FinishInterval(), 250);
}

void SettingsTest::cancelRestoresTheDigitPreview() {
    SettingsWindow w;
    QCOMPARE(w.FractionDigits(), 2);
    w.F2([&](TCfgDialog& d) {
        d.cbDigits->setFocus();
        QTest::keyClick(d.cbDigits, Qt::Key_End);
        QCOMPARE(d.cbDigits->currentText(), QStringLiteral("HH:MM:SS"));
        QCOMPARE(w.FractionDigits(), 0); // previewed on the display
        SettingsWindow::Cancel(d);
    });
    QCOMPARE(w.FractionDigits(), 2);
    QCOMPARE(w.form->Settings().Acc, 2);
    // Reopened, the dialog shows the settings again, not the cancelled choice.
    w.F2([](TCfgDialog& d) {
        QCOMPARE(d.cbDigits->currentIndex(), 0);
        SettingsWindow::Cancel(d);
    });
}

void SettingsTest::okAppliesStartModeAndDigitsAtOnce() {
    SettingsWindow w;
    QVERIFY(!Find<NumberBox>(w.form, "cbStartN")->isHidden());
    w.F2([](TCfgDialog& d) {
        QTest::mouseClick(d.cbStart->findChild<QRadioButton*>(QStringLiteral("cbStart1")), Qt::LeftButton);
        d.cbDigits->setFocus();
        QTest::keyClick(d.cbDigits, Qt::Key_Down);
        SettingsWindow::Ok(d);
    });
    QVERIFY(w.form->Settings().massStart());
    QVERIFY(Find<NumberBox>(w.form, "cbStartN")->isHidden());
    QVERIFY(Find<QCheckBox>(w.form, "cbAuto")->isHidden());
    QCOMPARE(w.form->Settings().Acc, 1);
    QCOMPARE(w.FractionDigits(), 1);
}

void SettingsTest::okWritesTheStore() {
    SettingsWindow w;
    QVERIFY(!QFile::exists(w.fake.platform.settingsFile));
    w.F2([](TCfgDialog& d) {
        SettingsWindow::Type(d.eTitel, QStringLiteral("Kreismeisterschaft \"Nord\""));
        QTest::mouseClick(d.cbAutoSort, Qt::LeftButton);
        SettingsWindow::Ok(d);
    });
    // Written at once, not only at the end: a crash now keeps the configuration.
    const TSettings stored = w.Stored();
    QCOMPARE(stored.Title, QStringLiteral("Kreismeisterschaft \"Nord\""));
    QVERIFY(stored.AutoSort);
    // "Abbrechen" writes nothing.
    QFile::remove(w.fake.platform.settingsFile);
    w.F2(SettingsWindow::Cancel);
    QVERIFY(!QFile::exists(w.fake.platform.settingsFile));
}

void SettingsTest::storeWriteFailureIsReported() {
    SettingsWindow w;
    QFile blocker(w.folder + QStringLiteral("blocked"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    w.fake.platform.settingsFile = blocker.fileName() + QStringLiteral("/Zeitravo/Kadenzor.reg");
    // The window keeps its own copy of the platform: a second window sees the blocked path.
    TFormMain second(w.fake.platform);
    QVERIFY(!second.SaveSettings());
    QVERIFY(second.StatusPanel(2)->text().startsWith(QStringLiteral("Einstellungen nicht gespeichert")));
}

void SettingsTest::folderPickerAppendsTheSeparator() {
    SettingsWindow w;
    QTemporaryDir backups;
    w.fake.prompts.FileNames << backups.path();
    w.F2([&](TCfgDialog& d) {
        QTest::mouseClick(d.sbDIR, Qt::LeftButton);
        QCOMPARE(d.eDIR->text(), backups.path() + QLatin1Char('/'));
        QCOMPARE(d.sbDIR->toolTip(), d.eDIR->text());
        QVERIFY(!SettingsWindow::Red(d.eDIR));
        QTest::mouseClick(d.sbDIR, Qt::LeftButton); // cancelled picker: nothing changes
        QCOMPARE(d.eDIR->text(), backups.path() + QLatin1Char('/'));
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.fake.prompts.PickerCalls, 2);
    QCOMPARE(w.form->Settings().RezervDir, backups.path() + QLatin1Char('/'));
    QCOMPARE(w.form->BackupFiles().Folder(), backups.path() + QLatin1Char('/'));
    QVERIFY(QFile::exists(ProtocolBackupName(backups.path() + QLatin1Char('/'))));
}

void SettingsTest::missingBackupFolderIsShownAtOnce() {
    const QString missing = QStringLiteral("/nonexistent-stick/Sicherung/");
    {
        SettingsWindow w;
        QCOMPARE(w.form->StatusPanel(2)->text(), QString());
        w.F2([&](TCfgDialog& d) {
            QVERIFY(!SettingsWindow::Red(d.eDIR));
            SettingsWindow::Type(d.eDIR, missing);
            QVERIFY(SettingsWindow::Red(d.eDIR));
            SettingsWindow::Ok(d);
        });
        // Accepted, and the status bar says at once that the backups have nowhere to go.
        QCOMPARE(w.form->Settings().RezervDir, missing);
        QVERIFY(w.form->StatusPanel(2)->text().contains(missing));
    }
    TSettings s;
    s.RezervDir = missing;
    SettingsWindow restarted(s);
    QVERIFY(restarted.form->StatusPanel(2)->text().contains(missing));
}

void SettingsTest::debounceIsStored() {
    SettingsWindow w;
    w.F2([](TCfgDialog& d) {
        QCOMPARE(d.seDebounce->value(), 2);
        SettingsWindow::Type(d.seDebounce, QStringLiteral("75")); // above 50: not taken
        QVERIFY(d.seDebounce->value() <= 50);
        SettingsWindow::Type(d.seDebounce, QStringLiteral("12"));
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.form->Settings().Debounce, 12);
    QCOMPARE(w.Stored().Debounce, 12);
}

void SettingsTest::debounceReachesTheOpenPortAtOnce() {
    SettingsWindow w(WithPort());               // quiet time 2 ms
    QTest::keyClick(w.form.get(), Qt::Key_F12); // the finish contact's switch on
    QVERIFY(w.serial.WaitForWaiter());
    w.serial.Pulse(TIOCM_CTS, 0); // a spike only the counters see: noise
    QVERIFY(w.serial.WaitForWaiter());
    QCoreApplication::processEvents();
    QCOMPARE(Find<TSortGrid>(w.form, "SortGrid2")->Cell(FinishCol::Kontakt, 1), QString());
    w.F2([](TCfgDialog& d) {
        SettingsWindow::Type(d.seDebounce, QStringLiteral("0"));
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.serial.Opens(), 1); // not reopened
    QVERIFY(w.serial.WaitForWaiter());
    w.serial.Pulse(TIOCM_CTS, 0); // without a quiet time the same spike is a FINISH
    QTRY_COMPARE(Find<TSortGrid>(w.form, "SortGrid2")->Cell(FinishCol::Kontakt, 1), QStringLiteral("10:00:00,00"));
}

const QString kFtdi = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
const QString kCp2102 = QStringLiteral("/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0");

// COM17 is an FTDI adapter; a second one got a device beyond the COM numbers.
void PlugTwoAdapters(FakeSerialDevices& serial) {
    serial.AddLink(kFtdi, FakeSerialDevices::kDefaultPath);
    serial.AddDevice(QStringLiteral("/dev/ttyUSB20"));
    serial.AddLink(kCp2102, QStringLiteral("/dev/ttyUSB20"));
}

void SettingsTest::adapterChosenByItsStableName() {
    SettingsWindow w(WithPort(), true, PlugTwoAdapters); // stored by an older version: COM17 only
    QCOMPARE(w.serial.Opens(), 1);
    w.F2([](TCfgDialog& d) {
        QCOMPARE(d.cbPort->count(), 3);
        QCOMPARE(d.cbPort->currentText(), QStringLiteral("COM17 – FTDI FT232R USB UART A1B2C3"));
        QCOMPARE(d.cbPort->itemText(2), QStringLiteral("Silicon Labs CP2102 0001 (ttyUSB20)"));
        SettingsWindow::Ok(d);
    });
    // Confirmed as it was: the stored choice and the open port stay.
    QCOMPARE(w.form->Settings().PortPath, QString());
    QCOMPARE(w.serial.Opens(), 1);

    w.F2([](TCfgDialog& d) {
        d.cbPort->setFocus();
        QTest::keyClick(d.cbPort, Qt::Key_Down);
        QVERIFY(d.cbAlg->isEnabled());
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.form->Settings().Port, 0); // no COM number
    QCOMPARE(w.form->Settings().PortPath, kCp2102);
    QCOMPARE(w.Stored().PortPath, kCp2102);
    QCOMPARE(w.Stored().Port, 0);
    QCOMPARE(w.serial.Opens(), 2);
    QVERIFY(w.form->Contacts()->ComPort().Connected());
    QCOMPARE(w.form->Contacts()->ComPort().DeviceName(), kCp2102);
    QVERIFY(w.form->Lock().IconsVisible());

    w.F2([](TCfgDialog& d) {
        QCOMPARE(d.cbPort->currentText(), QStringLiteral("Silicon Labs CP2102 0001 (ttyUSB20)"));
        QVERIFY(d.cbAlg->isEnabled());
        d.cbPort->setFocus();
        QTest::keyClick(d.cbPort, Qt::Key_Up);
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.form->Settings().Port, kPort); // the number stays for older versions
    QCOMPARE(w.form->Settings().PortPath, kFtdi);
    QCOMPARE(w.Stored().PortPath, kFtdi);
    QCOMPARE(w.serial.Opens(), 3);
    QCOMPARE(w.form->Contacts()->ComPort().DeviceName(), kFtdi);

    w.F2([](TCfgDialog& d) {
        d.cbPort->setFocus();
        QTest::keyClick(d.cbPort, Qt::Key_Home); // "Keine"
        SettingsWindow::Ok(d);
    });
    QCOMPARE(w.Stored().Port, 0);
    QCOMPARE(w.Stored().PortPath, QString());
    QVERIFY(!w.form->Contacts()->ComPort().Connected());
}

void SettingsTest::stableNameOpensTheAdapterAtStartAndReplug() {
    TSettings s = WithPort();
    s.PortPath = kFtdi;
    {
        // The adapter now sits behind another device, which COM17 no longer names.
        SettingsWindow w(s, true, [](FakeSerialDevices& serial) {
            serial.Unplug(FakeSerialDevices::kDefaultPath);
            serial.AddDevice(QStringLiteral("/dev/ttyUSB3"));
            serial.AddLink(kFtdi, QStringLiteral("/dev/ttyUSB3"));
        });
        QVERIFY(w.form->Contacts()->ComPort().Connected());
        QCOMPARE(w.serial.canonicalPath(w.form->Contacts()->ComPort().DeviceName()), QStringLiteral("/dev/ttyUSB3"));
        w.F2([](TCfgDialog& d) {
            QCOMPARE(d.cbPort->currentText(), QStringLiteral("COM20 – FTDI FT232R USB UART A1B2C3"));
            SettingsWindow::Ok(d);
        });
        QCOMPARE(w.form->Settings().PortPath, kFtdi);
        QCOMPARE(w.form->Settings().Port, kPort); // confirmed as it was
        QCOMPARE(w.serial.Opens(), 1);
        // Unplugged and back under yet another number: reopened by the stable name.
        w.serial.Unplug(QStringLiteral("/dev/ttyUSB3"));
        QTRY_VERIFY(!w.form->Contacts()->ComPort().Connected());
        w.serial.AddDevice(QStringLiteral("/dev/ttyUSB5"));
        w.serial.AddLink(kFtdi, QStringLiteral("/dev/ttyUSB5"));
        QTRY_VERIFY_WITH_TIMEOUT(w.form->Contacts()->ComPort().Connected(), 5000);
        QCOMPARE(w.serial.canonicalPath(w.form->Contacts()->ComPort().DeviceName()), QStringLiteral("/dev/ttyUSB5"));
    }
    // Not plugged in at the start: awaited by its stable name.
    SettingsWindow w(s, true, [](FakeSerialDevices& serial) { serial.Unplug(FakeSerialDevices::kDefaultPath); });
    QVERIFY(!w.form->Contacts()->ComPort().Connected());
    QCOMPARE(w.form->Contacts()->AwaitedDevice(), kFtdi);
    w.serial.AddDevice(QStringLiteral("/dev/ttyUSB2"));
    w.serial.AddLink(kFtdi, QStringLiteral("/dev/ttyUSB2"));
    QTRY_VERIFY_WITH_TIMEOUT(w.form->Contacts()->ComPort().Connected(), 5000);
    QCOMPARE(w.form->Settings().PortPath, kFtdi);
}

void SettingsTest::storeGivesAMassStartWindowWithOneDigit() {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    TSettings saved;
    saved.StartType = 1;
    saved.Acc = 1;
    saved.AutoSort = true;
    QString error;
    QVERIFY(SettingsStore(SettingsStore::FileNameIn()).Save(saved, error));

    // As the program starts: the store first, then the window with what it read.
    RaceWindow w(SettingsStore(SettingsStore::FileNameIn()).Load(QString()));
    QVERIFY(w.form->Settings().massStart());
    QVERIFY(Find<NumberBox>(w.form, "cbStartN")->isHidden());
    w.P()->SetRowCount(3);
    w.P()->SetCell(Col::StNr, 1, QStringLiteral("10"));
    w.P()->SetCell(Col::StNr, 2, QStringLiteral("20"));
    w.Key(Qt::Key_F5);
    w.Advance(61230);
    w.FinishNumber(QStringLiteral("20"));
    w.Advance(2500);
    w.FinishNumber(QStringLiteral("10"));
    QCOMPARE(w.Of(QStringLiteral("20"), Col::Zeit), QStringLiteral("1:01,2"));
    QCOMPARE(w.Of(QStringLiteral("10"), Col::Zeit), QStringLiteral("1:03,7"));
    QCOMPARE(w.Of(QStringLiteral("10"), Col::Split), QStringLiteral("+2,5"));
    // AutoSort ranked after each finish: the faster athlete is first.
    QCOMPARE(w.Cell(Col::StNr, 1), QStringLiteral("20"));
    QCOMPARE(w.Cell(Col::Platz, 1), QStringLiteral("1"));
}

void SettingsTest::windowOffEveryScreenComesBack() {
    TSettings s;
    s.Left = -30000;
    s.Top = 40000;
    SettingsWindow w(s);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.contains(w.form->pos()));
    TSettings on;
    on.Left = 10;
    on.Top = 20;
    SettingsWindow kept(on);
    QCOMPARE(kept.form->pos(), QPoint(10, 20));
}

void SettingsTest::windowBoundsAndSoundReachTheStoreAtTheEnd() {
    SettingsWindow w;
    QTest::mouseClick(Find<QToolButton>(w.form, "sbSound1"), Qt::LeftButton); // tones off
    QVERIFY(!w.form->Settings().Sound);
    Find<QCheckBox>(w.form, "cbAuto")->setChecked(true);
    w.form->resize(1000, 650);
    w.form.reset(); // the end of the program
    const TSettings stored = w.Stored();
    QCOMPARE(stored.Width, 1000);
    QCOMPARE(stored.Height, 650);
    QVERIFY(stored.Left && stored.Top);
    QVERIFY(!stored.Sound);
    QVERIFY(stored.cbAuto);
}

QTEST_MAIN(SettingsTest)
#include "tst_Settings.moc"
