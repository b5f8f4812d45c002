// A key press while the window's thread cannot take it: the press waits in the queue
// with the window system's time, as the X server sends it, and is handled later. The
// figure is the recorded start moment minus the moment of the press, once while the
// thread is busy for 100 ms (the baseline: when the handler ran) and once while a Word
// export of 10 000 rows is being written.
#include "BenchUtil.h"
#include "app/TFormMain.h"
#include "core/platform/SystemClock.h"
#include "core/race/ProtocolColumns.h"
#include "support/FakePlatform.h"
#include "support/FindControl.h"
#include "ui/run/InputMoments.h"
#include "ui/tables/ProtocolExport.h"
#include "ui/widgets/NumberBox.h"
#include "ui/widgets/TSortGrid.h"

#include <QApplication>
#include <QInputDevice>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

namespace {

struct Press {
    Tick pressed = 0;
    Tick handled = 0;
    std::atomic<bool> posted{false};
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    FakePlatform fake(dir.path() + QLatin1Char('/'), dir.path() + QLatin1Char('/'));
    SystemClock clock;
    fake.platform.clock = &clock;
    fake.platform.inputEventTimes = true; // the events below carry the real time of the press
    TSettings settings;
    TFormMain form(fake.platform, settings);
    form.show();
    form.activateWindow();
    for (int i = 0; i < 200 && !form.isActiveWindow(); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    // The keyboard device of the events is made once, here on the window's thread.
    (void)QInputDevice::primaryKeyboard();

    constexpr int kRows = 10000;
    TSortGrid* g = Find<TSortGrid>(&form, "SortGrid1");
    g->BeginUpdate();
    g->SetRowCount(kRows + 1);
    for (int r = 1; r <= kRows; ++r) {
        g->SetCell(Col::StNr, r, QString::number(r));
        g->SetCell(Col::Nachname, r, QStringLiteral("Läufer %1").arg(r));
        g->SetCell(Col::Verein, r, QStringLiteral("SV Grün-Weiß %1").arg(r % 40));
    }
    g->EndUpdate();
    NumberBox* cbStartN = Find<NumberBox>(&form, "cbStartN");
    cbStartN->setFocus();
    QApplication::processEvents();
    QWidget* target = QApplication::focusWidget(); // where the window system sends the key
    if (!target) {
        std::fprintf(stderr, "the start box did not get the focus\n");
        return 1;
    }

    std::mt19937 rng(3);
    int number = 0;
    // Enter in the start box, pressed `delayMs` from now by the window system.
    const auto pressLater = [&](int delayMs, Press& press) {
        return std::thread([&, delayMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            press.pressed = clock.tick();
            auto* key = new QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
            key->setTimestamp(InputMoments::WindowSystemNow());
            QCoreApplication::postEvent(target, key);
            press.posted = true;
        });
    };
    const auto recorded = [&](int n) { return g->Cell(Col::Raw, g->FindRow(Col::StNr, QString::number(n))).toInt(); };

    std::vector<double> busyLate;
    std::vector<double> busyHandled;
    for (int i = 0; i < 100; ++i) {
        cbStartN->setEditText(QString::number(++number));
        Press press;
        std::thread presser = pressLater(10 + int(rng() % 60), press);
        // The window's thread is busy for 100 ms (a long handler).
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
        while (std::chrono::steady_clock::now() < until) {
        }
        presser.join();
        QApplication::processEvents();
        press.handled = clock.tick();
        busyLate.push_back(TickDiff(static_cast<Tick>(recorded(number)), press.pressed));
        busyHandled.push_back(TickDiff(press.handled, press.pressed));
    }

    std::vector<double> exportLate;
    for (int i = 0; i < 20; ++i) {
        cbStartN->setEditText(QString::number(++number));
        form.Export().ExportToWord(1, dir.filePath(QStringLiteral("b%1.docx").arg(i)));
        Press press;
        std::thread presser = pressLater(20 + int(rng() % 100), press);
        // The window goes on with its events while the worker writes.
        while (!press.posted)
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        presser.join();
        QApplication::processEvents();
        exportLate.push_back(TickDiff(static_cast<Tick>(recorded(number)), press.pressed));
        form.Export().WaitForExports();
    }

    std::printf("key press while the window's thread is busy 100 ms: recorded - pressed p50 %.1f ms, p99 %.1f ms; "
                "handled after p50 %.1f ms (the moment without the event's time)\n",
                Percentile(busyLate, 50), Percentile(busyLate, 99), Percentile(busyHandled, 50));
    std::printf("key press during a Word export of %d rows: recorded - pressed p50 %.1f ms, p99 %.1f ms\n", kRows,
                Percentile(exportLate, 50), Percentile(exportLate, 99));
    std::printf("figure: key_late_busy_ms = %.1f\n", Percentile(busyLate, 99));
    std::printf("figure: key_late_export_ms = %.1f\n", Percentile(exportLate, 99));
    return 0;
}
