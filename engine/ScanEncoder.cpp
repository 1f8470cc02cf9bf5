// Huffman-encodes the output scan: output MCUs in raster order, each block taken from where
// the transform moves it (the decoder stored it already rearranged and sign-flipped). On
// large pictures the second half of the output rows is encoded on a worker thread into a
// raw bit buffer and appended afterwards, which gives exactly the bytes of a sequential run.
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <optional>
#include <thread>
#include <utility>

#include "BlockTransforms.h"
#include "JpegRotation.h"
#include "Messages.h"
#include "Prefetch.h"
#include "RawBitBuffer.h"

namespace pivotta {

namespace {

struct EncodeTables {
    const HuffmanEncoder* dc;
    const HuffmanEncoder* ac;
};

// One symbol and the low t bits of its value (negative values as value - 1, ITU T.81 F.1.2.1).
template <class Cursor>
inline bool PutSymbol(Cursor& out, const HuffmanEncoder& table, int symbol, int value, int t) {
    const int length = table.length[symbol];
    if (length == 0) return false;  // the table lacks it: never write a scan it cannot decode
    const uint32_t extra = static_cast<uint32_t>(value - (value < 0)) & ((1u << t) - 1);
    out.PutBits(table.code[symbol] << t | extra, length + t);
    return true;
}

// Codes one packed block of the store, which holds it already transformed (see the decoder).
// The size category and extra bits of every value an 8-bit baseline AC coefficient can have,
// as (size << 12) | extra: a table load instead of an absolute value, a bit count and a mask.
constexpr int kTabledMagnitude = 1023;
constexpr std::array<uint16_t, 2 * kTabledMagnitude + 1> MakeSizeExtraTable() {
    std::array<uint16_t, 2 * kTabledMagnitude + 1> table{};
    for (int value = -kTabledMagnitude; value <= kTabledMagnitude; ++value) {
        const int size = std::bit_width(static_cast<unsigned>(value < 0 ? -value : value));
        const uint32_t extra = static_cast<uint32_t>(value - (value < 0)) & ((1u << size) - 1);
        table[value + kTabledMagnitude] = static_cast<uint16_t>(size << 12 | extra);
    }
    return table;
}
constexpr std::array<uint16_t, 2 * kTabledMagnitude + 1> kSizeExtra = MakeSizeExtraTable();

// Codes the symbol prefix | size of a value and its extra bits; false when the table lacks the
// symbol or the size exceeds maxSize (15 for AC symbols, whose size has four bits).
template <class Cursor>
[[gnu::always_inline]] inline bool PutValue(Cursor& out, const HuffmanEncoder& table, int prefix, int value,
                                            int maxSize) {
    if (static_cast<unsigned>(value + kTabledMagnitude) <= 2 * kTabledMagnitude) {
        const uint32_t sizeExtra = kSizeExtra[static_cast<unsigned>(value + kTabledMagnitude)];
        const int size = static_cast<int>(sizeExtra >> 12);
        const int symbol = prefix | size;
        const int length = table.length[symbol];
        if (length == 0) return false;  // the table lacks it: never write a scan it cannot decode
        out.PutBits(table.code[symbol] << size | (sizeExtra & 0xFFF), length + size);
        return true;
    }
    const int size = std::bit_width(static_cast<unsigned>(std::abs(value)));
    return size <= maxSize && PutSymbol(out, table, prefix | size, value, size);
}

template <class Cursor>
bool EncodeBlockBits(Cursor& out, const EncodeTables& tables, const int16_t* record, int& dcPred) {
    uint64_t nonZero = packed::Mask(record);
    const int16_t* values = packed::AcValues(record);
    const int dc = packed::Dc(record);
    const int diff = dc - dcPred;
    dcPred = dc;
    if (!PutValue(out, *tables.dc, 0, diff, 16)) return false;

    int last = 0;
    while (nonZero != 0) {
        const int k = std::countr_zero(nonZero);
        nonZero &= nonZero - 1;
        int run = k - last - 1;
        for (; run > 15; run -= 16) {
            if (!PutSymbol(out, *tables.ac, 0xF0, 0, 0)) return false;
        }
        if (!PutValue(out, *tables.ac, run << 4, *values++, 15)) return false;
        last = k;
    }
    return last == 63 || PutSymbol(out, *tables.ac, 0x00, 0, 0);  // end of block
}

// Codes the DC difference of a Codes record and copies its AC codes.
template <class Cursor>
bool CopyBlockBits(Cursor& out, const EncodeTables& tables, const int16_t* record, int& dcPred) {
    const int dc = packed::Dc(record);
    const int diff = dc - dcPred;
    dcPred = dc;
    if (!PutValue(out, *tables.dc, 0, diff, 16)) return false;
    const int bits = packed::CodeBits(record);
    const int words = bits / 32;
    for (int i = 0; i < words; ++i) out.PutBits(packed::CodeWord(record, i), 32);
    if (const int rest = bits % 32; rest != 0) out.PutBits(packed::CodeWord(record, words) >> (32 - rest), rest);
    return true;
}

template <class Sink>
bool EncodeBlock(Sink& sink, const EncodeTables& tables, bool copyCodes, const int16_t* record, int& dcPred) {
    auto cursor = sink.OpenCursor(kMaxBlockBytes);
    const bool ok = copyCodes ? CopyBlockBits(cursor, tables, record, dcPred)
                              : EncodeBlockBits(cursor, tables, record, dcPred);
    sink.CloseCursor(cursor);
    return ok;
}

}  // namespace

// Everything the row loop needs, in output terms.
struct TJpegRotation::ScanLayout {
    TransformKind kind;
    bool swapsAxes;
    int cols, rows, skipCol, skipRow;
    std::array<int, kMaxComponents> compH, compV;
    int interval;  // 0 when no restart markers are written
    bool copyCodes;  // the store holds Codes records
    EncodeTables tables[kMaxComponents];
};

// How many MCUs ahead the encoder asks for index entries and for blocks.
constexpr int kIndexAhead = 8;
constexpr int kBlockAhead = 4;

struct TJpegRotation::EncodeState {
    int dcPred[kMaxComponents] = {};
    int restartCounter = 0;
    int restartNumber = 0;
};

// Where the input block that lands at output block (x, y) of a slot is in the index.
inline size_t TJpegRotation::SourceIndex(const ScanLayout& layout, int slot, int x, int y) const {
    const int width = layout.cols * layout.compH[slot], height = layout.rows * layout.compV[slot];
    const int inWidth = layout.swapsAxes ? height : width;
    const GridPosition source = SourcePosition(layout.kind, x, y, width, height);
    return static_cast<size_t>(source.y) * inWidth + source.x;
}

const int16_t* TJpegRotation::SourceBlock(const ScanLayout& layout, int slot, int x, int y) const {
    return coefficients_[slot].Data()[SourceIndex(layout, slot, x, y)];
}

// Encodes output MCU rows [rowBegin, rowEnd). Returns the row it failed in, or rowEnd.
template <class Sink>
int TJpegRotation::EncodeRows(const ScanLayout& layout, int rowBegin, int rowEnd, EncodeState& state, Sink& out,
                              const std::function<void(int)>& progress, const std::atomic<bool>* cancel) const {
    // Along an output row, the index position of each block of the MCU moves by a fixed step
    // from one MCU to the next: the transforms are affine.
    struct BlockWalk {
        const int16_t* const* index;
        ptrdiff_t first;  // index position in the row's first MCU
        ptrdiff_t step;   // per MCU
        int slot;
    };
    std::array<BlockWalk, kMaxComponents * 16> walks;
    for (int r = rowBegin; r < rowEnd; ++r) {
        if (progress) progress(r);
        if (cancel && cancel->load(std::memory_order_relaxed)) return r;
        size_t count = 0;
        for (int i = 0; i < frame_.ScanComponentCount; ++i) {
            const int slot = frame_.ScanOrder[i];
            const int h = layout.compH[slot], v = layout.compV[slot];
            for (int by = 0; by < v; ++by) {
                for (int bx = 0; bx < h; ++bx) {
                    const auto at = [&](int c) {
                        return static_cast<ptrdiff_t>(SourceIndex(layout, slot, c * h + bx, r * v + by));
                    };
                    walks[count++] = {coefficients_[slot].Data(), at(0), layout.cols > 1 ? at(1) - at(0) : 0, slot};
                }
            }
        }
        for (int c = layout.skipCol; c < layout.cols; ++c) {
            for (size_t b = 0; b < count; ++b) {
                const BlockWalk& walk = walks[b];
                // A transposing kind reads the store across its rows, where every block is a cache
                // miss: ask for the index entries a few MCUs ahead, and for the blocks of
                // entries asked for earlier.
                if (layout.swapsAxes && c + kIndexAhead < layout.cols) {
                    Prefetch(walk.index + walk.first + (c + kIndexAhead) * walk.step);
                }
                if (layout.swapsAxes && c + kBlockAhead < layout.cols) {
                    Prefetch(walk.index[walk.first + (c + kBlockAhead) * walk.step]);
                }
                const int16_t* block = walk.index[walk.first + c * walk.step];
                if (!EncodeBlock(out, layout.tables[walk.slot], layout.copyCodes, block, state.dcPred[walk.slot])) {
                    return r;
                }
            }
            if (layout.interval == 0) continue;
            const bool last = r == layout.rows - 1 && c == layout.cols - 1;
            if (++state.restartCounter == layout.interval && !last) {
                state.restartCounter = 0;
                for (int& pred : state.dcPred) pred = 0;
                out.WriteWord(static_cast<uint16_t>(0xFFD0 + state.restartNumber));
                state.restartNumber = (state.restartNumber + 1) & 7;
            }
        }
    }
    return rowEnd;
}

// The state a sequential run would have at the start of output row `row`.
TJpegRotation::EncodeState TJpegRotation::StateAtRow(const ScanLayout& layout, int row) const {
    EncodeState state;
    const int64_t mcusBefore = int64_t{row - layout.skipRow} * (layout.cols - layout.skipCol);
    if (layout.interval > 0) {
        state.restartCounter = static_cast<int>(mcusBefore % layout.interval);
        state.restartNumber = static_cast<int>(mcusBefore / layout.interval % 8);
        if (state.restartCounter == 0) return state;  // a restart came just before: predictors are 0
    }
    for (int i = 0; i < frame_.ScanComponentCount; ++i) {
        const int slot = frame_.ScanOrder[i];
        const int h = layout.compH[slot], v = layout.compV[slot];
        state.dcPred[slot] =
            packed::Dc(SourceBlock(layout, slot, (layout.cols - 1) * h + h - 1, (row - 1) * v + v - 1));
    }
    return state;
}

bool TJpegRotation::EncodeScan() {
    ScanLayout layout{};
    layout.kind = kind_;
    layout.swapsAxes = SwapsAxes(kind_);
    layout.cols = frame_.McuCols;
    layout.rows = frame_.McuRows;
    layout.skipCol = frame_.OutputWidth != frame_.ImageWidth ? 1 : 0;
    layout.skipRow = frame_.OutputHeight != frame_.ImageHeight ? 1 : 0;
    layout.compH = frame_.CompH;
    layout.compV = frame_.CompV;
    if (layout.swapsAxes) {  // from here on, everything describes the output picture
        std::swap(layout.cols, layout.rows);
        std::swap(layout.skipCol, layout.skipRow);
        std::swap(layout.compH, layout.compV);
    }
    layout.interval = frame_.RestartEnabled ? frame_.RestartInterval : 0;
    layout.copyCodes = codesCopied_;
    for (int i = 0; i < frame_.ComponentCount; ++i) {
        layout.tables[i] = {&huff_.Encoder(0, frame_.DcTableSel[i]), &huff_.Encoder(1, frame_.AcTableSel[i])};
    }
    const int progressBase = frame_.McuRows;
    const std::function<void(int)> progress = [&](int r) { Progress(progressBase + r); };

    // Small pictures, or one processor: a plain sequential run.
    const int64_t mcus = int64_t{frame_.McuRows} * frame_.McuCols;
    const int rowCount = layout.rows - layout.skipRow;
    const unsigned threads = MaxThreads != 0 ? MaxThreads : std::thread::hardware_concurrency();
    auto encodeSequentially = [&] {
        EncodeState state;
        if (EncodeRows(layout, layout.skipRow, layout.rows, state, *out_, progress, nullptr) != layout.rows) {
            return Fail(MessageCode::MissingCode, msg::kMissingCode);
        }
        return true;
    };
    if (mcus < kParallelMinimumMcus || rowCount < 2 || threads < 2) return encodeSequentially();

    // The first half goes straight to the output on this thread (hooks included); the second
    // half is encoded meanwhile into a raw buffer, then appended with its progress calls.
    // This thread also appends the worker's bits, shifted into place: it takes fewer rows, the
    // fewer the more that append weighs against encoding (copied codes cost little to encode).
    const int headShare = layout.copyCodes ? 42 : 47;  // percent
    const int split = layout.skipRow + std::max(1, rowCount * headShare / 100);
    RawBitBuffer tail;
    std::atomic<bool> cancel{false};
    int tailEnd = layout.rows;
    bool tailOutOfMemory = false;
    int headEnd = split;
    {
        std::optional<std::jthread> worker = TryStartThread(StartThread, [&] {
            try {
                tail.Reserve(scanBytes_ / 2 + 1024);
                EncodeState state = StateAtRow(layout, split);
                tailEnd = EncodeRows(layout, split, layout.rows, state, tail, nullptr, &cancel);
            } catch (const std::exception&) {
                tailOutOfMemory = true;
            }
        });
        if (!worker) return encodeSequentially();  // no thread to be had: the same bytes from one
        // Stops the worker early when this thread fails or throws; the jthread then joins.
        struct StopUnlessDone {
            std::atomic<bool>& flag;
            bool done = false;
            ~StopUnlessDone() {
                if (!done) flag = true;
            }
        } guard{cancel};
        EncodeState state;
        headEnd = EncodeRows(layout, layout.skipRow, split, state, *out_, progress, nullptr);
        guard.done = headEnd == split;
    }
    if (headEnd != split) return Fail(MessageCode::MissingCode, msg::kMissingCode);
    if (tailOutOfMemory) return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);
    for (int r = split; r <= std::min(tailEnd, layout.rows - 1); ++r) progress(r);
    tail.AppendTo(*out_);
    if (tailEnd != layout.rows) return Fail(MessageCode::MissingCode, msg::kMissingCode);
    return true;
}

}  // namespace pivotta
