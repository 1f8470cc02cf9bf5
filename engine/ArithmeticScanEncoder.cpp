#include <array>
#include <cstdlib>

#include "ArithmeticCoder.h"
#include "ArithmeticScan.h"
#include "ArithmeticStatistics.h"
#include "ScanWalk.h"

namespace pivotta {
namespace {

using namespace arith;

class Encoder {
public:
    Encoder(const ScanLayout& scan, const ArithmeticConditioning& cond, std::vector<uint8_t>& out)
        : scan_(scan), cond_(cond), out_(out) {
        stats_.Reset(scan);
    }

private:
    friend class ScanWalk<Encoder>;

    // The walk's steps (ScanWalk.h).
    ScanError AfterMcu(bool ok) const { return ok ? ScanError::None : ScanError::BadCode; }
    ScanError Restart(uint16_t marker) {
        coder_.FinishInterval(out_);
        out_.push_back(static_cast<uint8_t>(marker >> 8));
        out_.push_back(static_cast<uint8_t>(marker));
        stats_.Reset(scan_);
        return ScanError::None;
    }
    ScanError AfterRow() const { return ScanError::None; }
    ScanError Finish() {
        coder_.FinishInterval(out_);
        return ScanError::None;
    }

    bool DcFirst(int c, const CoefBlock& block) { return Dc(c, block[0] >> scan_.Al); }

    // The category decisions and bit pattern of |v| - 1 >= 1 (F.1.4.4.1.3, F.1.4.4.2):
    // X bins from `x` while the value reaches the next power of two. Returns the bound m.
    int Magnitude(uint8_t* x, int value, int m) {
        while (value >= 2 * m) {
            coder_.Encode(*x, 1);
            m <<= 1;
            ++x;
        }
        coder_.Encode(*x, 0);
        for (int bit = m >> 1; bit != 0; bit >>= 1) coder_.Encode(x[kMagnitudeBitsOffset], (value & bit) != 0);
        return m;
    }

    bool Dc(int c, int dc) {
        const int table = scan_.components[c].dcTable;
        const int diff = dc - stats_.dcPred[c];
        stats_.dcPred[c] = dc;
        uint8_t* st = stats_.dc[table].data() + stats_.dcContext[c];
        if (diff == 0) {
            coder_.Encode(st[0], 0);
            stats_.dcContext[c] = 0;
            return true;
        }
        const int value = std::abs(diff) - 1;
        if (value >= 0x8000) return false;
        const int sign = diff < 0;
        coder_.Encode(st[0], 1);
        coder_.Encode(st[1], sign);
        uint8_t* category = st + 2 + sign;
        int m = 0;
        if (value == 0) {
            coder_.Encode(*category, 0);
        } else {
            coder_.Encode(*category, 1);
            m = Magnitude(stats_.dc[table].data() + kDcMagnitudeBins, value, 1);
        }
        stats_.dcContext[c] = DcContextAfter(cond_, table, m, sign);
        return true;
    }

    // One non-zero AC value at position k, whose S0 bin group starts at st.
    void AcValue(int table, int k, uint8_t* st, int v) {
        coder_.Encode(st[1], 1);
        coder_.Encode(stats_.fixed, v < 0);
        const int value = std::abs(v) - 1;
        uint8_t* category = st + 2;
        if (value == 0) {
            coder_.Encode(*category, 0);
            return;
        }
        coder_.Encode(*category, 1);
        if (value == 1) {
            coder_.Encode(*category, 0);
            return;
        }
        coder_.Encode(*category, 1);
        Magnitude(stats_.ac[table].data() + AcMagnitudeBase(cond_, table, k), value, 2);
    }

    // The band's values from `first` to Se, up to the last non-zero one, then an end of block
    // unless that one ends the band.
    void AcBand(int table, int first, const std::array<int, 64>& value) {
        int last = scan_.Se;
        while (last >= first && value[last] == 0) --last;
        uint8_t* bins = stats_.ac[table].data();
        for (int k = first; k <= last; ++k) {
            uint8_t* st = bins + 3 * (k - 1);
            coder_.Encode(st[0], 0);
            for (; value[k] == 0; ++k, st += 3) coder_.Encode(st[1], 0);
            AcValue(table, k, st, value[k]);
        }
        if (last < scan_.Se) coder_.Encode(bins[3 * (last < first ? first - 1 : last)], 1);
    }

    // The band's point-transformed magnitudes (G.1.3.2), once per block.
    std::array<int, 64> Magnitudes(const CoefBlock& block) const {
        std::array<int, 64> magnitude;
        for (int k = scan_.Ss; k <= scan_.Se; ++k) magnitude[k] = std::abs(static_cast<int>(block[k])) >> scan_.Al;
        return magnitude;
    }

    bool Sequential(int c, const CoefBlock& block) {
        if (!Dc(c, block[0])) return false;
        std::array<int, 64> value;
        for (int k = 1; k < 64; ++k) value[k] = block[k];
        AcBand(scan_.components[c].acTable, 1, value);
        return true;
    }

    bool DcRefine(const CoefBlock& block) {
        coder_.Encode(stats_.fixed, (block[0] >> scan_.Al) & 1);
        return true;
    }

    bool AcFirst(const CoefBlock& block) {
        std::array<int, 64> value = Magnitudes(block);
        for (int k = scan_.Ss; k <= scan_.Se; ++k)
            if (block[k] < 0) value[k] = -value[k];
        AcBand(scan_.components[0].acTable, scan_.Ss, value);
        return true;
    }

    // G.1.3.3, the mirror of the decoder's walk.
    bool AcRefine(const CoefBlock& block) {
        const std::array<int, 64> magnitude = Magnitudes(block);
        int last = scan_.Se, lastKnown = scan_.Se;
        while (last >= scan_.Ss && magnitude[last] == 0) --last;
        while (lastKnown >= scan_.Ss && magnitude[lastKnown] <= 1) --lastKnown;
        uint8_t* bins = stats_.ac[scan_.components[0].acTable].data();
        for (int k = scan_.Ss; k <= last; ++k) {
            uint8_t* st = bins + 3 * (k - 1);
            if (k > lastKnown) coder_.Encode(st[0], 0);
            for (;; ++k, st += 3) {
                const int m = magnitude[k];
                if (m > 1) {
                    coder_.Encode(st[2], m & 1);
                    break;
                }
                if (m == 1) {
                    coder_.Encode(st[1], 1);
                    coder_.Encode(stats_.fixed, block[k] < 0);
                    break;
                }
                coder_.Encode(st[1], 0);
            }
        }
        if (last < scan_.Se) coder_.Encode(bins[3 * (last < scan_.Ss ? scan_.Ss - 1 : last)], 1);
        return true;
    }

    const ScanLayout& scan_;
    const ArithmeticConditioning& cond_;
    std::vector<uint8_t>& out_;
    ArithmeticEncoder coder_;
    Statistics stats_;
};

}  // namespace

ScanResult EncodeArithmeticScan(const ScanLayout& scan, const ArithmeticConditioning& conditioning,
                                std::span<const CoefficientPlane> planes, std::vector<uint8_t>& out) {
    const ScanLayout whole = WholeBlocksIfSequential(scan);
    Encoder encoder(whole, conditioning, out);
    return ScanWalk<Encoder>::Run(whole, planes, encoder);
}

}  // namespace pivotta
