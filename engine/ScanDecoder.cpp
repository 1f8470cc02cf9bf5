// Huffman decoding of the one baseline scan into the coefficient store (ITU T.81 F.2.2): the
// store itself, the sequential decode, and the choice of how to split the work.
#include <thread>

#include "BlockDecoding.h"
#include "JpegRotation.h"
#include "LargeBlock.h"
#include "Messages.h"

namespace pivotta {

using scan::BlockBits;
using scan::BlockStatus;
using scan::DecodeRecord;

bool TJpegRotation::AllocateCoefficients() {
    // The store may never be sized by a header alone: every block costs at least two bits
    // (a DC code and an end-of-block code), so the bytes left bound the blocks there can be.
    uint64_t blocks = 0;
    for (int i = 0; i < frame_.ComponentCount; ++i) {
        blocks += static_cast<uint64_t>(frame_.McuCols) * frame_.CompH[i] * frame_.McuRows * frame_.CompV[i];
    }
    if (blocks > static_cast<uint64_t>(in_->Remaining()) * 4) return Fail(MessageCode::ScanTooShort, msg::kScanTooShort);
    for (int i = 0; i < frame_.ComponentCount; ++i) {
        const size_t count = static_cast<size_t>(frame_.McuCols) * frame_.CompH[i] * frame_.McuRows * frame_.CompV[i];
        if (!coefficients_[i].Resize(count)) return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);
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
                        if (status != BlockStatus::Ok) {
                            state.stoppedAt = m;
                            return status == BlockStatus::Bad ? RangeResult::Bad : RangeResult::Short;
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
        if (in.ReadMarker() != 0xFFD0 + state.nextRestart) {
            state.stoppedAt = m;
            return RangeResult::Bad;
        }
        state.nextRestart = (state.nextRestart + 1) & 7;
    }
    return RangeResult::Done;
}

bool TJpegRotation::ReportDecodeFailure(RangeResult result, const DecodeState& state) {
    const int64_t row = state.stoppedAt < 0 ? -1 : state.stoppedAt / frame_.McuCols;
    if (result == RangeResult::Short) {
        // The marker message, or the read error. The end-of-image marker where blocks are
        // still due means the file was cut short and closed again.
        bitStreamCode_ = in_->StopsAtEndOfImage() ? MessageCode::TruncatedScan : MessageCode::MarkerInScan;
        bitStreamRow_ = row;
        in_->ReportShortage();
        return false;
    }
    return Fail(MessageCode::DamagedScan, msg::kBadBlock, row);
}

bool TJpegRotation::DecodeScan() {
    TInBitStreamFile& in = *in_;
    DecodeTables tables;
    for (int i = 0; i < frame_.ComponentCount; ++i) {
        tables.dc[i] = &huff_.Decoder(0, frame_.DcTableSel[i]);
        tables.ac[i] = &huff_.Decoder(1, frame_.AcTableSel[i]);
    }
    tables.order = scan::MakeStoreOrder(kind_);
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
        if (rest != RangeResult::Done) return ReportDecodeFailure(rest, state);
    }
    scanBytes_ = in.BytePosition() - scanStart;
    return true;
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
