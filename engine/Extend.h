// EXTEND of ITU T.81 F.2.2.1: the signed value that t extra bits (1..16) code after a
// magnitude category; a clear top bit marks a negative value.
#pragma once

#include <cstdint>

namespace pivotta {

constexpr int Extend(uint32_t bits, int t) {
    return bits < (1u << (t - 1)) ? static_cast<int>(bits) - (1 << t) + 1 : static_cast<int>(bits);
}

}  // namespace pivotta
