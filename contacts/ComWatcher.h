#pragma once

#include "contacts/ComEvent.h"

#include <atomic>
#include <functional>
#include <thread>

class Clock;
class SerialDevices;

// One thread per open port. It waits for a modem-line change (or polls where the
// driver cannot wait), captures tick, status and counters at once and hands them
// to `onEvent` on its own thread; it never waits for the receiver. When the
// device fails (unplugged) it calls `onEnd` with the error and ends.
class ComWatcher {
public:
    using EventFn = std::function<void(const ComEvent&)>;
    using EndFn = std::function<void(int error)>;

    // `mask` holds the TIOCM_* lines to watch. The thread starts at once.
    ComWatcher(SerialDevices& devices, const Clock& clock, int fd, int mask, EventFn onEvent, EndFn onEnd);
    ~ComWatcher();
    ComWatcher(const ComWatcher&) = delete;
    ComWatcher& operator=(const ComWatcher&) = delete;

    // Wakes the thread until it has ended, then joins it. Safe to call twice.
    void Stop();
    bool Finished() const { return m_finished.load(); }

    static constexpr long kPollNs = 1000000; // status poll period where the driver cannot wait

private:
    void Run();
    int Loop();
    int ReadStatus(int& bits);
    bool ChangedSinceCapture(int lastBits, const ModemCounters* lastCounters);

    SerialDevices& m_devices;
    const Clock& m_clock;
    int m_fd = -1;
    int m_mask = 0;
    EventFn m_onEvent;
    EndFn m_onEnd;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::thread m_thread; // last: starts after everything above is set
};
