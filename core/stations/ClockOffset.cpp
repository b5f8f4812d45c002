#include "core/stations/ClockOffset.h"

bool ClockOffset::Add(qint64 t1, qint64 t2, qint64 t3, qint64 t4) {
    const qint64 roundTrip = (t4 - t1) - (t3 - t2);
    if (roundTrip < 0 || t3 < t2 || t4 < t1)
        return false;
    // Rounded towards the nearer millisecond, halves away from zero.
    const qint64 twice = (t2 - t1) + (t3 - t4);
    const qint64 offset = twice >= 0 ? (twice + 1) / 2 : -((-twice + 1) / 2);
    m_samples[static_cast<size_t>(m_next)] = {offset, roundTrip};
    m_next = (m_next + 1) % kWindow;
    m_count = qMin(m_count + 1, kWindow);
    return true;
}

std::optional<ClockOffset::Estimate> ClockOffset::Best() const {
    if (m_count == 0)
        return std::nullopt;
    const Sample* best = &m_samples[0];
    for (int i = 1; i < m_count; ++i)
        if (m_samples[static_cast<size_t>(i)].roundTrip < best->roundTrip)
            best = &m_samples[static_cast<size_t>(i)];
    return Estimate{best->offset, (best->roundTrip + 1) / 2};
}

void ClockOffset::Clear() {
    m_count = 0;
    m_next = 0;
}
