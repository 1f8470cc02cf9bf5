#include "HuffmanScanEncoder.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "EntropyBits.h"
#include "ScanWalk.h"

namespace pivotta {
namespace {

constexpr int kDc = 0, kAc = 1;
constexpr uint32_t kMaxEobRun = 0x7FFF;
// Correction bits held for an end-of-band run before it is cut short, bounding the buffer;
// libjpeg's bound, so that its files' tables hold every run class a re-encoding needs.
constexpr size_t kMaxHeldCorrections = 1000 - 64 + 1;

inline int EobSymbol(uint32_t run) { return (std::bit_width(run) - 1) << 4; }

class WritingSink {
public:
    WritingSink(const HuffmanEncodeTables& tables, std::vector<uint8_t>& out) : tables_(tables), out_(out) {}
    bool CanCode(int tableClass, int selector, int symbol) const { return Table(tableClass, selector).Has(symbol); }
    void Symbol(int tableClass, int selector, int symbol) {
        const HuffmanEncodeTable& table = Table(tableClass, selector);
        if (!table.Has(symbol)) {
            missing_ = true;
            return;
        }
        out_.Put(table.code[symbol], table.length[symbol]);
    }
    void Bits(uint32_t value, int n) { out_.Put(value & ((1u << n) - 1), n); }
    void Restart(uint16_t marker) { out_.PutMarker(marker); }
    void Finish() { out_.PadToByte(); }
    bool Missing() const { return missing_; }

private:
    const HuffmanEncodeTable& Table(int tableClass, int selector) const {
        return tableClass == kDc ? *tables_.dc[selector] : *tables_.ac[selector];
    }
    const HuffmanEncodeTables& tables_;
    EntropyBitWriter out_;
    bool missing_ = false;
};

class CountingSink {
public:
    explicit CountingSink(HuffmanSymbolCounts& counts) : counts_(counts) {}
    bool CanCode(int, int, int) const { return true; }
    void Symbol(int tableClass, int selector, int symbol) { ++counts_[tableClass][selector][symbol]; }
    void Bits(uint32_t, int) {}
    void Restart(uint16_t) {}
    void Finish() {}
    bool Missing() const { return false; }

private:
    HuffmanSymbolCounts& counts_;
};

template <class Sink>
class Encoder {
public:
    Encoder(const ScanLayout& scan, Sink& sink) : scan_(scan), sink_(sink) {
        held_.reserve(kMaxHeldCorrections + 64);
        runEnds_.reserve(kMaxEobRun);
    }

private:
    friend class ScanWalk<Encoder>;

    // The walk's steps (ScanWalk.h).
    ScanError AfterMcu(bool ok) const {
        if (!ok) return ScanError::BadCode;
        return sink_.Missing() ? ScanError::MissingCode : ScanError::None;
    }
    ScanError Restart(uint16_t marker) {
        EmitEobRun();
        sink_.Restart(marker);
        dcPred_ = {};
        return ScanError::None;
    }
    ScanError AfterRow() const { return ScanError::None; }
    ScanError Finish() {
        EmitEobRun();
        sink_.Finish();
        return sink_.Missing() ? ScanError::MissingCode : ScanError::None;
    }

    // A size category with its extra bits: the value's low bits, one less when negative
    // (F.1.2.1). False for a magnitude no category holds.
    bool Value(int tableClass, int selector, int runBits, int value, int maxSize) {
        const uint32_t magnitude = static_cast<uint32_t>(std::abs(value));
        const int size = std::bit_width(magnitude);
        if (size > maxSize) return false;
        sink_.Symbol(tableClass, selector, runBits | size);
        if (size > 0) sink_.Bits(static_cast<uint32_t>(value < 0 ? value - 1 : value), size);
        return true;
    }
    bool Dc(int c, int value) {
        const int diff = value - dcPred_[c];
        dcPred_[c] = value;
        return Value(kDc, scan_.components[c].dcTable, 0, diff, 16);
    }

    bool Sequential(int c, const CoefBlock& block) {
        if (!Dc(c, block[0])) return false;
        const int ac = scan_.components[c].acTable;
        int run = 0;
        for (int k = 1; k < 64; ++k) {
            if (block[k] == 0) {
                ++run;
                continue;
            }
            for (; run > 15; run -= 16) sink_.Symbol(kAc, ac, 0xF0);
            if (!Value(kAc, ac, run << 4, block[k], 15)) return false;
            run = 0;
        }
        if (run > 0) sink_.Symbol(kAc, ac, 0x00);
        return true;
    }

    // Point transform (G.1.2.1): DC values shift arithmetically.
    bool DcFirst(int c, const CoefBlock& block) { return Dc(c, block[0] >> scan_.Al); }
    bool DcRefine(const CoefBlock& block) {
        sink_.Bits(static_cast<uint32_t>(block[0] >> scan_.Al) & 1, 1);
        return true;
    }

    // AC values shift as magnitudes, keeping their sign (G.1.2.2).
    int Shifted(int16_t coef) const {
        const int magnitude = std::abs(static_cast<int>(coef)) >> scan_.Al;
        return coef < 0 ? -magnitude : magnitude;
    }

    bool AcFirst(const CoefBlock& block) {
        const int ac = scan_.components[0].acTable;
        int run = 0;
        for (int k = scan_.Ss; k <= scan_.Se; ++k) {
            const int value = Shifted(block[k]);
            if (value == 0) {
                ++run;
                continue;
            }
            EmitEobRun();
            for (; run > 15; run -= 16) sink_.Symbol(kAc, ac, 0xF0);
            if (!Value(kAc, ac, run << 4, value, 15)) return false;
            run = 0;
        }
        if (run > 0) ExtendEobRun();
        return true;
    }

    // G.1.2.3. Coefficients already non-zero get a correction bit, sent after the next symbol
    // (or with the end-of-band run that covers them); a zero run is cut into ZRLs only where
    // a newly non-zero coefficient still follows in the band.
    bool AcRefine(const CoefBlock& block) {
        const int ac = scan_.components[0].acTable;
        std::array<int, 64> magnitude{};
        int lastNew = 0;  // the band's last newly non-zero coefficient
        for (int k = scan_.Ss; k <= scan_.Se; ++k) {
            magnitude[k] = std::abs(static_cast<int>(block[k])) >> scan_.Al;
            if (magnitude[k] == 1) lastNew = k;
        }
        int run = 0;
        pending_.clear();
        for (int k = scan_.Ss; k <= scan_.Se; ++k) {
            if (magnitude[k] == 0) {
                ++run;
                continue;
            }
            for (; run > 15 && k <= lastNew; run -= 16) {
                EmitEobRun();
                sink_.Symbol(kAc, ac, 0xF0);
                EmitBits(pending_);
            }
            if (magnitude[k] > 1) {
                pending_.push_back(static_cast<uint8_t>(magnitude[k] & 1));
                continue;
            }
            EmitEobRun();
            sink_.Symbol(kAc, ac, run << 4 | 1);
            sink_.Bits(block[k] < 0 ? 0 : 1, 1);
            EmitBits(pending_);
            run = 0;
        }
        if (run > 0 || !pending_.empty()) {
            held_.insert(held_.end(), pending_.begin(), pending_.end());
            ExtendEobRun();
        }
        return true;
    }

    // Adds the current block, whose correction bits are already held, to the end-of-band run.
    void ExtendEobRun() {
        runEnds_.push_back(static_cast<uint32_t>(held_.size()));
        if (++eobRun_ == kMaxEobRun || held_.size() > kMaxHeldCorrections) EmitEobRun();
    }
    // Codes the run (G.1.2.2, EOBn with n extra bits), each part followed by the correction
    // bits of its blocks. A run whose class the table lacks goes out in parts of the largest
    // classes it holds; MissingCode only when none is short enough.
    void EmitEobRun() {
        const int ac = scan_.components[0].acTable;
        uint32_t done = 0;
        size_t bitsDone = 0;
        while (done < eobRun_) {
            const uint32_t left = eobRun_ - done;
            int n = std::bit_width(left) - 1;
            while (n >= 0 && !sink_.CanCode(kAc, ac, n << 4)) --n;
            if (n < 0) {
                sink_.Symbol(kAc, ac, EobSymbol(left));  // reports the missing code
                break;
            }
            const uint32_t part = std::min(left, (2u << n) - 1);
            sink_.Symbol(kAc, ac, n << 4);
            if (n > 0) sink_.Bits(part, n);
            done += part;
            const size_t bitsEnd = runEnds_[done - 1];
            for (; bitsDone < bitsEnd; ++bitsDone) sink_.Bits(held_[bitsDone], 1);
        }
        eobRun_ = 0;
        held_.clear();
        runEnds_.clear();
    }
    void EmitBits(std::vector<uint8_t>& bits) {
        for (uint8_t b : bits) sink_.Bits(b, 1);
        bits.clear();
    }

    const ScanLayout& scan_;
    Sink& sink_;
    std::array<int, 4> dcPred_{};
    uint32_t eobRun_ = 0;
    std::vector<uint8_t> held_;     // correction bits of the blocks in the run
    std::vector<uint32_t> runEnds_; // for each block of the run, where its bits in held_ end
    std::vector<uint8_t> pending_;  // correction bits of the current block since its last symbol
};

}  // namespace

ScanResult EncodeHuffmanScan(const ScanLayout& scan, const HuffmanEncodeTables& tables,
                             std::span<const CoefficientPlane> planes, std::vector<uint8_t>& out) {
    if (!HasTablesFor(scan, tables)) return ScanFailure(ScanError::MissingTable, 0);
    WritingSink sink(tables, out);
    Encoder<WritingSink> encoder(scan, sink);
    return ScanWalk<Encoder<WritingSink>>::Run(scan, planes, encoder);
}

ScanResult CountHuffmanSymbols(const ScanLayout& scan, std::span<const CoefficientPlane> planes,
                               HuffmanSymbolCounts& counts) {
    CountingSink sink(counts);
    Encoder<CountingSink> encoder(scan, sink);
    return ScanWalk<Encoder<CountingSink>>::Run(scan, planes, encoder);
}

}  // namespace pivotta
