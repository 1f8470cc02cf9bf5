#include "ArithmeticCoder.h"
#include "ArithmeticScan.h"
#include "ArithmeticStatistics.h"
#include "ScanWalk.h"

namespace pivotta {
namespace {

using namespace arith;

class Decoder {
public:
    Decoder(const ScanLayout& scan, const ArithmeticConditioning& cond, std::span<const uint8_t> data)
        : scan_(scan), cond_(cond), in_(data) {
        stats_.Reset(scan);
    }

    const uint8_t* Position() const { return in_.Position(); }

private:
    friend class ScanWalk<Decoder>;

    // The walk's steps (ScanWalk.h).
    ScanError AfterMcu(bool ok) const {
        if (ok) return ScanError::None;
        // Nonsense decoded from the 0-bytes past the data is no damage but its end.
        return in_.BytesPastEnd() > 2 ? ScanError::Truncated : ScanError::BadCode;
    }
    ScanError Restart(uint16_t marker) {
        if (!in_.TakeRestart(marker)) return ScanError::BadRestart;
        stats_.Reset(scan_);
        return ScanError::None;
    }
    ScanError AfterRow() const {
        return in_.DecisionsPastEnd() > kMaxDecisionsPastEnd ? ScanError::Truncated : ScanError::None;
    }
    ScanError Finish() const { return ScanError::None; }

    // The block routines.
    bool Sequential(int c, CoefBlock& block) {
        int dc = 0;
        if (!Dc(c, dc)) return false;
        block.fill(0);
        block[0] = static_cast<int16_t>(dc);
        return AcBand(scan_.components[c].acTable, 1, block);
    }
    bool DcFirst(int c, CoefBlock& block) {
        int dc = 0;
        if (!Dc(c, dc)) return false;
        block[0] = static_cast<int16_t>(dc * (1 << scan_.Al));
        return true;
    }
    bool DcRefine(CoefBlock& block) {
        if (in_.Decode(stats_.fixed)) block[0] = static_cast<int16_t>(block[0] | (1 << scan_.Al));
        return true;
    }
    bool AcFirst(CoefBlock& block) { return AcBand(scan_.components[0].acTable, scan_.Ss, block); }
    // |v| - 1 from its category decisions and bit pattern (F.2.4.3, Figures F.23-F.24). `m`
    // receives the category bound; false on a magnitude beyond 15 bits.
    bool Magnitude(uint8_t* category, uint8_t* x, int& value, int& m) {
        if (m != 0) {
            while (in_.Decode(*x)) {
                if ((m <<= 1) == 0x8000) return false;
                ++x;
            }
            category = x;
        }
        value = m;
        for (int bit = m >> 1; bit != 0; bit >>= 1)
            if (in_.Decode(category[kMagnitudeBitsOffset])) value |= bit;
        return true;
    }

    // F.2.4.1: the DC difference, conditioned on the component's previous one.
    bool Dc(int c, int& dc) {
        const int table = scan_.components[c].dcTable;
        uint8_t* st = stats_.dc[table].data() + stats_.dcContext[c];
        if (in_.Decode(st[0]) == 0) {
            stats_.dcContext[c] = 0;
        } else {
            const int sign = in_.Decode(st[1]);
            uint8_t* category = st + 2 + sign;
            int m = in_.Decode(*category);
            int value = 0;
            if (!Magnitude(category, stats_.dc[table].data() + kDcMagnitudeBins, value, m)) return false;
            stats_.dcContext[c] = DcContextAfter(cond_, table, m, sign);
            stats_.dcPred[c] += sign ? -(value + 1) : value + 1;
        }
        dc = stats_.dcPred[c];
        return true;
    }

    // F.2.4.2: per position an end-of-block decision, zero decisions up to the next
    // non-zero coefficient, its sign (fixed estimate) and magnitude.
    bool AcBand(int table, int first, CoefBlock& block) {
        uint8_t* bins = stats_.ac[table].data();
        for (int k = first; k <= scan_.Se; ++k) {
            uint8_t* st = bins + 3 * (k - 1);
            if (in_.Decode(st[0])) return true;  // end of block
            while (in_.Decode(st[1]) == 0) {
                st += 3;
                if (++k > scan_.Se) return false;
            }
            const int sign = in_.Decode(stats_.fixed);
            uint8_t* category = st + 2;
            int m = in_.Decode(*category);
            if (m != 0 && in_.Decode(*category)) m = 2;
            int value = 0;
            if (m == 2) {
                if (!Magnitude(category, bins + AcMagnitudeBase(cond_, table, k), value, m)) return false;
            } else {
                value = m;
            }
            const int v = sign ? -(value + 1) : value + 1;
            block[k] = static_cast<int16_t>(v * (1 << scan_.Al));
        }
        return true;
    }

    // G.1.3.3: end-of-band decisions only past the band's last coefficient that earlier
    // scans made non-zero; those get a correction decision, new ones a sign.
    bool AcRefine(CoefBlock& block) {
        const int bit = 1 << scan_.Al;
        uint8_t* bins = stats_.ac[scan_.components[0].acTable].data();
        int lastKnown = scan_.Se;
        while (lastKnown > 0 && block[lastKnown] == 0) --lastKnown;
        for (int k = scan_.Ss; k <= scan_.Se; ++k) {
            uint8_t* st = bins + 3 * (k - 1);
            if (k > lastKnown && in_.Decode(st[0])) return true;
            for (;;) {
                int16_t& coef = block[k];
                if (coef != 0) {
                    if (in_.Decode(st[2])) coef = static_cast<int16_t>(coef < 0 ? coef - bit : coef + bit);
                    break;
                }
                if (in_.Decode(st[1])) {
                    coef = static_cast<int16_t>(in_.Decode(stats_.fixed) ? -bit : bit);
                    break;
                }
                st += 3;
                if (++k > scan_.Se) return false;
            }
        }
        return true;
    }

    const ScanLayout& scan_;
    const ArithmeticConditioning& cond_;
    ArithmeticDecoder in_;
    Statistics stats_;
};

}  // namespace

ScanResult DecodeArithmeticScan(const ScanLayout& scan, const ArithmeticConditioning& conditioning,
                                std::span<const uint8_t> data, std::span<const CoefficientPlane> planes,
                                size_t* consumed) {
    const ScanLayout whole = WholeBlocksIfSequential(scan);
    Decoder decoder(whole, conditioning, data);
    const ScanResult result = ScanWalk<Decoder>::Run(whole, planes, decoder);
    if (consumed) *consumed = static_cast<size_t>(decoder.Position() - data.data());
    return result;
}

}  // namespace pivotta
