#include "ScanEncoder.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

#include "BlockTransforms.h"
#include "Prefetch.h"
#include "RawBitBuffer.h"
#include "WorkerThreads.h"

namespace pivotta {

namespace {

// How many MCUs ahead the encoder asks for index entries and for blocks.
constexpr int kIndexAhead = 8;
constexpr int kBlockAhead = 4;

// This thread writes its rows straight to the output and then appends every worker's bits,
// shifted into place, so it takes fewer rows than a worker: the fewer, the more appending weighs
// against encoding. Copied codes cost little to encode, so there it takes fewer still. In
// percent of a worker's rows, as measured best on two processors (42 and 47 percent of all).
constexpr int kOwnShareCodes = 72;
constexpr int kOwnShareValues = 89;
// Counting appends nothing: every thread takes as many rows.
constexpr int kOwnShareCounting = 100;

}  // namespace

ScanEncoder::ScanEncoder(const FrameState& frame, const HuffTables& tables, TransformKind kind,
                         const CoefficientStore& store, const std::function<void(int row)>& progress)
    : frame_(frame), store_(store), progress_(progress), kind_(kind), swapsAxes_(SwapsAxes(kind)) {
    cols_ = frame.McuCols;
    rows_ = frame.McuRows;
    skipCol_ = frame.OutputWidth != frame.ImageWidth ? 1 : 0;
    skipRow_ = frame.OutputHeight != frame.ImageHeight ? 1 : 0;
    compH_ = frame.CompH;
    compV_ = frame.CompV;
    if (swapsAxes_) {
        std::swap(cols_, rows_);
        std::swap(skipCol_, skipRow_);
        std::swap(compH_, compV_);
    }
    interval_ = frame.RestartEnabled ? frame.RestartInterval : 0;
    copyCodes_ = store.RecordForm() == CoefficientStore::Form::Codes;
    for (int i = 0; i < frame.ComponentCount; ++i) {
        const int dc = frame.DcTableSel[i], ac = frame.AcTableSel[i];
        tables_[i] = {&tables.Encoder(0, dc), &tables.Encoder(1, ac), dc, ac};
    }
}

// Where the input block that lands at output block (x, y) of a slot is in the index.
inline size_t ScanEncoder::SourceIndex(int slot, int x, int y) const {
    const int width = cols_ * compH_[slot], height = rows_ * compV_[slot];
    const int inWidth = swapsAxes_ ? height : width;
    const GridPosition source = SourcePosition(kind_, x, y, width, height);
    return static_cast<size_t>(source.y) * inWidth + source.x;
}

template <class Sink>
int ScanEncoder::EncodeRows(int rowBegin, int rowEnd, RowState& state, Sink& out, bool progress,
                            const std::atomic<bool>* cancel) const {
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
        if (progress && progress_) progress_(r);
        if (cancel && cancel->load(std::memory_order_relaxed)) return r;
        size_t count = 0;
        for (int i = 0; i < frame_.ScanComponentCount; ++i) {
            const int slot = frame_.ScanOrder[i];
            const int h = compH_[slot], v = compV_[slot];
            for (int by = 0; by < v; ++by) {
                for (int bx = 0; bx < h; ++bx) {
                    const auto at = [&](int c) {
                        return static_cast<ptrdiff_t>(SourceIndex(slot, c * h + bx, r * v + by));
                    };
                    walks[count++] = {store_.Index(slot), at(0), cols_ > 1 ? at(1) - at(0) : 0, slot};
                }
            }
        }
        for (int c = skipCol_; c < cols_; ++c) {
            for (size_t b = 0; b < count; ++b) {
                const BlockWalk& walk = walks[b];
                // A transposing kind reads the store across its rows, where every block is a cache
                // miss: ask for the index entries a few MCUs ahead, and for the blocks of
                // entries asked for earlier.
                if (swapsAxes_ && c + kIndexAhead < cols_) {
                    Prefetch(walk.index + walk.first + (c + kIndexAhead) * walk.step);
                }
                if (swapsAxes_ && c + kBlockAhead < cols_) {
                    Prefetch(walk.index[walk.first + (c + kBlockAhead) * walk.step]);
                }
                const int16_t* block = walk.index[walk.first + c * walk.step];
                if (!scan::EncodeBlock(out, tables_[walk.slot], copyCodes_, block, state.dcPred[walk.slot])) return r;
            }
            if (interval_ == 0) continue;
            const bool last = r == rows_ - 1 && c == cols_ - 1;
            if (++state.restartCounter == interval_ && !last) {
                state.restartCounter = 0;
                for (int& pred : state.dcPred) pred = 0;
                out.WriteWord(static_cast<uint16_t>(0xFFD0 + state.restartNumber));
                state.restartNumber = (state.restartNumber + 1) & 7;
            }
        }
    }
    return rowEnd;
}

ScanEncoder::RowState ScanEncoder::StateAtRow(int row) const {
    RowState state;
    const int64_t mcusBefore = int64_t{row - skipRow_} * (cols_ - skipCol_);
    if (interval_ > 0) {
        state.restartCounter = static_cast<int>(mcusBefore % interval_);
        state.restartNumber = static_cast<int>(mcusBefore / interval_ % 8);
        if (state.restartCounter == 0) return state;  // a restart came just before: predictors are 0
    }
    for (int i = 0; i < frame_.ScanComponentCount; ++i) {
        const int slot = frame_.ScanOrder[i];
        const int h = compH_[slot], v = compV_[slot];
        state.dcPred[slot] = packed::Dc(store_.Index(slot)[SourceIndex(slot, (cols_ - 1) * h + h - 1, (row - 1) * v + v - 1)]);
    }
    return state;
}

unsigned ScanEncoder::ThreadsFor(unsigned budget) const {
    const unsigned threads = ThreadsForMcus(int64_t{frame_.McuRows} * frame_.McuCols, budget);
    return std::min<unsigned>(threads, static_cast<unsigned>(std::max(1, rows_ - skipRow_)));
}

std::vector<int> ScanEncoder::SplitRows(unsigned threads, int own) const {
    const int rowCount = rows_ - skipRow_;
    const int64_t weights = own + int64_t{100} * (threads - 1);  // in percent of a worker's rows
    std::vector<int> bounds{skipRow_};
    for (unsigned t = 1; t < threads; ++t) {
        const int64_t before = own + int64_t{100} * (t - 1);
        const int row = skipRow_ + static_cast<int>(rowCount * before / weights);
        if (row > bounds.back()) bounds.push_back(row);
    }
    bounds.push_back(rows_);
    return bounds;
}

ScanEncoder::Status ScanEncoder::Encode(TOutBitStreamFile& out, size_t scanBytes, unsigned threads,
                                        const ThreadStarter& start) const {
    const std::vector<int> bounds = SplitRows(ThreadsFor(threads), copyCodes_ ? kOwnShareCodes : kOwnShareValues);
    const size_t workers = bounds.size() - 2;

    std::vector<RawBitBuffer> buffers(workers);
    std::vector<int> ends(workers, 0);
    WorkerThreads team(start, static_cast<unsigned>(workers), [&](unsigned w, const std::atomic<bool>& cancel) {
        const int first = bounds[w + 1], end = bounds[w + 2];
        buffers[w].Reserve(scanBytes / (bounds.back() - bounds.front()) * (end - first) + 1024);
        RowState state = StateAtRow(first);
        ends[w] = EncodeRows(first, end, state, buffers[w], false, &cancel);
    });
    RowState state;
    if (EncodeRows(bounds[0], bounds[1], state, out, true, nullptr) != bounds[1]) return Status::MissingCode;
    team.Join();
    for (size_t w = 0; w < workers; ++w) {
        const int first = bounds[w + 1], end = bounds[w + 2];
        if (!team.Finished(static_cast<unsigned>(w))) {
            if (w < team.Started()) return Status::OutOfMemory;  // its buffer could not be had
            // Never started: this thread encodes the range itself.
            state = StateAtRow(first);
            if (EncodeRows(first, end, state, out, true, nullptr) != end) return Status::MissingCode;
            continue;
        }
        // The progress calls of its rows, and of the row it failed in.
        const int lastStarted = ends[w] < end ? ends[w] : end - 1;
        if (progress_) {
            for (int r = first; r <= lastStarted; ++r) progress_(r);
        }
        buffers[w].AppendTo(out);
        if (ends[w] != end) return Status::MissingCode;
    }
    return Status::Done;
}

scan::ScanSymbolCounts ScanEncoder::CountSymbols(unsigned threads, const ThreadStarter& start) const {
    const std::vector<int> bounds = SplitRows(ThreadsFor(threads), kOwnShareCounting);
    const size_t workers = bounds.size() - 2;
    std::vector<scan::SymbolCounter> counters(workers);
    WorkerThreads team(start, static_cast<unsigned>(workers), [&](unsigned w, const std::atomic<bool>& cancel) {
        RowState state = StateAtRow(bounds[w + 1]);
        (void)EncodeRows(bounds[w + 1], bounds[w + 2], state, counters[w], false, &cancel);
    });
    scan::SymbolCounter counter;
    RowState state;
    (void)EncodeRows(bounds[0], bounds[1], state, counter, false, nullptr);  // counting cannot fail
    team.Join();
    for (size_t w = 0; w < workers; ++w) {
        if (team.Finished(static_cast<unsigned>(w))) {
            counter.counts.Add(counters[w].counts);
            continue;
        }
        state = StateAtRow(bounds[w + 1]);  // a worker that did not run: its rows are counted here
        (void)EncodeRows(bounds[w + 1], bounds[w + 2], state, counter, false, nullptr);
    }
    return counter.counts;
}

}  // namespace pivotta
