// The second half of a scan decoded on a worker thread, with results, messages and progress
// calls exactly those of a sequential decode.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <thread>

#include "BlockDecoding.h"
#include "JpegRotation.h"
#include "LargeBlock.h"

namespace pivotta {

using scan::BlockBits;
using scan::BlockStatus;
using scan::DecodeRecord;

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
        std::optional<std::jthread> worker = TryStartThread(StartThread, [&] {
            try {
                workerResult = DecodeMcus(workerIn, tables, split, total, workerState, arenas_[1], false, &cancel);
            } catch (const std::exception&) {
                workerResult = RangeResult::Short;
            }
        });
        if (!worker) return true;  // no thread to be had: this one decodes it all
        CancelUnlessJoined guard{cancel, joined};
        headResult = DecodeMcus(in, tables, 0, split, state, arenas_[0], true, nullptr);
        joined = headResult == RangeResult::Done && in.BytePosition() == workerStart;
    }
    if (headResult != RangeResult::Done) return ReportDecodeFailure(headResult, state);
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
        std::optional<std::jthread> worker = TryStartThread(StartThread, [&] {
            try {
                DecodeFromAnywhere(workerIn, tables, total, run, cancel);
            } catch (const std::exception&) {
                run.failed = true;
            }
        });
        if (!worker) return true;  // no thread to be had: this one decodes it all
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
    if (headResult != RangeResult::Done) return ReportDecodeFailure(headResult, state);
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
        if (result != RangeResult::Done) return ReportDecodeFailure(result, state);
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

}  // namespace pivotta
