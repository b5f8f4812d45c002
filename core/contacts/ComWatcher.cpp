#include "core/contacts/ComWatcher.h"

#include "core/platform/Clock.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

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

// Microseconds from `from` to `to` of Clock::micros; a reading made from whole
// ticks wraps with them.
qint64 Elapsed(qint64 from, qint64 to) {
    const qint64 d = to - from;
    return d >= 0 ? d : d + (qint64(1) << 32) * 1000;
}

// A line is looked at on time only when the watcher need not wait for the processor
// behind the window's thread: where the user may (root, or an rtprio limit such as
// the audio group's), the watcher runs under SCHED_FIFO at the lowest real-time
// priority. Refused, it runs as an ordinary thread.
void RaiseThisThreadsPriority() {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO);
    sched_setscheduler(static_cast<pid_t>(gettid()), SCHED_FIFO, &param);
}

} // namespace

ComWatcher::ComWatcher(SerialDevices& devices, const Clock& clock, int fd, WatchOptions options, EventFn onEvent,
                       EndFn onEnd, PollingFn onPolling)
    : m_devices(devices), m_clock(clock), m_fd(fd), m_options(options), m_onEvent(std::move(onEvent)),
      m_onEnd(std::move(onEnd)), m_onPolling(std::move(onPolling)), m_debounceMs(qBound(0, options.debounceMs, 50)),
      m_thread([this] { Run(); }) {}

void ComWatcher::SetDebounce(int ms) {
    m_debounceMs.store(qBound(0, ms, 50));
}

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
    RaiseThisThreadsPriority();
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
    sample.us = m_clock.micros();
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

// Reports a change of the settled lines, timed with the moment at which the
// activity that led to it began.
void ComWatcher::PostChange(const Moment& at, int bits, quint32 pulsed) {
    const ComEvent event{at.tick, StatusFromModemBits(bits & m_options.mask), pulsed, at.clock};
    Post([this, &event] { m_onEvent(event); });
}

// Whether the counters moved by more than the change of level between two looks
// explains: then the line bounced unseen in between.
bool ComWatcher::HiddenEdges(const Sample& from, const Sample& to) const {
    const ModemCounters& a = from.counters;
    const ModemCounters& b = to.counters;
    const int levels = LevelMask();
    const auto hidden = [&](int line, int ModemCounters::*counter) {
        if (!(m_options.mask & line))
            return false;
        const quint32 edges = static_cast<quint32>(b.*counter) - static_cast<quint32>(a.*counter);
        const quint32 seen = (levels & line) && ((from.bits ^ to.bits) & line) ? 1u : 0u;
        return edges > seen;
    };
    return hidden(TIOCM_CTS, &ModemCounters::cts) || hidden(TIOCM_DSR, &ModemCounters::dsr) ||
           hidden(TIOCM_RNG, &ModemCounters::rng) || hidden(TIOCM_CD, &ModemCounters::dcd);
}

// Looks at the lines until they have been quiet for the quiet time. Between
// two looks that find a change the lines rest in one phase; a phase that lasted
// the quiet time counts, and where it differs from `settledBits` that is a
// change of the settled lines, reported with `activity`, the moment of the
// first look after the previous change. Shorter phases are bounce and noise.
// A phase lasted at least from its first look to its last, and that is what
// counts while the looks come on time: a pulse shorter than the quiet time is
// then never taken, however the looks fall on its edges. A look that comes late
// (a busy machine held the watcher up) leaves a gap in which the edge could
// have come at any moment. Where the counters show that edge alone, the phase
// before it lasted until that look, so the release before it ends and the press
// it finds begins instead of merging both into one bounce; where they show more
// edges, the line bounced in the gap, the phase ended with the first of them,
// and it is given half the gap. A phase seen for at least half the quiet time
// after such a gap is a rest, not bounce: it is also given the gap, in case it
// began early in it. A look that settles a phase and finds the line back at
// that level (only the counters moved) saw the bounce that ended it, not the
// next impulse: the next activity begins with the next look that finds a
// change. All of it is measured on the clock of the looks; only a clock without
// a finer reading (one that stands still between ticks) leaves the quiet time
// to the real time. `state` ends as the last look, `settledBits` as the settled
// lines.
int ComWatcher::Settle(int quietMs, Sample& state, int& settledBits, Moment& activity) {
    using std::chrono::steady_clock;
    const auto start = steady_clock::now();
    auto phaseSince = start;
    const auto quiet = std::chrono::milliseconds(quietMs);
    const auto limit = std::chrono::milliseconds(kSettleLimitMs);
    const qint64 quietUs = qint64(quietMs) * 1000;
    bool restAgain = false; // the activity begins with the next look that finds a change
    const auto settle = [&](int bits, const Sample& next) {
        if (bits == settledBits)
            return;
        settledBits = bits;
        PostChange(activity, bits, 0);
        activity = next.at;
        restAgain = next.bits == bits;
    };
    // The phase: the look before it, its first and its last look, and whether
    // its first look came late after a gap.
    qint64 before = state.us, first = state.us, last = state.us;
    bool lateStart = false;
    while (!m_stop.load()) {
        Pause(kSettlePollNs);
        Sample look;
        if (const int r = Look(look, state.counters))
            return r;
        const auto t = steady_clock::now();
        if (look.bits != state.bits || CountersDiffer(look.counters, state.counters, m_options.mask)) {
            if (restAgain) {
                activity = look.at;
                restAgain = false;
            }
            const qint64 gap = Elapsed(last, look.us);
            const bool late = gap > kLateLookUs;
            if (state.bits != settledBits) {
                qint64 lasted = Elapsed(first, last);
                if (late)
                    lasted += HiddenEdges(state, look) ? gap / 2 : gap;
                if (lateStart && Elapsed(first, last) * 2 >= quietUs)
                    lasted += Elapsed(before, first);
                if (lasted >= quietUs)
                    settle(state.bits, look);
            }
            state = look;
            before = last;
            first = look.us;
            lateStart = late;
            phaseSince = t;
        } else if (Elapsed(first, look.us) >= quietUs || (look.us == first && t - phaseSince >= quiet)) {
            break;
        }
        last = look.us;
        if (t - start >= limit)
            break; // chattering: taken as it stands
    }
    if (!m_stop.load())
        settle(state.bits, state);
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
        Sample now;
        if (const int r = Look(now, lastCounters))
            return m_stop.load() ? 0 : r;
        // One quiet time for the whole impulse, also when the setting changes meanwhile.
        const int quietMs = m_debounceMs.load();
        Sample state = now;
        int bits = now.bits;
        if (quietMs > 0) {
            // Settling reports each change of the settled lines itself.
            Moment activity = now.at;
            bits = lastBits;
            if (const int r = Settle(quietMs, state, bits, activity))
                return m_stop.load() ? 0 : r;
            if (m_stop.load())
                break;
        }
        const ModemCounters& counters = state.counters;
        if (m_haveCounters && !countersProven) {
            if (CountersDiffer(counters, lastCounters, m_options.mask)) {
                countersProven = true;
            } else if (state.bits != lastBits) {
                m_haveCounters = false; // the lines moved, the counters did not
                ReportPolling();
            }
        }
        quint32 pulsed = 0;
        if (m_haveCounters)
            pulsed = PulsedLines(lastBits, bits, lastCounters, counters, m_options.ringTrailingEdge) & watched;
        // With a quiet time, edges only the counters saw came and went within one
        // look: noise. A counted RI trailing edge is all such a driver shows of a
        // pulse, whatever its width.
        if (quietMs > 0)
            pulsed &= m_options.ringTrailingEdge ? kStatusRi : 0u;
        const bool changed = quietMs == 0 && bits != lastBits;
        lastBits = bits;
        if (m_haveCounters)
            lastCounters = counters;
        if (!changed && pulsed == 0)
            continue;
        PostChange(now.at, bits, pulsed);
    }
    return 0;
}
