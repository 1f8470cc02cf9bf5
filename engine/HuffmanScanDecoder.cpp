#include "HuffmanScanDecoder.h"

#include "EntropyBits.h"
#include "Extend.h"
#include "ScanWalk.h"

namespace pivotta {
namespace {

// One symbol, or -1 for a pattern the table does not hold.
inline int DecodeSymbol(EntropyBitReader& in, const HuffmanDecodeTable& table) {
    if (in.Available() < 16) in.Fill();
    const uint16_t entry = table.look[in.Peek(HuffmanDecodeTable::kLookBits)];
    if (entry != 0) {
        in.Skip(entry >> 8);
        return entry & 0xFF;
    }
    const uint32_t bits = in.Peek(16);
    for (int length = HuffmanDecodeTable::kLookBits + 1; length <= 16; ++length) {
        const int32_t code = static_cast<int32_t>(bits >> (16 - length));
        if (code <= table.maxCode[length]) {
            in.Skip(length);
            return table.symbols[static_cast<size_t>(code + table.valOffset[length])];
        }
    }
    return -1;
}

inline int ReadExtended(EntropyBitReader& in, int size) { return size == 0 ? 0 : Extend(in.Read(size), size); }

class Decoder {
public:
    Decoder(const ScanLayout& scan, const HuffmanDecodeTables& tables, std::span<const uint8_t> data)
        : scan_(scan), tables_(tables), in_(data) {}

    const uint8_t* Position() const { return in_.Position(); }

private:
    friend class ScanWalk<Decoder>;

    // The walk's steps (ScanWalk.h).
    ScanError AfterMcu(bool ok) const {
        // Codes read from the 0-bits past the data are no damage but its end.
        if (in_.Overran()) return ScanError::Truncated;
        return ok ? ScanError::None : ScanError::BadCode;
    }
    ScanError Restart(uint16_t marker) {
        if (!in_.TakeRestart(marker)) return ScanError::BadRestart;
        // A run that claims blocks past its interval or the scan ends there, as libjpeg ends
        // it: the band of those blocks is zero either way.
        eobRun_ = 0;
        dcPred_ = {};
        return ScanError::None;
    }
    ScanError AfterRow() const { return ScanError::None; }
    ScanError Finish() const { return ScanError::None; }

    bool Dc(int c, int& value) {
        const int t = DecodeSymbol(in_, *tables_.dc[scan_.components[c].dcTable]);
        if (t < 0 || t > 16) return false;
        dcPred_[c] += ReadExtended(in_, t);
        value = dcPred_[c];
        return true;
    }

    // T.81 F.2.2.1-2: DC difference, then run/size symbols up to an end of block.
    bool Sequential(int c, CoefBlock& block) {
        int dc = 0;
        if (!Dc(c, dc)) return false;
        block.fill(0);
        block[0] = static_cast<int16_t>(dc);
        const HuffmanDecodeTable& ac = *tables_.ac[scan_.components[c].acTable];
        for (int k = 1; k < 64; ++k) {
            const int rs = DecodeSymbol(in_, ac);
            if (rs < 0) return false;
            const int run = rs >> 4, size = rs & 15;
            if (size == 0) {
                if (run != 15) return true;  // end of block
                k += 15;
                if (k > 63) return false;
                continue;
            }
            k += run;
            if (k > 63) return false;
            block[k] = static_cast<int16_t>(ReadExtended(in_, size));
        }
        return true;
    }

    // G.1.2.1: the DC difference of the point-transformed value.
    bool DcFirst(int c, CoefBlock& block) {
        int dc = 0;
        if (!Dc(c, dc)) return false;
        block[0] = static_cast<int16_t>(dc * (1 << scan_.Al));
        return true;
    }

    bool DcRefine(CoefBlock& block) {
        if (in_.Read(1)) block[0] = static_cast<int16_t>(block[0] | (1 << scan_.Al));
        return true;
    }

    // G.1.2.2: run/size symbols within the band; EOBn starts a run of blocks whose band is 0.
    bool AcFirst(CoefBlock& block) {
        if (eobRun_ > 0) {
            --eobRun_;
            return true;
        }
        const HuffmanDecodeTable& ac = *tables_.ac[scan_.components[0].acTable];
        for (int k = scan_.Ss; k <= scan_.Se; ++k) {
            const int rs = DecodeSymbol(in_, ac);
            if (rs < 0) return false;
            const int run = rs >> 4, size = rs & 15;
            if (size == 0) {
                if (run != 15) {
                    eobRun_ = (1u << run) + in_.Read(run) - 1;
                    return true;
                }
                k += 15;
                if (k > scan_.Se) return false;
                continue;
            }
            k += run;
            if (k > scan_.Se) return false;
            block[k] = static_cast<int16_t>(ReadExtended(in_, size) * (1 << scan_.Al));
        }
        return true;
    }

    // A correction bit for a coefficient that earlier scans made non-zero: 1 adds the bit
    // to its magnitude (G.1.2.3).
    void Correct(int16_t& coef) {
        const int bit = 1 << scan_.Al;
        if (in_.Read(1) && (coef & bit) == 0) coef = static_cast<int16_t>(coef >= 0 ? coef + bit : coef - bit);
    }

    // G.1.2.3: symbols place newly non-zero coefficients (always of magnitude 1) among the
    // zeros; each already non-zero one passed on the way gets a correction bit.
    bool AcRefine(CoefBlock& block) {
        const int bit = 1 << scan_.Al;
        int k = scan_.Ss;
        if (eobRun_ == 0) {
            const HuffmanDecodeTable& ac = *tables_.ac[scan_.components[0].acTable];
            for (; k <= scan_.Se; ++k) {
                const int rs = DecodeSymbol(in_, ac);
                if (rs < 0) return false;
                int zeros = rs >> 4;
                const int size = rs & 15;
                int value = 0;
                if (size != 0) {
                    if (size != 1) return false;
                    value = in_.Read(1) ? bit : -bit;
                } else if (zeros != 15) {
                    eobRun_ = (1u << zeros) + in_.Read(zeros);
                    break;  // the rest of the band takes only correction bits
                }
                // Passes `zeros` zero coefficients and stops on the next one.
                for (;; ++k) {
                    if (k > scan_.Se) return false;
                    if (block[k] != 0) {
                        Correct(block[k]);
                    } else if (zeros-- == 0) {
                        break;
                    }
                }
                if (value != 0) block[k] = static_cast<int16_t>(value);
            }
        }
        if (eobRun_ > 0) {
            for (; k <= scan_.Se; ++k)
                if (block[k] != 0) Correct(block[k]);
            --eobRun_;
        }
        return true;
    }

    const ScanLayout& scan_;
    const HuffmanDecodeTables& tables_;
    EntropyBitReader in_;
    std::array<int, 4> dcPred_{};
    uint32_t eobRun_ = 0;  // blocks of the band still to skip, the current one excluded
};

}  // namespace

ScanResult DecodeHuffmanScan(const ScanLayout& scan, const HuffmanDecodeTables& tables, std::span<const uint8_t> data,
                             std::span<const CoefficientPlane> planes, size_t* consumed) {
    if (!HasTablesFor(scan, tables)) return ScanFailure(ScanError::MissingTable, 0);
    Decoder decoder(scan, tables, data);
    const ScanResult result = ScanWalk<Decoder>::Run(scan, planes, decoder);
    if (consumed) *consumed = static_cast<size_t>(decoder.Position() - data.data());
    return result;
}

}  // namespace pivotta
