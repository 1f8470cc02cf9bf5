#include "GainMapCoverage.h"

#include <algorithm>
#include <cmath>

namespace pivotta {
namespace {

struct Span {
    double lo, hi;
};

// The source span one axis of a picture shows after the turn; moves: the transform brings this
// axis's far edge to the near side. Trimming keeps a dimension smaller than one MCU whole, as
// the engine does.
Span Shown(int size, int mcu, bool moves, bool trim) {
    if (!moves || size % mcu == 0) return {0, double(size)};
    if (trim && size >= mcu) return {0, double(size / mcu * mcu)};
    const int padded = (size + mcu - 1) / mcu * mcu;
    return {double(padded - size), double(padded)};
}

double AxisError(int mainSize, int mainMcu, bool mainTrim, int mapSize, int mapMcu, bool mapTrim, bool moves) {
    const Span m = Shown(mainSize, mainMcu, moves, mainTrim);
    const Span g = Shown(mapSize, mapMcu, moves, mapTrim);
    const double scale = double(mapSize) / mainSize;
    return std::max(std::abs(g.lo - m.lo * scale), std::abs(g.hi - m.hi * scale));
}

}  // namespace

std::optional<GainMapPlan> PlanGainMap(const PictureGrid& main, bool mainTrimmed, const PictureGrid& gainMap,
                                       TransformKind kind) {
    if (main.width <= 0 || main.height <= 0 || gainMap.width <= 0 || gainMap.height <= 0) return std::nullopt;
    std::optional<GainMapPlan> best;
    // The main picture's own choice first, so that equal errors keep the two runs alike.
    for (const bool trim : {mainTrimmed, !mainTrimmed}) {
        const double error = std::max(
            AxisError(main.width, main.mcuWidth, mainTrimmed, gainMap.width, gainMap.mcuWidth, trim, TrimsRightEdge(kind)),
            AxisError(main.height, main.mcuHeight, mainTrimmed, gainMap.height, gainMap.mcuHeight, trim,
                      TrimsBottomEdge(kind)));
        if (error <= 1.0 + 1e-9 && (!best || error < best->worstError)) best = GainMapPlan{trim, error};
    }
    return best;
}

}  // namespace pivotta
