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

// Correction bits in order, packed most significant first, for an end-of-band run: at most
// kMaxHeldCorrections and one block's more.
class BitQueue {
public:
    // The low n (0..63) bits of `bits`, most significant first.
    void Push(uint64_t bits, int n) {
        for (int done = 0; done < n;) {
            const int used = static_cast<int>(size_ % 64), take = std::min(64 - used, n - done);
            const uint64_t chunk = bits >> (n - done - take) & Mask(take);
            words_[size_ / 64] |= chunk << (64 - used - take);
            size_ += static_cast<size_t>(take);
            done += take;
        }
    }
    size_t Size() const { return size_; }
    // Bits from..to-1 to the sink, 16 at a time.
    template <class Sink>
    void Emit(Sink& sink, size_t from, size_t to) const {
        while (from < to) {
            const int used = static_cast<int>(from % 64);
            const int take = static_cast<int>(std::min<size_t>({16, to - from, static_cast<size_t>(64 - used)}));
            sink.Bits(static_cast<uint32_t>(words_[from / 64] >> (64 - used - take) & Mask(take)), take);
            from += static_cast<size_t>(take);
        }
    }
    void Clear() {
        std::fill(words_.begin(), words_.begin() + static_cast<long>((size_ + 63) / 64), 0);
        size_ = 0;
    }

private:
    static uint64_t Mask(int n) { return n == 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1; }
    std::array<uint64_t, (kMaxHeldCorrections + 64 + 63) / 64> words_{};
    size_t size_ = 0;
};

// The correction bits of one block since its last symbol: at most 63.
struct PendingBits {
    uint64_t bits = 0;
    int count = 0;
    void Push(int bit) {
        bits = bits << 1 | static_cast<uint64_t>(bit);
        ++count;
    }
    template <class Sink>
    void EmitAndClear(Sink& sink) {
        for (int left = count; left > 0; left -= std::min(left, 16)) {
            const int take = std::min(left, 16);
            sink.Bits(static_cast<uint32_t>(bits >> (left - take)) & ((1u << take) - 1), take);
        }
        bits = 0;
        count = 0;
    }
};

template <class Sink>
class Encoder {
public:
    Encoder(const ScanLayout& scan, Sink& sink) : scan_(scan), sink_(sink) {
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

    // The band's coefficients whose point-transformed magnitude is not 0, as bits by position;
    // the loops below visit only those.
    uint64_t NonZeroMask(const CoefBlock& block, std::array<int, 64>& magnitude) const {
        uint64_t mask = 0;
        for (int k = scan_.Ss; k <= scan_.Se; ++k) {
            magnitude[k] = std::abs(static_cast<int>(block[k])) >> scan_.Al;
            mask |= uint64_t{magnitude[k] != 0} << k;
        }
        return mask;
    }

    bool AcFirst(const CoefBlock& block) {
        const int ac = scan_.components[0].acTable;
        std::array<int, 64> magnitude;
        int next = scan_.Ss;  // the position after the last value coded
        for (uint64_t m = NonZeroMask(block, magnitude); m != 0; m &= m - 1) {
            const int k = std::countr_zero(m);
            int run = k - next;
            EmitEobRun();
            for (; run > 15; run -= 16) sink_.Symbol(kAc, ac, 0xF0);
            if (!Value(kAc, ac, run << 4, block[k] < 0 ? -magnitude[k] : magnitude[k], 15)) return false;
            next = k + 1;
        }
        if (next <= scan_.Se) ExtendEobRun();
        return true;
    }

    // G.1.2.3. Coefficients already non-zero get a correction bit, sent after the next symbol
    // (or with the end-of-band run that covers them); a zero run is cut into ZRLs only where
    // a newly non-zero coefficient still follows in the band. Zero runs count only the
    // coefficients that are still zero.
    bool AcRefine(const CoefBlock& block) {
        const int ac = scan_.components[0].acTable;
        std::array<int, 64> magnitude;
        const uint64_t nonZero = NonZeroMask(block, magnitude);
        uint64_t newlyNonZero = 0;
        for (uint64_t m = nonZero; m != 0; m &= m - 1)
            newlyNonZero |= uint64_t{magnitude[std::countr_zero(m)] == 1} << std::countr_zero(m);
        const int lastNew = newlyNonZero == 0 ? 0 : 63 - std::countl_zero(newlyNonZero);
        int run = 0, next = scan_.Ss;
        pending_ = {};
        for (uint64_t m = nonZero; m != 0; m &= m - 1) {
            const int k = std::countr_zero(m);
            run += k - next;
            next = k + 1;
            for (; run > 15 && k <= lastNew; run -= 16) {
                EmitEobRun();
                sink_.Symbol(kAc, ac, 0xF0);
                pending_.EmitAndClear(sink_);
            }
            if (magnitude[k] > 1) {
                pending_.Push(magnitude[k] & 1);
                continue;
            }
            EmitEobRun();
            sink_.Symbol(kAc, ac, run << 4 | 1);
            sink_.Bits(block[k] < 0 ? 0 : 1, 1);
            pending_.EmitAndClear(sink_);
            run = 0;
        }
        run += scan_.Se + 1 - next;
        if (run > 0 || pending_.count > 0) {
            held_.Push(pending_.bits, pending_.count);
            ExtendEobRun();
        }
        return true;
    }

    // Adds the current block, whose correction bits are already held, to the end-of-band run.
    void ExtendEobRun() {
        runEnds_.push_back(static_cast<uint32_t>(held_.Size()));
        if (++eobRun_ == kMaxEobRun || held_.Size() > kMaxHeldCorrections) EmitEobRun();
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
            held_.Emit(sink_, bitsDone, bitsEnd);
            bitsDone = bitsEnd;
        }
        eobRun_ = 0;
        held_.Clear();
        runEnds_.clear();
    }

    const ScanLayout& scan_;
    Sink& sink_;
    std::array<int, 4> dcPred_{};
    uint32_t eobRun_ = 0;
    BitQueue held_;                  // correction bits of the blocks in the run
    std::vector<uint32_t> runEnds_;  // for each block of the run, where its bits in held_ end
    PendingBits pending_;
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
