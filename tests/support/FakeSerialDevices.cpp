#include "support/FakeSerialDevices.h"

#include <cerrno>
#include <chrono>
#include <sys/ioctl.h>
#include <thread>

namespace {

// What each kernel driver does with the modem lines.
struct DriverRules {
    bool counts = true;        // its interrupt counters move with the lines
    bool counters = true;      // it answers TIOCGICOUNT
    bool waits = true;         // it answers TIOCMIWAIT
    bool gated = false;        // 8250: counts only while the modem-status interrupt is on
    bool ringTrailing = false; // 8250: RI counts only when it goes off (TERI)
    bool ctsAlwaysOn = false;  // cdc_acm: CTS reads on and never counts
};

DriverRules RulesOf(FakeSerialDevices::Driver driver) {
    using Driver = FakeSerialDevices::Driver;
    DriverRules r;
    switch (driver) {
    case Driver::Ftdi:
        break;
    case Driver::Uart16550:
        r.gated = true;
        r.ringTrailing = true;
        break;
    case Driver::CdcAcm:
        r.ctsAlwaysOn = true;
        break;
    case Driver::Cp210x:
        r.counts = false;
        break;
    case Driver::Pl2303:
        r.counts = false;
        r.counters = false;
        r.waits = false;
        break;
    }
    return r;
}

bool Differ(const ModemCounters& a, const ModemCounters& b, int mask) {
    return ((mask & TIOCM_CTS) && a.cts != b.cts) || ((mask & TIOCM_DSR) && a.dsr != b.dsr) ||
           ((mask & TIOCM_RNG) && a.rng != b.rng) || ((mask & TIOCM_CD) && a.dcd != b.dcd);
}

constexpr int kAllLines = TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD;

} // namespace

FakeSerialDevices::FakeSerialDevices(const QString& path) {
    AddDevice(path);
}

void FakeSerialDevices::AddDevice(const QString& path, const QString& sysfsType) {
    std::lock_guard lock(m_mutex);
    Device& d = m_devices[path];
    d = Device{};
    d.sysfsType = sysfsType;
    if (path.startsWith(QLatin1String("/dev/ttyS")))
        d.driver = Driver::Uart16550;
    else if (path.startsWith(QLatin1String("/dev/ttyACM")))
        d.driver = Driver::CdcAcm;
    // A 16550 run with CLOCAL has never had its modem-status interrupt on, so
    // its counters stand at zero.
    if (!FreshCounters && d.driver != Driver::Uart16550)
        d.counters = ModemCounters{1, 1, 1, 1};
    d.msi = d.driver != Driver::Uart16550;
}

void FakeSerialDevices::SetDriver(const QString& path, Driver driver) {
    std::lock_guard lock(m_mutex);
    Device& d = m_devices[path];
    d.driver = driver;
    if (!RulesOf(driver).counts || RulesOf(driver).gated)
        d.counters = ModemCounters{};
    d.msi = !RulesOf(driver).gated;
}

void FakeSerialDevices::AddLink(const QString& link, const QString& target) {
    std::lock_guard lock(m_mutex);
    m_links[link] = target;
}

void FakeSerialDevices::Fail(const QString& call, int error) {
    std::lock_guard lock(m_mutex);
    if (error)
        m_failures[call] = error;
    else
        m_failures.remove(call);
}

int FakeSerialDevices::Failure(const QString& call) {
    return m_failures.value(call, 0);
}

QString FakeSerialDevices::Resolve(const QString& path) const {
    const auto link = m_links.find(path);
    const QString device = link == m_links.end() ? path : link->second;
    const auto it = m_devices.find(device);
    return it != m_devices.end() && it->second.present ? device : QString();
}

void FakeSerialDevices::Switch(Device& d, int bits) {
    const DriverRules rules = RulesOf(d.driver);
    const int changed = d.bits ^ bits;
    const auto count = [&](int line, int& counter) {
        if (!(changed & line) || !rules.counts)
            return;
        if (rules.ctsAlwaysOn && line == TIOCM_CTS)
            return;
        if (rules.ringTrailing && line == TIOCM_RNG && (bits & line))
            return; // the rising edge of RI is not counted
        if (rules.gated && !d.msi) {
            d.deltas |= line; // latched in the status register, counted only when the interrupt comes on
            return;
        }
        ++counter;
    };
    count(TIOCM_CTS, d.counters.cts);
    count(TIOCM_DSR, d.counters.dsr);
    count(TIOCM_RNG, d.counters.rng);
    count(TIOCM_CD, d.counters.dcd);
    d.bits = bits;
}

void FakeSerialDevices::CountDeltas(Device& d) {
    const auto count = [&](int line, int& counter) {
        if (d.deltas & line)
            ++counter;
    };
    count(TIOCM_CTS, d.counters.cts);
    count(TIOCM_DSR, d.counters.dsr);
    count(TIOCM_RNG, d.counters.rng);
    count(TIOCM_CD, d.counters.dcd);
    d.deltas = 0;
}

void FakeSerialDevices::CatchUp(Device& d) {
    while (!d.edgesAt.isEmpty() && d.edgesAt.front().us <= m_clock.micros()) {
        Switch(d, d.bits ^ d.edgesAt.front().bits);
        d.edgesAt.removeFirst();
    }
}

// A stall holds the watcher up in real time too, as a busy machine would.
void FakeSerialDevices::MoveClock(const Device& d, qint64 us) {
    for (qsizetype i = 0; i + 1 < d.stalls.size(); i += 2)
        if (us >= d.stalls[i] && us < d.stalls[i + 1]) {
            std::this_thread::sleep_for(std::chrono::microseconds(d.stalls[i + 1] - us));
            us = d.stalls[i + 1];
        }
    m_clock.SetMicros(us);
}

void FakeSerialDevices::EndTimeline(Device& d) {
    d.lookUs = 0;
    d.edgesAt.clear();
    d.stalls.clear();
}

// The watcher reads the status at every wake where the counters have not
// shown yet that they count.
bool FakeSerialDevices::Polled(const Device& d) {
    const ModemCounters& c = d.counters;
    return !d.canWait || !d.hasCounters || !RulesOf(d.driver).counts ||
           (c.cts == 0 && c.dsr == 0 && c.rng == 0 && c.dcd == 0);
}

void FakeSerialDevices::SetLines(int bits, Tick tick, const QString& path) {
    {
        std::lock_guard lock(m_mutex);
        Device& d = m_devices[path];
        EndTimeline(d);
        const bool idle = d.seen == d.changes;
        const ModemCounters before = d.counters;
        Switch(d, bits);
        ++d.changes;
        // A change the driver does not count wakes no wait: the watcher stays idle.
        if (idle && !Polled(d) && !Differ(d.counters, before, kAllLines) && d.deltas == 0)
            d.seen = d.changes;
        m_clock.Set(tick);
    }
    m_changed.notify_all();
}

void FakeSerialDevices::Pulse(int bits, Tick tick, const QString& path) {
    {
        std::lock_guard lock(m_mutex);
        Device& d = m_devices[path];
        EndTimeline(d);
        const int rest = d.bits;
        Switch(d, rest ^ bits);
        Switch(d, rest);
        ++d.changes;
        m_clock.Set(tick);
    }
    m_changed.notify_all();
}

void FakeSerialDevices::Bounce(int bits, const QList<Tick>& ticks, const QString& path) {
    {
        std::lock_guard lock(m_mutex);
        Device& d = m_devices[path];
        EndTimeline(d);
        d.bounce = ticks.mid(1);
        Switch(d, d.bits ^ bits);
        d.bounceBits = bits;
        ++d.changes;
        m_clock.Set(ticks.value(0));
    }
    m_changed.notify_all();
}

void FakeSerialDevices::Timeline(int bits, Tick start, const QList<qint64>& edgesUs, int lookUs,
                                 const QList<qint64>& stallsUs, const QString& path) {
    QList<TimedEdge> edges;
    for (qint64 e : edgesUs)
        edges << TimedEdge{e, bits};
    Timeline(start, edges, lookUs, stallsUs, path);
}

void FakeSerialDevices::Timeline(Tick start, const QList<TimedEdge>& edges, int lookUs, const QList<qint64>& stallsUs,
                                 const QString& path) {
    {
        std::lock_guard lock(m_mutex);
        Device& d = m_devices[path];
        const qint64 origin = qint64(start) * 1000;
        d.edgesAt.clear();
        for (const TimedEdge& e : edges)
            d.edgesAt << TimedEdge{origin + e.us, e.bits};
        d.stalls.clear();
        for (qint64 s : stallsUs)
            d.stalls << origin + s;
        d.lookUs = lookUs;
        ++d.changes;
        m_clock.SetMicros(origin);
    }
    m_changed.notify_all();
}

void FakeSerialDevices::ToggleBeforeNextWait(int bits, Tick tick, const QString& path) {
    std::lock_guard lock(m_mutex);
    Device& d = m_devices[path];
    EndTimeline(d);
    d.windowBits = bits;
    d.windowTick = tick;
    ++d.changes;
}

void FakeSerialDevices::Unplug(const QString& path) {
    {
        std::lock_guard lock(m_mutex);
        m_devices[path].present = false;
        for (auto it = m_links.begin(); it != m_links.end();)
            it = it->second == path ? m_links.erase(it) : std::next(it);
    }
    m_changed.notify_all();
}

void FakeSerialDevices::StallStatusReads(bool on) {
    {
        std::lock_guard lock(m_mutex);
        m_stallReads = on;
    }
    m_changed.notify_all();
}

bool FakeSerialDevices::WaitForStalledRead() {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_stalledReads > 0; });
}

int FakeSerialDevices::StalledReads() const {
    std::lock_guard lock(m_mutex);
    return m_stalledReads;
}

bool FakeSerialDevices::WaitForWaiter() {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(5), [this] {
        for (const auto& [path, d] : m_devices)
            if (d.open && (d.seen != d.changes || !d.bounce.isEmpty() || !d.edgesAt.isEmpty()))
                return false;
        return true;
    });
}

bool FakeSerialDevices::WaitForBlockedWait(const QString& path) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(5), [&] {
        const auto it = m_devices.find(path);
        return it != m_devices.end() && it->second.blockedWaits > 0 && it->second.bounce.isEmpty();
    });
}

int FakeSerialDevices::OpenDescriptors() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_fds.size());
}

int FakeSerialDevices::Opens() const {
    std::lock_guard lock(m_mutex);
    return m_opens;
}

int FakeSerialDevices::Interrupts() const {
    std::lock_guard lock(m_mutex);
    return m_interrupts;
}

int FakeSerialDevices::SetBits() const {
    std::lock_guard lock(m_mutex);
    return m_setBits;
}

int FakeSerialDevices::Flushes() const {
    std::lock_guard lock(m_mutex);
    return m_flushes;
}

int FakeSerialDevices::LowLatencyCalls() const {
    std::lock_guard lock(m_mutex);
    return m_lowLatency;
}

termios FakeSerialDevices::LastAttr() const {
    std::lock_guard lock(m_mutex);
    return m_lastAttr;
}

FakeSerialDevices::Device* FakeSerialDevices::DeviceOf(int fd, int& error) {
    const auto it = m_fds.constFind(fd);
    if (it == m_fds.cend()) {
        error = EBADF;
        return nullptr;
    }
    Device& d = m_devices[*it];
    error = d.present ? 0 : EIO;
    return &d;
}

int FakeSerialDevices::open(const QString& path, int) {
    if (OnOpen)
        OnOpen();
    std::lock_guard lock(m_mutex);
    if (const int e = Failure(QStringLiteral("open")))
        return -e;
    const QString device = Resolve(path);
    if (device.isEmpty())
        return -ENOENT;
    ++m_opens;
    const int fd = m_nextFd++;
    m_fds.insert(fd, device);
    return fd;
}

int FakeSerialDevices::close(int fd) {
    if (OnClose)
        OnClose();
    std::lock_guard lock(m_mutex);
    const auto it = m_fds.find(fd);
    if (it == m_fds.end())
        return EBADF;
    Device& d = m_devices[*it];
    bool stillOpen = false;
    for (auto f = m_fds.cbegin(); f != m_fds.cend(); ++f)
        stillOpen = stillOpen || (f.key() != fd && *f == *it);
    // Only the locking descriptor holds the lock.
    if (!stillOpen)
        d.open = false;
    m_fds.erase(it);
    return 0;
}

int FakeSerialDevices::getAttr(int fd, termios& attr) {
    std::lock_guard lock(m_mutex);
    int e = 0;
    if (!DeviceOf(fd, e))
        return e;
    if (e || (e = Failure(QStringLiteral("getAttr"))))
        return e;
    attr = m_lastAttr;
    return 0;
}

int FakeSerialDevices::setAttr(int fd, const termios& attr) {
    std::lock_guard lock(m_mutex);
    int e = 0;
    if (!DeviceOf(fd, e))
        return e;
    if (e || (e = Failure(QStringLiteral("setAttr"))))
        return e;
    m_lastAttr = attr;
    Device& dev = m_devices[m_fds.value(fd)];
    // 8250: the modem-status interrupt is on only without CLOCAL or with CRTSCTS.
    if (RulesOf(dev.driver).gated) {
        dev.msi = !(attr.c_cflag & CLOCAL) || (attr.c_cflag & CRTSCTS);
        if (dev.msi)
            CountDeltas(dev);
    }
    return 0;
}

int FakeSerialDevices::setExclusive(int fd) {
    std::lock_guard lock(m_mutex);
    int e = 0;
    if (!DeviceOf(fd, e))
        return e;
    return e ? e : Failure(QStringLiteral("setExclusive"));
}

int FakeSerialDevices::lockExclusive(int fd) {
    std::lock_guard lock(m_mutex);
    int e = 0;
    Device* d = DeviceOf(fd, e);
    if (!d)
        return e;
    if (e || (e = Failure(QStringLiteral("lockExclusive"))))
        return e;
    if (d->open)
        return EWOULDBLOCK;
    d->open = true;
    d->seen = ~quint64(0); // WaitForWaiter waits for this opening's watcher
    d->everWaited = d->waitedSinceRead = false;
    const DriverRules rules = RulesOf(d->driver);
    d->canWait = CanWait && rules.waits;
    d->hasCounters = HasCounters && rules.counters;
    d->hasModemLines = HasModemLines;
    return 0;
}

int FakeSerialDevices::flushInput(int fd) {
    std::lock_guard lock(m_mutex);
    int e = 0;
    if (!DeviceOf(fd, e))
        return e;
    if (e || (e = Failure(QStringLiteral("flushInput"))))
        return e;
    ++m_flushes;
    return 0;
}

int FakeSerialDevices::setModemBits(int fd, int bits) {
    std::lock_guard lock(m_mutex);
    int e = 0;
    Device* d = DeviceOf(fd, e);
    if (!d || e)
        return e;
    if (!d->hasModemLines)
        return ENOTTY;
    if ((e = Failure(QStringLiteral("setModemBits"))))
        return e;
    m_setBits |= bits;
    return 0;
}

int FakeSerialDevices::clearModemBits(int fd, int bits) {
    std::lock_guard lock(m_mutex);
    int e = 0;
    Device* d = DeviceOf(fd, e);
    if (!d || e)
        return e;
    if (!d->hasModemLines)
        return ENOTTY;
    m_setBits &= ~bits;
    return 0;
}

int FakeSerialDevices::modemBits(int fd, int& bits) {
    int e = 0;
    {
        std::unique_lock lock(m_mutex);
        if (m_stallReads) {
            ++m_stalledReads;
            m_changed.notify_all();
            const bool released = m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return !m_stallReads; });
            --m_stalledReads;
            if (!released)
                return ETIMEDOUT;
        }
        Device* d = DeviceOf(fd, e);
        if (!d || e)
            return e;
        if (!d->hasModemLines)
            return ENOTTY;
        if ((e = Failure(QStringLiteral("modemBits"))))
            return e;
        if (d->lookUs > 0)
            CatchUp(*d);
        bits = d->bits | (RulesOf(d->driver).ctsAlwaysOn ? TIOCM_CTS : 0);
        if (RulesOf(d->driver).gated && !d->msi)
            d->deltas = 0; // reading the status register clears what it latched, uncounted
        if (d->lookUs > 0) {
            MoveClock(*d, m_clock.micros() + d->lookUs); // the next look comes one look period later
        } else if (!d->bounce.isEmpty()) {
            // The next edge of a bouncing contact arrives after this read.
            Switch(*d, d->bits ^ d->bounceBits);
            m_clock.Set(d->bounce.takeFirst());
        } else if (Polled(*d) && !std::exchange(d->waitedSinceRead, false) &&
                   (d->everWaited || !d->canWait || !d->hasCounters)) {
            // A poll has read the latest script state. A watcher that waits between
            // its reads (or has not begun to wait yet, though it can) has seen it
            // only once it waits again: it may still be handling it.
            d->seen = d->changes;
        }
    }
    m_changed.notify_all();
    return 0;
}

int FakeSerialDevices::waitModemChange(int fd, int mask, long timeoutNs) {
    std::unique_lock lock(m_mutex);
    int e = 0;
    Device* d = DeviceOf(fd, e);
    if (!d || e)
        return e;
    if (!d->hasModemLines || !d->canWait)
        return ENOTTY;
    if (d->windowBits) {
        // An edge after the watcher's last look, before the kernel's snapshot.
        Switch(*d, d->bits ^ std::exchange(d->windowBits, 0));
        m_clock.Set(d->windowTick);
    }
    d->waitedSinceRead = true;
    d->everWaited = true;
    const ModemCounters start = d->counters;
    // 8250: the wait switches the modem-status interrupt on, after its snapshot;
    // what the status register latched meanwhile is counted at once.
    if (!d->msi) {
        d->msi = true;
        CountDeltas(*d);
    }
    const quint64 interrupts = m_interruptGeneration;
    // The watcher has seen everything only where it read the counters the wait starts from.
    if (!Differ(start, d->readCounters, mask))
        d->seen = d->changes;
    m_changed.notify_all(); // WaitForWaiter
    const auto differs = [&] { return Differ(d->counters, start, mask); };
    if (d->lookUs > 0 && !d->edgesAt.isEmpty()) {
        // Simulated time passes until the next counted edge or the time limit.
        const qint64 limit = m_clock.micros() + timeoutNs / 1000;
        while (!d->edgesAt.isEmpty() && d->edgesAt.front().us <= limit && !differs()) {
            MoveClock(*d, d->edgesAt.front().us);
            CatchUp(*d);
        }
        if (differs())
            return 0;
        MoveClock(*d, limit);
        return ETIMEDOUT;
    }
    ++d->blockedWaits;
    m_changed.notify_all(); // WaitForBlockedWait
    const bool woken = m_changed.wait_for(lock, std::chrono::nanoseconds(timeoutNs), [&] {
        return !d->present || m_interruptGeneration != interrupts || differs();
    });
    --d->blockedWaits;
    if (!d->present)
        return EIO;
    if (differs())
        return 0;
    return woken ? EINTR : ETIMEDOUT;
}

int FakeSerialDevices::counters(int fd, ModemCounters& counters) {
    std::lock_guard lock(m_mutex);
    int e = 0;
    Device* d = DeviceOf(fd, e);
    if (!d || e)
        return e;
    if (!d->hasModemLines || !d->hasCounters)
        return ENOTTY;
    if ((e = Failure(QStringLiteral("counters"))))
        return e;
    if (d->lookUs > 0)
        CatchUp(*d);
    counters = d->counters;
    d->readCounters = counters;
    return 0;
}

int FakeSerialDevices::setLowLatency(int fd) {
    std::lock_guard lock(m_mutex);
    int e = 0;
    if (!DeviceOf(fd, e) || e)
        return e;
    ++m_lowLatency;
    return 0;
}

bool FakeSerialDevices::isCharDevice(const QString& path) {
    std::lock_guard lock(m_mutex);
    return !Resolve(path).isEmpty();
}

QString FakeSerialDevices::canonicalPath(const QString& path) {
    std::lock_guard lock(m_mutex);
    return Resolve(path);
}

QStringList FakeSerialDevices::entries(const QString& folder) {
    std::lock_guard lock(m_mutex);
    QStringList names;
    const QString prefix = folder + QLatin1Char('/');
    const auto add = [&](const QString& path) {
        if (path.startsWith(prefix) && !path.mid(prefix.size()).contains(QLatin1Char('/')))
            names << path.mid(prefix.size());
    };
    for (const auto& [link, target] : m_links)
        add(link);
    for (const auto& [path, d] : m_devices)
        if (d.present)
            add(path);
    names.sort();
    return names;
}

QString FakeSerialDevices::readAttribute(const QString& path) {
    std::lock_guard lock(m_mutex);
    for (const auto& [device, d] : m_devices) {
        const QString name = device.mid(device.lastIndexOf(QLatin1Char('/')) + 1);
        if (path == QStringLiteral("/sys/class/tty/%1/type").arg(name))
            return d.sysfsType;
    }
    return QString();
}

void FakeSerialDevices::interrupt(pthread_t) {
    {
        std::lock_guard lock(m_mutex);
        ++m_interrupts;
        ++m_interruptGeneration;
    }
    m_changed.notify_all();
}
