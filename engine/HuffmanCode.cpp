#include "HuffmanCode.h"

namespace pivotta {
namespace {

// Canonical codes (T.81 C.2): lengths ascending, each code one more than the last, shifted
// left when the length grows. False when a length over-fills or the all-ones code is used.
template <class Assign>
bool AssignCodes(std::span<const uint8_t, 16> counts, std::span<const uint8_t> symbols, Assign&& assign) {
    size_t total = 0;
    for (uint8_t n : counts) total += n;
    if (total > 256 || total > symbols.size()) return false;
    std::array<bool, 256> seen{};
    uint32_t code = 0;
    size_t index = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < counts[length - 1]; ++i, ++index, ++code) {
            // Checked before the code is used: an over-full length would index past the tables.
            if (code + 1 >= (1u << length) || seen[symbols[index]]) return false;
            seen[symbols[index]] = true;
            assign(length, code, index);
        }
        code <<= 1;
    }
    return true;
}

}  // namespace

bool BuildHuffmanDecodeTable(std::span<const uint8_t, 16> counts, std::span<const uint8_t> symbols,
                             HuffmanDecodeTable& table) {
    table = HuffmanDecodeTable{};
    table.maxCode.fill(-1);
    std::array<int32_t, 17> firstIndex{}, firstCode{};
    std::array<bool, 17> started{};
    const bool valid = AssignCodes(counts, symbols, [&](int length, uint32_t code, size_t index) {
        if (!started[length]) {
            started[length] = true;
            firstIndex[length] = static_cast<int32_t>(index);
            firstCode[length] = static_cast<int32_t>(code);
        }
        table.maxCode[length] = static_cast<int32_t>(code);
        table.symbols[index] = symbols[index];
        if (length <= HuffmanDecodeTable::kLookBits) {
            const int spare = HuffmanDecodeTable::kLookBits - length;
            const uint16_t entry = static_cast<uint16_t>(length << 8 | symbols[index]);
            for (uint32_t low = 0; low < (1u << spare); ++low) table.look[(code << spare) | low] = entry;
        }
    });
    if (!valid) return false;
    for (int length = 1; length <= 16; ++length) table.valOffset[length] = firstIndex[length] - firstCode[length];
    return true;
}

bool BuildHuffmanEncodeTable(std::span<const uint8_t, 16> counts, std::span<const uint8_t> symbols,
                             HuffmanEncodeTable& table) {
    table = HuffmanEncodeTable{};
    return AssignCodes(counts, symbols, [&](int length, uint32_t code, size_t index) {
        table.code[symbols[index]] = static_cast<uint16_t>(code);
        table.length[symbols[index]] = static_cast<uint8_t>(length);
    });
}

}  // namespace pivotta
