// Huffman tables built for the symbols a scan actually codes (ITU T.81 Annex K.2), one call
// per table: counts in, the DHT form of the table out. Sequential and progressive scans alike
// count their symbols and call this once per table they write.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace pivotta {

// How often each symbol (0..255) of one table is coded.
using SymbolCounts = std::array<uint64_t, 256>;

// A table as a DHT segment carries it: BITS[1..16], then the symbols in code order.
struct HuffmanTableSpec {
    std::array<uint8_t, 16> bits{};
    std::vector<uint8_t> symbols;
};

// The table that codes every counted symbol in the fewest bits, with codes of at most 16 bits
// and none all 1-bits (T.81 C.2 and K.2). Symbols of one length are in ascending order, as
// K.2 sorts them. No symbol counted gives a table of the one symbol 0.
HuffmanTableSpec BuildOptimalTable(const SymbolCounts& counts);

// Code lengths per symbol (0: no code) of a table.
std::array<uint8_t, 256> CodeLengths(const HuffmanTableSpec& table);

// The bits the symbols' codes take with those lengths, extra bits left out.
uint64_t CodedBits(const SymbolCounts& counts, const std::array<uint8_t, 256>& lengths);

namespace huffman_detail {

// The two constructions BuildOptimalTable chooses from, exposed for tests. Both give code
// lengths per symbol that satisfy the limits above.
// T.81 K.2 as the standard draws it (Figures K.1 to K.4): a Huffman tree with a reserved
// symbol, then lengths above 16 folded back. libjpeg builds the same tables, so output made
// with these is what jpegtran -optimize writes.
std::array<uint8_t, 256> LengthsByAnnexK(const SymbolCounts& counts);
// Package-merge (Larmore and Hirschberg, 1990): the true optimum under the 16-bit limit.
std::array<uint8_t, 256> LengthsByPackageMerge(const SymbolCounts& counts);

}  // namespace huffman_detail

}  // namespace pivotta
