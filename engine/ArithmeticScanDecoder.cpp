#include "ArithmeticCoder.h"
#include "ArithmeticScan.h"
#include "ArithmeticStatistics.h"

namespace pivotta {
namespace {

using namespace arith;

class Decoder {
public:
    Decoder(const ScanLayout& scan, const ArithmeticConditioning& cond, std::span<const uint8_t> data)
        : scan_(scan), cond_(cond), in_(data), dataSize_(data.size()) {
        stats_.Reset(scan);
    }

    ScanResult Run(std::span<const CoefficientPlane> planes) {
        switch (scan_.Pass()) {
            case ScanPass::Sequential: return Walk(planes, [this](int c, CoefBlock& b) { return Sequential(c, b); });
            case ScanPass::DcFirst: return Walk(planes, [this](int c, CoefBlock& b) { return DcFirst(c, b); });
            case ScanPass::DcRefine: return Walk(planes, [this](int, CoefBlock& b) { return DcRefine(b); });
            case ScanPass::AcFirst:
                return Walk(planes, [this](int, CoefBlock& b) {
                    return AcBand(scan_.components[0].acTable, scan_.Ss, b);
                });
            case ScanPass::AcRefine: return Walk(planes, [this](int, CoefBlock& b) { return AcRefine(b); });
        }
        return {};
    }
    const uint8_t* Position() const { return in_.Position(); }

private:
    template <class Block>
    ScanResult Walk(std::span<const CoefficientPlane> planes, Block&& block) {
        const size_t cols = scan_.McusPerRow(), rows = scan_.McuRowCount();
        RestartCounter restarts(scan_.restartInterval, cols * rows);
        size_t done = 0, intervals = 1;
        for (size_t my = 0; my < rows; ++my) {
            for (size_t mx = 0; mx < cols; ++mx) {
                bool ok = true;
                ForEachBlockOfMcu(scan_, planes, mx, my, [&](int c, CoefBlock& b) { ok = ok && block(c, b); });
                // Nonsense decoded from the 0-bytes past the data is no damage but its end.
                if (!ok) return ScanFailure(in_.BytesPastEnd() > 2 ? ScanError::Truncated : ScanError::BadCode, my);
                if (restarts.DueAfter(++done)) {
                    if (!in_.TakeRestart(restarts.NextMarker())) return ScanFailure(ScanError::BadRestart, my);
                    stats_.Reset(scan_);
                    ++intervals;
                }
            }
            if (in_.BytesPastEnd() > AllowedBytesPastEnd(dataSize_, intervals))
                return ScanFailure(ScanError::Truncated, my);
        }
        return {};
    }

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
    size_t dataSize_;
    Statistics stats_;
};

}  // namespace

ScanResult DecodeArithmeticScan(const ScanLayout& scan, const ArithmeticConditioning& conditioning,
                                std::span<const uint8_t> data, std::span<const CoefficientPlane> planes,
                                size_t* consumed) {
    const ScanLayout whole = WholeBlocksIfSequential(scan);
    Decoder decoder(whole, conditioning, data);
    const ScanResult result = decoder.Run(planes);
    if (consumed) *consumed = static_cast<size_t>(decoder.Position() - data.data());
    return result;
}

}  // namespace pivotta
