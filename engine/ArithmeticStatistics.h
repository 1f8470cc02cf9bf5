// The context bins of one arithmetic-coded scan (T.81 F.1.4.4, Tables F.4 and F.5) and the
// rules both directions share for choosing them. Internal to the arithmetic scan codecs.
#pragma once

#include <array>
#include <cstdint>

#include "ArithmeticScan.h"

namespace pivotta::arith {

// DC bins: five conditioning groups of four (S0, SS, SP, SN) at 0-19, the magnitude
// categories X1.. from 20, their bit patterns M.. 14 further on.
inline constexpr int kDcMagnitudeBins = 20;
// AC bins: SE, S0 and SP/X1 per position at 3 (k - 1); X2.. from 189 (k <= Kx) or 217.
inline constexpr int kAcLowBins = 189, kAcHighBins = 217;
inline constexpr int kMagnitudeBitsOffset = 14;

struct Statistics {
    std::array<std::array<uint8_t, 64>, 4> dc{};
    std::array<std::array<uint8_t, 256>, 4> ac{};
    std::array<int, 4> dcContext{};  // the group of each scan component's last DC difference
    std::array<int, 4> dcPred{};
    uint8_t fixed = kFixedBin;

    // At the start of the scan and of every interval, the bins of the tables the scan uses
    // start afresh with the predictions (F.1.4.4.1.4, G.1.3).
    void Reset(const ScanLayout& scan) {
        const ScanPass pass = scan.Pass();
        const bool dcBins = pass == ScanPass::Sequential || pass == ScanPass::DcFirst;
        const bool acBins = pass == ScanPass::Sequential || pass == ScanPass::AcFirst || pass == ScanPass::AcRefine;
        for (int c = 0; c < scan.componentCount; ++c) {
            if (dcBins) dc[scan.components[c].dcTable].fill(0);
            if (acBins) ac[scan.components[c].acTable].fill(0);
        }
        dcContext = {};
        dcPred = {};
    }
};

// The conditioning group for the next DC difference (F.1.4.4.1.2): zero, small or large,
// by the magnitude category bound m of this one (|diff| - 1 lies in [m, 2m)).
inline int DcContextAfter(const ArithmeticConditioning& cond, int table, int m, int sign) {
    if (m < (1 << cond.dcL[table]) >> 1) return 0;
    if (m > (1 << cond.dcU[table]) >> 1) return 12 + 4 * sign;
    return 4 + 4 * sign;
}

inline int AcMagnitudeBase(const ArithmeticConditioning& cond, int table, int k) {
    return k <= cond.acKx[table] ? kAcLowBins : kAcHighBins;
}

// Decisions an interval may make past the end of its data: the 0-bytes an encoder leaves out
// (libjpeg drops those that end an interval) hold a legitimate tail of very probable
// decisions, but a scan of a few bytes must not decode a huge frame from 0-bits.
inline constexpr uint64_t kMaxDecisionsPastEnd = uint64_t{1} << 20;

}  // namespace pivotta::arith
