// The expected result of each lossless transform, written as plain geometry: the picture's
// block grid (padding blocks included) moves as the picture does, and each block's
// coefficients move and change sign as the pixels inside it would.
#include <algorithm>

#include <gtest/gtest.h>

#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using pivotta::TransformKind;

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

// The ragged last MCU column or row goes when trimming applies to that dimension and the
// picture has at least one whole MCU there; a picture smaller than one MCU stays whole.
int TrimmedSize(int size, int mcuSize, bool trimHere) {
    if (!trimHere || size % mcuSize == 0 || size < mcuSize) return size;
    return size - size % mcuSize;
}

// Natural-order coefficient (row v, column u) of the output block, from the input block.
// A transposition exchanges the two frequencies; then a horizontal flip of the samples
// negates the odd horizontal frequencies, a vertical flip the odd vertical ones.
int16_t TransformedCoefficient(const NaturalBlock& in, TransformKind kind, int v, int u) {
    const pivotta::TransformFacts& f = pivotta::Facts(kind);
    const int value = f.swapsAxes ? in[u * 8 + v] : in[v * 8 + u];
    const bool negate = (f.reversesX && u % 2 == 1) != (f.reversesY && v % 2 == 1);
    return static_cast<int16_t>(negate ? -value : value);
}

NaturalBlock TransformBlock(const NaturalBlock& in, TransformKind kind) {
    NaturalBlock out{};
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) out[v * 8 + u] = TransformedCoefficient(in, kind, v, u);
    return out;
}

struct GridPoint {
    int x, y;
};

// Where block (x, y) of a grid of width w and height h lands: the output's x runs along the
// input's y when the kind swaps axes, backwards when it reverses x; the same for its y.
GridPoint TransformedPosition(GridPoint p, int w, int h, TransformKind kind) {
    const pivotta::TransformFacts& f = pivotta::Facts(kind);
    const int alongX = f.swapsAxes ? p.y : p.x, lengthX = f.swapsAxes ? h : w;
    const int alongY = f.swapsAxes ? p.x : p.y, lengthY = f.swapsAxes ? w : h;
    return {f.reversesX ? lengthX - 1 - alongX : alongX, f.reversesY ? lengthY - 1 - alongY : alongY};
}

ComponentCoefs TransformComponent(const ComponentCoefs& in, int keepCols, int keepRows, TransformKind kind) {
    const bool quarter = pivotta::SwapsAxes(kind);
    ComponentCoefs out;
    out.id = in.id;
    out.h = quarter ? in.v : in.h;
    out.v = quarter ? in.h : in.v;
    out.widthInBlocks = quarter ? keepRows : keepCols;
    out.heightInBlocks = quarter ? keepCols : keepRows;
    out.blocks.resize(static_cast<size_t>(keepCols) * keepRows);
    for (int y = 0; y < keepRows; ++y) {
        for (int x = 0; x < keepCols; ++x) {
            const GridPoint to = TransformedPosition({x, y}, keepCols, keepRows, kind);
            out.blocks[static_cast<size_t>(to.y) * out.widthInBlocks + to.x] = TransformBlock(in.At(x, y), kind);
        }
    }
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) out.quant[v * 8 + u] = quarter ? in.quant[u * 8 + v] : in.quant[v * 8 + u];
    return out;
}

}  // namespace

const char* TransformName(TransformKind kind) { return pivotta::Facts(kind).name; }

JpegCoefs ExpectedTransform(const JpegCoefs& in, TransformKind kind, bool trim) {
    if (in.comps.empty()) {
        ADD_FAILURE() << "ExpectedTransform: no components";
        return {};
    }
    // A one-component scan is never interleaved: its MCU is a single block whatever the
    // sampling factors say.
    const bool blockMcu = in.comps.size() == 1;
    int maxH = 1, maxV = 1;
    for (const ComponentCoefs& c : in.comps) {
        maxH = std::max(maxH, c.h);
        maxV = std::max(maxV, c.v);
    }
    const int mcuWidth = blockMcu ? 8 : 8 * maxH, mcuHeight = blockMcu ? 8 : 8 * maxV;
    const int mcuCols = CeilDiv(in.width, mcuWidth), mcuRows = CeilDiv(in.height, mcuHeight);
    const int keptWidth = TrimmedSize(in.width, mcuWidth, trim && pivotta::TrimsRightEdge(kind));
    const int keptHeight = TrimmedSize(in.height, mcuHeight, trim && pivotta::TrimsBottomEdge(kind));
    const bool dropCol = keptWidth != in.width, dropRow = keptHeight != in.height;

    JpegCoefs out;
    const bool quarter = pivotta::SwapsAxes(kind);
    out.width = quarter ? keptHeight : keptWidth;
    out.height = quarter ? keptWidth : keptHeight;
    for (const ComponentCoefs& c : in.comps) {
        const int gridH = blockMcu ? 1 : c.h, gridV = blockMcu ? 1 : c.v;
        if (c.widthInBlocks != mcuCols * gridH || c.heightInBlocks != mcuRows * gridV ||
            c.blocks.size() != static_cast<size_t>(c.widthInBlocks) * c.heightInBlocks) {
            ADD_FAILURE() << "ExpectedTransform: component " << c.id << " has a " << c.widthInBlocks << "x"
                          << c.heightInBlocks << " block grid, not the " << mcuCols * gridH << "x"
                          << mcuRows * gridV << " of a single interleaved scan";
            return {};
        }
        out.comps.push_back(TransformComponent(c, c.widthInBlocks - (dropCol ? gridH : 0),
                                               c.heightInBlocks - (dropRow ? gridV : 0), kind));
    }
    return out;
}

}  // namespace pivotta::test
