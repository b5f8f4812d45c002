#include "contacts/ComWatcher.h"

#include "platform/SerialDevices.h"

#include <cerrno>
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

} // namespace

ComWatcher::ComWatcher(SerialDevices& devices, const Clock& clock, int fd, int mask, EventFn onEvent, EndFn onEnd)
    : m_devices(devices), m_clock(clock), m_fd(fd), m_mask(mask), m_onEvent(std::move(onEvent)),
      m_onEnd(std::move(onEnd)), m_thread([this] { Run(); }) {}

ComWatcher::~ComWatcher() {
    Stop();
}

void ComWatcher::Stop() {
    if (!m_thread.joinable())
        return;
    m_stop.store(true);
    // The signal may land just before the thread enters its wait, so repeat it
    // every 10 ms until the thread has really left.
    while (!m_finished.load()) {
        m_devices.interrupt(m_thread.native_handle());
        for (int i = 0; i < 100 && !m_finished.load(); ++i)
            Pause(100000);
    }
    m_thread.join();
}

void ComWatcher::Run() {
    m_devices.prepareWaiter();
    const int error = Loop();
    if (error != 0 && !m_stop.load() && m_onEnd)
        m_onEnd(error);
    m_finished.store(true);
}

int ComWatcher::ReadStatus(int& bits) {
    int r;
    do {
        r = m_devices.modemBits(m_fd, bits);
    } while (r == EINTR && !m_stop.load());
    return r;
}

// TIOCMIWAIT only sees edges after it begins, so an edge while the last capture
// was being posted would wait for the next one; look before waiting.
bool ComWatcher::ChangedSinceCapture(int lastBits, const ModemCounters* lastCounters) {
    if (lastCounters) {
        ModemCounters now;
        if (m_devices.counters(m_fd, now) != 0)
            return false;
        return ((m_mask & TIOCM_CTS) && now.cts != lastCounters->cts) ||
               ((m_mask & TIOCM_DSR) && now.dsr != lastCounters->dsr) ||
               ((m_mask & TIOCM_RNG) && now.rng != lastCounters->rng) ||
               ((m_mask & TIOCM_CD) && now.dcd != lastCounters->dcd);
    }
    int bits = 0;
    return m_devices.modemBits(m_fd, bits) == 0 && ((bits ^ lastBits) & m_mask) != 0;
}

int ComWatcher::Loop() {
    int lastBits = 0;
    if (const int r = ReadStatus(lastBits))
        return m_stop.load() ? 0 : r; // no modem lines at all: nothing to watch
    ModemCounters lastCounters;
    bool haveCounters = true;
    if (const int r = m_devices.counters(m_fd, lastCounters)) {
        if (!Unsupported(r))
            return r;
        haveCounters = false; // pl2303, ch341: the status alone has to do
    }
    bool canWait = true;
    while (!m_stop.load()) {
        if (canWait) {
            if (!ChangedSinceCapture(lastBits, haveCounters ? &lastCounters : nullptr)) {
                const int r = m_devices.waitModemChange(m_fd, m_mask);
                if (r == EINTR)
                    continue;
                if (Unsupported(r)) {
                    canWait = false; // cp210x: poll instead
                    continue;
                }
                if (r != 0)
                    return r;
            }
        } else {
            Pause(kPollNs);
            if (m_stop.load())
                break;
        }
        // The moment first: its tick and clock of day are the time of the impulse.
        const Moment at = m_clock.moment();
        int bits = 0;
        if (const int r = ReadStatus(bits))
            return m_stop.load() ? 0 : r;
        ModemCounters counters;
        if (haveCounters) {
            if (const int r = m_devices.counters(m_fd, counters)) {
                if (!Unsupported(r))
                    return r;
                haveCounters = false;
            }
        }
        const quint32 watched = StatusFromModemBits(m_mask);
        const quint32 pulsed = haveCounters ? PulsedLines(lastBits, bits, lastCounters, counters) & watched : 0;
        const bool changed = ((bits ^ lastBits) & m_mask) != 0;
        lastBits = bits;
        if (haveCounters)
            lastCounters = counters;
        if (!changed && pulsed == 0)
            continue;
        m_onEvent(ComEvent{at.tick, StatusFromModemBits(bits), pulsed, at.clock});
    }
    return 0;
}
