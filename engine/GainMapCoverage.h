// Whether a gain map can be turned so that it still covers the turned main picture.
//
// Readers stretch a gain map over the whole main picture and sample it by relative position.
// A lossless turn of either picture shows, along each axis, one of three spans of its source:
// all of it (a whole number of MCUs, or an axis whose ragged edge stays at the far side), its
// whole MCUs only (the ragged edge trimmed), or the span shifted by the MCU padding (a ragged
// edge moved inside, untrimmed). The main picture's span is fixed by the user's choice; the
// gain map's is chosen here, trimmed or not, so that both ends of its span land within one
// gain-map pixel of where the main picture's span maps to. When neither choice does, the gain
// map cannot follow losslessly and the transform is refused.
#pragma once

#include <optional>

#include "TransformKind.h"

namespace pivotta {

struct PictureGrid {
    int width = 0, height = 0;
    int mcuWidth = 8, mcuHeight = 8;
};

struct GainMapPlan {
    bool trim = false;       // AllowAdjustMCU for the gain map's own run
    double worstError = 0;   // in gain-map pixels, at either end of either axis
};

// None when no choice keeps the gain map within one of its pixels.
std::optional<GainMapPlan> PlanGainMap(const PictureGrid& main, bool mainTrimmed, const PictureGrid& gainMap,
                                       TransformKind kind);

}  // namespace pivotta
