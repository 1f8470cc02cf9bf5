// Decoding and encoding of one arithmetic-coded scan, sequential (T.81 F.1.4, F.2.4) and
// progressive (G.1.3), with the conditioning that DAC segments set (F.1.4.4, B.2.4.3).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "ScanLayout.h"

namespace pivotta {

// By table selector: L and U bound the DC difference categories (0 <= L <= U <= 15), Kx
// splits the AC statistics (1..63). The defaults hold where no DAC says otherwise.
struct ArithmeticConditioning {
    std::array<uint8_t, 4> dcL{0, 0, 0, 0};
    std::array<uint8_t, 4> dcU{1, 1, 1, 1};
    std::array<uint8_t, 4> acKx{5, 5, 5, 5};
};

// Decodes the scan's entropy-coded data (restart markers included) into the planes, as
// DecodeHuffmanScan does. Past the end of an interval's data the decoder reads 0-bytes, as
// D.2.6 has it: encoders leave out the 0-bytes that end an interval (libjpeg's, thousands of
// them in a flat picture's refinement scan), so data cut short at a marker cannot be told
// from such a tail. Only an interval that makes more than 2^20 decisions past its data is
// refused (Truncated), which bounds the work a few bytes can cause.
ScanResult DecodeArithmeticScan(const ScanLayout& scan, const ArithmeticConditioning& conditioning,
                                std::span<const uint8_t> data, std::span<const CoefficientPlane> planes,
                                size_t* consumed = nullptr);

// Appends the scan's entropy-coded data to `out`, with restart markers after every interval.
ScanResult EncodeArithmeticScan(const ScanLayout& scan, const ArithmeticConditioning& conditioning,
                                std::span<const CoefficientPlane> planes, std::vector<uint8_t>& out);

}  // namespace pivotta
