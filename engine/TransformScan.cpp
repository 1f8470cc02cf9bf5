// The scan of RotateJpeg: decoded into the coefficient store, then encoded from it.
#include "CoefficientStore.h"
#include "HuffmanTables.h"
#include "JpegRotation.h"
#include "Messages.h"
#include "ScanDecoder.h"
#include "ScanEncoder.h"

namespace pivotta {

namespace {

// Codes can be copied when every coefficient stays in place and the AC tables are full, so
// that they are written out unchanged.
CoefficientStore::Form StoreFormFor(const FrameState& frame, const HuffTables& tables, TransformKind kind) {
    if (SwapsAxes(kind)) return CoefficientStore::Form::Values;
    for (int i = 0; i < frame.ScanComponentCount; ++i) {
        if (!tables.IsFull(1, frame.AcTableSel[frame.ScanOrder[i]])) return CoefficientStore::Form::Values;
    }
    return CoefficientStore::Form::Codes;
}

}  // namespace

const HuffmanSlot& TJpegRotation::HuffSlot(int tableClass, int id) const { return huff_->Slot(tableClass, id); }

std::vector<CoefBlock> TJpegRotation::Coefficients(int slot) const {
    return store_->Unpack(slot, huff_->Decoder(1, frame_.AcTableSel[slot]));
}

bool TJpegRotation::TransformScan() {
    const int mcuWidth = 8 * frame_.MaxH;
    const int mcuHeight = 8 * frame_.MaxV;
    frame_.McuCols = (frame_.ImageWidth + mcuWidth - 1) / mcuWidth;
    frame_.McuRows = (frame_.ImageHeight + mcuHeight - 1) / mcuHeight;
    const int outputRows = SwapsAxes(kind_) ? frame_.McuCols : frame_.McuRows;
    if (OnProgressMax) OnProgressMax(frame_.McuRows + outputRows);
    Progress(0);
    stage_ = Stage::Scan;
    if (!DecodeScan()) return false;
    stage_ = Stage::Tail;
    if (verifyOnly_) return true;
    huff_->CompleteTables();
    huff_->BuildEncodeIndex();
    return EncodeScan();
}

bool TJpegRotation::DecodeScan() {
    // The store may never be sized by a header alone: every block costs at least two bits
    // (a DC code and an end-of-block code), so the bytes left bound the blocks there can be.
    uint64_t blocks = 0;
    for (int i = 0; i < frame_.ComponentCount; ++i) {
        blocks += static_cast<uint64_t>(frame_.McuCols) * frame_.CompH[i] * frame_.McuRows * frame_.CompV[i];
    }
    if (blocks > static_cast<uint64_t>(in_->Remaining()) * 4) return Fail(MessageCode::ScanTooShort, msg::kScanTooShort);

    const CoefficientStore::Form form = StoreFormFor(frame_, *huff_, kind_);
    if (form == CoefficientStore::Form::Codes) huff_->BuildEncodeIndex();
    const unsigned threads = ThreadBudget(MaxThreads);
    if (!store_->Prepare(frame_, form, threads)) return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);

    const size_t scanStart = in_->BytePosition();
    const std::function<void(int)> progress = [this](int row) { Progress(row); };
    ScanDecoder decoder(frame_, *huff_, kind_, *store_, progress);
    const ScanDecoder::Result result = decoder.Decode(*in_, threads, StartThread);
    switch (result.status) {
        case ScanDecoder::Status::Done:
            scanBytes_ = in_->BytePosition() - scanStart;
            return true;
        case ScanDecoder::Status::Short:
            // The marker message, or the read error. The end-of-image marker where blocks are
            // still due means the file was cut short and closed again.
            bitStreamCode_ = in_->StopsAtEndOfImage() ? MessageCode::TruncatedScan : MessageCode::MarkerInScan;
            bitStreamRow_ = result.stoppedRow;
            in_->ReportShortage();
            return false;
        case ScanDecoder::Status::Bad:
            break;
    }
    return Fail(MessageCode::DamagedScan, msg::kBadBlock, result.stoppedRow);
}

bool TJpegRotation::EncodeScan() {
    const int progressBase = frame_.McuRows;
    const std::function<void(int)> progress = [this, progressBase](int row) { Progress(progressBase + row); };
    const ScanEncoder encoder(frame_, *huff_, kind_, *store_, progress);
    switch (encoder.Encode(*out_, scanBytes_, ThreadBudget(MaxThreads), StartThread)) {
        case ScanEncoder::Status::Done: return true;
        case ScanEncoder::Status::MissingCode: return Fail(MessageCode::MissingCode, msg::kMissingCode);
        case ScanEncoder::Status::OutOfMemory: break;
    }
    return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);
}

}  // namespace pivotta
