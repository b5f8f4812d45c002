#pragma once

#include "platform/Clock.h"
#include "platform/SerialDevices.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

// Scripted serial devices. A test adds devices, opens them through TComPort
// and then, from its own thread, switches lines, injects pulses that only the
// counters show, unplugs, or makes single calls fail. Waits behave like the
// kernel's TIOCMIWAIT: they end when a watched counter differs from its value
// at the start of the wait. Thread-safe.
class FakeSerialDevices final : public SerialDevices {
public:
    static inline const QString kDefaultPath = QStringLiteral("/dev/ttyUSB0"); // COM17

    // A clock for the watcher that reads the tick given with the latest script call.
    class ScriptClock final : public Clock {
    public:
        Tick tick() const override { return m_tick.load(); }
        QDateTime now() const override { return QDateTime(); }
        void Set(Tick tick) { m_tick.store(tick); }

    private:
        std::atomic<Tick> m_tick{0};
    };

    explicit FakeSerialDevices(const QString& path = kDefaultPath);

    // Driver capabilities of devices opened from now on.
    bool CanWait = true;       // false: TIOCMIWAIT answers ENOTTY (cp210x)
    bool HasCounters = true;   // false: TIOCGICOUNT answers ENOTTY (pl2303, ch341)
    bool HasModemLines = true; // false: every modem ioctl answers ENOTTY (pty)

    void AddDevice(const QString& path, const QString& sysfsType = QString());
    // Makes the next calls named `call` ("open", "getAttr", "setAttr", "setExclusive", "lockExclusive",
    // "setModemBits", "flushInput", "counters", ...) fail with `error`; 0 clears.
    void Fail(const QString& call, int error);

    // Script, at the tick the watcher will read. Lines are TIOCM_* bits.
    void SetLines(int bits, Tick tick, const QString& path = kDefaultPath);
    // The lines go on and off again (two edges each) without the status showing it.
    void Pulse(int bits, Tick tick, const QString& path = kDefaultPath);
    // The device disappears: waits and calls fail with EIO, it cannot be opened again.
    void Unplug(const QString& path = kDefaultPath);
    // Blocks until a watcher waits (or polls) for a change after the last script call; false after 5 s.
    bool WaitForWaiter();

    const ScriptClock& clock() const { return m_clock; }
    // Moves the watcher's clock on without a line change (time passing on a busy GUI thread).
    void SetTick(Tick tick) { m_clock.Set(tick); }

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
    int waitModemChange(int fd, int mask) override;
    int counters(int fd, ModemCounters& counters) override;
    int setLowLatency(int fd) override;
    bool isCharDevice(const QString& path) override;
    QString readAttribute(const QString& path) override;
    void prepareWaiter() override {}
    void interrupt(pthread_t thread) override;

private:
    struct Device {
        bool present = true;
        QString sysfsType;
        bool open = false;
        bool canWait = true;
        bool hasCounters = true;
        bool hasModemLines = true;
        int bits = 0;
        ModemCounters counters;
        quint64 changes = 0; // script calls so far, for WaitForWaiter
        quint64 seen = 0;    // script calls a watcher had seen when it last began a wait or polled
    };

    // Under m_mutex: the open device of `fd`, or the error for it.
    Device* DeviceOf(int fd, int& error);
    int Failure(const QString& call);
    static void Count(ModemCounters& counters, int bits, int edges);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<QString, Device> m_devices; // stable addresses while a watcher waits
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
