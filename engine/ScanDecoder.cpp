// The sequential decode and the choice of how to split the work.
#include "ScanDecoder.h"

#include <algorithm>

#include "BlockDecoding.h"
#include "WorkerThreads.h"

namespace pivotta {

using scan::BlockBits;
using scan::BlockStatus;
using scan::DecodeRecord;

ScanDecoder::ScanDecoder(const FrameState& frame, const HuffTables& tables, TransformKind kind,
                         CoefficientStore& store, const std::function<void(int row)>& progress)
    : frame_(frame), store_(store), progress_(progress) {
    tables_.copyCodes = store.RecordForm() == CoefficientStore::Form::Codes;
    for (int i = 0; i < frame.ComponentCount; ++i) {
        tables_.dc[i] = &tables.Decoder(0, frame.DcTableSel[i]);
        tables_.ac[i] = &tables.Decoder(1, frame.AcTableSel[i]);
        if (tables_.copyCodes) tables_.acCodes[i] = &tables.Encoder(1, frame.AcTableSel[i]);
    }
    tables_.order = scan::MakeStoreOrder(kind);
    tables_.transposed = SwapsAxes(kind);
}

ScanDecoder::Result ScanDecoder::Decode(TInBitStreamFile& in, unsigned threads, const ThreadStarter& start) {
    const int64_t total = McuCount();
    threads = ThreadsForMcus(total, threads);
    RunState state;
    int64_t done = 0;
    if (threads >= 2) {
        const Result split = frame_.RestartEnabled && frame_.RestartInterval > 0
                                 ? DecodeRestartRanges(in, threads, start, state, done)
                                 : DecodeSpeculatively(in, threads, start, state, done);
        if (split.status != Status::Done) return split;
    }
    if (done == total) return {};
    const Status rest = DecodeMcus(in, done, total, state, store_.Arena(0), true, nullptr);
    return rest == Status::Done ? Result{} : Failure(rest, state);
}

ScanDecoder::Result ScanDecoder::Failure(Status status, const RunState& state) const {
    return {status, state.stoppedAt < 0 ? -1 : state.stoppedAt / frame_.McuCols};
}

int ScanDecoder::BlocksPerMcu() const {
    int blocks = 0;
    for (int i = 0; i < frame_.ScanComponentCount; ++i) {
        blocks += frame_.CompH[frame_.ScanOrder[i]] * frame_.CompV[frame_.ScanOrder[i]];
    }
    return blocks;
}

// Sends no message: the caller reports what went wrong.
ScanDecoder::Status ScanDecoder::DecodeMcus(TInBitStreamFile& in, int64_t begin, int64_t end, RunState& state,
                                            RecordArena& arena, bool progress, const std::atomic<bool>* cancel) {
    const int cols = frame_.McuCols;
    const int64_t last = McuCount() - 1;
    const int interval = frame_.RestartEnabled ? frame_.RestartInterval : 0;
    for (int64_t m = begin; m < end; ++m) {
        const int r = static_cast<int>(m / cols), c = static_cast<int>(m % cols);
        if (c == 0) {
            if (progress && progress_) progress_(r);
            if (cancel && cancel->load(std::memory_order_relaxed)) return Status::Bad;
        }
        {
            BlockBits bits(in);  // for the blocks of this MCU
            for (int i = 0; i < frame_.ScanComponentCount; ++i) {
                const int slot = frame_.ScanOrder[i];
                const int h = frame_.CompH[slot], v = frame_.CompV[slot];
                for (int y = 0; y < v; ++y) {
                    int16_t** row = McuBlockRow(slot, r, c, y);
                    for (int x = 0; x < h; ++x) {
                        const BlockStatus status =
                            DecodeRecord(bits, tables_, slot, state.dcPred[slot], arena, row[x]);
                        if (status != BlockStatus::Ok) {
                            state.stoppedAt = m;
                            return status == BlockStatus::Bad ? Status::Bad : Status::Short;
                        }
                    }
                }
            }
        }
        if (interval == 0 || m == last || ++state.restartCounter != interval) continue;
        state.restartCounter = 0;
        for (int& pred : state.dcPred) pred = 0;
        // The interval's padding bits are dropped; the marker must be the expected RSTn, or
        // data has been lost and the blocks that follow would be wrong.
        const uint16_t marker = in.ReadMarker();
        if (marker != 0xFFD0 + state.nextRestart) {
            state.stoppedAt = m;
            return marker == 0 ? Status::Short : Status::Bad;  // 0: the data ends first
        }
        state.nextRestart = (state.nextRestart + 1) & 7;
    }
    return Status::Done;
}

// The progress calls a sequential decode of MCUs [from, to) would have made.
void ScanDecoder::ReplayProgress(int64_t from, int64_t to) const {
    if (!progress_) return;
    const int64_t cols = frame_.McuCols;
    for (int64_t row = (from + cols - 1) / cols; row * cols < to; ++row) progress_(static_cast<int>(row));
}

}  // namespace pivotta
