#include "core/platform/Clock.h"
#include "core/platform/SystemClock.h"
#include "core/settings/TSettings.h"
#include "ui/run/TimeDisplay.h"
#include "ui/widgets/TDigit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

// CPU time of the running clock display (10 ms clock, time of day, real
// painting into the offscreen backing store), as a share of one core, against
// the same shown window with a bare 10 ms timer that paints nothing.
namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Share {
    double cpu = 0;
    double wall = 0;
    double Percent() const { return wall > 0 ? 100.0 * cpu / wall : 0; }
};

Share RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    wall.start();
    loop.exec();
    return {CpuSeconds() - cpu0, double(wall.nsecsElapsed()) / 1e9};
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    QWidget window;
    window.resize(540, 280);
    auto* date = new QLabel(&window);
    auto* time = new QLabel(&window);
    date->setGeometry(0, 255, 110, 20);
    time->setGeometry(120, 255, 82, 20);
    TSettings settings;
    SystemClock clock;
    const TimePanelControls panel = BuildTimePanel(&window);
    TimeDisplay display(panel, date, time, clock, settings);
    display.RepaintWithColorSet();
    window.show();
    RunFor(300); // first paint of everything

    // Baseline: a bare 10 ms timer on the same shown window.
    int bareTicks = 0;
    QTimer bare;
    bare.setTimerType(Qt::PreciseTimer);
    bare.setInterval(10);
    QObject::connect(&bare, &QTimer::timeout, [&] { ++bareTicks; });
    bare.start();
    const Share baseline = RunFor(seconds * 1000);
    bare.stop();

    int clockTicks = 0;
    QObject::connect(display.ClockTimerObject(), &QTimer::timeout, [&] { ++clockTicks; });
    int paints0 = 0;
    for (TDigit* d : panel.Upper)
        paints0 += d->PaintCount();
    display.StartClock(clock.tick());
    const Share running = RunFor(seconds * 1000);
    display.StopClock();
    int paints = -paints0;
    for (TDigit* d : panel.Upper)
        paints += d->PaintCount();

    std::printf(
        "clock display: %d s wall, %d ticks, %d digit paints, CPU %.3f s = %.2f %% of one core (goal <= 2 %%)\n",
        seconds, clockTicks, paints, running.cpu, running.Percent());
    std::printf("baseline bare 10 ms timer: %d ticks, CPU %.3f s = %.2f %% of one core; ratio %.1f\n", bareTicks,
                baseline.cpu, baseline.Percent(), baseline.cpu > 0 ? running.cpu / baseline.cpu : 0.0);
    std::printf("display work above the bare timer: %.2f %% of one core\n", running.Percent() - baseline.Percent());
    return 0;
}
