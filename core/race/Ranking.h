#pragma once

#include "core/base/TimeText.h"
#include "core/grid/SortGridData.h"

#include <QHash>
#include <QString>

struct RankingOptions {
    bool individualStart = true;
    bool classMode = false;
    int fractionDigits = 2;
};

// Texts one ranking computed, for the next one: a finish changes one row, and the
// others keep their time values and (while the leader stays) their gap texts, so
// they are looked up instead of parsed and formatted again. Never changes a result.
class RankingTexts {
public:
    TimeValue Time(const QString& zeit, int digits);
    // The gap text of `zeit` behind the overall leader.
    const QString& Gap(const QString& zeit, TimeValue leader, int digits);

private:
    void Keep(int digits);

    int m_digits = -1;
    TimeValue m_leader = 0;
    QHash<QString, TimeValue> m_times;
    QHash<QString, QString> m_gaps;
};

// Sorts the protocol by "Zeit" (ties by "Split"), writes overall places, in
// class mode class places and gaps to the class leader, in individual start
// without class mode the gaps to the overall leader. Places follow standard
// competition ranking on the "Zeit" texts (1, 1, 3). Returns the first row
// without a time (exactly empty, else exactly one blank), or -1. Rows already in
// order are not moved and cells that keep their text are not written.
int RankProtocolRows(SortGridData& grid, const RankingOptions& options);
int RankProtocolRows(SortGridData& grid, const RankingOptions& options, RankingTexts& texts);
