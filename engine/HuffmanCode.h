// One Huffman table as a DHT segment defines it (BITS and HUFFVAL), in the two forms the
// scan codecs use: a decoding table with a 9-bit lookahead, and codes by symbol for encoding.
// Built and validated once (ITU T.81 C.2, F.2.2.3), so the coding loops need no checks.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace pivotta {

struct HuffmanDecodeTable {
    static constexpr int kLookBits = 9;
    std::array<uint16_t, 1 << kLookBits> look{};  // (length << 8) | symbol; 0 = longer or none
    std::array<int32_t, 18> maxCode{};            // largest code of each length, -1 if none
    std::array<int32_t, 17> valOffset{};          // symbol index of a code = code + valOffset[length]
    std::array<uint8_t, 256> symbols{};
};

// Length 0 marks a symbol the table lacks.
struct HuffmanEncodeTable {
    std::array<uint16_t, 256> code{};
    std::array<uint8_t, 256> length{};

    bool Has(int symbol) const { return length[symbol] != 0; }
};

// counts[i] codes of length i + 1; symbols in the segment's order. False when the table is
// not one T.81 allows: more symbols than 256, a symbol twice, or codes that over-fill their
// lengths or use the all-ones code (C.2), as libjpeg refuses them.
[[nodiscard]] bool BuildHuffmanDecodeTable(std::span<const uint8_t, 16> counts, std::span<const uint8_t> symbols,
                                           HuffmanDecodeTable& table);
[[nodiscard]] bool BuildHuffmanEncodeTable(std::span<const uint8_t, 16> counts, std::span<const uint8_t> symbols,
                                           HuffmanEncodeTable& table);

}  // namespace pivotta
