// 12-bit frames and scans of the tests' own: no library at hand writes 12-bit JPEG, so the
// tests make the coefficients, the scan layouts and the tables that can code them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "ScanSplitter.h"

namespace pivotta::test {

// Every symbol, so that any 12-bit category can be coded: 255 codes of 8 bits and one of 9.
struct UniversalTable {
    std::array<uint8_t, 16> counts{0, 0, 0, 0, 0, 0, 0, 255, 1};
    std::array<uint8_t, 256> symbols{};
    UniversalTable() {
        for (int i = 0; i < 256; ++i) symbols[i] = static_cast<uint8_t>(i);
    }
};

// A 12-bit frame of the given components (identifier, h, v), its MCU grid worked out.
SplitJpeg TwelveBitFrame(int w, int h, bool progressive, std::vector<SplitJpeg::Component> components);

// Sparse coefficients over the whole 12-bit range: DC up to +-16383, AC up to +-16383 (the
// categories up to 15 and 14 that 12-bit data needs, T.81 F.1.2).
Planes RandomTwelveBitPlanes(const SplitJpeg& frame, uint32_t seed);

// The scan of frame components `comps` (frame positions) with the given band, approximation
// and restart interval; table selectors 0.
ScanLayout TwelveBitLayout(const SplitJpeg& frame, std::vector<int> comps, int Ss, int Se, int Ah, int Al,
                           int restart);

}  // namespace pivotta::test
