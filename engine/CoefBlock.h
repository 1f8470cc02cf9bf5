#pragma once

#include <array>
#include <cstdint>

namespace pivotta {

// Quantized DCT coefficients of one 8x8 block in zig-zag order; [0] is the absolute DC value.
using CoefBlock = std::array<int16_t, 64>;

// Where a coefficient read at zig-zag position k is stored, and whether it changes sign: the
// decoder stores every block already transformed, which costs nothing extra because only
// the non-zero coefficients are written.
struct StoreOrder {
    std::array<uint8_t, 64> position;
    std::array<int16_t, 64> signMask;  // 0 or -1
};

}  // namespace pivotta
