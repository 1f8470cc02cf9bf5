// Rotations and mirrors of one 8x8 block of DCT coefficients held in zig-zag order.
// A kind that swaps axes transposes the block first; reversing an axis then negates the odd
// frequencies along it, because flipping a cosine basis function does that.
#pragma once

#include <array>
#include <cstdint>

#include "CoefBlock.h"
#include "TransformKind.h"

namespace pivotta {

// Where a coefficient read at zig-zag position k is stored, and whether it changes sign: the
// decoder stores every block already transformed, which costs nothing extra because only
// the non-zero coefficients are written.
struct StoreOrder {
    std::array<uint8_t, 64> position;
    std::array<int16_t, 64> signMask;  // 0 or -1
};

namespace detail {

// Zig-zag position -> natural (row-major) position, ITU T.81 Figure A.6.
constexpr std::array<uint8_t, 64> MakeZigZagToNatural() {
    std::array<uint8_t, 64> order{};
    int k = 0;
    for (int d = 0; d < 15; ++d) {  // anti-diagonals u + v = d, alternately up and down
        for (int i = 0; i <= d; ++i) {
            const int v = d % 2 == 0 ? d - i : i;
            const int u = d - v;
            if (u < 8 && v < 8) order[k++] = static_cast<uint8_t>(v * 8 + u);
        }
    }
    return order;
}

}  // namespace detail

inline constexpr std::array<uint8_t, 64> kZigZagToNatural = detail::MakeZigZagToNatural();

// Horizontal and vertical frequency of a zig-zag position.
constexpr int FreqU(int k) { return kZigZagToNatural[k] % 8; }
constexpr int FreqV(int k) { return kZigZagToNatural[k] / 8; }

namespace detail {

constexpr std::array<uint8_t, 64> MakeTransposedZigZag() {
    std::array<uint8_t, 64> natToZig{};
    for (int k = 0; k < 64; ++k) natToZig[kZigZagToNatural[k]] = static_cast<uint8_t>(k);
    std::array<uint8_t, 64> table{};
    for (int k = 0; k < 64; ++k) table[k] = natToZig[FreqU(k) * 8 + FreqV(k)];
    return table;
}

}  // namespace detail

// Entry k: the zig-zag position of the coefficient with the frequencies of k exchanged.
inline constexpr std::array<uint8_t, 64> TransposedZigZag = detail::MakeTransposedZigZag();
static_assert(TransposedZigZag[1] == 2 && TransposedZigZag[3] == 5 && TransposedZigZag[10] == 14 &&
              TransposedZigZag[62] == 61 && TransposedZigZag[63] == 63);

// out[k] = negate[k] ? -in[source[k]] : in[source[k]].
struct BlockTransform {
    std::array<uint8_t, 64> source;
    std::array<bool, 64> negate;
};

constexpr BlockTransform MakeBlockTransform(TransformKind kind) {
    BlockTransform t{};
    for (int k = 0; k < 64; ++k) {
        t.source[k] = SwapsAxes(kind) ? TransposedZigZag[k] : static_cast<uint8_t>(k);
        t.negate[k] = NegatesCoefficient(kind, FreqU(k), FreqV(k));
    }
    return t;
}

// Indexed by TransformKind code.
inline constexpr std::array<BlockTransform, kTransformKindCount> kBlockTransforms = [] {
    std::array<BlockTransform, kTransformKindCount> table{};
    for (TransformKind kind : kAllTransformKinds) table[static_cast<size_t>(kind)] = MakeBlockTransform(kind);
    return table;
}();

// In-place forms over a block (a quantization table uses TransposeBlock alone).
void TransposeBlock(std::array<int16_t, 64>& block);
void ApplyBlockTransform(const BlockTransform& transform, CoefBlock& block);
inline void TransformBlock(TransformKind kind, CoefBlock& b) {
    ApplyBlockTransform(kBlockTransforms[static_cast<size_t>(kind)], b);
}

}  // namespace pivotta
