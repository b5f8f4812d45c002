#pragma once

#include "core/contacts/ComEvent.h"
#include "core/platform/SerialDevices.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class Clock;

// What the watcher looks at and how it treats the driver.
struct WatchOptions {
    int mask = 0;                  // TIOCM_* lines to watch
    int debounceMs = 0;            // quiet time after an edge; a pulse shorter than this is noise
    bool ringTrailingEdge = false; // the driver counts RI only when it goes off (8250/16550)
};

// One thread per open port. It waits for a modem-line change (or polls every
// millisecond where the driver cannot wait or its counters do not count),
// captures tick, status and counters at once, lets bouncing lines settle, and
// hands the result to `onEvent` on its own thread; it never waits for the
// receiver. When the device fails (unplugged) it calls `onEnd` with the error
// and ends. `onMode` is told whenever it starts (true) or stops (false)
// reading the status every millisecond; it starts out as waiting.
class ComWatcher {
public:
    using EventFn = std::function<void(const ComEvent&)>;
    using EndFn = std::function<void(int error)>;
    using ModeFn = std::function<void(bool polling)>;

    // The thread starts at once.
    ComWatcher(SerialDevices& devices, const Clock& clock, int fd, WatchOptions options, EventFn onEvent, EndFn onEnd,
               ModeFn onMode = {});
    ~ComWatcher();
    ComWatcher(const ComWatcher&) = delete;
    ComWatcher& operator=(const ComWatcher&) = delete;

    // Stops the callbacks at once, wakes the thread and waits up to `maxWaitMs`
    // (negative: without limit) for it to end; joins it when it has. Returns
    // whether it has ended; a thread stuck in a slow driver call may not have.
    // Safe to call again.
    bool Stop(int maxWaitMs = -1);
    bool Finished() const { return m_finished.load(); }
    // A new quiet time (0 to 50 ms) for the running watcher; the next impulse
    // settles with it, the one being settled keeps the old one.
    void SetDebounce(int ms);

    static constexpr long kPollNs = 1000000;      // status poll period where waiting does not work
    static constexpr long kWakeNs = 1000000;      // a wait ends after this to look again
    static constexpr long kSettlePollNs = 200000; // reads while a bouncing line settles
    static constexpr int kSettleLimitMs = 200;    // a line chattering longer than this is taken as it stands
    static constexpr qint64 kLateLookUs = 2 * kSettlePollNs / 1000; // a look further apart came late

private:
    // One look at the lines: the moment, then the counters, then the status.
    struct Sample {
        Moment at;
        qint64 us = 0; // the same clock in microseconds
        int bits = 0;
        ModemCounters counters;
    };

    void Run();
    int Loop();
    int ReadStatus(int& bits);
    int Look(Sample& sample, const ModemCounters& previous);
    int LevelMask() const;
    int LookForChange(int lastBits, const ModemCounters& lastCounters, bool readStatus, bool& changed);
    int ChangedLines(const Sample& from, const Sample& to) const;
    bool HiddenEdges(const Sample& from, const Sample& to) const;
    int Settle(int quietMs, Sample& state, int& settledBits, int startLines, qint64 lateUs);
    void PostChange(const Moment& at, int bits, quint32 pulsed);
    void Post(const std::function<void()>& call);
    void ReportMode(bool polling);

    SerialDevices& m_devices;
    const Clock& m_clock;
    int m_fd = -1;
    WatchOptions m_options;
    EventFn m_onEvent;
    EndFn m_onEnd;
    ModeFn m_onMode;
    bool m_haveCounters = true; // watcher thread only
    bool m_reportedPolling = false;
    int m_rawBits = 0;                // the watched lines at the last status read, RI's level included
    std::mutex m_postMutex;           // Stop sets m_stop under it: no callback starts afterwards
    std::atomic<int> m_debounceMs{0}; // the quiet time in force, from m_options and SetDebounce
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::thread m_thread; // last: starts after everything above is set
};
