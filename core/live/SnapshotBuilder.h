#pragma once

#include "core/live/Snapshot.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

class SortGridData;

// What a snapshot takes besides the protocol grid.
struct SnapshotInputs {
    QString title;
    bool running = false;
    bool classes = false;
    QDateTime now; // the local clock of day when taken
    std::optional<qint64> raceMs;
    QList<int> colWidths; // the protocol grid's column widths
};

// The protocol grid as readers see it; the version is one above `previous`
// (1 without one). The most recent finish is the row whose "Zeit" changed
// since `previous` with the latest "Stopp", else the one `previous` named.
std::shared_ptr<Snapshot> TakeSnapshot(const SortGridData& grid, const SnapshotInputs& inputs,
                                       const Snapshot* previous);

// Title, state, columns and cells alike: a reader would see no change.
bool SameContent(const Snapshot& a, const Snapshot& b);
