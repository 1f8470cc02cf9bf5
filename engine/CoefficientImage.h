// The quantized coefficients of every component of a frame, each over its whole MCU grid
// (ScanLayout.h's planes): what the scans of a multi-scan or progressive file decode into,
// and what the output's scans are encoded from. Memory comes zeroed from the system and is
// committed as blocks are written, so a large frame with little data costs little.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "CoefBlock.h"
#include "ScanLayout.h"
#include "TransformKind.h"

namespace pivotta {

struct ComponentGrid {
    int h = 1, v = 1;  // sampling factors
    size_t blocksWide = 0, blocksHigh = 0;
};

class CoefficientImage {
public:
    // Zeroed planes of these grids; false when the memory cannot be had or its size does
    // not fit in a size_t.
    [[nodiscard]] bool Allocate(const std::vector<ComponentGrid>& grids);

    std::span<const CoefficientPlane> Planes() const { return views_; }
    const ComponentGrid& Grid(size_t c) const { return grids_[c]; }
    size_t ComponentCount() const { return grids_.size(); }

    // The image a transform makes of this one, which it consumes. Each component keeps its
    // grid less `dropCols` and `dropRows` blocks at the right and bottom (a trimmed ragged
    // edge); every kept block moves where the transform puts it and is rearranged and
    // sign-flipped (BlockTransforms.h). Kinds that keep the axes work in place; the others
    // need a second image at once. False when its memory cannot be had.
    [[nodiscard]] bool Transform(TransformKind kind, const std::vector<size_t>& dropCols,
                                 const std::vector<size_t>& dropRows, CoefficientImage& out) &&;

private:
    struct Free {
        void operator()(CoefBlock* p) const { std::free(p); }
    };
    std::vector<std::unique_ptr<CoefBlock, Free>> storage_;
    std::vector<CoefficientPlane> views_;
    std::vector<ComponentGrid> grids_;
};

}  // namespace pivotta
