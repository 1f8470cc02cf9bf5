// Huffman decoding of the one baseline scan into the coefficient store (ITU T.81 F.2.2).
#include <bit>
#include <cstring>
#include <new>
#include <thread>
#include <type_traits>

#include "BlockTransforms.h"
#include "JpegRotation.h"
#include "LargeBlock.h"
#include "Messages.h"

namespace pivotta {

namespace {

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

// Sign extension of a t-bit magnitude (ITU T.81 F.2.2.1, EXTEND).
inline int Extend(uint32_t value, int t) {
    return value < (1u << (t - 1)) ? static_cast<int>(value) - (1 << t) + 1 : static_cast<int>(value);
}

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

StoreOrder MakeStoreOrder(TransformKind kind) {
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
inline BlockStatus DecodeDc(BlockBits& in, const HuffmanDecoder& dcTable, int& dcPred, int16_t* record) {
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
    return finish();  // coefficient 63 was coded: no end-of-block code follows
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
    for (RecordArena& arena : arenas_) arena.Rewind();
    return true;
}

bool TJpegRotation::BlockIndex::Resize(size_t count) {
    if (count > capacity_) {
        Release();  // the old index goes first, so both are never held at once
        if (count > SIZE_MAX / sizeof(int16_t*)) return false;
        records_ = static_cast<int16_t**>(AllocateLarge(count * sizeof(int16_t*)));
        if (!records_) return false;
        capacity_ = count;
    }
    size_ = count;
    return true;
}

void TJpegRotation::BlockIndex::Release() {
    FreeLarge(records_, capacity_ * sizeof(int16_t*));
    records_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}

std::vector<CoefBlock> TJpegRotation::Coefficients(int slot) const {
    const BlockIndex& index = coefficients_[slot];
    std::vector<CoefBlock> blocks(index.Size());
    const HuffmanDecoder& acTable = huff_.Decoder(1, frame_.AcTableSel[slot]);
    for (size_t i = 0; i < blocks.size(); ++i) {
        blocks[i] = codesCopied_ ? packed::UnpackCodes(index.Data()[i], acTable) : packed::Unpack(index.Data()[i]);
    }
    return blocks;
}

// Decodes MCUs [begin, end) in raster order and consumes the restart markers that fall due
// after them. Sends no message: the caller reports what went wrong.
TJpegRotation::RangeResult TJpegRotation::DecodeMcus(TInBitStreamFile& in, const DecodeTables& tables, int64_t begin,
                                                     int64_t end, DecodeState& state, RecordArena& arena,
                                                     bool progress, const std::atomic<bool>* cancel) {
    const int cols = frame_.McuCols;
    const int64_t last = int64_t{frame_.McuRows} * cols - 1;
    const int interval = frame_.RestartEnabled ? frame_.RestartInterval : 0;
    for (int64_t m = begin; m < end; ++m) {
        const int r = static_cast<int>(m / cols), c = static_cast<int>(m % cols);
        if (c == 0) {
            if (progress) Progress(r);
            if (cancel && cancel->load(std::memory_order_relaxed)) return RangeResult::Bad;
        }
        {
            BlockBits bits(in);  // for the blocks of this MCU
            for (int i = 0; i < frame_.ScanComponentCount; ++i) {
                const int slot = frame_.ScanOrder[i];
                const int h = frame_.CompH[slot], v = frame_.CompV[slot];
                const size_t rowWidth = static_cast<size_t>(cols) * h;
                for (int y = 0; y < v; ++y) {
                    int16_t** row = coefficients_[slot].Data() + (static_cast<size_t>(r) * v + y) * rowWidth;
                    for (int x = 0; x < h; ++x) {
                        const BlockStatus status =
                            DecodeRecord(bits, tables, slot, state.dcPred[slot], arena, row[c * h + x]);
                        if (status == BlockStatus::Bad) return RangeResult::Bad;
                        if (status == BlockStatus::Short) return RangeResult::Short;
                    }
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
    tables.transposed = IsQuarterTurn(kind_);
    // Codes can be copied when every coefficient stays in place and the AC tables are full,
    // so that they are written out unchanged.
    codesCopied_ = !tables.transposed;
    for (int i = 0; i < frame_.ScanComponentCount; ++i) {
        codesCopied_ = codesCopied_ && huff_.IsFull(1, frame_.AcTableSel[frame_.ScanOrder[i]]);
    }
    tables.copyCodes = codesCopied_;
    if (codesCopied_) {
        huff_.BuildEncodeIndex();
        for (int i = 0; i < frame_.ComponentCount; ++i) tables.acCodes[i] = &huff_.Encoder(1, frame_.AcTableSel[i]);
    }
    const size_t scanStart = in.BytePosition();
    const int64_t total = int64_t{frame_.McuRows} * frame_.McuCols;
    const unsigned threads = MaxThreads != 0 ? MaxThreads : std::thread::hardware_concurrency();
    const bool parallel = threads >= 2 && total >= kParallelMinimumMcus;
    const bool restarts = frame_.RestartEnabled && frame_.RestartInterval > 0;
    DecodeState state;
    int64_t done = 0;
    if (parallel && restarts) {
        if (!DecodeRestartHalves(tables, state, done)) return false;
    } else if (parallel) {
        if (!DecodeSpeculatively(tables, state, done)) return false;
    }
    if (done < total) {
        const RangeResult rest = DecodeMcus(in, tables, done, total, state, arenas_[0], true, nullptr);
        if (rest != RangeResult::Done) return ReportDecodeFailure(rest);
    }
    scanBytes_ = in.BytePosition() - scanStart;
    return true;
}

// With restart intervals, the second half of them is decoded on a worker thread from the
// marker where it starts. The first half runs here exactly as a sequential decode does; if it
// does not end right at that marker, or the worker met anything unexpected, the caller simply
// goes on from where this thread stands, so results and messages never differ from one
// thread's. False after a reported failure; `done` counts the MCUs decoded.
bool TJpegRotation::DecodeRestartHalves(const DecodeTables& tables, DecodeState& state, int64_t& done) {
    TInBitStreamFile& in = *in_;
    const int64_t total = int64_t{frame_.McuRows} * frame_.McuCols;
    int64_t split = 0;
    size_t workerStart = 0;
    if (!FindRestartSplit(split, workerStart)) return true;
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
                workerResult = DecodeMcus(workerIn, tables, split, total, workerState, arenas_[1], false, &cancel);
            } catch (const std::exception&) {
                workerResult = RangeResult::Short;
            }
        });
        CancelUnlessJoined guard{cancel, joined};
        headResult = DecodeMcus(in, tables, 0, split, state, arenas_[0], true, nullptr);
        joined = headResult == RangeResult::Done && in.BytePosition() == workerStart;
    }
    if (headResult != RangeResult::Done) return ReportDecodeFailure(headResult);
    done = split;
    if (!joined || workerResult != RangeResult::Done) return true;
    ReplayProgress(split, total);
    in.SetBytePosition(workerIn.BytePosition());
    state = workerState;
    done = total;
    return true;
}

// Without restart markers nobody knows where the second half of the MCUs starts. A worker
// starts decoding anyway in the middle of the data, from a byte that is most likely not an
// MCU boundary: it decodes garbage for a few blocks until the codes fall into step with the
// real ones, as Huffman codes do. It records the bit position of every MCU it starts. This
// thread decodes from the start until it passes the worker's first byte; once it reaches, at
// an MCU boundary, a position the worker also started an MCU at, both parse the same bits
// from there on, and the worker's blocks are adopted with their DC values shifted by the
// difference of the two predictors. Without such a meeting point the caller decodes on
// sequentially, so nothing observable depends on the worker.
bool TJpegRotation::DecodeSpeculatively(const DecodeTables& tables, DecodeState& state, int64_t& done) {
    TInBitStreamFile& in = *in_;
    const int64_t total = int64_t{frame_.McuRows} * frame_.McuCols;
    const int cols = frame_.McuCols;
    size_t workerStart = in.BytePosition() + (in.Size() - in.BytePosition()) / 2;
    const uint8_t* data = in.Data();
    if (workerStart > 0 && data[workerStart - 1] == 0xFF) ++workerStart;  // not the 00 of a stuffed FF
    if (workerStart + 1 >= in.Size()) return true;
    const uint64_t workerStartBit = uint64_t{workerStart} * 8;

    SpeculativeRun run;
    TInBitStreamFile workerIn = in.ForkAt(workerStart);
    std::atomic<bool> cancel{false};
    RangeResult headResult = RangeResult::Done;
    bool joined = false;
    {
        std::jthread worker([&] {
            try {
                DecodeFromAnywhere(workerIn, tables, total, run, cancel);
            } catch (const std::exception&) {
                run.failed = true;
            }
        });
        CancelUnlessJoined guard{cancel, joined};
        // Whole rows, so that progress is reported as a sequential decode reports it.
        while (done < total && in.BitPosition() < workerStartBit) {
            const int64_t rowEnd = std::min(total, done + cols);
            headResult = DecodeMcus(in, tables, done, rowEnd, state, arenas_[0], true, nullptr);
            if (headResult != RangeResult::Done) break;
            done = rowEnd;
        }
        joined = headResult == RangeResult::Done;
    }
    if (headResult != RangeResult::Done) return ReportDecodeFailure(headResult);
    if (run.failed || done == total) return true;

    // Find the meeting point, one MCU at a time.
    const std::vector<uint64_t>& starts = run.mcuStart;
    size_t j = 0;
    for (;;) {
        const uint64_t here = in.BitPosition();
        while (j < starts.size() && starts[j] < here) ++j;
        if (j == starts.size()) return true;  // never met: decode on
        if (starts[j] == here) break;
        const RangeResult result = DecodeMcus(in, tables, done, done + 1, state, arenas_[0], true, nullptr);
        if (result != RangeResult::Done) return ReportDecodeFailure(result);
        if (++done == total) return true;
    }
    const int64_t needed = total - done;
    const int64_t complete = static_cast<int64_t>(starts.size()) - 1;
    if (complete - static_cast<int64_t>(j) < needed) return true;  // the worker stopped early: so will we

    AdoptWorkerMcus(run, j, done, state);
    ReplayProgress(done, total);
    in.SetBitPosition(starts[j + needed]);
    done = total;
    return true;
}

// Decodes MCUs from wherever the reader stands, with predictors starting at 0, until the data
// ends or total MCUs are done. A bad code before the meeting point only shows that the parse
// is not yet in step: everything so far is dropped and decoding starts over a bit further on.
// (Should the data itself be damaged there, the sequential decode finds it and reports it.)
void TJpegRotation::DecodeFromAnywhere(TInBitStreamFile& in, const DecodeTables& tables, int64_t total,
                                       SpeculativeRun& run, const std::atomic<bool>& cancel) {
    int dcPred[kMaxComponents] = {};
    const int blocksPerMcu = BlocksPerMcu();
    run.mcuStart.reserve(static_cast<size_t>(total / 2 + 1024));
    run.records.reserve(static_cast<size_t>((total / 2 + 1024) * blocksPerMcu));
    AdviseLarge(run.records.data(), run.records.capacity() * sizeof(int16_t*));
    for (int64_t m = 0; m < total; ++m) {
        if (m % 256 == 0 && cancel.load(std::memory_order_relaxed)) break;
        run.mcuStart.push_back(in.BitPosition());
        const size_t mcuBegin = run.records.size();
        run.records.resize(mcuBegin + blocksPerMcu);
        int16_t** placed = run.records.data() + mcuBegin;
        BlockStatus status = BlockStatus::Ok;
        {
            BlockBits bits(in);
            for (int i = 0; i < frame_.ScanComponentCount && status == BlockStatus::Ok; ++i) {
                const int slot = frame_.ScanOrder[i];
                for (int b = frame_.CompH[slot] * frame_.CompV[slot]; b > 0 && status == BlockStatus::Ok; --b) {
                    status = DecodeRecord(bits, tables, slot, dcPred[slot], arenas_[1], *placed++);
                }
            }
        }
        if (status == BlockStatus::Ok) continue;
        if (status == BlockStatus::Short || in.BitsAvailable() == 0) {
            run.records.resize(mcuBegin);
            return;  // the start just pushed is where the last whole MCU ends
        }
        in.SkipBits(1);
        run.mcuStart.clear();
        run.records.clear();
        for (int& pred : dcPred) pred = 0;
        m = -1;
    }
    run.mcuStart.push_back(in.BitPosition());
}

// Places the worker's MCUs [first, first + total - at) as MCUs [at, total) with the DC values
// they get from this thread's predictors.
void TJpegRotation::AdoptWorkerMcus(const SpeculativeRun& run, size_t first, int64_t at, DecodeState& state) {
    const int cols = frame_.McuCols;
    const int64_t total = int64_t{frame_.McuRows} * cols;
    const int blocksPerMcu = BlocksPerMcu();
    // The worker's predictor before MCU `first` is the DC of the last block of each component
    // in the MCU before it, or 0 at its start.
    int shift[kMaxComponents] = {};
    int lastBlock = 0;
    for (int i = 0; i < frame_.ScanComponentCount; ++i) {
        const int slot = frame_.ScanOrder[i];
        lastBlock += frame_.CompH[slot] * frame_.CompV[slot];
        const int workerPred = first == 0 ? 0 : packed::Dc(run.records[(first - 1) * blocksPerMcu + lastBlock - 1]);
        shift[slot] = state.dcPred[slot] - workerPred;
    }
    const int16_t* last[kMaxComponents] = {};
    int16_t* const* record = run.records.data() + first * blocksPerMcu;
    for (int64_t m = at; m < total; ++m) {
        const int r = static_cast<int>(m / cols), c = static_cast<int>(m % cols);
        for (int i = 0; i < frame_.ScanComponentCount; ++i) {
            const int slot = frame_.ScanOrder[i];
            const int h = frame_.CompH[slot], v = frame_.CompV[slot];
            const size_t rowWidth = static_cast<size_t>(cols) * h;
            for (int y = 0; y < v; ++y) {
                int16_t** row = coefficients_[slot].Data() + (static_cast<size_t>(r) * v + y) * rowWidth + c * h;
                for (int x = 0; x < h; ++x) {
                    int16_t* block = *record++;
                    packed::Dc(block) = static_cast<int16_t>(packed::Dc(block) + shift[slot]);
                    row[x] = block;
                    last[slot] = block;
                }
            }
        }
    }
    for (int i = 0; i < frame_.ScanComponentCount; ++i) {
        const int slot = frame_.ScanOrder[i];
        state.dcPred[slot] = packed::Dc(last[slot]);
    }
}

int TJpegRotation::BlocksPerMcu() const {
    int blocks = 0;
    for (int i = 0; i < frame_.ScanComponentCount; ++i) {
        blocks += frame_.CompH[frame_.ScanOrder[i]] * frame_.CompV[frame_.ScanOrder[i]];
    }
    return blocks;
}

// The progress calls a sequential decode of MCUs [from, to) would have made.
void TJpegRotation::ReplayProgress(int64_t from, int64_t to) {
    for (int64_t m = from; m < to; ++m) {
        if (m % frame_.McuCols == 0) Progress(static_cast<int>(m / frame_.McuCols));
    }
}

}  // namespace pivotta
