// Huffman decoding of the one baseline scan into the coefficient store (ITU T.81 F.2.2).
#include <cstring>
#include <new>

#include "BlockTransforms.h"
#include "JpegRotation.h"
#include "Messages.h"

namespace pivotta {

namespace {

enum class BlockStatus { Ok, Bad, Short };

// Sign extension of a t-bit magnitude (ITU T.81 F.2.2.1, EXTEND).
inline int Extend(uint32_t value, int t) {
    return value < (1u << (t - 1)) ? static_cast<int>(value) - (1 << t) + 1 : static_cast<int>(value);
}

// Decodes one symbol. Bits past a marker or the end of data are never consumed: a code that
// would need them, or a bad pattern longer than what is there, is a shortage.
inline int DecodeSymbol(TInBitStreamFile& in, const HuffmanDecoder& table, BlockStatus& status) {
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
inline bool ReadExtended(TInBitStreamFile& in, int t, int& value, BlockStatus& status) {
    if (t > in.BitsAvailable()) {
        status = BlockStatus::Short;
        return false;
    }
    value = Extend(in.PeekBits(t), t);
    in.SkipBits(t);
    return true;
}

// Where a coefficient read at zig-zag position k is stored, and whether it changes sign: the
// store receives every block already transformed, which costs nothing extra here because
// only the non-zero coefficients are written.
struct StoreOrder {
    std::array<uint8_t, 64> position;
    std::array<int16_t, 64> signMask;  // 0 or -1
};

StoreOrder MakeStoreOrder(TransformKind kind) {
    const BlockTransform& t = kBlockTransforms[static_cast<int>(kind)];
    StoreOrder order{};
    for (int k = 0; k < 64; ++k) {
        order.position[t.source[k]] = static_cast<uint8_t>(k);
        order.signMask[t.source[k]] = t.negate[k] ? int16_t{-1} : int16_t{0};
    }
    return order;
}

BlockStatus DecodeBlock(TInBitStreamFile& in, const HuffmanDecoder& dcTable, const HuffmanDecoder& acTable,
                        const StoreOrder& order, int& dcPred, CoefBlock& block) {
    BlockStatus status = BlockStatus::Ok;
    std::memset(block.data(), 0, sizeof block);

    if (in.BitsAvailable() < 32) in.FillBits();
    const int t = DecodeSymbol(in, dcTable, status);
    if (t < 0) return status;
    if (t > 16) return BlockStatus::Bad;
    int diff = 0;
    if (t > 0 && !ReadExtended(in, t, diff, status)) return status;
    block[0] = static_cast<int16_t>(diff + dcPred);  // 16-bit wrap, as the predictor is 16 bits
    dcPred = block[0];

    for (int k = 1; k < 64;) {
        if (in.BitsAvailable() < 32) in.FillBits();
        // Common case: code and value in one load.
        const int32_t fast = acTable.fastAc[in.PeekBits(HuffmanDecoder::kFastBits)];
        if (fast != 0 && (fast & 0xFF) <= in.BitsAvailable()) {
            in.SkipBits(fast & 0xFF);
            const int symbol = (fast >> 8) & 0xFF;
            if (symbol == 0) return BlockStatus::Ok;  // end of block
            k += symbol >> 4;
            if (k > 63) return BlockStatus::Bad;  // a zero or the value would fall beyond 63
            const int value = fast >> 16;
            const int16_t mask = order.signMask[k];
            block[order.position[k]] = static_cast<int16_t>((value ^ mask) - mask);
            ++k;
            continue;
        }
        const int rs = DecodeSymbol(in, acTable, status);
        if (rs < 0) return status;
        if (rs == 0) return BlockStatus::Ok;  // end of block
        const int run = rs >> 4, size = rs & 15;
        if (k + run > 64) return BlockStatus::Bad;  // a zero would fall beyond position 63
        k += run;
        int value = 0;
        if (size > 0 && !ReadExtended(in, size, value, status)) return status;
        if (k > 63) return BlockStatus::Bad;
        const int16_t mask = order.signMask[k];
        block[order.position[k]] = static_cast<int16_t>((value ^ mask) - mask);
        ++k;
    }
    return BlockStatus::Ok;  // coefficient 63 was coded: no end-of-block code follows
}

}  // namespace

bool TJpegRotation::AllocateCoefficients() {
    // The store may never be sized by a header alone: every block costs at least two bits
    // (a DC code and an end-of-block code), so the bytes left bound the blocks there can be.
    uint64_t blocks = 0;
    for (int i = 0; i < frame_.ComponentCount; ++i) {
        blocks += static_cast<uint64_t>(frame_.McuCols) * frame_.CompH[i] * frame_.McuRows * frame_.CompV[i];
    }
    if (blocks > static_cast<uint64_t>(in_->Remaining()) * 4) return Fail(msg::kScanTooShort);
    for (int i = 0; i < frame_.ComponentCount; ++i) {
        const size_t count = static_cast<size_t>(frame_.McuCols) * frame_.CompH[i] * frame_.McuRows * frame_.CompV[i];
        if (!coefficients_[i].Resize(count)) return Fail(msg::kOutOfMemory);
    }
    return true;
}

bool TJpegRotation::BlockStore::Resize(size_t count) {
    if (count > capacity_) {
        blocks_.reset();  // the old store goes first, so both are never held at once
        capacity_ = 0;
        blocks_.reset(new (std::nothrow) CoefBlock[count]);
        if (!blocks_) {
            size_ = 0;
            return false;
        }
        capacity_ = count;
    }
    size_ = count;
    return true;
}

bool TJpegRotation::DecodeScan() {
    TInBitStreamFile& in = *in_;
    const HuffmanDecoder* dcTables[kMaxComponents];
    const HuffmanDecoder* acTables[kMaxComponents];
    for (int i = 0; i < frame_.ComponentCount; ++i) {
        dcTables[i] = &huff_.Decoder(0, frame_.DcTableSel[i]);
        acTables[i] = &huff_.Decoder(1, frame_.AcTableSel[i]);
    }
    const size_t scanStart = in.BytePosition();
    const StoreOrder order = MakeStoreOrder(kind_);
    int dcPred[kMaxComponents] = {};
    int restartCounter = 0;
    int nextRestart = 0;
    const int rows = frame_.McuRows, cols = frame_.McuCols;
    for (int r = 0; r < rows; ++r) {
        Progress(r);
        for (int c = 0; c < cols; ++c) {
            for (int i = 0; i < frame_.ScanComponentCount; ++i) {
                const int slot = frame_.ScanOrder[i];
                const int h = frame_.CompH[slot], v = frame_.CompV[slot];
                const size_t rowWidth = static_cast<size_t>(cols) * h;
                for (int y = 0; y < v; ++y) {
                    CoefBlock* row = coefficients_[slot].Data() + (static_cast<size_t>(r) * v + y) * rowWidth;
                    for (int x = 0; x < h; ++x) {
                        const BlockStatus status =
                            DecodeBlock(in, *dcTables[slot], *acTables[slot], order, dcPred[slot], row[c * h + x]);
                        if (status == BlockStatus::Ok) continue;
                        if (status == BlockStatus::Bad) return Fail(msg::kBadBlock);
                        in.ReportShortage();  // the marker message, or the read error
                        return false;
                    }
                }
            }
            if (!frame_.RestartEnabled) continue;
            ++restartCounter;
            const bool last = r == rows - 1 && c == cols - 1;
            if (!last && restartCounter == frame_.RestartInterval) {
                restartCounter = 0;
                for (int& pred : dcPred) pred = 0;
                // The interval's padding bits are dropped; the marker must be the expected RSTn,
                // or data has been lost and the blocks that follow would be wrong.
                if (in.ReadMarker() != 0xFFD0 + nextRestart) return Fail(msg::kBadBlock);
                nextRestart = (nextRestart + 1) & 7;
            }
        }
    }
    scanBytes_ = in.BytePosition() - scanStart;
    return true;
}

}  // namespace pivotta
