// The scan split over several threads. This thread decodes the first part exactly as a
// sequential decode does and then takes over what the workers decoded wherever it can prove
// that a sequential decode would have decoded the same; wherever it cannot, it decodes on
// itself. So results, messages and progress calls never depend on the workers.
#include <algorithm>
#include <cstring>

#include "BlockDecoding.h"
#include "ScanDecoder.h"
#include "WorkerThreads.h"

namespace pivotta {

using scan::BlockBits;
using scan::BlockStatus;
using scan::DecodeRecord;

namespace {

// How far past the start of the next worker's data a speculative worker decodes, so that the
// two meet once the next one has fallen into step with the codes (typically within a few
// hundred bytes). Where they do not meet, this thread decodes the gap itself.
constexpr uint64_t kSpeculativeOverlapBytes = 32 * 1024;

}  // namespace

// The first MCU of each range but the first, evenly spaced in whole intervals, and the byte
// after the restart marker before it. Fewer where the data stops looking like whole intervals.
std::vector<ScanDecoder::RangeStart> ScanDecoder::FindRestartRanges(const TInBitStreamFile& in,
                                                                    unsigned ranges) const {
    const int interval = frame_.RestartInterval;
    const int64_t intervals = (McuCount() + interval - 1) / interval;
    std::vector<int64_t> wanted;  // markers to pass before each range
    for (unsigned range = 1; range < ranges; ++range) {
        const int64_t markers = intervals * range / ranges;
        if (markers > 0 && (wanted.empty() || markers > wanted.back())) wanted.push_back(markers);
    }
    std::vector<RangeStart> starts;
    const uint8_t* data = in.Data();
    const size_t size = in.Size();
    int64_t seen = 0;
    for (size_t i = in.BytePosition(); i + 1 < size && starts.size() < wanted.size(); ++i) {
        const void* found = std::memchr(data + i, 0xFF, size - 1 - i);
        if (!found) break;
        i = static_cast<size_t>(static_cast<const uint8_t*>(found) - data);
        const uint8_t next = data[i + 1];
        if (next == 0x00 || next == 0xFF) continue;  // a stuffed data byte, or a fill byte
        if ((next & 0xF8) != 0xD0) break;            // the scan ends first
        ++i;
        if (++seen == wanted[starts.size()]) starts.push_back({seen * interval, i + 1});
    }
    return starts;
}

// Each worker decodes one range of restart intervals from the marker where it starts. A range
// is taken over when this thread ends the range before it right at that marker and the worker
// decoded it whole; otherwise this thread decodes it itself.
ScanDecoder::Result ScanDecoder::DecodeRestartRanges(TInBitStreamFile& in, unsigned threads,
                                                     const ThreadStarter& start, RunState& state, int64_t& done) {
    const int64_t total = McuCount();
    const std::vector<RangeStart> starts = FindRestartRanges(in, threads);
    if (starts.empty()) return {};
    const size_t workers = starts.size();
    const auto rangeEnd = [&](size_t w) { return w + 1 < workers ? starts[w + 1].mcu : total; };
    std::vector<TInBitStreamFile> readers;
    std::vector<RunState> runs(workers);
    std::vector<Status> results(workers, Status::Bad);
    readers.reserve(workers);
    for (size_t w = 0; w < workers; ++w) {
        readers.push_back(in.ForkAt(starts[w].byte));
        runs[w].nextRestart = static_cast<int>(starts[w].mcu / frame_.RestartInterval % 8);
    }
    WorkerThreads team(start, static_cast<unsigned>(workers), [&](unsigned w, const std::atomic<bool>& cancel) {
        results[w] = DecodeMcus(readers[w], starts[w].mcu, rangeEnd(w), runs[w], store_.Arena(w + 1), false, &cancel);
    });
    const Status head = DecodeMcus(in, 0, starts[0].mcu, state, store_.Arena(0), true, nullptr);
    if (head != Status::Done) return Failure(head, state);
    team.Join();
    done = starts[0].mcu;
    for (size_t w = 0; w < workers; ++w) {
        const bool adopted = team.Finished(static_cast<unsigned>(w)) && results[w] == Status::Done &&
                             in.BytePosition() == starts[w].byte;
        if (adopted) {
            ReplayProgress(done, rangeEnd(w));
            in.SetBytePosition(readers[w].BytePosition());
            state = runs[w];
        } else {
            const Status own = DecodeMcus(in, done, rangeEnd(w), state, store_.Arena(0), true, nullptr);
            if (own != Status::Done) return Failure(own, state);
        }
        done = rangeEnd(w);
    }
    return {};
}

// Without restart markers nobody knows where an MCU starts in the middle of the data. Each
// worker starts decoding anyway at an evenly spaced byte, most likely no MCU boundary: it
// decodes garbage for a few blocks until the codes fall into step with the real ones, as
// Huffman codes do, and records the bit position of every MCU it starts. Once this thread
// reaches, at an MCU boundary, a position a worker also started an MCU at, both parse the same
// bits from there on, and the worker's blocks are adopted with their DC values shifted by the
// difference of the two predictors, up to where that worker meets the next one.
ScanDecoder::Result ScanDecoder::DecodeSpeculatively(TInBitStreamFile& in, unsigned threads,
                                                     const ThreadStarter& start, RunState& state, int64_t& done) {
    const int64_t total = McuCount();
    const int cols = frame_.McuCols;
    const size_t scanStart = in.BytePosition();
    const uint8_t* data = in.Data();
    const size_t workers = threads - 1;
    std::vector<size_t> firstByte(workers);
    for (size_t w = 0; w < workers; ++w) {
        size_t at = scanStart + (in.Size() - scanStart) * (w + 1) / threads;
        if (at > 0 && data[at - 1] == 0xFF) ++at;  // not the 00 of a stuffed FF
        firstByte[w] = std::min(at, in.Size());
    }
    if (firstByte[0] + 1 >= in.Size()) return {};
    std::vector<SpeculativeRun> runs(workers);
    std::vector<TInBitStreamFile> readers;
    readers.reserve(workers);
    for (size_t w = 0; w < workers; ++w) readers.push_back(in.ForkAt(firstByte[w]));
    const size_t expectedMcus = static_cast<size_t>(total / threads) + 1024;
    WorkerThreads team(start, static_cast<unsigned>(workers), [&](unsigned w, const std::atomic<bool>& cancel) {
        const uint64_t stopBit = w + 1 < workers ? (firstByte[w + 1] + kSpeculativeOverlapBytes) * 8 : UINT64_MAX;
        DecodeFromAnywhere(readers[w], stopBit, expectedMcus, store_.Arena(w + 1), runs[w], cancel);
    });
    // Whole rows, so that progress is reported as a sequential decode reports it.
    while (done < total && in.BitPosition() < uint64_t{firstByte[0]} * 8) {
        const int64_t rowEnd = std::min(total, done + cols);
        const Status head = DecodeMcus(in, done, rowEnd, state, store_.Arena(0), true, nullptr);
        if (head != Status::Done) return Failure(head, state);
        done = rowEnd;
    }
    team.Join();

    for (size_t w = 0; w < workers && done < total; ++w) {
        const SpeculativeRun& run = runs[w];
        if (!team.Finished(static_cast<unsigned>(w))) continue;  // it threw, or never started
        // Find the meeting point, one MCU at a time.
        const LargeVector<uint64_t>& starts = run.mcuStart;
        size_t j = 0;
        for (;;) {
            const uint64_t here = in.BitPosition();
            while (j < starts.size() && starts[j] < here) ++j;
            if (j == starts.size() || starts[j] == here) break;
            const Status own = DecodeMcus(in, done, done + 1, state, store_.Arena(0), true, nullptr);
            if (own != Status::Done) return Failure(own, state);
            if (++done == total) return {};
        }
        if (j == starts.size()) continue;  // never met: on to the next worker
        // Take the worker's whole MCUs up to where it meets the next worker, or all it has.
        const size_t whole = starts.size() - 1;
        size_t end = std::min<size_t>(whole, j + static_cast<size_t>(total - done));
        if (w + 1 < workers && team.Finished(static_cast<unsigned>(w + 1))) {
            const LargeVector<uint64_t>& next = runs[w + 1].mcuStart;
            size_t k = j, n = 0;
            while (k < end) {
                while (n < next.size() && next[n] < starts[k]) ++n;
                if (n < next.size() && next[n] == starts[k]) break;
                ++k;
            }
            end = k;
        }
        AdoptWorkerMcus(run, j, end - j, done, state);
        ReplayProgress(done, done + static_cast<int64_t>(end - j));
        done += static_cast<int64_t>(end - j);
        in.SetBitPosition(starts[end]);
    }
    return {};
}

// Decodes MCUs from wherever the reader stands, with predictors starting at 0, until the data
// ends, the stop bit is passed or every MCU of the picture could be done. A bad code only
// shows that the parse is not yet in step: everything so far is dropped and decoding starts
// over a bit further on. (Should the data itself be damaged there, this thread finds it.)
void ScanDecoder::DecodeFromAnywhere(TInBitStreamFile& in, uint64_t stopBit, size_t expectedMcus,
                                     RecordArena& arena, SpeculativeRun& run, const std::atomic<bool>& cancel) const {
    const int64_t total = McuCount();
    int dcPred[kMaxComponents] = {};
    const int blocksPerMcu = BlocksPerMcu();
    run.mcuStart.reserve(expectedMcus);
    run.records.reserve(expectedMcus * blocksPerMcu);
    for (int64_t m = 0; m < total; ++m) {
        if (m % 256 == 0 && cancel.load(std::memory_order_relaxed)) break;
        const uint64_t at = in.BitPosition();
        run.mcuStart.push_back(at);
        if (at >= stopBit) return;
        const size_t mcuBegin = run.records.size();
        run.records.resize(mcuBegin + blocksPerMcu);
        int16_t** placed = run.records.data() + mcuBegin;
        BlockStatus status = BlockStatus::Ok;
        {
            BlockBits bits(in);
            for (int i = 0; i < frame_.ScanComponentCount && status == BlockStatus::Ok; ++i) {
                const int slot = frame_.ScanOrder[i];
                for (int b = frame_.CompH[slot] * frame_.CompV[slot]; b > 0 && status == BlockStatus::Ok; --b) {
                    status = DecodeRecord(bits, tables_, slot, dcPred[slot], arena, *placed++);
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

// Places `count` of the worker's MCUs from `first` on as the MCUs from `at` on, with the DC values they
// get from this thread's predictors.
void ScanDecoder::AdoptWorkerMcus(const SpeculativeRun& run, size_t first, size_t count, int64_t at,
                                  RunState& state) {
    if (count == 0) return;
    const int cols = frame_.McuCols;
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
    for (int64_t m = at; m < at + static_cast<int64_t>(count); ++m) {
        const int r = static_cast<int>(m / cols), c = static_cast<int>(m % cols);
        for (int i = 0; i < frame_.ScanComponentCount; ++i) {
            const int slot = frame_.ScanOrder[i];
            const int h = frame_.CompH[slot], v = frame_.CompV[slot];
            for (int y = 0; y < v; ++y) {
                int16_t** row = McuBlockRow(slot, r, c, y);
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
