#include "core/contacts/ComWatcher.h"

#include "core/platform/Clock.h"

#include <algorithm>
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

// The lines in `mask` whose counters differ.
int CounterLines(const ModemCounters& a, const ModemCounters& b, int mask) {
    return mask & ((a.cts != b.cts ? TIOCM_CTS : 0) | (a.dsr != b.dsr ? TIOCM_DSR : 0) |
                   (a.rng != b.rng ? TIOCM_RNG : 0) | (a.dcd != b.dcd ? TIOCM_CD : 0));
}

bool CountersDiffer(const ModemCounters& a, const ModemCounters& b, int mask) {
    return CounterLines(a, b, mask) != 0;
}

// Microseconds from `from` to `to` of Clock::micros; a reading made from whole
// ticks wraps with them.
qint64 Elapsed(qint64 from, qint64 to) {
    const qint64 d = to - from;
    return d >= 0 ? d : d + (qint64(1) << 32) * 1000;
}

constexpr int kLines[] = {TIOCM_CTS, TIOCM_DSR, TIOCM_RNG, TIOCM_CD};

// When each line's own activity began: a line chattering does not date the
// impulse of another.
class LineActivity {
public:
    void Begin(int lines, const Moment& at) {
        for (int i = 0; i < 4; ++i)
            if ((lines & kLines[i]) && !m_active[i]) {
                m_active[i] = true;
                m_at[i] = at;
            }
    }
    // The lines' last change, for telling noise that has died down.
    void Touch(int lines, qint64 us) {
        for (int i = 0; i < 4; ++i)
            if (lines & kLines[i])
                m_lastUs[i] = us;
    }
    void End(int lines) {
        for (int i = 0; i < 4; ++i)
            if (lines & kLines[i])
                m_active[i] = false;
    }
    // Active lines of `candidates` quiet since `quietUs` before `us`.
    int Quiet(int candidates, qint64 us, qint64 quietUs) const {
        int quiet = 0;
        for (int i = 0; i < 4; ++i)
            if ((candidates & kLines[i]) && m_active[i] && Elapsed(m_lastUs[i], us) >= quietUs)
                quiet |= kLines[i];
        return quiet;
    }
    // The earliest beginning among `lines`, else among all, else `fallback`.
    Moment Earliest(int lines, const Moment& fallback) const {
        for (int pass = 0; pass < 2; ++pass) {
            int best = -1;
            for (int i = 0; i < 4; ++i)
                if (m_active[i] && (pass == 1 || (lines & kLines[i])) &&
                    (best < 0 || TickDiff(m_at[i].tick, m_at[best].tick) < 0))
                    best = i;
            if (best >= 0)
                return m_at[best];
        }
        return fallback;
    }

private:
    bool m_active[4] = {};
    Moment m_at[4];
    qint64 m_lastUs[4] = {};
};

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
                       EndFn onEnd, ModeFn onMode)
    : m_devices(devices), m_clock(clock), m_fd(fd), m_options(options), m_onEvent(std::move(onEvent)),
      m_onEnd(std::move(onEnd)), m_onMode(std::move(onMode)), m_debounceMs(qBound(0, options.debounceMs, 50)),
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

// Tells the receiver each time the watcher starts or stops reading the status
// every millisecond; it starts out as waiting.
void ComWatcher::ReportMode(bool polling) {
    if (polling == m_reportedPolling)
        return;
    m_reportedPolling = polling;
    if (m_onMode)
        Post([this, polling] { m_onMode(polling); });
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
    bits &= m_options.mask;
    if (r == 0)
        m_rawBits = bits;
    bits &= LevelMask();
    return r;
}

// The lines whose level counts. Where the driver counts only the trailing edge
// of RI, a finish contact on RI is taken from that counted edge, never from its
// level: its rising edge wakes nobody, so a level seen while some other line
// changed would time it wrongly. The level is still reported with each change.
int ComWatcher::LevelMask() const {
    return m_options.ringTrailingEdge && m_haveCounters ? m_options.mask & ~TIOCM_RNG : m_options.mask;
}

// Whether anything changed since the last capture: the counters, and the status
// where `readStatus`. Every error but a missing counter call is the port's loss
// (a hung-up tty answers EIO to everything).
int ComWatcher::LookForChange(int lastBits, const ModemCounters& lastCounters, bool readStatus, bool& changed) {
    changed = false;
    if (m_haveCounters) {
        ModemCounters now;
        if (const int r = m_devices.counters(m_fd, now)) {
            if (!Unsupported(r))
                return r;
            m_haveCounters = false;
            readStatus = true;
        } else if (CountersDiffer(now, lastCounters, m_options.mask)) {
            changed = true;
            return 0;
        }
    }
    if (!readStatus)
        return 0;
    int bits = 0;
    if (const int r = ReadStatus(bits))
        return r;
    changed = bits != lastBits;
    return 0;
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
            sample.counters = previous;
        }
    }
    return ReadStatus(sample.bits);
}

// The lines that differ between two looks: in level, or in their counters.
int ComWatcher::ChangedLines(const Sample& from, const Sample& to) const {
    return (from.bits ^ to.bits) | CounterLines(from.counters, to.counters, m_options.mask);
}

// Reports a change of the settled lines, timed with the moment at which the
// activity that led to it began. A line whose level does not count goes with
// the level it was last read at.
void ComWatcher::PostChange(const Moment& at, int bits, quint32 pulsed) {
    const int levels = LevelMask();
    const int status = (bits & levels) | (m_rawBits & m_options.mask & ~levels);
    const ComEvent event{at.tick, StatusFromModemBits(status), pulsed, at.clock};
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
// change of the settled lines, reported with the moment at which the activity
// of the lines that changed began: each line's activity begins with the first
// look that finds it changed, so one line's chatter does not date another
// line's impulse, and ends when it settles or dies down for the quiet time.
// `startLines` changed at the look in `state`. Shorter phases are bounce and noise.
// A phase lasted at least from its first look to its last, and that is what
// counts while the looks come on time: a pulse shorter than the quiet time is
// then never taken, however the looks fall on its edges. A look that comes late
// (a busy machine held the watcher up) leaves a gap in which the edge could
// have come at any moment. Where the counters show that edge alone, the phase
// before it lasted until that look, so the release before it ends and the press
// it finds begins instead of merging both into one bounce; where they show more
// edges, the line bounced in the gap, the phase ended with the first of them,
// and it is given half the gap. The phase after a late look began somewhere in
// the gap, and it is given the whole gap, unless the phase before needed the
// gap to last the quiet time. One gap gives the benefit of the doubt to one
// phase only, and a phase takes it from one gap only, the larger: a press is
// not lost to a stalled watcher, while a spike before a press and the press
// are not two impulses, nor is a bounce looked at late throughout one. Activity of a line back
// at its settled level that may have died down in such a gap (by its middle)
// has ended: what the late look finds is a new impulse, not the old noise's
// tail. A look that settles a line and finds it back at that level
// (only the counters moved) saw the bounce that ended it, not the next impulse:
// that line's next activity begins with the next look that finds it changed.
// All of it is measured on the clock of the looks; only a clock without a finer
// reading (one that stands still between ticks) leaves the quiet time to the
// real time. `lateUs` is the gap before the look in `state` where it came late.
// `state` ends as the last look, `settledBits` as the settled lines.
int ComWatcher::Settle(int quietMs, Sample& state, int& settledBits, int startLines, qint64 lateUs) {
    using std::chrono::steady_clock;
    const auto start = steady_clock::now();
    auto phaseSince = start;
    const auto quiet = std::chrono::milliseconds(quietMs);
    const auto limit = std::chrono::milliseconds(kSettleLimitMs);
    const qint64 quietUs = qint64(quietMs) * 1000;
    const Moment woke = state.at;
    LineActivity activity;
    activity.Begin(startLines, state.at);
    activity.Touch(startLines, state.us);
    // Settles the lines at `bits`; returns the lines that settled.
    const auto settle = [&](int bits, const Sample& next, int changedAtNext) {
        if (bits == settledBits)
            return 0;
        const int lines = bits ^ settledBits;
        settledBits = bits;
        PostChange(activity.Earliest(lines, woke), bits, 0);
        activity.End(lines);
        activity.Begin(lines & changedAtNext & (next.bits ^ bits), next.at);
        return lines;
    };
    // The phase: its first and its last look, and what the gap before its first
    // look may add to it (a late look: the edge that began it came somewhere in
    // that gap).
    qint64 first = state.us, last = state.us;
    qint64 startCredit = lateUs;
    while (!m_stop.load()) {
        Pause(kSettlePollNs);
        Sample look;
        if (const int r = Look(look, state.counters))
            return r;
        const auto t = steady_clock::now();
        const int changed = ChangedLines(state, look);
        if (changed) {
            const qint64 gap = Elapsed(last, look.us);
            const bool late = gap > kLateLookUs;
            const bool hidden = late && HiddenEdges(state, look);
            if (late) // noise that may have died down in the gap: what comes now is new
                activity.End(activity.Quiet(m_options.mask & ~(state.bits ^ settledBits), look.us - gap / 2, quietUs));
            bool gapTaken = false; // the phase that ended needed the gap to last the quiet time
            int ended = 0;
            if (state.bits != settledBits) {
                const qint64 seen = Elapsed(first, last);
                const qint64 endCredit = late ? (hidden ? gap / 2 : gap) : 0;
                if (seen + std::max(startCredit, endCredit) >= quietUs) {
                    ended = settle(state.bits, look, changed);
                    gapTaken = seen + startCredit < quietUs;
                }
            }
            activity.Begin(changed & ~ended, look.at);
            activity.Touch(changed, look.us);
            state = look;
            first = look.us;
            startCredit = late && !gapTaken ? gap : 0;
            phaseSince = t;
        } else if (Elapsed(first, look.us) >= quietUs || (look.us == first && t - phaseSince >= quiet)) {
            break;
        }
        // A line back at its settled level and quiet for the quiet time was noise.
        activity.End(activity.Quiet(m_options.mask & ~(look.bits ^ settledBits), look.us, quietUs));
        last = look.us;
        if (t - start >= limit)
            break; // chattering: taken as it stands
    }
    if (!m_stop.load())
        settle(state.bits, state, 0);
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
            return m_stop.load() ? 0 : r;
        m_haveCounters = false;                  // pl2303, ch341: no counters, and TIOCMIWAIT relies on them
        if (const int r2 = ReadStatus(lastBits)) // RI's level counts again
            return m_stop.load() ? 0 : r2;
    }
    // Counters still at zero may belong to a driver that never moves them
    // (cp210x), or to a 16550 whose modem-status interrupt has been off (with
    // CLOCAL it stays off until a TIOCMIWAIT switches it on). So the watcher
    // waits from the start wherever the driver can, and until the counters have
    // moved it also compares the status at every wake.
    bool countersProven = m_haveCounters && CountersDiffer(lastCounters, ModemCounters{}, m_options.mask);
    bool canWait = m_haveCounters;
    const quint32 watched = StatusFromModemBits(m_options.mask);
    const auto polling = [&] { return !m_haveCounters || !canWait || !countersProven; };
    auto checkedAt = std::chrono::steady_clock::now(); // the last look that found nothing new
    // A 16550 counts only once a wait has switched its interrupt on; reading the
    // status before that clears what it latched. Lines that moved without their
    // counters prove a driver without counters only where a wait had begun
    // before the last look that found nothing new.
    bool waitBegun = false, countingSure = false;
    bool woken = false;
    while (!m_stop.load()) {
        ReportMode(polling());
        if (!woken) {
            // An edge between this look and the kernel's snapshot at the wait's
            // entry wakes no wait: the wait ends every kWakeNs to look again.
            bool changed = false;
            if (const int r = LookForChange(lastBits, lastCounters, polling(), changed))
                return m_stop.load() ? 0 : r;
            if (!m_haveCounters)
                canWait = false;
            if (!changed) {
                checkedAt = std::chrono::steady_clock::now();
                countingSure = waitBegun;
                if (!canWait) {
                    Pause(kPollNs);
                    continue;
                }
                waitBegun = true;
                const int r = m_devices.waitModemChange(m_fd, m_options.mask, kWakeNs);
                woken = r == 0;
                if (r == 0 || r == EINTR || r == ETIMEDOUT)
                    continue;
                if (Unsupported(r)) {
                    canWait = false; // poll instead
                    continue;
                }
                return m_stop.load() ? 0 : r;
            }
        }
        woken = false;
        // The moment first: its tick and clock of day are the time of the impulse.
        Sample now;
        if (const int r = Look(now, lastCounters))
            return m_stop.load() ? 0 : r;
        const auto lookedAt = std::chrono::steady_clock::now();
        // One quiet time for the whole impulse, also when the setting changes meanwhile.
        const int quietMs = m_debounceMs.load();
        if (quietMs > 0 && m_haveCounters) {
            // A look that came late may find a pulse over that lasted the quiet
            // time: it lies somewhere between the last look that found nothing
            // and this one, and it is given half of that, as bounce in a gap is.
            const auto gap = std::chrono::duration_cast<std::chrono::microseconds>(lookedAt - checkedAt).count();
            const quint32 ring = m_options.ringTrailingEdge ? kStatusRi : 0u;
            const quint32 hidden =
                PulsedLines(lastBits, now.bits, lastCounters, now.counters, m_options.ringTrailingEdge) & watched &
                ~ring;
            if (hidden && gap / 2 >= qint64(quietMs) * 1000)
                PostChange(now.at, lastBits, hidden);
        }
        Sample state = now;
        int bits = now.bits;
        if (quietMs > 0) {
            // Settling reports each change of the settled lines itself.
            Sample last;
            last.bits = lastBits;
            last.counters = lastCounters;
            bits = lastBits;
            // Woken late, the line had bounced before this look: the phase it
            // finds began somewhere since the last look that found nothing new.
            const qint64 sinceCheckUs =
                std::chrono::duration_cast<std::chrono::microseconds>(lookedAt - checkedAt).count();
            const qint64 lateUs = HiddenEdges(last, now) ? sinceCheckUs : 0;
            if (const int r = Settle(quietMs, state, bits, ChangedLines(last, now), lateUs))
                return m_stop.load() ? 0 : r;
            if (m_stop.load())
                break;
        }
        const ModemCounters& counters = state.counters;
        if (m_haveCounters && !countersProven) {
            if (CountersDiffer(counters, lastCounters, m_options.mask)) {
                countersProven = true;
            } else if (state.bits != lastBits && countingSure) {
                // The lines moved, the counters did not; unless they only lagged
                // behind the status, read just after them.
                ModemCounters again;
                if (m_devices.counters(m_fd, again) == 0 && CountersDiffer(again, lastCounters, m_options.mask)) {
                    countersProven = true;
                } else {
                    const int levels = LevelMask();
                    m_haveCounters = false;
                    canWait = false;
                    bits |= m_rawBits & m_options.mask & ~levels; // RI's level counts from now on
                }
            }
        }
        quint32 pulsed = 0;
        if (m_haveCounters)
            pulsed = PulsedLines(lastBits, bits, lastCounters, counters, m_options.ringTrailingEdge) & watched;
        // With a quiet time, edges only the counters saw came and went within one
        // look: noise. A counted RI trailing edge is all such a driver shows of a
        // pulse, whatever its width, and it counts once RI has settled off: the
        // trailing edges in the bounce of a press on RI are no impulse.
        if (quietMs > 0)
            pulsed &= m_options.ringTrailingEdge && !(m_rawBits & TIOCM_RNG) ? kStatusRi : 0u;
        const bool changed = quietMs == 0 && bits != lastBits;
        lastBits = bits;
        if (m_haveCounters)
            lastCounters = counters;
        checkedAt = std::chrono::steady_clock::now();
        countingSure = waitBegun;
        if (!changed && pulsed == 0)
            continue;
        PostChange(now.at, bits, pulsed);
    }
    return 0;
}
