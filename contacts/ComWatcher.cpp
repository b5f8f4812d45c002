#include "contacts/ComWatcher.h"

#include "platform/Clock.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <sys/ioctl.h>

namespace {

// Errors with which a driver says it does not offer an ioctl.
bool Unsupported(int error) {
    return error == ENOTTY || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

void Pause(long ns) {
    timespec ts{0, ns};
    nanosleep(&ts, nullptr); // an interrupt ends it early, which is what stopping wants
}

bool CountersDiffer(const ModemCounters& a, const ModemCounters& b, int mask) {
    return ((mask & TIOCM_CTS) && a.cts != b.cts) || ((mask & TIOCM_DSR) && a.dsr != b.dsr) ||
           ((mask & TIOCM_RNG) && a.rng != b.rng) || ((mask & TIOCM_CD) && a.dcd != b.dcd);
}

} // namespace

ComWatcher::ComWatcher(SerialDevices& devices, const Clock& clock, int fd, WatchOptions options, EventFn onEvent,
                       EndFn onEnd, PollingFn onPolling)
    : m_devices(devices), m_clock(clock), m_fd(fd), m_options(options), m_onEvent(std::move(onEvent)),
      m_onEnd(std::move(onEnd)), m_onPolling(std::move(onPolling)), m_thread([this] { Run(); }) {}

ComWatcher::~ComWatcher() {
    Stop();
}

bool ComWatcher::Stop(int maxWaitMs) {
    if (!m_thread.joinable())
        return true;
    {
        // A post in progress ends first; none begins after this.
        std::lock_guard lock(m_postMutex);
        m_stop.store(true);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxWaitMs);
    // The signal may land just before the thread enters its wait, so repeat it
    // every 10 ms until the thread has really left.
    while (!m_finished.load()) {
        m_devices.interrupt(m_thread.native_handle());
        for (int i = 0; i < 100 && !m_finished.load(); ++i) {
            Pause(100000);
            if (maxWaitMs >= 0 && std::chrono::steady_clock::now() >= deadline)
                break;
        }
        if (!m_finished.load() && maxWaitMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return false; // inside a driver call that no signal ends
    }
    m_thread.join();
    return true;
}

void ComWatcher::Post(const std::function<void()>& call) {
    std::lock_guard lock(m_postMutex);
    if (!m_stop.load())
        call();
}

void ComWatcher::ReportPolling() {
    if (m_pollingReported)
        return;
    m_pollingReported = true;
    if (m_onPolling)
        Post(m_onPolling);
}

void ComWatcher::Run() {
    m_devices.prepareWaiter();
    const int error = Loop();
    if (error != 0 && m_onEnd)
        Post([this, error] { m_onEnd(error); });
    m_finished.store(true);
}

int ComWatcher::ReadStatus(int& bits) {
    int r;
    do {
        r = m_devices.modemBits(m_fd, bits);
    } while (r == EINTR && !m_stop.load());
    bits &= LevelMask();
    return r;
}

// The lines whose level counts. Where the driver counts only the trailing edge
// of RI, a finish contact on RI is taken from that counted edge, never from its
// level: a level seen while some other line changed would time it wrongly.
int ComWatcher::LevelMask() const {
    return m_options.ringTrailingEdge && m_haveCounters ? m_options.mask & ~TIOCM_RNG : m_options.mask;
}

// TIOCMIWAIT only sees edges after it begins, so an edge while the last capture
// was being posted would wait for the next one; look before waiting.
bool ComWatcher::ChangedSinceCapture(int lastBits, const ModemCounters* lastCounters) {
    if (lastCounters) {
        ModemCounters now;
        if (m_devices.counters(m_fd, now) != 0)
            return false;
        if (CountersDiffer(now, *lastCounters, m_options.mask))
            return true;
    }
    int bits = 0;
    return ReadStatus(bits) == 0 && bits != lastBits;
}

// Reads the lines until they have been quiet for the debounce time. `bits` and
// `counters` end as the settled state; `lastActivity` is the tick of the last
// change seen and `seenOn` collects every line seen on meanwhile.
int ComWatcher::Settle(int& bits, ModemCounters& counters, Tick& lastActivity, int& seenOn) {
    using std::chrono::steady_clock;
    const auto start = steady_clock::now();
    auto quietSince = start;
    const auto quiet = std::chrono::milliseconds(m_options.debounceMs);
    const auto limit = std::chrono::milliseconds(kSettleLimitMs);
    while (!m_stop.load()) {
        Pause(kSettlePollNs);
        int now = 0;
        if (const int r = ReadStatus(now))
            return r;
        ModemCounters c = counters;
        if (m_haveCounters) {
            if (const int r = m_devices.counters(m_fd, c)) {
                if (!Unsupported(r))
                    return r;
                m_haveCounters = false;
                ReportPolling();
                c = counters;
            }
        }
        const auto t = steady_clock::now();
        if (now != bits || CountersDiffer(c, counters, m_options.mask)) {
            bits = now;
            counters = c;
            seenOn |= now;
            lastActivity = m_clock.tick();
            quietSince = t;
        } else if (t - quietSince >= quiet) {
            break;
        }
        if (t - start >= limit)
            break;
    }
    return 0;
}

int ComWatcher::Loop() {
    // The status before the counters: an edge between the two reads then shows
    // as a change of the status at the next look, never as a lost one.
    int lastBits = 0;
    if (const int r = ReadStatus(lastBits))
        return m_stop.load() ? 0 : r; // no modem lines at all: nothing to watch
    ModemCounters lastCounters;
    if (const int r = m_devices.counters(m_fd, lastCounters)) {
        if (!Unsupported(r))
            return r;
        m_haveCounters = false; // pl2303, ch341: no counters, and TIOCMIWAIT relies on them
        ReportPolling();
        if (const int r2 = ReadStatus(lastBits)) // RI's level counts again
            return m_stop.load() ? 0 : r2;
    }
    // Counters still at zero may belong to a driver that never moves them
    // (cp210x), and a wait on those never ends: poll until a change shows
    // whether they count.
    bool countersProven = m_haveCounters && CountersDiffer(lastCounters, ModemCounters{}, m_options.mask);
    bool canWait = true;
    const quint32 watched = StatusFromModemBits(m_options.mask);
    while (!m_stop.load()) {
        if (canWait && m_haveCounters && countersProven) {
            if (!ChangedSinceCapture(lastBits, &lastCounters)) {
                const int r = m_devices.waitModemChange(m_fd, m_options.mask);
                if (r == EINTR)
                    continue;
                if (Unsupported(r)) {
                    canWait = false; // poll instead
                    ReportPolling();
                    continue;
                }
                if (r != 0)
                    return r;
            }
        } else {
            Pause(kPollNs);
            if (m_stop.load())
                break;
            if (!ChangedSinceCapture(lastBits, m_haveCounters ? &lastCounters : nullptr))
                continue;
        }
        // The moment first: its tick and clock of day are the time of the impulse.
        const Moment at = m_clock.moment();
        int bits = 0;
        if (const int r = ReadStatus(bits))
            return m_stop.load() ? 0 : r;
        ModemCounters counters = lastCounters;
        if (m_haveCounters) {
            if (const int r = m_devices.counters(m_fd, counters)) {
                if (!Unsupported(r))
                    return r;
                m_haveCounters = false;
                ReportPolling();
                counters = lastCounters;
            }
        }
        Tick lastActivity = at.tick;
        int seenOn = bits;
        if (m_options.debounceMs > 0) {
            if (const int r = Settle(bits, counters, lastActivity, seenOn))
                return m_stop.load() ? 0 : r;
            if (m_stop.load())
                break;
        }
        if (m_haveCounters && !countersProven) {
            if (CountersDiffer(counters, lastCounters, m_options.mask)) {
                countersProven = true;
            } else if (bits != lastBits) {
                m_haveCounters = false; // the lines moved, the counters did not
                ReportPolling();
            }
        }
        quint32 pulsed = 0;
        if (m_haveCounters)
            pulsed = PulsedLines(lastBits, bits, lastCounters, counters, m_options.ringTrailingEdge) & watched;
        // A line seen on while settling that is off again at both ends was a pulse too.
        pulsed |= StatusFromModemBits(seenOn & ~(lastBits | bits)) & watched;
        if (pulsed && m_options.debounceMs > 0 && TickDiff(lastActivity, at.tick) < m_options.debounceMs) {
            // Shorter than the debounce time: noise. A counted RI trailing edge is
            // all such a driver shows of a pulse, whatever its width.
            pulsed &= m_options.ringTrailingEdge ? kStatusRi : 0u;
        }
        const bool changed = bits != lastBits;
        lastBits = bits;
        if (m_haveCounters)
            lastCounters = counters;
        if (!changed && pulsed == 0)
            continue;
        const ComEvent event{at.tick, StatusFromModemBits(bits) & watched, pulsed, at.clock};
        Post([this, &event] { m_onEvent(event); });
    }
    return 0;
}
