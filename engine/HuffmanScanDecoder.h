// Decoding of one Huffman-coded scan of any DCT process into coefficient planes: sequential
// (T.81 F.2.2) and the four progressive passes (G.1.2): DC first and refinement, AC first
// with end-of-band runs, AC refinement with correction bits. 8- and 12-bit precision.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "HuffmanCode.h"
#include "ScanLayout.h"

namespace pivotta {

// The tables in force at the scan, by selector; null where the stream defined none.
struct HuffmanDecodeTables {
    std::array<const HuffmanDecodeTable*, 4> dc{};
    std::array<const HuffmanDecodeTable*, 4> ac{};
};

// Decodes the scan's entropy-coded data (up to the marker that ends it, restart markers
// included) into the planes: a first pass sets the band's coefficients, a refinement pass
// adds its bit to what earlier scans left. Blocks outside the scan stay untouched.
// `consumed`, when given, receives how many bytes of `data` the scan used.
ScanResult DecodeHuffmanScan(const ScanLayout& scan, const HuffmanDecodeTables& tables, std::span<const uint8_t> data,
                             std::span<const CoefficientPlane> planes, size_t* consumed = nullptr);

}  // namespace pivotta
