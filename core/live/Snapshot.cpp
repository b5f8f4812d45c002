#include "core/live/Snapshot.h"

namespace {
constexpr qint64 kDayMs = 24LL * 60 * 60 * 1000;
}

QString Snapshot::Cell(int col, int row) const {
    if (row < 0 || row >= RowCount())
        return QString();
    return cells[static_cast<size_t>(row)].value(col);
}

qint64 Snapshot::DayMsNow() const {
    const qint64 age = taken.isValid() ? taken.elapsed() : 0;
    return (dayMs + age) % kDayMs;
}

std::optional<qint64> Snapshot::RaceMsNow() const {
    if (!raceMs)
        return std::nullopt;
    return *raceMs + (taken.isValid() ? taken.elapsed() : 0);
}
