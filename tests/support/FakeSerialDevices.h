#pragma once

#include "core/platform/Clock.h"
#include "core/platform/SerialDevices.h"

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

// Scripted serial devices. A test adds devices, opens them through TComPort
// and then, from its own thread, switches lines, injects pulses that only the
// counters show, unplugs, or makes single calls fail. Each device follows the
// rules of its kernel driver (see Driver): which edges its counters count and
// when, whether it answers the counter and wait calls, and that a hung-up
// port answers every call with EIO. Waits behave like the kernel's TIOCMIWAIT:
// they end when a watched counter differs from its value at the start of the
// wait, or at their time limit. Thread-safe.
class FakeSerialDevices final : public SerialDevices {
public:
    static inline const QString kDefaultPath = QStringLiteral("/dev/ttyUSB0"); // COM17

    // A clock for the watcher that reads the tick given with the latest script call.
    class ScriptClock final : public Clock {
    public:
        Tick tick() const override { return m_tick.load(); }
        QDateTime now() const override { return QDateTime(); }
        qint64 micros() const override { return m_micros.load(); }
        void Set(Tick tick) { SetMicros(qint64(tick) * 1000); }
        void SetMicros(qint64 us) {
            m_micros.store(us);
            m_tick.store(static_cast<Tick>(us / 1000));
        }

    private:
        std::atomic<Tick> m_tick{0};
        std::atomic<qint64> m_micros{0};
    };

    // How a device's driver reports the lines. The default follows the name:
    // ttyS 16550, ttyACM cdc_acm, anything else FTDI.
    enum class Driver {
        Ftdi,      // counts both edges of every line, always
        Uart16550, // counts only while the modem-status interrupt is on (a wait, or no CLOCAL),
                   // and RI only on its trailing edge (on to off)
        CdcAcm,    // reports CTS always on and never counts it
        Cp210x,    // counters that never move, so a TIOCMIWAIT never ends
        Pl2303,    // no counters and no wait (ENOTTY): only the status can be read; ch341 alike
    };

    explicit FakeSerialDevices(const QString& path = kDefaultPath);

    // Driver capabilities of devices opened from now on.
    bool CanWait = true;       // false: TIOCMIWAIT answers ENOTTY
    bool HasCounters = true;   // false: TIOCGICOUNT answers ENOTTY (pl2303, ch341)
    bool HasModemLines = true; // false: every modem ioctl answers ENOTTY (pty)
    // Devices added from now on start with every counter at zero (freshly
    // plugged); otherwise each has counted an edge before.
    bool FreshCounters = false;

    void AddDevice(const QString& path, const QString& sysfsType = QString());
    void SetDriver(const QString& path, Driver driver);
    // A stable name (/dev/serial/by-id/...) leading to `target`; removed when the target is unplugged.
    void AddLink(const QString& link, const QString& target);
    // Makes the next calls named `call` ("open", "getAttr", "setAttr", "setExclusive", "lockExclusive",
    // "setModemBits", "flushInput", "counters", ...) fail with `error`; 0 clears.
    void Fail(const QString& call, int error);

    // Script, at the tick the watcher will read. Lines are TIOCM_* bits.
    void SetLines(int bits, Tick tick, const QString& path = kDefaultPath);
    // The lines go on and off again (two edges each) without the status showing it.
    void Pulse(int bits, Tick tick, const QString& path = kDefaultPath);
    // A bouncing contact: the lines toggle once now (at ticks[0]) and once more
    // after each following status read (at ticks[i]), as edges arriving while
    // the watcher looks.
    void Bounce(int bits, const QList<Tick>& ticks, const QString& path = kDefaultPath);
    // A contact watched in simulated time: the lines toggle at `start` plus each of
    // `edgesUs` (microseconds, rising), every status read moves the clock on by
    // `lookUs`, and a wait for a change ends at the next edge. `stallsUs` holds
    // pairs from, to: a read that would come inside one comes at its end instead,
    // as from a watcher held up by a busy machine. Ends with the next script call.
    void Timeline(int bits, Tick start, const QList<qint64>& edgesUs, int lookUs, const QList<qint64>& stallsUs = {},
                  const QString& path = kDefaultPath);
    // The device disappears: waits and calls fail with EIO, it cannot be opened again.
    void Unplug(const QString& path = kDefaultPath);
    // Status reads block (a USB control transfer, deaf to signals) until released, at most 5 s.
    void StallStatusReads(bool on);
    // The lines toggle in the re-arm window of the next wait: after the watcher's
    // last look, just before the kernel takes the counters a TIOCMIWAIT compares with.
    void ToggleBeforeNextWait(int bits, Tick tick, const QString& path = kDefaultPath);
    // One edge of a timeline: `us` after its start, the lines in `bits` toggle.
    struct TimedEdge {
        qint64 us = 0;
        int bits = 0;
    };
    // Timeline with edges of different lines.
    void Timeline(Tick start, const QList<TimedEdge>& edges, int lookUs, const QList<qint64>& stallsUs = {},
                  const QString& path = kDefaultPath);
    // Blocks until a status read is stalled; false after 5 s.
    bool WaitForStalledRead();
    int StalledReads() const;
    // Blocks until a watcher waits (or polls) for a change after the last script call; false after 5 s.
    bool WaitForWaiter();
    // Blocks until the watcher of `path` is inside its wait for a change, done with what
    // the script gave it (a settling watcher reads, and it reads ahead of its wait); false after 5 s.
    bool WaitForBlockedWait(const QString& path);

    const ScriptClock& clock() const { return m_clock; }
    // Moves the watcher's clock on without a line change (time passing on a busy GUI thread).
    void SetTick(Tick tick) { m_clock.Set(tick); }

    // Called at the start of every open and close (close may come from the watcher's joiner).
    std::function<void()> OnOpen;
    std::function<void()> OnClose;

    // Record.
    int OpenDescriptors() const;
    int Opens() const;
    int Interrupts() const;
    int SetBits() const; // union of TIOCMBIS bits
    int Flushes() const;
    int LowLatencyCalls() const;
    termios LastAttr() const;

    int open(const QString& path, int flags) override;
    int close(int fd) override;
    int getAttr(int fd, termios& attr) override;
    int setAttr(int fd, const termios& attr) override;
    int setExclusive(int fd) override;
    int lockExclusive(int fd) override;
    int flushInput(int fd) override;
    int setModemBits(int fd, int bits) override;
    int clearModemBits(int fd, int bits) override;
    int modemBits(int fd, int& bits) override;
    int waitModemChange(int fd, int mask, long timeoutNs) override;
    int counters(int fd, ModemCounters& counters) override;
    int setLowLatency(int fd) override;
    bool isCharDevice(const QString& path) override;
    QString readAttribute(const QString& path) override;
    QString canonicalPath(const QString& path) override;
    QStringList entries(const QString& folder) override;
    void prepareWaiter() override {}
    void interrupt(pthread_t thread) override;

private:
    struct Device {
        bool present = true;
        Driver driver = Driver::Ftdi;
        QList<Tick> bounce; // toggles still to come, one per status read
        int bounceBits = 0;
        QList<TimedEdge> edgesAt; // timeline: toggles still to come, in microseconds of the clock
        QList<qint64> stalls;     // timeline: from, to
        int lookUs = 0;           // timeline running: the clock moves on this much per status read
        QString sysfsType;
        bool open = false;
        bool canWait = true;
        int blockedWaits = 0;         // watchers inside waitModemChange now
        bool waitedSinceRead = false; // a wait began after the latest status read
        bool everWaited = false;
        bool hasCounters = true;
        bool hasModemLines = true;
        int bits = 0;
        ModemCounters counters;
        ModemCounters readCounters; // what the latest TIOCGICOUNT answered
        bool msi = true;            // 16550: the modem-status interrupt is on, so edges count
        int deltas = 0;             // 16550: edges latched in the status register while it is off
        int windowBits = 0;         // toggles at the start of the next wait
        Tick windowTick = 0;
        quint64 changes = 0; // script calls so far, for WaitForWaiter
        quint64 seen = 0;    // script calls a watcher had seen when it last began a wait or polled
    };

    // Under m_mutex: the open device of `fd`, or the error for it.
    Device* DeviceOf(int fd, int& error);
    int Failure(const QString& call);
    // Under m_mutex: the device a path or link leads to, if present.
    QString Resolve(const QString& path) const;
    // Under m_mutex: the lines change to `bits`, counted as the driver counts.
    static void Switch(Device& d, int bits);
    // Under m_mutex: the 16550 counts what its status register latched (the interrupt came on).
    static void CountDeltas(Device& d);
    // Under m_mutex: the timeline's edges up to the clock have come.
    void CatchUp(Device& d);
    // Under m_mutex: the clock moves to `us`, or to the end of a stall that holds it.
    void MoveClock(const Device& d, qint64 us);
    static void EndTimeline(Device& d);
    // Under m_mutex: the watcher polls this device (a read says it looked).
    static bool Polled(const Device& d);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<QString, Device> m_devices; // stable addresses while a watcher waits
    std::map<QString, QString> m_links;
    bool m_stallReads = false;
    int m_stalledReads = 0;
    QHash<int, QString> m_fds;
    QHash<QString, int> m_failures;
    int m_nextFd = 100;
    int m_opens = 0;
    int m_interrupts = 0;
    quint64 m_interruptGeneration = 0;
    int m_setBits = 0;
    int m_flushes = 0;
    int m_lowLatency = 0;
    termios m_lastAttr{};
    ScriptClock m_clock;
};
