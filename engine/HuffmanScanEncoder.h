// Encoding of one scan of any DCT process with Huffman coding, from coefficient planes:
// sequential (T.81 F.1.2) and the four progressive passes (G.1.2). The same walk counts the
// symbols a scan needs, from which optimal tables can be built (K.2).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "HuffmanCode.h"
#include "ScanLayout.h"

namespace pivotta {

struct HuffmanEncodeTables {
    std::array<const HuffmanEncodeTable*, 4> dc{};
    std::array<const HuffmanEncodeTable*, 4> ac{};
};

// Appends the scan's entropy-coded data to `out`, with restart markers after every
// interval, padded with 1-bits. End-of-band runs are those libjpeg codes, cut into parts
// where the AC table lacks their class, so any table with EOB0 codes any band; MissingCode
// when a table lacks another symbol the data needs.
ScanResult EncodeHuffmanScan(const ScanLayout& scan, const HuffmanEncodeTables& tables,
                             std::span<const CoefficientPlane> planes, std::vector<uint8_t>& out);

// How often the scan uses each symbol of each table: [0] DC, [1] AC; by selector and symbol.
// Coding the scan with tables that hold every counted symbol succeeds.
using HuffmanSymbolCounts = std::array<std::array<std::array<uint32_t, 256>, 4>, 2>;
ScanResult CountHuffmanSymbols(const ScanLayout& scan, std::span<const CoefficientPlane> planes,
                               HuffmanSymbolCounts& counts);

}  // namespace pivotta
