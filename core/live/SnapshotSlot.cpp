#include "core/live/SnapshotSlot.h"

void SnapshotSlot::Publish(std::shared_ptr<const Snapshot> snapshot) {
    m_current.store(std::move(snapshot), std::memory_order_release);
}

std::shared_ptr<const Snapshot> SnapshotSlot::Current() const {
    return m_current.load(std::memory_order_acquire);
}
