// Plain reference block transforms over coefficients held in zig-zag order.
#pragma once

#include <array>
#include <cstdint>

#include "TransformKind.h"

namespace pivotta::reference {

using RefBlock = std::array<int16_t, 64>;

// Horizontal (u, the column) and vertical (v, the row) frequency of zig-zag position k.
int FreqU(int k);
int FreqV(int k);
int TransposedZigZag(int k);

// out[k] := in[TransposedZigZag[k]].
void TransposeBlock(RefBlock& block);
// The block transform of a kind, in place: out[k] := in[k or TransposedZigZag[k]] times the
// kind's sign, with 16-bit products. NoRotation leaves the block alone.
void TransformBlock(TransformKind kind, RefBlock& block);

}  // namespace pivotta::reference
