#pragma once

#include "core/live/Snapshot.h"

#include <atomic>
#include <memory>

// The one place where the GUI thread hands a snapshot to the readers: the
// pointer is swapped atomically, the snapshot itself is never changed.
class SnapshotSlot {
public:
    void Publish(std::shared_ptr<const Snapshot> snapshot);
    // The newest snapshot, or none before the first one.
    std::shared_ptr<const Snapshot> Current() const;

private:
    std::atomic<std::shared_ptr<const Snapshot>> m_current;
};
