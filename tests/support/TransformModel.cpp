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

bool TrimsWidth(TransformKind kind) {
    return kind == TransformKind::Rotate270 || kind == TransformKind::Rotate180 || kind == TransformKind::MirrorLR;
}

bool TrimsHeight(TransformKind kind) {
    return kind == TransformKind::Rotate90 || kind == TransformKind::Rotate180 || kind == TransformKind::MirrorTB;
}

// The ragged last MCU column or row goes when trimming applies to that dimension and the
// picture has at least one whole MCU there; a picture smaller than one MCU stays whole.
int TrimmedSize(int size, int mcuSize, bool trimHere) {
    if (!trimHere || size % mcuSize == 0 || size < mcuSize) return size;
    return size - size % mcuSize;
}

// Natural-order coefficient (row v, column u) of the output block, from the input block.
// A horizontal flip of the samples negates the odd horizontal frequencies, a vertical flip
// the odd vertical ones; a transposition exchanges the two frequencies.
int16_t TransformedCoefficient(const NaturalBlock& in, TransformKind kind, int v, int u) {
    auto sign = [](bool negate, int value) { return static_cast<int16_t>(negate ? -value : value); };
    switch (kind) {
    case TransformKind::NoRotation: return in[v * 8 + u];
    case TransformKind::Rotate90: return sign(u % 2 == 1, in[u * 8 + v]);   // transpose, then mirror LR
    case TransformKind::Rotate270: return sign(v % 2 == 1, in[u * 8 + v]);  // transpose, then mirror TB
    case TransformKind::Rotate180: return sign((u + v) % 2 == 1, in[v * 8 + u]);
    case TransformKind::MirrorLR: return sign(u % 2 == 1, in[v * 8 + u]);
    case TransformKind::MirrorTB: return sign(v % 2 == 1, in[v * 8 + u]);
    }
    return 0;
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

// Where block (x, y) of a grid of width w and height h lands.
GridPoint TransformedPosition(GridPoint p, int w, int h, TransformKind kind) {
    switch (kind) {
    case TransformKind::NoRotation: return p;
    case TransformKind::Rotate90: return {h - 1 - p.y, p.x};   // clockwise: the left column becomes the top row
    case TransformKind::Rotate270: return {p.y, w - 1 - p.x};  // the top row becomes the left column
    case TransformKind::Rotate180: return {w - 1 - p.x, h - 1 - p.y};
    case TransformKind::MirrorLR: return {w - 1 - p.x, p.y};
    case TransformKind::MirrorTB: return {p.x, h - 1 - p.y};
    }
    return p;
}

ComponentCoefs TransformComponent(const ComponentCoefs& in, int keepCols, int keepRows, TransformKind kind) {
    const bool quarter = pivotta::IsQuarterTurn(kind);
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

const char* TransformName(TransformKind kind) {
    switch (kind) {
    case TransformKind::NoRotation: return "NoRotation";
    case TransformKind::Rotate90: return "Rotate90";
    case TransformKind::Rotate270: return "Rotate270";
    case TransformKind::Rotate180: return "Rotate180";
    case TransformKind::MirrorLR: return "MirrorLR";
    case TransformKind::MirrorTB: return "MirrorTB";
    }
    return "Unknown";
}

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
    const int keptWidth = TrimmedSize(in.width, mcuWidth, trim && TrimsWidth(kind));
    const int keptHeight = TrimmedSize(in.height, mcuHeight, trim && TrimsHeight(kind));
    const bool dropCol = keptWidth != in.width, dropRow = keptHeight != in.height;

    JpegCoefs out;
    const bool quarter = pivotta::IsQuarterTurn(kind);
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
