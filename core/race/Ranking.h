#pragma once

#include "core/grid/SortGridData.h"

struct RankingOptions {
    bool individualStart = true;
    bool classMode = false;
    int fractionDigits = 2;
};

// Sorts the protocol by "Zeit" (ties by "Split"), writes overall places, in
// class mode class places and gaps to the class leader, in individual start
// without class mode the gaps to the overall leader. Places follow standard
// competition ranking on the "Zeit" texts (1, 1, 3). Returns the first row
// without a time (exactly empty, else exactly one blank), or -1.
int RankProtocolRows(SortGridData& grid, const RankingOptions& options);
