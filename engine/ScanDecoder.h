// Huffman decoding of the one baseline scan into the coefficient store (ITU T.81 F.2.2), on
// as many threads as it is given, with the store's contents, the outcome and the progress
// calls exactly those of one thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "BitStreamFile.h"
#include "BlockTransforms.h"
#include "CoefficientStore.h"
#include "FrameState.h"
#include "HuffmanTables.h"
#include "LargeBlock.h"
#include "ThreadStarter.h"
#include "TransformKind.h"

namespace pivotta {

class ScanDecoder {
public:
    // Bad: a code that no table has, or a wrong restart marker. Short: bits are missing where
    // a marker or the end of the data stands (the reader can say which).
    enum class Status { Done, Bad, Short };
    struct Result {
        Status status = Status::Done;
        int64_t stoppedRow = -1;  // the MCU row of a failure
    };

    // The store must be prepared for the frame, with an arena per thread; the tables must
    // have their encoding views when the store holds Codes records.
    ScanDecoder(const FrameState& frame, const HuffTables& tables, TransformKind kind, CoefficientStore& store,
                const std::function<void(int row)>& progress);

    // Decodes every MCU from the reader's position, which is then after the last one.
    Result Decode(TInBitStreamFile& in, unsigned threads, const ThreadStarter& start);

private:
    // Where a run of MCU decoding stands: what a sequential decode carries from MCU to MCU.
    struct RunState {
        int dcPred[kMaxComponents] = {};
        int restartCounter = 0;
        int nextRestart = 0;
        int64_t stoppedAt = -1;  // the MCU a failed range stopped in
    };
    struct Tables {
        const HuffmanDecoder* dc[kMaxComponents] = {};
        const HuffmanDecoder* ac[kMaxComponents] = {};
        const HuffmanEncoder* acCodes[kMaxComponents] = {};
        StoreOrder order;
        bool transposed = false;
        bool copyCodes = false;
    };
    // A speculative worker's decode from a byte that is most likely no MCU boundary.
    struct SpeculativeRun {
        LargeVector<uint64_t> mcuStart;  // bit position where each whole MCU starts, then where the last ends
        LargeVector<int16_t*> records;   // the blocks of the whole MCUs, in scan order
    };

    int64_t McuCount() const { return int64_t{frame_.McuRows} * frame_.McuCols; }
    // Where the index holds the blocks of row y of a slot's blocks in the MCU at row r, column c.
    int16_t** McuBlockRow(int slot, int r, int c, int y) {
        const int h = frame_.CompH[slot], v = frame_.CompV[slot];
        return store_.Index(slot) + (static_cast<size_t>(r) * v + y) * (static_cast<size_t>(frame_.McuCols) * h) +
               static_cast<size_t>(c) * h;
    }
    int BlocksPerMcu() const;
    Result Failure(Status status, const RunState& state) const;
    // Decodes MCUs [begin, end) and the restart markers due after them; sends progress for
    // the rows it starts when `progress` is set.
    Status DecodeMcus(TInBitStreamFile& in, int64_t begin, int64_t end, RunState& state, RecordArena& arena,
                      bool progress, const std::atomic<bool>* cancel);
    void ReplayProgress(int64_t from, int64_t to) const;

    // With restart markers: one range of intervals per thread.
    Result DecodeRestartRanges(TInBitStreamFile& in, unsigned threads, const ThreadStarter& start, RunState& state,
                               int64_t& done);
    struct RangeStart {
        int64_t mcu;   // its first MCU
        size_t byte;   // the byte after the restart marker before it
    };
    std::vector<RangeStart> FindRestartRanges(const TInBitStreamFile& in, unsigned ranges) const;

    // Without them: workers that start anywhere and are adopted where they meet the truth.
    Result DecodeSpeculatively(TInBitStreamFile& in, unsigned threads, const ThreadStarter& start, RunState& state,
                               int64_t& done);
    void DecodeFromAnywhere(TInBitStreamFile& in, uint64_t stopBit, size_t expectedMcus, RecordArena& arena,
                            SpeculativeRun& run, const std::atomic<bool>& cancel) const;
    void AdoptWorkerMcus(const SpeculativeRun& run, size_t first, size_t count, int64_t at, RunState& state);

    const FrameState& frame_;
    CoefficientStore& store_;
    const std::function<void(int)>& progress_;
    Tables tables_;
};

}  // namespace pivotta
