// One Huffman table as a DHT segment defines it (or as the standard tables complete it).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace pivotta {

struct HuffmanSlot {
    int Count = 0;
    std::vector<int32_t> CodeLength;  // 1..16, ascending
    std::vector<int32_t> Symbol;      // in segment order
    std::vector<int32_t> Code;        // canonical, right-aligned
    std::array<uint8_t, 17> Bits{};   // codes per length, [1..16]
};

}  // namespace pivotta
