// The scan of RotateJpeg: decoded into the coefficient store, then encoded from it.
#include "BitStreamFile.h"
#include "CoefficientStore.h"
#include "EngineInternals.h"
#include "HuffmanTables.h"
#include "JpegRotation.h"
#include "Messages.h"
#include "ScanDecoder.h"
#include "ScanEncoder.h"
#include "TableChoice.h"

namespace pivotta {

namespace {

// Codes can be copied when every coefficient stays in place and the AC tables are kept, so
// that they are written out unchanged.
CoefficientStore::Form StoreFormFor(const FrameState& frame, const HuffTables& tables, TransformKind kind,
                                    HuffmanTablePolicy policy) {
    if (SwapsAxes(kind) || !KeepsAcTables(policy, kind, frame, tables)) return CoefficientStore::Form::Values;
    return CoefficientStore::Form::Codes;
}

}  // namespace

std::vector<CoefBlock> EngineInternals::Coefficients(const TJpegRotation& engine, int slot) {
    return engine.store_->Unpack(slot, engine.huff_->Decoder(1, engine.frame_.AcTableSel[slot]));
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

    const CoefficientStore::Form form = StoreFormFor(frame_, *huff_, kind_, TablePolicy);
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
    const unsigned threads = ThreadBudget(MaxThreads);
    OutputTables chosen;
    if (!ChooseTables(TablePolicy, kind_, frame_, encoder, threads, StartThread, *huff_, chosen)) {
        return Fail(MessageCode::MissingCode, msg::kMissingCode);
    }
    if (!scanHeader_.empty()) WriteDeferredHeaders(chosen);
    switch (encoder.Encode(*out_, scanBytes_, threads, StartThread)) {
        case ScanEncoder::Status::Done: return true;
        case ScanEncoder::Status::MissingCode: return Fail(MessageCode::MissingCode, msg::kMissingCode);
        case ScanEncoder::Status::OutOfMemory: break;
    }
    return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);
}

bool TJpegRotation::ScanTablesFull() const {
    for (int i = 0; i < frame_.ScanComponentCount; ++i) {
        const int slot = frame_.ScanOrder[i];
        if (!huff_->IsFull(0, frame_.DcTableSel[slot]) || !huff_->IsFull(1, frame_.AcTableSel[slot])) return false;
    }
    return true;
}

void TJpegRotation::WriteDeferredHeaders(const OutputTables& chosen) {
    // Every table of the segments that waited, the scan's as chosen, any other as read.
    std::vector<uint8_t> body;
    for (int tableClass = 0; tableClass < 2; ++tableClass) {
        for (int id = 0; id < 2; ++id) {
            if (!deferredTables_[tableClass][id]) continue;
            body.push_back(static_cast<uint8_t>(tableClass << 4 | id));
            const std::optional<OutputTable>& table = chosen.Of(tableClass, id);
            if (table && table->outcome != TableOutcome::Kept) {
                body.insert(body.end(), table->spec.bits.begin(), table->spec.bits.end());
                body.insert(body.end(), table->spec.symbols.begin(), table->spec.symbols.end());
            } else {
                const HuffmanSlot& slot = huff_->Slot(tableClass, id);
                body.insert(body.end(), slot.Bits.begin() + 1, slot.Bits.end());
                for (const int32_t symbol : slot.Symbol) body.push_back(static_cast<uint8_t>(symbol));
            }
        }
    }
    if (!body.empty()) {
        out_->WriteWord(0xFFC4);
        out_->WriteWord(static_cast<uint16_t>(body.size() + 2));
        out_->WriteBytes(body.data(), body.size());
    }
    out_->WriteBytes(scanHeader_.data(), scanHeader_.size());
}

}  // namespace pivotta
