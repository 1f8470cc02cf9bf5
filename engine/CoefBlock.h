#pragma once

#include <array>
#include <cstdint>

namespace pivotta {

// Quantized DCT coefficients of one 8x8 block in zig-zag order; [0] is the absolute DC value.
using CoefBlock = std::array<int16_t, 64>;

}  // namespace pivotta
