// Decoding of one block of a baseline scan (ITU T.81 F.2.2) into a packed record: the pieces
// that the sequential and the parallel scan decoders share. Internal to the engine.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <type_traits>

#include "BitStreamFile.h"
#include "BlockTransforms.h"
#include "CoefBlock.h"
#include "Extend.h"
#include "HuffmanTables.h"
#include "PackedBlocks.h"

namespace pivotta::scan {

enum class BlockStatus { Ok, Bad, Short };

// The reader's unread bits held in locals for the blocks of one MCU, under the reader's own
// names; handed back when they are done. Only the bits: the byte position is needed when the
// window is topped up, a few times a block, and stays in the reader.
class BlockBits {
public:
    explicit BlockBits(TInBitStreamFile& in) : in_(in), acc_(in.TakeWindow().acc), bits_(in.BitsAvailable()) {}
    ~BlockBits() { Return(); }
    BlockBits(const BlockBits&) = delete;
    BlockBits& operator=(const BlockBits&) = delete;

    int BitsAvailable() const { return bits_; }
    uint32_t PeekBits(int n) const { return static_cast<uint32_t>(acc_ >> (64 - n)); }
    void SkipBits(int n) {
        acc_ <<= n;
        bits_ -= n;
    }
    void FillBits() {
        Return();
        in_.FillBits();
        acc_ = in_.TakeWindow().acc;
        bits_ = in_.BitsAvailable();
    }

private:
    void Return() {
        TInBitStreamFile::Window w = in_.TakeWindow();
        w.acc = acc_;
        w.bits = bits_;
        in_.PutWindow(w);
    }
    TInBitStreamFile& in_;
    uint64_t acc_;
    int bits_;
};

// Decodes one symbol. Bits past a marker or the end of data are never consumed: a code that
// would need them, or a bad pattern longer than what is there, is a shortage.
inline int DecodeSymbol(BlockBits& in, const HuffmanDecoder& table, BlockStatus& status) {
    const int available = in.BitsAvailable();
    const uint16_t entry = table.look[in.PeekBits(HuffmanDecoder::kLookBits)];
    if (entry != 0) {
        const int length = entry >> 8;
        if (length > available) {
            status = BlockStatus::Short;
            return -1;
        }
        in.SkipBits(length);
        return entry & 0xFF;
    }
    const uint32_t bits = in.PeekBits(16);
    for (int length = HuffmanDecoder::kLookBits + 1; length <= table.maxLength; ++length) {
        const int32_t code = static_cast<int32_t>(bits >> (16 - length));
        if (code <= table.maxCode[length]) {
            if (length > available) {
                status = BlockStatus::Short;
                return -1;
            }
            in.SkipBits(length);
            return table.symbols[code + table.valOffset[length]];
        }
    }
    // No code matches: the pattern is known bad only once the longest code's bits are read.
    status = table.maxLength > available ? BlockStatus::Short : BlockStatus::Bad;
    return -1;
}

// Reads t (1..16) extra bits, sign-extended.
inline bool ReadExtended(BlockBits& in, int t, int& value, BlockStatus& status) {
    if (t > in.BitsAvailable()) {
        status = BlockStatus::Short;
        return false;
    }
    value = Extend(in.PeekBits(t), t);
    in.SkipBits(t);
    return true;
}

inline StoreOrder MakeStoreOrder(TransformKind kind) {
    const BlockTransform& t = kBlockTransforms[static_cast<int>(kind)];
    StoreOrder order{};
    for (int k = 0; k < 64; ++k) {
        order.position[t.source[k]] = static_cast<uint8_t>(k);
        order.signMask[t.source[k]] = t.negate[k] ? int16_t{-1} : int16_t{0};
    }
    return order;
}

// Collects one block's non-zero AC values as packed-record words. Without a transposition the
// output positions come in the order they are decoded, so the values go straight into the
// record; a transposition reorders them, so they wait in a scratch block, indexed by output
// position, and are packed at the end. Only positions in the mask are ever read back, so the
// scratch block never needs clearing.
template <bool kTransposed>
class AcCollector {
public:
    explicit AcCollector(int16_t* values) : values_(values), next_(values) {}
    void Put(int position, int16_t value) {
        mask_ |= uint64_t{value != 0} << position;
        if constexpr (kTransposed) {
            scratch_[position] = value;
        } else {
            *next_ = value;
            next_ += value != 0;
        }
    }
    uint64_t Mask() const { return mask_; }
    // One past the record's last word.
    int16_t* Finish() {
        if constexpr (kTransposed) {
            for (uint64_t m = mask_; m != 0; m &= m - 1) *next_++ = scratch_[std::countr_zero(m)];
        }
        return next_;
    }

private:
    int16_t* values_;
    int16_t* next_;
    uint64_t mask_ = 0;
    std::conditional_t<kTransposed, std::array<int16_t, 64>, char> scratch_;
};

// The DC difference of a block, added to the predictor and stored as the record's DC value.
[[gnu::always_inline]] inline BlockStatus DecodeDc(BlockBits& in, const HuffmanDecoder& dcTable, int& dcPred, int16_t* record) {
    BlockStatus status = BlockStatus::Ok;
    if (in.BitsAvailable() < 32) in.FillBits();
    const int t = DecodeSymbol(in, dcTable, status);
    if (t < 0) return status;
    if (t > 16) return BlockStatus::Bad;
    int diff = 0;
    if (t > 0 && !ReadExtended(in, t, diff, status)) return status;
    const int16_t dc = static_cast<int16_t>(diff + dcPred);  // 16-bit wrap, as the predictor is 16 bits
    packed::Dc(record) = dc;
    dcPred = dc;
    return status;
}

// Decodes one block into a packed record at `record` (room for packed::kMaxWords words);
// on success `end` is one past the record.
template <bool kTransposed>
[[gnu::always_inline]] inline BlockStatus DecodeBlock(BlockBits& in, const HuffmanDecoder& dcTable,
                                                      const HuffmanDecoder& acTable, const StoreOrder& order,
                                                      int& dcPred, int16_t* record, int16_t*& end) {
    BlockStatus status = DecodeDc(in, dcTable, dcPred, record);
    if (status != BlockStatus::Ok) return status;

    AcCollector<kTransposed> ac(packed::AcValues(record));
    const auto finish = [&] {
        packed::SetMask(record, ac.Mask());
        end = ac.Finish();
        return BlockStatus::Ok;
    };
    for (int k = 1; k < 64;) {
        if (in.BitsAvailable() < 32) in.FillBits();
        // Common case: code and value in one load.
        const int32_t fast = acTable.fastAc[in.PeekBits(HuffmanDecoder::kFastBits)];
        if (fast != 0 && (fast & 0xFF) <= in.BitsAvailable()) {
            in.SkipBits(fast & 0xFF);
            const int symbol = (fast >> 8) & 0xFF;
            if (symbol == 0) return finish();  // end of block
            k += symbol >> 4;
            if (k > 63) return BlockStatus::Bad;  // a zero or the value would fall beyond 63
            const int value = fast >> 16;
            const int16_t mask = order.signMask[k];
            ac.Put(order.position[k], static_cast<int16_t>((value ^ mask) - mask));
            ++k;
            continue;
        }
        const int rs = DecodeSymbol(in, acTable, status);
        if (rs < 0) return status;
        if (rs == 0) return finish();  // end of block
        const int run = rs >> 4, size = rs & 15;
        if (k + run > 64) return BlockStatus::Bad;  // a zero would fall beyond position 63
        k += run;
        int value = 0;
        if (size > 0 && !ReadExtended(in, size, value, status)) return status;
        if (k > 63) return BlockStatus::Bad;
        const int16_t mask = order.signMask[k];
        ac.Put(order.position[k], static_cast<int16_t>((value ^ mask) - mask));
        ++k;
    }
    return finish();  // coefficient 63 was coded: no end-of-block code follows
}

// Decodes one block into a Codes record (see PackedBlocks.h). Zero-run codes are held back
// until a value follows: a run that only reaches the end of the block is left out, as the
// encoder would leave it out of the coefficients, and the end-of-block code stands alone.
[[gnu::always_inline]] inline BlockStatus DecodeBlockCodes(BlockBits& in, const HuffmanDecoder& dcTable,
                                                           const HuffmanDecoder& acTable, const HuffmanEncoder& acCodes,
                                                           const StoreOrder& order, int& dcPred, int16_t* record,
                                                           int16_t*& end) {
    BlockStatus status = DecodeDc(in, dcTable, dcPred, record);
    if (status != BlockStatus::Ok) return status;

    packed::CodeWriter codes(record);
    int heldRuns = 0;
    // Code and extra bits of a value at k; sizeMask covers the extra bits.
    const auto putValue = [&](uint32_t bits, int length, uint32_t sizeMask, int k) {
        for (; heldRuns > 0; --heldRuns) codes.Put(acCodes.code[0xF0], acCodes.length[0xF0]);
        // A negated value's extra bits are its magnitude's bits inverted.
        const uint32_t negate = static_cast<uint32_t>(static_cast<int32_t>(order.signMask[k]));
        codes.Put(bits ^ (negate & sizeMask), length);
    };
    const auto finish = [&] {
        end = codes.Finish();
        return BlockStatus::Ok;
    };
    for (int k = 1; k < 64;) {
        if (in.BitsAvailable() < 32) in.FillBits();
        // Common case: a code of up to 9 bits. Its extra bits are copied, not read as a value,
        // so any size of value takes this way.
        const uint32_t entry = acTable.copyLook[in.PeekBits(HuffmanDecoder::kLookBits)];
        const int length = static_cast<int>(entry & 31);
        if (entry != 0 && length <= in.BitsAvailable()) {
            const uint32_t bits = in.PeekBits(length);
            in.SkipBits(length);
            k += static_cast<int>(entry >> 8 & 15);
            if ((entry & (HuffmanDecoder::kCopyEndOfBlock | HuffmanDecoder::kCopyZeroRun)) == 0) {
                if (k > 63) return BlockStatus::Bad;
                putValue(bits, length, entry >> 16, k);
            } else if (entry & HuffmanDecoder::kCopyEndOfBlock) {
                codes.Put(bits, length);
                return finish();
            } else {
                if (k > 63) return BlockStatus::Bad;
                ++heldRuns;  // a full table has no other symbol of size 0 than this run of 16
            }
            ++k;
            continue;
        }
        const int rs = DecodeSymbol(in, acTable, status);
        if (rs < 0) return status;
        if (rs == 0) {
            codes.Put(acCodes.code[0], acCodes.length[0]);
            return finish();
        }
        const int run = rs >> 4, size = rs & 15;
        if (k + run > 64) return BlockStatus::Bad;
        k += run;
        uint32_t extra = 0;
        if (size > 0) {
            if (size > in.BitsAvailable()) return BlockStatus::Short;
            extra = in.PeekBits(size);
            in.SkipBits(size);
        }
        if (k > 63) return BlockStatus::Bad;
        if (size == 0) {
            ++heldRuns;  // a full table has no other symbol of size 0 than this run of 16
        } else {
            putValue(acCodes.code[rs] << size | extra, acCodes.length[rs] + size, (1u << size) - 1, k);
        }
        ++k;
    }
    // The block reached position 63. Held runs mean its last value came before: the encoder
    // ends such a block with an end-of-block code, not with the runs.
    if (heldRuns > 0) codes.Put(acCodes.code[0], acCodes.length[0]);
    return finish();
}

// One block of a slot into the arena; `placed` receives the record once it is whole.
template <class Tables>
[[gnu::always_inline]] inline BlockStatus DecodeRecord(BlockBits& in, const Tables& tables, int slot, int& dcPred,
                                RecordArena& arena, int16_t*& placed) {
    int16_t* record = arena.Room();
    int16_t* end = nullptr;
    const BlockStatus status =
        tables.copyCodes    ? DecodeBlockCodes(in, *tables.dc[slot], *tables.ac[slot], *tables.acCodes[slot],
                                               tables.order, dcPred, record, end)
        : tables.transposed ? DecodeBlock<true>(in, *tables.dc[slot], *tables.ac[slot], tables.order, dcPred, record, end)
                            : DecodeBlock<false>(in, *tables.dc[slot], *tables.ac[slot], tables.order, dcPred, record, end);
    if (status != BlockStatus::Ok) return status;
    arena.Commit(end);
    placed = record;
    return status;
}

}  // namespace pivotta::scan
