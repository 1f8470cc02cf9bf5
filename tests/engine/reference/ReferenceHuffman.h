// Plain reference Huffman tables: the four slots filled from DHT segments with canonical
// codes (ITU T.81 Annex C), a bit-by-bit linear-search decoder, and direct-index encoding.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "ReferenceBitStreams.h"

namespace pivotta::reference {

struct RefHuffSlot {
    int Count = 0;
    std::vector<int> CodeLength;  // 1..16, ascending
    std::vector<int> Symbol;      // in segment order
    std::vector<int> Code;        // canonical, right-aligned
};

class RefHuffTables {
public:
    // Reads one DHT segment (after its marker) into the slots and writes the output segment,
    // marker included, with every table that is not full replaced by the standard one.
    // Result: every table of the segment was full. Sets *malformed for a segment outside
    // the baseline model (class or identifier above 1, too many symbols, wrong length).
    bool ProcessDHT(RefInBitStream& in, RefOutBitStream& out, bool* malformed);
    void CompleteTables();
    void BuildEncodeIndex();

    // The symbol, or -1 when the bits read match no code.
    int DecodeSymbol(RefInBitStream& in, int tableClass, int id) const;
    // Writes the code of a symbol; false when the slot lacks it.
    bool WriteSymbol(RefOutBitStream& out, int tableClass, int id, int symbol) const;

    const RefHuffSlot& Slot(int tableClass, int id) const { return slots_[tableClass][id]; }

    // The standard table of ITU T.81 Annex K (K.3 to K.6): 16 counts, then the symbols.
    static std::vector<uint8_t> StandardTable(int tableClass, int id);

private:
    // Full: the table holds every symbol its class can need (0..11 for DC, the 162 run/size
    // symbols for AC), so that any transformed block can be coded with it.
    static bool IsFull(int tableClass, const std::vector<int>& symbols);
    void Load(int tableClass, int id, const uint8_t bits[16], const std::vector<int>& symbols);

    RefHuffSlot slots_[2][2];
    std::array<std::array<int, 256>, 4> encodeIndex_{};
};

}  // namespace pivotta::reference
