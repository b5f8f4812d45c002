#include "contacts/ComWatcher.h"

#include "platform/Clock.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <iterator>
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

constexpr int kLineBits[] = {TIOCM_CD, TIOCM_DSR, TIOCM_CTS, TIOCM_RNG};

int CounterOf(const ModemCounters& c, int line) {
    switch (line) {
    case TIOCM_CD:
        return c.dcd;
    case TIOCM_DSR:
        return c.dsr;
    case TIOCM_CTS:
        return c.cts;
    default:
        return c.rng;
    }
}

// Lines of `mask` in the same state at two looks whose counters moved by two
// edges or more meanwhile: each went the other way and came back.
int ReturnedLines(int before, int after, const ModemCounters& countersBefore, const ModemCounters& countersAfter,
                  int mask) {
    int returned = 0;
    for (const int line : kLineBits) {
        if (!(mask & line) || ((before ^ after) & line))
            continue;
        // The driver's counters wrap like any int; the unsigned difference survives that.
        const quint32 edges = static_cast<quint32>(CounterOf(countersAfter, line)) -
                              static_cast<quint32>(CounterOf(countersBefore, line));
        if (edges >= 2 && edges < 0x80000000u)
            returned |= line;
    }
    return returned;
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

// One look: the moment first, then the counters, then the status. Counters read
// before the status can only lag behind it: an edge between the two reads shows
// in the status now and in the counters at the next look, so the counters never
// hold an edge whose level the status has not shown yet.
int ComWatcher::Look(Sample& sample, const ModemCounters& previous) {
    sample.at = m_clock.moment();
    sample.counters = previous;
    if (m_haveCounters) {
        if (const int r = m_devices.counters(m_fd, sample.counters)) {
            if (!Unsupported(r))
                return r;
            m_haveCounters = false;
            ReportPolling();
            sample.counters = previous;
        }
    }
    return ReadStatus(sample.bits);
}

// Looks at the lines until they have been quiet for the quiet time; `state`
// ends as the settled lines and counters. A look that finds a change after the
// previous one had been quiet for the quiet time came late (the thread did not
// run, or the next impulse followed closely): what was seen before stands, and
// that look is handed back in `next` as the start of the next impulse.
int ComWatcher::Settle(Sample& state, Settled& settled, Sample& next, bool& carried) {
    using std::chrono::steady_clock;
    const auto start = steady_clock::now();
    auto quietSince = start;
    const int quietMs = m_options.debounceMs;
    const auto quiet = std::chrono::milliseconds(quietMs);
    const auto limit = std::chrono::milliseconds(kSettleLimitMs);
    Tick changedAt = state.at.tick;
    Tick onSince[std::size(kLineBits)];
    for (Tick& since : onSince)
        since = state.at.tick;
    while (!m_stop.load()) {
        Pause(kSettlePollNs);
        Sample look;
        if (const int r = Look(look, state.counters))
            return r;
        const auto t = steady_clock::now();
        if (look.bits != state.bits || CountersDiffer(look.counters, state.counters, m_options.mask)) {
            if (t - quietSince >= quiet || TickDiff(look.at.tick, changedAt) > quietMs) {
                next = look;
                carried = true;
                break;
            }
            for (size_t i = 0; i < std::size(kLineBits); ++i) {
                const int line = kLineBits[i];
                if ((look.bits & line) && !(state.bits & line))
                    onSince[i] = look.at.tick;
                else if (!(look.bits & line) && (state.bits & line) && TickDiff(look.at.tick, onSince[i]) >= quietMs)
                    settled.longOn |= line;
            }
            settled.seenOn |= look.bits;
            state.bits = look.bits;
            state.counters = look.counters;
            changedAt = look.at.tick;
            quietSince = t;
        } else if (t - quietSince >= quiet) {
            break;
        }
        if (t - start >= limit)
            break; // chattering: taken as it stands
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
    bool carried = false;
    Sample next; // a look of the settling before that begins this impulse
    while (!m_stop.load()) {
        Sample now;
        int returned = 0;
        if (carried) {
            carried = false;
            now = next;
            // Lines that went away and came back while the thread did not look:
            // a press after a release, or a whole pulse, each longer than a look.
            returned = ReturnedLines(lastBits, now.bits, lastCounters, now.counters, m_options.mask);
        } else {
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
            if (const int r = Look(now, lastCounters))
                return m_stop.load() ? 0 : r;
        }
        Sample state = now;
        Settled settled;
        settled.seenOn = now.bits;
        if (m_options.debounceMs > 0) {
            if (const int r = Settle(state, settled, next, carried))
                return m_stop.load() ? 0 : r;
            if (m_stop.load())
                break;
        }
        const int bits = state.bits;
        const ModemCounters& counters = state.counters;
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
        if (m_options.debounceMs > 0) {
            // With a quiet time a pulse counts when a look saw it on for that
            // long, or when it passed while the thread did not look. Edges only
            // the counters saw within one look are noise, except a counted RI
            // trailing edge, which is all such a driver shows of a pulse.
            pulsed &= StatusFromModemBits(returned) | (m_options.ringTrailingEdge ? kStatusRi : 0u);
            pulsed |= StatusFromModemBits((settled.longOn & ~(lastBits | bits)) | returned) & watched;
        }
        const bool changed = bits != lastBits;
        lastBits = bits;
        if (m_haveCounters)
            lastCounters = counters;
        if (!changed && pulsed == 0)
            continue;
        const ComEvent event{now.at.tick, StatusFromModemBits(bits) & watched, pulsed, now.at.clock};
        Post([this, &event] { m_onEvent(event); });
    }
    return 0;
}
