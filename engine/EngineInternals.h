// What white-box tests read of an engine's insides; reached through the internals target.
#pragma once

#include <vector>

#include "CoefBlock.h"
#include "JpegRotation.h"

namespace pivotta {

struct EngineInternals {
    // The blocks of a component slot from the engine's last run, already transformed, in
    // raster order.
    static std::vector<CoefBlock> Coefficients(const TJpegRotation& engine, int slot);
};

}  // namespace pivotta
