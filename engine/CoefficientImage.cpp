#include "CoefficientImage.h"

#include <limits>

#include "BlockTransforms.h"

namespace pivotta {

bool CoefficientImage::Allocate(const std::vector<ComponentGrid>& grids) {
    storage_.clear();
    views_.clear();
    grids_ = grids;
    for (const ComponentGrid& g : grids) {
        if (g.blocksHigh != 0 && g.blocksWide > std::numeric_limits<size_t>::max() / sizeof(CoefBlock) / g.blocksHigh)
            return false;
        const size_t count = g.blocksWide * g.blocksHigh;
        // calloc: the system's zero pages, committed only where blocks are written.
        CoefBlock* blocks = static_cast<CoefBlock*>(std::calloc(count == 0 ? 1 : count, sizeof(CoefBlock)));
        if (blocks == nullptr) return false;
        storage_.emplace_back(blocks);
        views_.push_back({blocks, g.blocksWide});
    }
    return true;
}

namespace {

struct Point {
    size_t x, y;
};

// Where output block (x, y) of a kept input grid w x h comes from: the output's x runs along
// the input's y when the kind swaps axes, backwards when it reverses x; the same for its y.
inline Point SourceOf(const TransformFacts& f, size_t x, size_t y, size_t w, size_t h) {
    const size_t alongX = f.reversesX ? (f.swapsAxes ? h : w) - 1 - x : x;
    const size_t alongY = f.reversesY ? (f.swapsAxes ? w : h) - 1 - y : y;
    return f.swapsAxes ? Point{alongY, alongX} : Point{alongX, alongY};
}

}  // namespace

bool CoefficientImage::Transform(TransformKind kind, const std::vector<size_t>& dropCols,
                                 const std::vector<size_t>& dropRows, CoefficientImage& out) && {
    const TransformFacts& facts = Facts(kind);
    const BlockTransform& block = kBlockTransforms[static_cast<size_t>(kind)];
    std::vector<ComponentGrid> outGrids;
    for (size_t c = 0; c < grids_.size(); ++c) {
        const ComponentGrid& g = grids_[c];
        const size_t w = g.blocksWide - dropCols[c], h = g.blocksHigh - dropRows[c];
        outGrids.push_back(facts.swapsAxes ? ComponentGrid{g.v, g.h, h, w} : ComponentGrid{g.h, g.v, w, h});
    }
    if (!facts.swapsAxes) {
        // The mapping is its own inverse: each pair of blocks is exchanged once.
        for (size_t c = 0; c < grids_.size(); ++c) {
            const CoefficientPlane& plane = views_[c];
            const size_t w = outGrids[c].blocksWide, h = outGrids[c].blocksHigh;
            for (size_t y = 0; y < h; ++y) {
                for (size_t x = 0; x < w; ++x) {
                    const Point from = SourceOf(facts, x, y, w, h);
                    const size_t here = y * w + x, there = from.y * w + from.x;
                    if (there < here) continue;
                    CoefBlock& a = plane.At(x, y);
                    CoefBlock& b = plane.At(from.x, from.y);
                    ApplyBlockTransform(block, a);
                    if (there != here) {
                        ApplyBlockTransform(block, b);
                        std::swap(a, b);
                    }
                }
            }
        }
        out.storage_ = std::move(storage_);
        out.views_ = std::move(views_);
        out.grids_ = std::move(outGrids);
        return true;
    }
    CoefficientImage result;
    if (!result.Allocate(outGrids)) return false;
    for (size_t c = 0; c < grids_.size(); ++c) {
        const size_t w = outGrids[c].blocksWide, h = outGrids[c].blocksHigh;
        const size_t inW = h, inH = w;  // the kept input grid
        for (size_t y = 0; y < h; ++y) {
            for (size_t x = 0; x < w; ++x) {
                const Point from = SourceOf(facts, x, y, inW, inH);
                CoefBlock& target = result.views_[c].At(x, y);
                target = views_[c].At(from.x, from.y);
                ApplyBlockTransform(block, target);
            }
        }
        storage_[c].reset();  // each input plane goes as soon as it is used
    }
    out = std::move(result);
    return true;
}

}  // namespace pivotta
