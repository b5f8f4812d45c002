// Two timing stations through a real mosquitto on 127.0.0.1: START on the start
// station to the row written on the finish station, and the FINISH handler of the
// finish station with and without a connected start station.
#include "BenchUtil.h"
#include "app/TFormMain.h"
#include "core/race/ProtocolColumns.h"
#include "stations/Broker.h"
#include "support/FakePlatform.h"
#include "support/FindControl.h"
#include "ui/widgets/NumberBox.h"
#include "ui/widgets/TSortGrid.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {
struct Window {
    QTemporaryDir dir;
    std::unique_ptr<FakePlatform> fake;
    std::unique_ptr<TFormMain> form;
    Window(int station, quint16 port) {
        fake = std::make_unique<FakePlatform>(dir.path() + QLatin1Char('/'), dir.path() + QLatin1Char('/'));
        fake->clock.Set(100000, QDateTime(QDate(2026, 3, 20), QTime(10, 0)));
        TSettings s;
        s.Station = station;
        s.Broker = QStringLiteral("127.0.0.1:%1").arg(port);
        form = std::make_unique<TFormMain>(fake->platform, s);
        form->show();
    }
    TSortGrid* Grid() { return Find<TSortGrid>(form.get(), "SortGrid1"); }
};

// Waits (at most `ms`) for `done`, letting both windows' events run.
template <typename F>
bool WaitFor(F&& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

// FINISH of `n` started athletes, each handler timed alone.
std::vector<double> Finishes(Window& w, int first, int n) {
    std::vector<double> times;
    auto* box = Find<NumberBox>(w.form.get(), "cbStopN");
    auto* mStop = Find<QAction>(w.form.get(), "mStop");
    for (int i = 0; i < n; ++i) {
        w.fake->clock.Advance(1000);
        box->setEditText(QString::number(first + i));
        times.push_back(MedianMs(1, [&] { mStop->trigger(); }));
        QCoreApplication::processEvents();
    }
    return times;
}
} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Broker broker;
    if (!broker.Start()) {
        std::fprintf(stderr, "mosquitto does not start\n");
        return 1;
    }
    constexpr int kStarts = 300;
    Window finish(2, broker.Port());
    Window start(1, broker.Port());
    WaitFor([&] { return false; }, 1500); // both connected, first clock exchanges done

    auto* startBox = Find<NumberBox>(start.form.get(), "cbStartN");
    auto* mStart = Find<QAction>(start.form.get(), "mStart");
    std::vector<double> crossing;
    for (int n = 1; n <= kStarts; ++n) {
        startBox->setEditText(QString::number(n));
        const auto t0 = std::chrono::steady_clock::now();
        mStart->trigger();
        if (!WaitFor([&] { return finish.Grid()->FindRow(Col::StNr, QString::number(n)) > 0; }, 5000)) {
            std::fprintf(stderr, "start %d did not arrive\n", n);
            return 1;
        }
        crossing.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    const std::vector<double> linked = Finishes(finish, 1, kStarts / 2);

    // The same race on one PC: starts and finishes in one window.
    Window alone(0, broker.Port());
    auto* aloneBox = Find<NumberBox>(alone.form.get(), "cbStartN");
    auto* aloneStart = Find<QAction>(alone.form.get(), "mStart");
    for (int n = 1; n <= kStarts; ++n) {
        aloneBox->setEditText(QString::number(n));
        aloneStart->trigger();
    }
    const std::vector<double> single = Finishes(alone, 1, kStarts / 2);

    const double ratio = Percentile(linked, 50) / Percentile(single, 50);
    std::printf("START at the start station to its row at the finish station, %d starts over loopback:\n", kStarts);
    std::printf("  median %.2f ms, p99 %.2f ms\n", Percentile(crossing, 50), Percentile(crossing, 99));
    std::printf("FINISH handler: finish station linked %.3f ms, alone %.3f ms (median), ratio %.2f\n",
                Percentile(linked, 50), Percentile(single, 50), ratio);
    std::printf("figure: station_start_to_row_median_ms = %.2f\n", Percentile(crossing, 50));
    std::printf("figure: station_start_to_row_p99_ms = %.2f\n", Percentile(crossing, 99));
    std::printf("figure: finish_handler_linked_over_alone = %.2f\n", ratio);
    return 0;
}
