// Contact impulses through the fake device while the GUI thread is busy with
// 200 ms rankings: recorded tick against injected tick, lost pulses, and the
// watcher's capture latency against a bare clock_gettime.
#include "BenchUtil.h"
#include "core/contacts/ComWatcher.h"
#include "core/contacts/ContactInput.h"
#include "core/platform/Clock.h"
#include "core/platform/SystemClock.h"
#include "support/FakeSerialDevices.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <sys/ioctl.h>
#include <thread>
#include <time.h>
#include <vector>

namespace {

qint64 NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void SleepNs(long ns) {
    timespec ts{0, ns};
    nanosleep(&ts, nullptr);
}

struct Capture {
    int pulse;
    Tick tick;
};

// The system tick, noting how long after the injection the watcher read it and
// which pulse was the latest then.
class CaptureClock final : public Clock {
public:
    std::atomic<qint64> injectedNs{0};
    std::atomic<int> pulse{-1};
    mutable std::vector<double> latencyUs; // written by the watcher thread only
    mutable std::vector<Capture> captures;

    Tick tick() const override {
        const qint64 now = NowNs();
        latencyUs.push_back(double(now - injectedNs.load()) / 1000.0);
        const Tick t = m_system.tick();
        captures.push_back(Capture{pulse.load(), t});
        return t;
    }
    QDateTime now() const override { return m_system.now(); }
    qint64 micros() const override { return m_system.micros(); }

private:
    SystemClock m_system;
};

void BusyFor(std::chrono::milliseconds ms) {
    const auto end = std::chrono::steady_clock::now() + ms;
    while (std::chrono::steady_clock::now() < end) {
    }
}

struct Recorder {
    std::vector<Tick> recorded;
    std::vector<Tick> handledAt; // tick when the GUI thread got round to it
    SystemClock clock;
};

// Runs the GUI side until `done` and every expected click arrived (or 3 s more passed).
void RunGui(QCoreApplication& app, const std::atomic<bool>& done, const Recorder& r, size_t expected) {
    auto lastBusy = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point doneAt{};
    for (;;) {
        app.processEvents(QEventLoop::AllEvents, 5);
        const auto now = std::chrono::steady_clock::now();
        if (now - lastBusy > std::chrono::milliseconds(500)) {
            BusyFor(std::chrono::milliseconds(200)); // a ranking of a long protocol
            lastBusy = std::chrono::steady_clock::now();
        }
        if (done.load()) {
            if (doneAt == std::chrono::steady_clock::time_point{})
                doneAt = now;
            if (r.recorded.size() >= expected || now - doneAt > std::chrono::seconds(3))
                break;
        }
        SleepNs(200000);
    }
    app.processEvents();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    constexpr int kPulses = 10000;
    constexpr int kUnseen = 1000;

    FakeSerialDevices devices;
    CaptureClock clock;
    clock.latencyUs.reserve(4 * kPulses);
    Recorder r;
    r.recorded.reserve(kPulses + kUnseen);
    r.handledAt.reserve(kPulses + kUnseen);

    struct AlwaysOpen final : ContactGate {
        bool StartContactOpen() const override { return true; }
        bool FinishContactOpen() const override { return true; }
    } gate;
    ContactInput input(devices, clock, gate);
    const auto record = [&r](const Moment& at) {
        r.recorded.push_back(at.tick);
        r.handledAt.push_back(r.clock.tick());
    };
    QObject::connect(&input, &ContactInput::StartImpulse, record);
    QObject::connect(&input, &ContactInput::FinishImpulse, record);
    input.OpenPort(17, 0);

    // 1 ms pulses on DCD, 1 ms apart, at known ticks.
    std::vector<Tick> injected(kPulses);
    std::atomic<bool> done{false};
    SystemClock system;
    std::thread injector([&] {
        for (int i = 0; i < kPulses; ++i) {
            injected[size_t(i)] = system.tick();
            clock.pulse.store(i);
            clock.injectedNs.store(NowNs());
            devices.SetLines(TIOCM_CD, 0);
            SleepNs(1000000);
            clock.injectedNs.store(NowNs());
            devices.SetLines(0, 0);
            SleepNs(1000000);
        }
        done.store(true);
    });
    RunGui(app, done, r, kPulses);
    injector.join();

    // Clicks are a subsequence of the captures; each names the pulse it belongs to.
    std::vector<double> diff, guiDiff;
    const std::vector<Capture> captures = clock.captures;
    size_t c = 0;
    int lastPulse = -1;
    for (size_t j = 0; j < r.recorded.size(); ++j) {
        while (c < captures.size() && (captures[c].tick != r.recorded[j] || captures[c].pulse == lastPulse))
            ++c;
        if (c == captures.size())
            break;
        lastPulse = captures[c].pulse;
        diff.push_back(double(TickDiff(r.recorded[j], injected[size_t(lastPulse)])));
        guiDiff.push_back(double(TickDiff(r.handledAt[j], injected[size_t(lastPulse)])));
    }
    const size_t got = r.recorded.size(); // one status word starts at most once, so clicks never exceed pulses
    const std::vector<double> latency = clock.latencyUs;

    // Pulses on CTS shorter than one wake-up: only the counters show them.
    r.recorded.clear();
    r.handledAt.clear();
    done.store(false);
    std::thread unseen([&] {
        for (int i = 0; i < kUnseen; ++i) {
            devices.Pulse(TIOCM_CTS, 0);
            SleepNs(2000000);
        }
        done.store(true);
    });
    RunGui(app, done, r, kUnseen);
    unseen.join();
    const size_t gotUnseen = r.recorded.size();
    input.ClosePort();

    // Bouncing contacts: 3 to 8 edges within 2 ms on press and on release, quiet time 2 ms.
    constexpr int kBounced = 10000;
    r.recorded.clear();
    r.handledAt.clear();
    // The watcher reads the clock at every look while a line settles, some 40
    // looks an impulse: room for those records now, so that growing them does not
    // hold the watcher up in the middle of a bounce.
    clock.latencyUs.reserve(clock.latencyUs.size() + size_t(kBounced) * 60);
    clock.captures.reserve(clock.captures.size() + size_t(kBounced) * 60);
    input.SetDebounce(2);
    input.OpenPort(17, 0);
    // The first impulse begins once the watcher has read the resting lines: one
    // that starts before it would be a contact already pressed at opening.
    devices.WaitForWaiter();
    done.store(false);
    // When each edge was driven, and the tick at which each impulse began. A
    // busy machine may hold the injecting thread up in the middle of a bounce,
    // so that the line really rests longer than the quiet time there: such a
    // bounce holds a real impulse of its own.
    struct Edge {
        qint64 ns;
        bool on;
        int impulse;
    };
    std::vector<Edge> driven;
    driven.reserve(size_t(kBounced) * 2 * 9);
    std::vector<Tick> began(kBounced);
    std::thread bouncer([&] {
        unsigned seed = 12345;
        const auto edges = [&seed] {
            seed = seed * 1103515245u + 12345u;
            return 3 + int((seed >> 16) % 6u);
        };
        for (int i = 0; i < kBounced; ++i) {
            began[size_t(i)] = system.tick();
            for (bool press : {true, false}) {
                const int n = edges() | 1; // an odd number of edges ends in the new state
                const long gap = 2000000 / n;
                bool on = !press;
                for (int e = 0; e < n; ++e) {
                    on = !on;
                    devices.SetLines(on ? TIOCM_CTS : 0, 0);
                    driven.push_back(Edge{NowNs(), on, i});
                    SleepNs(gap);
                }
                SleepNs(3000000); // held or open for 3 ms after the bounce
            }
        }
        done.store(true);
    });
    RunGui(app, done, r, kBounced);
    bouncer.join();
    const size_t gotBounced = r.recorded.size();
    input.ClosePort();
    // Each recorded FINISH belongs to the impulse during which it was captured;
    // each impulse should have exactly one.
    std::vector<int> perImpulse(kBounced, 0);
    for (Tick t : r.recorded) {
        const auto after =
            std::upper_bound(began.begin(), began.end(), t, [](Tick a, Tick b) { return TickDiff(a, b) < 0; });
        if (after != began.begin())
            ++perImpulse[size_t(after - began.begin() - 1)];
    }
    // The impulses of the line as driven: a rest of at least the quiet time that
    // differs from the settled state changes it; each change to on is one. An
    // edge is on the line once SetLines has returned. The watcher looks every
    // 0.2 ms and a look may come up to kLateLookUs late without counting as late,
    // so a rest within that of the quiet time may be taken either way: such an
    // impulse may hold as many FINISHes as either reading gives.
    std::vector<int> drivenPerImpulse(kBounced, 0);
    for (const qint64 restNs :
         {2000000 - ComWatcher::kLateLookUs * 1000, qint64(2000000), 2000000 + ComWatcher::kLateLookUs * 1000}) {
        std::vector<int> count(kBounced, 0);
        bool settled = false;
        for (size_t i = 0; i < driven.size(); ++i) {
            const bool last = i + 1 == driven.size();
            if ((last || driven[i + 1].ns - driven[i].ns >= restNs) && driven[i].on != settled) {
                settled = driven[i].on;
                count[size_t(driven[i].impulse)] += settled ? 1 : 0;
            }
        }
        for (int i = 0; i < kBounced; ++i)
            drivenPerImpulse[size_t(i)] = std::max(drivenPerImpulse[size_t(i)], count[size_t(i)]);
    }
    qint64 bounceLost = 0, bounceExtra = 0, stretched = 0, stretchedExtra = 0;
    for (int i = 0; i < kBounced; ++i) {
        const int got = perImpulse[size_t(i)];
        bounceLost += got == 0 ? 1 : 0;
        bounceExtra += std::max(0, got - 1);
        if (drivenPerImpulse[size_t(i)] > 1) {
            ++stretched;
            stretchedExtra += std::max(0, std::min(got, drivenPerImpulse[size_t(i)]) - 1);
        }
    }

    // Closing while the watcher sits in a 1 s driver call.
    input.OpenPort(17, 0);
    devices.WaitForWaiter();
    devices.StallStatusReads(true);
    devices.SetLines(TIOCM_CD, 0);
    devices.WaitForStalledRead();
    const qint64 closeStart = NowNs();
    input.ClosePort();
    const double closeMs = double(NowNs() - closeStart) / 1e6;
    devices.StallStatusReads(false);

    // A built-in 16550: a contact on pins 7+9, 1 ms closed and 1 ms open. With
    // CLOCAL its counters move only once a wait has switched the modem-status
    // interrupt on; each opening is a FINISH at its trailing edge.
    constexpr int kUart = 2000;
    const QString uart = QStringLiteral("/dev/ttyS0");
    devices.AddDevice(uart, QStringLiteral("4"));
    r.recorded.clear();
    r.handledAt.clear();
    input.SetDebounce(0);
    input.OpenPort(1, 0);
    devices.WaitForWaiter();
    std::vector<Tick> opened(kUart);
    done.store(false);
    std::thread ring([&] {
        for (int i = 0; i < kUart; ++i) {
            devices.SetLines(TIOCM_RNG, 0, uart);
            SleepNs(1000000);
            opened[size_t(i)] = system.tick();
            devices.SetLines(0, 0, uart);
            SleepNs(1000000);
        }
        done.store(true);
    });
    RunGui(app, done, r, kUart);
    ring.join();
    input.ClosePort();
    const size_t gotUart = r.recorded.size();
    // Each FINISH against the latest opening at or before it: two openings
    // within one wake-up make one FINISH, and pairing by index would skew the rest.
    std::vector<double> uartDiff;
    for (Tick t : r.recorded) {
        const auto after =
            std::upper_bound(opened.begin(), opened.end(), t, [](Tick a, Tick b) { return TickDiff(a, b) < 0; });
        if (after != opened.begin())
            uartDiff.push_back(double(TickDiff(t, *(after - 1))));
    }

    // Unplugged while polling: how long until the operator is told, for drivers
    // without counters (pl2303) and with counters that never move (cp210x).
    constexpr int kUnplugs = 20;
    std::vector<double> hangUpMs;
    bool lost = false;
    QObject::connect(&input, &ContactInput::AlarmWanted, [&lost] { lost = true; });
    for (int i = 0; i < kUnplugs; ++i) {
        devices.AddDevice(FakeSerialDevices::kDefaultPath);
        devices.SetDriver(FakeSerialDevices::kDefaultPath,
                          i % 2 ? FakeSerialDevices::Driver::Cp210x : FakeSerialDevices::Driver::Pl2303);
        input.OpenPort(17, 0);
        devices.WaitForWaiter();
        lost = false;
        const qint64 unplugged = NowNs();
        devices.Unplug();
        while (!lost && NowNs() - unplugged < 3000000000LL)
            app.processEvents(QEventLoop::AllEvents, 1);
        hangUpMs.push_back(lost ? double(NowNs() - unplugged) / 1e6 : 3000.0);
        input.ClosePort();
    }
    const auto noticed = std::count_if(hangUpMs.begin(), hangUpMs.end(), [](double ms) { return ms < 3000.0; });

    std::vector<double> bare;
    for (int i = 0; i < 100000; ++i) {
        const qint64 a = NowNs();
        const qint64 b = NowNs();
        bare.push_back(double(b - a) / 1000.0);
    }

    const double latMedian = Percentile(latency, 50);
    const double bareMedian = Percentile(bare, 50);
    std::printf("contact pulses injected:                 %d (1 ms on, 1 ms off, GUI busy 200 ms every 0.5 s)\n",
                kPulses);
    std::printf("recorded: %zu  lost: %lld  (two pulses within one wake-up make one START)\n", got,
                (long long)kPulses - (long long)got);
    std::printf("recorded - injected tick [ms]:           median %.0f  p99.9 %.0f  max %.0f\n", Percentile(diff, 50),
                Percentile(diff, 99.9), Percentile(diff, 100));
    std::printf("GUI handling - injected tick [ms]:       median %.0f  p99.9 %.0f  max %.0f  (a tick read on the "
                "GUI thread)\n",
                Percentile(guiDiff, 50), Percentile(guiDiff, 99.9), Percentile(guiDiff, 100));
    std::printf("capture latency after the edge [us]:     median %.1f  p99.9 %.1f\n", latMedian,
                Percentile(latency, 99.9));
    std::printf("bare clock_gettime [us]:                 median %.3f\n", bareMedian);
    std::printf("ratio capture latency / clock_gettime:   %.0f\n", bareMedian > 0 ? latMedian / bareMedian : 0.0);
    std::printf("pulses shorter than a wake-up:           injected %d  recorded %zu  lost %lld\n", kUnseen, gotUnseen,
                (long long)kUnseen - (long long)gotUnseen);
    std::printf("bounced impulses (3-8 edges in 2 ms, debounce 2 ms): injected %d  recorded %zu  lost %lld  extra "
                "%lld\n",
                kBounced, gotBounced, (long long)bounceLost, (long long)bounceExtra);
    std::printf(
        "  bounces the injecting thread stretched to a rest of 2 ms (+-%lld us) or more (a real impulse): %lld, "
        "their FINISHes among the extra: %lld\n",
        (long long)ComWatcher::kLateLookUs, (long long)stretched, (long long)stretchedExtra);
    std::printf("close during a stuck driver call [ms]:   %.1f  (limit %d; the watcher is joined later)\n", closeMs,
                TComPort::kCloseWaitMs);
    std::printf("16550, RI on 7+9 (1 ms closed, 1 ms open): injected %d  recorded %zu  recorded - opening tick [ms]: "
                "median %.0f  max %.0f\n",
                kUart, gotUart, Percentile(uartDiff, 50), Percentile(uartDiff, 100));
    std::printf("unplugged while polling (pl2303, cp210x): %lld of %d noticed, after [ms] median %.1f  max %.1f\n",
                (long long)noticed, kUnplugs, Percentile(hangUpMs, 50), Percentile(hangUpMs, 100));

    std::printf("figure: pulses_lost = %lld\n", (long long)kPulses - (long long)got);
    std::printf("figure: recorded_minus_injected_p999_ms = %.0f\n", Percentile(diff, 99.9));
    std::printf("figure: capture_latency_median_us = %.1f\n", latMedian);
    std::printf("figure: unseen_pulses_lost = %lld\n", (long long)kUnseen - (long long)gotUnseen);
    std::printf("figure: bounced_lost = %lld\n", (long long)bounceLost);
    std::printf("figure: bounced_extra = %lld\n", (long long)bounceExtra);
    std::printf("figure: bounced_extra_not_real_rests = %lld\n", (long long)(bounceExtra - stretchedExtra));
    std::printf("figure: close_stuck_ms = %.1f\n", closeMs);
    std::printf("figure: uart16550_ring_lost = %lld\n", (long long)kUart - (long long)gotUart);
    std::printf("figure: uart16550_ring_late_max_ms = %.0f\n", Percentile(uartDiff, 100));
    std::printf("figure: polling_unplug_unnoticed = %lld\n", (long long)(kUnplugs - noticed));
    std::printf("figure: polling_unplug_noticed_max_ms = %.1f\n", Percentile(hangUpMs, 100));
    return 0;
}
