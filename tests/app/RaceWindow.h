#pragma once

#include "app/TFormMain.h"
#include "core/race/ProtocolColumns.h"
#include "support/FakePlatform.h"
#include "support/FindControl.h"
#include "ui/tables/FinishTable.h"
#include "ui/tables/ProtocolTable.h"
#include "ui/widgets/NumberBox.h"
#include "ui/widgets/TBitBtnWithColor.h"
#include "ui/widgets/TSortGrid.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

// The real main window on the fake platform, shown and active, with the
// program folder (tones, backups) in a temporary directory.
struct RaceWindow {
    QTemporaryDir dir;
    QString folder;
    std::unique_ptr<FakePlatform> fake;
    std::unique_ptr<TFormMain> form;

    // `programFolder` (ending in "/") replaces the temporary folder, so that a second
    // window finds what the first one left behind.
    // `tick` and `boot` are the clock's at start-up (a restart in the same boot goes on
    // with the ticks, one after a reboot counts from elsewhere).
    explicit RaceWindow(TSettings settings = TSettings(), bool withTones = true, QString programFolder = QString(),
                        QDateTime now = QDateTime(QDate(2026, 3, 20), QTime(10, 0)), Tick tick = 100000,
                        const QString& boot = QString()) {
        folder = programFolder.isEmpty() ? dir.path() + QLatin1Char('/') : programFolder;
        if (withTones) {
            for (const char* name : {"Ton-start.wav", "Ton-finish.wav"}) {
                QFile f(folder + QLatin1String(name));
                f.open(QIODevice::WriteOnly);
            }
        }
        fake = std::make_unique<FakePlatform>(folder, folder);
        fake->clock.Set(tick, now);
        if (!boot.isEmpty())
            fake->clock.SetBoot(boot);
        form = std::make_unique<TFormMain>(fake->platform, settings);
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    ~RaceWindow() {
        // Closing asks; the destructor writes the backups.
        form.reset();
    }

    TSortGrid* P() const { return Find<TSortGrid>(form, "SortGrid1"); }
    TSortGrid* F() const { return Find<TSortGrid>(form, "SortGrid2"); }
    QString Cell(int col, int row) const { return P()->Cell(col, row); }
    int RowOf(const QString& number) const { return P()->FindRow(Col::StNr, number); }
    QString Of(const QString& number, int col) const { return Cell(col, RowOf(number)); }

    // The key, then what its command handed to the writers is on the disk.
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(form.get(), key, mods);
        form->FlushWriters();
    }
    void Advance(int ms) { fake->clock.Advance(ms); }
    // Focus moves to the box as a click or Tab moves it; every key then goes where the
    // window system sends it, to the focused widget (the box, never its edit part).
    QWidget* FocusOn(const char* name) {
        QWidget* box = Find<QWidget>(form, name);
        box->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        return QApplication::focusWidget();
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, mods);
        form->FlushWriters();
    }
    // Tab focus selects the box's text: the typed number replaces it.
    void TypeInto(const char* name, const QString& number) {
        QWidget* focused = FocusOn(name);
        QVERIFY2(focused == Find<QWidget>(form, name), name);
        Press(Qt::Key_End);
        for (int i = 0; i < 6; ++i)
            Press(Qt::Key_Backspace);
        QTest::keyClicks(QApplication::focusWidget(), number);
    }
    void TypeStart(const QString& number) { TypeInto("cbStartN", number); }
    void TypeStop(const QString& number) { TypeInto("cbStopN", number); }
    // START with the number typed into the start box and Enter.
    void StartNumber(const QString& number) {
        TypeStart(number);
        Press(Qt::Key_Return);
    }
    void FinishNumber(const QString& number) {
        TypeStop(number);
        Key(Qt::Key_F8);
    }
    // Types the number into the "Nr" cell of queued finish `row` and presses Enter,
    // each key going where the focus is (the grid, then its cell editor).
    void AssignInFinishTable(int row, const QString& text) {
        F()->setFocus();
        F()->GoToCell(FinishCol::Nr, row, false);
        for (QChar ch : text)
            QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        form->FlushWriters();
    }
    // What the program wrote, once its writers are done.
    QByteArray ReadFile(const QString& name) const {
        if (form)
            form->FlushWriters();
        QFile f(folder + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};
