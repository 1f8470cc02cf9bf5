// Huffman decoding of the one baseline scan into the coefficient store (ITU T.81 F.2.2).
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <thread>
#include <new>

#include "BlockTransforms.h"
#include "JpegRotation.h"
#include "LargeBlock.h"
#include "Messages.h"

namespace pivotta {

namespace {

enum class BlockStatus { Ok, Bad, Short };

// Inline rather than a library call per block.
inline void ClearBlock(CoefBlock& block) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    auto* lanes = reinterpret_cast<__m128i*>(block.data());
    for (int i = 0; i < 8; ++i) _mm_storeu_si128(lanes + i, zero);
#else
    block.fill(0);
#endif
}

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
    ClearBlock(block);

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
        Release();  // the old store goes first, so both are never held at once
        if (count > SIZE_MAX / sizeof(CoefBlock)) return false;
        blocks_ = static_cast<CoefBlock*>(AllocateLarge(count * sizeof(CoefBlock)));
        if (!blocks_) return false;
        capacity_ = count;
    }
    size_ = count;
    return true;
}

void TJpegRotation::BlockStore::Release() {
    FreeLarge(blocks_, capacity_ * sizeof(CoefBlock));
    blocks_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}

// Decodes MCUs [begin, end) in raster order and consumes the restart markers that fall due
// after them. Sends no message: the caller reports what went wrong.
TJpegRotation::RangeResult TJpegRotation::DecodeMcus(TInBitStreamFile& in, const DecodeTables& tables, int64_t begin,
                                                     int64_t end, DecodeState& state, bool progress,
                                                     const std::atomic<bool>* cancel) {
    const int cols = frame_.McuCols;
    const int64_t last = int64_t{frame_.McuRows} * cols - 1;
    const int interval = frame_.RestartEnabled ? frame_.RestartInterval : 0;
    for (int64_t m = begin; m < end; ++m) {
        const int r = static_cast<int>(m / cols), c = static_cast<int>(m % cols);
        if (c == 0) {
            if (progress) Progress(r);
            if (cancel && cancel->load(std::memory_order_relaxed)) return RangeResult::Bad;
        }
        for (int i = 0; i < frame_.ScanComponentCount; ++i) {
            const int slot = frame_.ScanOrder[i];
            const int h = frame_.CompH[slot], v = frame_.CompV[slot];
            const size_t rowWidth = static_cast<size_t>(cols) * h;
            for (int y = 0; y < v; ++y) {
                CoefBlock* row = coefficients_[slot].Data() + (static_cast<size_t>(r) * v + y) * rowWidth;
                for (int x = 0; x < h; ++x) {
                    const BlockStatus status = DecodeBlock(in, *tables.dc[slot], *tables.ac[slot], tables.order,
                                                           state.dcPred[slot], row[c * h + x]);
                    if (status == BlockStatus::Bad) return RangeResult::Bad;
                    if (status == BlockStatus::Short) return RangeResult::Short;
                }
            }
        }
        if (interval == 0 || m == last || ++state.restartCounter != interval) continue;
        state.restartCounter = 0;
        for (int& pred : state.dcPred) pred = 0;
        // The interval's padding bits are dropped; the marker must be the expected RSTn, or
        // data has been lost and the blocks that follow would be wrong.
        if (in.ReadMarker() != 0xFFD0 + state.nextRestart) return RangeResult::Bad;
        state.nextRestart = (state.nextRestart + 1) & 7;
    }
    return RangeResult::Done;
}

bool TJpegRotation::ReportDecodeFailure(RangeResult result) {
    if (result == RangeResult::Short) {
        in_->ReportShortage();  // the marker message, or the read error
        return false;
    }
    return Fail(msg::kBadBlock);
}

// The first MCU of the second half of the restart intervals, and the byte after the restart
// marker that precedes it. False when the data does not look like whole intervals.
bool TJpegRotation::FindRestartSplit(int64_t& split, size_t& start) const {
    const int interval = frame_.RestartInterval;
    const int64_t total = int64_t{frame_.McuRows} * frame_.McuCols;
    const int64_t intervals = (total + interval - 1) / interval;
    if (intervals < 2) return false;
    const int64_t wanted = intervals / 2;  // markers to pass
    const uint8_t* data = in_->Data();
    const size_t size = in_->Size();
    int64_t seen = 0;
    for (size_t i = in_->BytePosition(); i + 1 < size; ++i) {
        const void* found = std::memchr(data + i, 0xFF, size - 1 - i);
        if (!found) return false;
        i = static_cast<size_t>(static_cast<const uint8_t*>(found) - data);
        const uint8_t next = data[i + 1];
        if (next == 0x00 || next == 0xFF) continue;  // a stuffed data byte, or a fill byte
        if ((next & 0xF8) != 0xD0) return false;   // the scan ends before the split
        if (++seen == wanted) {
            split = wanted * interval;
            start = i + 2;
            return true;
        }
        ++i;
    }
    return false;
}

bool TJpegRotation::DecodeScan() {
    TInBitStreamFile& in = *in_;
    DecodeTables tables;
    for (int i = 0; i < frame_.ComponentCount; ++i) {
        tables.dc[i] = &huff_.Decoder(0, frame_.DcTableSel[i]);
        tables.ac[i] = &huff_.Decoder(1, frame_.AcTableSel[i]);
    }
    tables.order = MakeStoreOrder(kind_);
    const size_t scanStart = in.BytePosition();
    const int64_t total = int64_t{frame_.McuRows} * frame_.McuCols;
    DecodeState state;

    // With restart intervals, the second half of them is decoded on a worker thread from the
    // marker where it starts. The first half runs here exactly as a sequential decode does;
    // if it does not end right at that marker, or the worker met anything unexpected, the
    // decode simply goes on here, so results and messages never differ from one thread's.
    const unsigned threads = MaxThreads != 0 ? MaxThreads : std::thread::hardware_concurrency();
    int64_t split = 0;
    size_t workerStart = 0;
    if (threads >= 2 && total >= kParallelMinimumMcus && frame_.RestartEnabled && frame_.RestartInterval > 0 &&
        FindRestartSplit(split, workerStart)) {
        TInBitStreamFile workerIn = in.ForkAt(workerStart);
        DecodeState workerState;
        workerState.nextRestart = static_cast<int>(split / frame_.RestartInterval % 8);
        RangeResult workerResult = RangeResult::Bad;
        std::atomic<bool> cancel{false};
        RangeResult headResult;
        bool joined = false;
        {
            std::jthread worker([&] {
                try {
                    workerResult = DecodeMcus(workerIn, tables, split, total, workerState, false, &cancel);
                } catch (const std::exception&) {
                    workerResult = RangeResult::Short;
                }
            });
            struct StopUnlessJoined {
                std::atomic<bool>& flag;
                bool& joined;
                ~StopUnlessJoined() {
                    if (!joined) flag = true;
                }
            } guard{cancel, joined};
            headResult = DecodeMcus(in, tables, 0, split, state, true, nullptr);
            joined = headResult == RangeResult::Done && in.BytePosition() == workerStart;
        }
        if (headResult != RangeResult::Done) return ReportDecodeFailure(headResult);
        if (joined && workerResult == RangeResult::Done) {
            for (int64_t m = split; m < total; ++m) {
                if (m % frame_.McuCols == 0) Progress(static_cast<int>(m / frame_.McuCols));
            }
            in.SetBytePosition(workerIn.BytePosition());
            scanBytes_ = in.BytePosition() - scanStart;
            return true;
        }
        const RangeResult rest = DecodeMcus(in, tables, split, total, state, true, nullptr);
        if (rest != RangeResult::Done) return ReportDecodeFailure(rest);
    } else {
        const RangeResult result = DecodeMcus(in, tables, 0, total, state, true, nullptr);
        if (result != RangeResult::Done) return ReportDecodeFailure(result);
    }
    scanBytes_ = in.BytePosition() - scanStart;
    return true;
}

}  // namespace pivotta
