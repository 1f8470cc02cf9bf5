#include "ScanTransform.h"

#include "MemoryStream.h"
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

ScanTransform::ScanTransform(std::span<const uint8_t> bytes, const jpeg::Picture& picture, const jpeg::Scan& scan,
                             const FrameState& frame, TransformKind kind, CoefficientStore& store)
    : bytes_(bytes), scan_(scan), frame_(frame), kind_(kind), store_(store), tables_(std::make_unique<HuffTables>()) {
    for (int tableClass = 0; tableClass < 2; ++tableClass) {
        for (int id = 0; id < 2; ++id) {
            const int defined = scan.tables.huffman[tableClass][id];
            if (defined == jpeg::kUndefined) continue;
            const jpeg::HuffmanTable& table = picture.huffmanTables[static_cast<size_t>(defined)];
            const bool fits = tables_->LoadTable(tableClass, id, table.bits.data(), table.symbols.data());
            (void)fits;  // the parser has checked that they do
        }
    }
}

Status ScanTransform::Decode(const ScanRun& run, size_t& dataEnd) {
    // The store may never be sized by a header alone: every block costs at least two bits
    // (a DC code and an end-of-block code), so the bytes left bound the blocks there can be.
    const size_t remaining = bytes_.size() - scan_.data.begin;
    uint64_t blocks = 0;
    for (int i = 0; i < frame_.ComponentCount; ++i) {
        blocks += static_cast<uint64_t>(frame_.McuCols) * frame_.CompH[i] * frame_.McuRows * frame_.CompV[i];
    }
    if (blocks > static_cast<uint64_t>(remaining) * 4) return Failure(MessageCode::ScanTooShort, msg::kScanTooShort);

    const CoefficientStore::Form form = StoreFormFor(frame_, *tables_, kind_);
    if (form == CoefficientStore::Form::Codes) tables_->BuildEncodeIndex();
    if (!store_.Prepare(frame_, form, run.threads)) return Failure(MessageCode::OutOfMemory, msg::kOutOfMemory);

    TInBitStreamFile in(bytes_);
    in.SetBytePosition(scan_.data.begin);
    ScanDecoder decoder(frame_, *tables_, kind_, store_, run.progress);
    const ScanDecoder::Result result = decoder.Decode(in, run.threads, *run.start);
    switch (result.status) {
        case ScanDecoder::Status::Done:
            dataEnd = in.BytePosition();
            scanBytes_ = dataEnd - scan_.data.begin;
            return Ok();
        case ScanDecoder::Status::Short:
            if (!in.MarkerFollows()) return Failure(MessageCode::TruncatedScan, kStreamReadError);
            // The end-of-image marker where blocks are still due means the file was cut short
            // and closed again.
            return Failure(in.StopsAtEndOfImage() ? MessageCode::TruncatedScan : MessageCode::MarkerInScan,
                           kMarkerInScanMessage, result.stoppedRow);
        case ScanDecoder::Status::Bad:
            break;
    }
    return Failure(MessageCode::DamagedScan, msg::kBadBlock, result.stoppedRow);
}

Status ScanTransform::Encode(TOutBitStreamFile& out, const ScanRun& run) {
    tables_->CompleteTables();
    tables_->BuildEncodeIndex();
    const ScanEncoder encoder(frame_, *tables_, kind_, store_, run.progress);
    switch (encoder.Encode(out, scanBytes_, run.threads, *run.start)) {
        case ScanEncoder::Status::Done: return Ok();
        case ScanEncoder::Status::MissingCode: return Failure(MessageCode::MissingCode, msg::kMissingCode);
        case ScanEncoder::Status::OutOfMemory: break;
    }
    return Failure(MessageCode::OutOfMemory, msg::kOutOfMemory);
}

std::vector<CoefBlock> ScanTransform::Coefficients(int slot) const {
    return store_.Unpack(slot, tables_->Decoder(1, frame_.AcTableSel[slot]));
}

}  // namespace pivotta
