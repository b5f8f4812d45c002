// The main window as a whole: start-up and shut-down order through the fakes, the
// help and info commands, and the arrangement of the controls.
#include "RaceWindow.h"

#include "core/settings/SettingsStore.h"
#include "support/FakeSerialDevices.h"
#include "ui/dialogs/TCfgDialog.h"
#include "ui/dialogs/TFDlgYesNo.h"
#include "ui/dialogs/TFormInfo.h"
#include "ui/platform/GermanLocale.h"
#include "ui/widgets/JpegImage.h"
#include "ui/widgets/TImage.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>

#include <atomic>

namespace {

constexpr int kPort = 17; // FakeSerialDevices' default device

// A window on a real settings store and a scripted serial device, built by the test
// itself so that hooks can look at the window while it is being created.
struct Lifecycle {
    QTemporaryDir dir;
    QString folder = dir.path() + QLatin1Char('/');
    FakePlatform fake{folder, folder};
    FakeSerialDevices serial;
    std::unique_ptr<TFormMain> form;

    Lifecycle() {
        fake.platform.serial = &serial;
        fake.platform.settingsFile = SettingsStore::FileNameIn(folder + QStringLiteral("config"));
        fake.clock.Set(100000, QDateTime(QDate(2026, 3, 20), QTime(10, 0)));
        for (const char* name : {"Ton-start.wav", "Ton-finish.wav"}) {
            QFile f(folder + QLatin1String(name));
            f.open(QIODevice::WriteOnly);
        }
    }
    // As main does: the store's values, then the window.
    void Start() {
        const TSettings s = SettingsStore(fake.platform.settingsFile).Load(folder);
        form = std::make_unique<TFormMain>(fake.platform, s);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    void Store(const TSettings& s) {
        QString error;
        QVERIFY2(SettingsStore(fake.platform.settingsFile).Save(s, error), qPrintable(error));
    }
    bool Exists(const QString& name) const { return QFile::exists(folder + name); }
    bool BackupsWritten() const {
        return Exists(QStringLiteral("Kadenzor-Sicherungsdatei-P.txt")) &&
               Exists(QStringLiteral("Kadenzor-Sicherungsdatei-F.txt"));
    }
    bool StoreWritten() const { return QFile::exists(fake.platform.settingsFile); }
};

TFormMain* WindowUnderConstruction() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TFormMain*>(w))
            return form;
    return nullptr;
}

QRect At(QWidget* w) {
    return w->geometry();
}

} // namespace

class FinishedWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void storedSoundOffShowsTheOffButton();
    void storedPortAbsentStartsWithoutContacts();
    void portOpensAfterTheTablesAreBackAndBeforeTheDialogs();
    void neinWritesNothing();
    void portClosesAfterBackupsAndSettings();
    void restartBringsTablesAndSettingsBack();
    void helpKeysOpenThePage();
    void helpButtonNeedsThePage();
    void f3ShowsTheInfoBox();
    void infoBoxLinkOpensTheContactPage();
    void controlsStandWhereDesigned_data();
    void controlsStandWhereDesigned();
    void statusBarFields();
    void widerAndTallerWindow();
    void picturesAreDecoded();
    void unwritableProgramFolderKeepsBackupsInTheDataFolder();
    void contextMenuNamesEachKeyOnce();
    void damagedSettingsStoreIsReportedOnce();
    // Installs Qt's German translations for the rest of this program: the last test.
    void qtSpeaksGerman_data();
    void qtSpeaksGerman();
};

void FinishedWindowTest::storedSoundOffShowsTheOffButton() {
    Lifecycle l;
    TSettings s;
    s.Sound = false;
    l.Store(s);
    l.Start();
    QVERIFY(Find<QToolButton>(l.form, "sbSound0")->isVisible());
    QVERIFY(!Find<QToolButton>(l.form, "sbSound1")->isVisible());
    QCOMPARE(Find<QToolButton>(l.form, "sbSound0")->geometry(), Find<QToolButton>(l.form, "sbSound1")->geometry());
    // Both tone files are loaded once at start, so the first START tone is not late.
    QCOMPARE(l.fake.sound.Preloaded.size(), 2);
    QVERIFY(l.fake.sound.Played.isEmpty());
}

void FinishedWindowTest::storedPortAbsentStartsWithoutContacts() {
    Lifecycle l;
    TSettings s;
    s.Port = 5; // only COM17 is present
    l.Store(s);
    l.Start();
    QVERIFY(!Find<TImage>(l.form, "ImageLSstart")->isVisible());
    QVERIFY(Find<TBitBtnWithColor>(l.form, "bSTART")->isEnabled());
    QVERIFY(l.form->AvailablePorts().contains(kPort));
    l.form->CfgDialog().LoadControls(l.form->Settings());
    QCOMPARE(l.form->CfgDialog().cbPort->currentIndex(), -1);
}

// The port's watcher may deliver impulses from the moment it opens: the tables of the
// last run must be back by then, and the dialogs come only after the window's creation.
void FinishedWindowTest::portOpensAfterTheTablesAreBackAndBeforeTheDialogs() {
    Lifecycle l;
    TSettings s;
    s.Port = kPort;
    l.Store(s);
    {
        QFile p(l.folder + QStringLiteral("Kadenzor-Sicherungsdatei-P.txt"));
        QVERIFY(p.open(QIODevice::WriteOnly));
        p.write("Platz\tSt.Nr.\tVorname\tNachname\tJG\tVerein\tKlasse\tKl.-Pl.\tStart\tStopp\tZeit\tSplit\t\t\r\n"
                " \t42\tAnna\tBerger\t \t \t \t \t10:00:00,00\t \t \t \t \t\r\n");
    }
    bool opened = false, tablesBack = false, dialogsYet = true, tonesReady = false;
    l.serial.OnOpen = [&] {
        if (opened)
            return;
        opened = true;
        TFormMain* form = WindowUnderConstruction();
        if (!form)
            return;
        tablesBack = Find<TSortGrid>(form, "SortGrid1")->FindRow(Col::StNr, QStringLiteral("42")) >= 1;
        dialogsYet = form->findChild<TCfgDialog*>() || form->findChild<TFormInfo*>();
        tonesReady = l.fake.sound.Preloaded.size() == 2;
    };
    l.Start();
    l.serial.OnOpen = nullptr;
    QVERIFY(opened);
    QVERIFY(tablesBack);
    QVERIFY(!dialogsYet);
    QVERIFY(tonesReady);
    QCOMPARE(l.form->Question().windowTitle(), QStringLiteral("Kadenzor"));
    QCOMPARE(l.form->windowTitle(), QStringLiteral("Kadenzor 3.9"));
}

void FinishedWindowTest::neinWritesNothing() {
    Lifecycle l;
    l.Start();
    QVERIFY(!l.BackupsWritten());
    l.fake.prompts.Answers = {TFDlgYesNo::kNo};
    QVERIFY(!l.form->close());
    QVERIFY(l.form->isVisible());
    QCOMPARE(static_cast<TFDlgYesNo*>(l.fake.prompts.Shown.value(0))->Label1->text(),
             QStringLiteral("Programm beenden?"));
    QVERIFY(!l.BackupsWritten());
    QVERIFY(!l.StoreWritten());
    l.fake.prompts.Answers = {TFDlgYesNo::kYes};
    QVERIFY(l.form->close());
    l.form.reset();
    QVERIFY(l.BackupsWritten());
    QVERIFY(l.StoreWritten());
}

void FinishedWindowTest::portClosesAfterBackupsAndSettings() {
    Lifecycle l;
    TSettings s;
    s.Port = kPort;
    l.Store(s);
    l.Start();
    QVERIFY(Find<TImage>(l.form, "ImageLSstart")->isVisible());
    QFile::remove(l.fake.platform.settingsFile);
    std::atomic<bool> closed = false, backupsFirst = false, settingsFirst = false;
    l.serial.OnClose = [&] {
        if (closed.exchange(true))
            return;
        backupsFirst = l.BackupsWritten();
        settingsFirst = l.StoreWritten();
    };
    l.fake.prompts.Answers = {TFDlgYesNo::kYes};
    QVERIFY(l.form->close());
    QVERIFY(!closed); // nothing ends before the window is destroyed
    l.form.reset();
    QTRY_VERIFY(closed);
    l.serial.OnClose = nullptr;
    QVERIFY(backupsFirst);
    QVERIFY(settingsFirst);
}

void FinishedWindowTest::restartBringsTablesAndSettingsBack() {
    Lifecycle l;
    TSettings s;
    s.Title = QStringLiteral("Stadtlauf");
    s.Acc = 1;
    l.Store(s);
    l.Start();
    // Keys go where the window system sends them: to the focused box.
    Find<NumberBox>(l.form, "cbStartN")->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("8"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    l.fake.clock.Advance(1000);
    QTest::keyClick(l.form.get(), Qt::Key_F8); // queued: no finish number
    QCOMPARE(Find<TSortGrid>(l.form, "SortGrid2")->Cell(FinishCol::Kontakt, 1).isEmpty(), false);
    l.form.reset();
    l.Start();
    QVERIFY(Find<TSortGrid>(l.form, "SortGrid1")->FindRow(Col::StNr, QStringLiteral("8")) >= 1);
    QVERIFY(!Find<TSortGrid>(l.form, "SortGrid2")->Cell(FinishCol::Kontakt, 1).isEmpty());
    QCOMPARE(l.form->Settings().Title, QStringLiteral("Stadtlauf"));
    QCOMPARE(l.form->Settings().Acc, 1);
}

void FinishedWindowTest::helpKeysOpenThePage() {
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    QFile page(folder + QStringLiteral("Kadenzor-Hilfe.html"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.close();
    RaceWindow w(TSettings(), true, folder);
    QVERIFY(Find<QToolButton>(w.form, "bHelp")->isEnabled());
    w.Key(Qt::Key_F1);
    w.Key(Qt::Key_I, Qt::AltModifier);
    QTest::mouseClick(Find<QToolButton>(w.form, "bHelp"), Qt::LeftButton);
    QCOMPARE(w.fake->shell.Opened, QStringList(3, folder + QStringLiteral("Kadenzor-Hilfe.html")));
    QVERIFY(w.fake->prompts.Shown.isEmpty()); // Alt+I is the help's, not the info box's
}

void FinishedWindowTest::helpButtonNeedsThePage() {
    RaceWindow w;
    QVERIFY(!Find<QToolButton>(w.form, "bHelp")->isEnabled());
    // The keys stay: they say that the page is missing instead of opening nothing.
    w.Key(Qt::Key_F1);
    QVERIFY(w.fake->shell.Opened.isEmpty());
    QCOMPARE(w.fake->prompts.Errors.size(), 1);
    QVERIFY(w.fake->prompts.Errors[0].contains(QStringLiteral("Kadenzor-Hilfe.html")));
}

void FinishedWindowTest::f3ShowsTheInfoBox() {
    RaceWindow w;
    w.Key(Qt::Key_F3);
    QTest::mouseClick(Find<QToolButton>(w.form, "bInfo"), Qt::LeftButton);
    QCOMPARE(w.fake->prompts.Shown.size(), 2);
    auto* info = qobject_cast<TFormInfo*>(w.fake->prompts.Shown[0]);
    QVERIFY(info);
    QCOMPARE(info->windowTitle(), QStringLiteral("Information"));
    QCOMPARE(info->size(), QSize(256, 353));
    QCOMPARE(info->LabelVer->text(), QStringLiteral("Version 3.9 (7.04.2012)"));
    QVERIFY(info->Lab->text().contains(QStringLiteral("Lob und Kritik")));
    QVERIFY(!info->ImageICON->pixmap().isNull());
}

void FinishedWindowTest::infoBoxLinkOpensTheContactPage() {
    RaceWindow w;
    TFormInfo& info = w.form->Info();
    info.show();
    QVERIFY(QTest::qWaitForWindowExposed(&info));
    QTest::mouseClick(info.Label2, Qt::LeftButton);
    QTest::mouseClick(info.Image1, Qt::LeftButton);
    QCOMPARE(w.fake->shell.Opened, QStringList(2, TFormInfo::ContactAddress()));
    QVERIFY(TFormInfo::ContactAddress().contains(QStringLiteral(".example")));
    QTest::keyClick(&info, Qt::Key_Escape);
    QVERIFY(!info.isVisible());
}

void FinishedWindowTest::controlsStandWhereDesigned_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("bHelp") << "bHelp" << QRect(0, 2, 64, 28);
    QTest::newRow("bCFG") << "bCFG" << QRect(64, 2, 113, 28);
    QTest::newRow("bInfo") << "bInfo" << QRect(176, 2, 57, 28);
    QTest::newRow("sbLoadList") << "sbLoadList" << QRect(6, 4, 37, 41);
    QTest::newRow("bSTART") << "bSTART" << QRect(45, 104, 92, 42);
    QTest::newRow("cbStartN") << "cbStartN" << QRect(168, 111, 65, 30);
    QTest::newRow("bSTOP") << "bSTOP" << QRect(45, 16, 92, 42);
    QTest::newRow("cbStopN") << "cbStopN" << QRect(168, 20, 65, 30);
    QTest::newRow("bEnd") << "bEnd" << QRect(45, 69, 92, 42);
    QTest::newRow("sbSave") << "sbSave" << QRect(196, 0, 36, 41);
    QTest::newRow("sbCls") << "sbCls" << QRect(488, 0, 36, 41);
    QTest::newRow("PanelTimer") << "PanelTimer" << QRect(17, 14, 492, 240);
}

void FinishedWindowTest::controlsStandWhereDesigned() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    RaceWindow w;
    auto* control = w.form->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(At(control), geometry);
}

void FinishedWindowTest::statusBarFields() {
    RaceWindow w;
    QCOMPARE(w.form->size(), QSize(890, 603));
    QCOMPARE(Find<QStatusBar>(w.form, "StatusBar1")->height(), 19);
    QCOMPARE(w.form->StatusPanel(0)->width(), 60);
    QCOMPARE(w.form->StatusPanel(1)->width(), 210);
    QVERIFY(!w.form->StatusPanel(1)->text().isEmpty());
    QCOMPARE(w.form->StatusPanel(3)->width(), 78);
    QCOMPARE(w.form->StatusPanel(3)->text(), QStringLiteral("890x603"));
    QCOMPARE(w.form->StatusPanel(4)->width(), Find<QWidget>(w.form, "Panelprom")->width());
    // EditPred reaches its panel's right edge less 4.
    QCOMPARE(Find<QLineEdit>(w.form, "EditPred")->geometry().right() + 1, Find<QWidget>(w.form, "PanelB")->width() - 4);
    // Clock and date keep their distance to the right edge.
    QCOMPARE(Find<QWidget>(w.form, "Panel1")->width() - At(Find<QLabel>(w.form, "PanelDate")).right() - 1, 8);
    QCOMPARE(At(Find<QLabel>(w.form, "PanelDate")).left() - At(Find<QLabel>(w.form, "PanelTime")).right() - 1, 4);
}

void FinishedWindowTest::widerAndTallerWindow() {
    RaceWindow w;
    const int panel4 = Find<QWidget>(w.form, "Panel4")->width();
    const int grid1 = Find<TSortGrid>(w.form, "SortGrid1")->width();
    const int grid2 = Find<TSortGrid>(w.form, "SortGrid2")->width();
    const int gridHeight = Find<TSortGrid>(w.form, "SortGrid1")->height();
    const int grid2Height = Find<TSortGrid>(w.form, "SortGrid2")->height();
    const int strip = Find<QWidget>(w.form, "PanelL")->height();
    QCOMPARE(grid2, 180 - 2 * 3);
    QCOMPARE(Find<QWidget>(w.form, "PanelB")->height(), 137);
    w.form->resize(1100, 700);
    QTRY_COMPARE(w.form->StatusPanel(3)->text(), QStringLiteral("1100x700"));
    QCOMPARE(Find<QWidget>(w.form, "Panel4")->width(), panel4 + 210);
    QCOMPARE(Find<TSortGrid>(w.form, "SortGrid1")->width(), grid1 + 210);
    QCOMPARE(Find<TSortGrid>(w.form, "SortGrid2")->width(), grid2);
    QCOMPARE(Find<TSortGrid>(w.form, "SortGrid1")->height(), gridHeight + 97);
    QCOMPARE(Find<TSortGrid>(w.form, "SortGrid2")->height(), grid2Height + 97);
    QCOMPARE(Find<QWidget>(w.form, "PanelL")->height(), strip);
    QCOMPARE(Find<QLineEdit>(w.form, "EditPred")->geometry().right() + 1, Find<QWidget>(w.form, "PanelB")->width() - 4);
    // The window cannot be made smaller than 890 x 565.
    w.form->resize(600, 400);
    QTRY_COMPARE(w.form->StatusPanel(3)->text(), QStringLiteral("890x565"));
}

void FinishedWindowTest::picturesAreDecoded() {
    const QImage display = ReadJpegImage(QStringLiteral(KADENZOR_APP_DIR "/Image1.jpg"));
    QCOMPARE(display.size(), QSize(525, 283));
    QCOMPARE(ReadJpegImage(QStringLiteral(KADENZOR_APP_DIR "/Image2.jpg")).size(), QSize(174, 39));
    // A broken or missing file gives no picture, not a crash.
    QTemporaryDir dir;
    QFile broken(dir.path() + QStringLiteral("/x.jpg"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("\xff\xd8\xff\xe0 not really a jpeg");
    broken.close();
    QVERIFY(ReadJpegImage(broken.fileName()).isNull());
    QVERIFY(ReadJpegImage(dir.path() + QStringLiteral("/none.jpg")).isNull());
}

// An installed program's folder cannot take the backups: they go to the data folder,
// and the status bar says where.
void FinishedWindowTest::unwritableProgramFolderKeepsBackupsInTheDataFolder() {
    QTemporaryDir data;
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    {
        RaceWindow w(TSettings(), false, QStringLiteral("/nonexistent-kadenzor-folder/"));
        QVERIFY(w.form->BackupFiles().Folder().startsWith(data.path()));
        QVERIFY2(w.form->StatusPanel(2)->text().contains(data.path()), qPrintable(w.form->StatusPanel(2)->text()));
        QCOMPARE(w.form->Settings().RezervDir, w.form->BackupFiles().Folder());
        w.StartNumber(QStringLiteral("5"));
        w.form->FlushWriters();
        QVERIFY(QFile::exists(w.form->BackupFiles().Folder() + QStringLiteral("Kadenzor-Sicherungsdatei-P.txt")));
    }
    if (oldData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", oldData);
}

QTEST_MAIN(FinishedWindowTest)
void FinishedWindowTest::contextMenuNamesEachKeyOnce() {
    RaceWindow w;
    auto* menu = w.form->findChild<QMenu*>(QStringLiteral("PopupMenuProtokol"));
    QVERIFY(menu);
    QStringList captions;
    for (QAction* a : menu->actions()) {
        captions << a->text();
        // A caption that names its key carries no shortcut of its own, which the menu would add.
        QVERIFY2(!(a->text().contains(QStringLiteral("(Strg+")) && !a->shortcut().isEmpty()), qPrintable(a->text()));
    }
    QVERIFY(captions.contains(QStringLiteral("Journal      (Strg+J)")));
    // The key itself still opens the journal.
    w.Key(Qt::Key_J, Qt::ControlModifier);
    QTRY_VERIFY(w.form->findChild<QWidget*>(QStringLiteral("JournalView")) &&
                w.form->findChild<QWidget*>(QStringLiteral("JournalView"))->isVisible());
}

void FinishedWindowTest::damagedSettingsStoreIsReportedOnce() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Zeitravo/Kadenzor.reg"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("Zeitravo"))));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("Windows Registry Editor Version 5.00\r[HKEY_CURRENT_USER\\Software\\Zeitravo\\Kadenzor]\r"
            "\"Port\"=dword:0000\r\"Title\"=\"Stadtlauf\r");
    f.close();
    QString notice;
    const TSettings s = SettingsStore(file).Load(QStringLiteral("/p/"), nullptr, &notice);
    FakePlatform fake(dir.path() + QLatin1Char('/'), dir.path() + QLatin1Char('/'));
    fake.platform.settingsNotice = notice;
    TFormMain form(fake.platform, s);
    QCOMPARE(form.StatusPanel(2)->text(), notice);
    QVERIFY2(notice.startsWith(QStringLiteral("Einstellungsdatei »") + file + QStringLiteral("«, Zeile 3: ")) &&
                 notice.contains(QStringLiteral("(und 1 weitere Zeilen)")),
             qPrintable(notice));
}

void FinishedWindowTest::qtSpeaksGerman_data() {
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("german");
    QTest::newRow("buttons") << "QPlatformTheme"
                             << "Cancel"
                             << "Abbrechen";
    QTest::newRow("file dialog") << "QFileDialog"
                                 << "Look in:"
                                 << "Suchen in:";
    QTest::newRow("file name") << "QFileDialog"
                               << "File &name:"
                               << "Datei&name:";
    QTest::newRow("overwrite question") << "QFileDialog"
                                        << "%1 already exists.\nDo you want to replace it?"
                                        << "Die Datei %1 existiert bereits.\nSoll sie überschrieben werden?";
    QTest::newRow("print dialog") << "QPrintDialog"
                                  << "Print"
                                  << "Drucken";
}

void FinishedWindowTest::qtSpeaksGerman() {
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, german);
    QLocale::setDefault(QLocale::c());
    QVERIFY(InstallGermanLocale(*QCoreApplication::instance()));
    QCOMPARE(QCoreApplication::translate(context.toLatin1().constData(), source.toLatin1().constData()), german);
    // Dates and numbers as the panels and spin boxes show them.
    QCOMPARE(QLocale().toString(QDate(2026, 12, 9), QStringLiteral("d. MMM yyyy")), QStringLiteral("9. Dez. 2026"));
    QCOMPARE(QLocale().toString(0.2, 'f', 2), QStringLiteral("0,20"));
}

#include "tst_FinishedWindow.moc"
