// Counting the Huffman symbols an output scan will code, for tables built for that scan:
// a sink for the encoder's row walk that counts where the encoder writes, so that the counts
// follow exactly the blocks, DC predictions and restart intervals of the output.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>

#include "BlockEncoding.h"
#include "OptimalHuffmanTable.h"
#include "PackedBlocks.h"

namespace pivotta::scan {

inline constexpr int kTableIds = 4;

// The symbols of one scan by table class and identifier: tables that several components share
// are counted together.
struct ScanSymbolCounts {
    std::array<SymbolCounts, kTableIds> dc{};
    std::array<SymbolCounts, kTableIds> ac{};

    void Add(const ScanSymbolCounts& other) {
        for (int id = 0; id < kTableIds; ++id) {
            for (int s = 0; s < 256; ++s) {
                dc[id][s] += other.dc[id][s];
                ac[id][s] += other.ac[id][s];
            }
        }
    }
};

// Stands where the encoder's output stands; a restart marker codes no symbol.
struct SymbolCounter {
    ScanSymbolCounts counts;
    void WriteWord(uint16_t) {}
};

inline int SizeOf(int value) { return std::bit_width(static_cast<unsigned>(std::abs(value))); }

// The symbols EncodeBlockBits codes for a Values record (ITU T.81 F.1.2): the DC size, each
// AC run/size with a sixteen-zeros symbol per 16 zeros before it, and the end of block unless
// the last coefficient is non-zero.
inline void CountValuesSymbols(SymbolCounts& dc, SymbolCounts& ac, const int16_t* record, int& dcPred) {
    const int value = packed::Dc(record);
    ++dc[SizeOf(value - dcPred)];
    dcPred = value;
    uint64_t nonZero = packed::Mask(record);
    const int16_t* values = packed::AcValues(record);
    int last = 0;
    while (nonZero != 0) {
        const int k = std::countr_zero(nonZero);
        nonZero &= nonZero - 1;
        const int run = k - last - 1;
        ac[0xF0] += static_cast<unsigned>(run) >> 4;
        ++ac[(run & 15) << 4 | SizeOf(*values++)];
        last = k;
    }
    if (last != 63) ++ac[0x00];
}

// The encoder's block step, counting. A Codes record keeps its AC codes, and so its AC table:
// only its DC symbol is counted.
inline bool EncodeBlock(SymbolCounter& sink, const EncodeTables& tables, bool copyCodes, const int16_t* record,
                        int& dcPred) {
    SymbolCounts& dc = sink.counts.dc[tables.dcId];
    if (copyCodes) {
        const int value = packed::Dc(record);
        ++dc[SizeOf(value - dcPred)];
        dcPred = value;
        return true;
    }
    CountValuesSymbols(dc, sink.counts.ac[tables.acId], record, dcPred);
    return true;
}

}  // namespace pivotta::scan
