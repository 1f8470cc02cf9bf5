// The marker walks of CheckJpeg and RotateJpeg, and the tail after the scan.
#include "JpegRotation.h"

#include <cstdio>
#include <new>
#include <string_view>

#include "BitStreamFile.h"
#include "CoefficientStore.h"
#include "ExifSegment.h"
#include "HuffmanTables.h"
#include "Messages.h"
#include "TranscodedSegments.h"

namespace pivotta {

namespace {

std::string MarkerHex(uint16_t marker) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", marker);
    return text;
}

bool IsAppMarker(uint16_t marker) { return marker >= 0xFFE0 && marker <= 0xFFEF; }
bool IsRestartMarker(uint16_t marker) { return marker >= 0xFFD0 && marker <= 0xFFD7; }

// What an unknown marker tells about the file: most are frames of another JPEG process.
MessageCode CodeForUnknownMarker(uint16_t marker) {
    switch (marker) {
        case 0xFFC1: return MessageCode::ExtendedSequential;
        case 0xFFC2: case 0xFFC6: return MessageCode::Progressive;
        case 0xFFC3: case 0xFFC7: return MessageCode::Lossless;
        case 0xFFC5: case 0xFFDE: case 0xFFDF: return MessageCode::Hierarchical;
        case 0xFFC9: case 0xFFCA: case 0xFFCB: case 0xFFCC: case 0xFFCD: case 0xFFCE: case 0xFFCF:
            return MessageCode::Arithmetic;
        default: return MessageCode::UnknownMarker;
    }
}

}  // namespace

TJpegRotation::TJpegRotation()
    : huff_(std::make_unique<HuffTables>()), store_(std::make_unique<CoefficientStore>()) {}

TJpegRotation::~TJpegRotation() = default;

void TJpegRotation::Report(MessageCode code, int level, const std::string& text, int64_t detail) {
    if (OnMessage) OnMessage(text, level);
    if (OnCodedMessage) OnCodedMessage({code, level, text, detail});
}

bool TJpegRotation::Fail(MessageCode code, const std::string& text, int64_t detail) {
    Report(code, 2, text, detail);
    return false;
}

// The reader speaks only of markers where entropy-coded data should be.
MessageHook TJpegRotation::BitStreamHook() {
    return [this](const std::string& text, int level) { Report(bitStreamCode_, level, text, bitStreamRow_); };
}

// A stream that ends early, or memory that runs out, ends the operation with a message;
// the engine stays usable for the next one.
bool TJpegRotation::RunGuarded(bool (TJpegRotation::*walk)()) {
    stage_ = Stage::Headers;
    bitStreamCode_ = MessageCode::MarkerInScan;
    bitStreamRow_ = -1;
    try {
        return (this->*walk)();
    } catch (const EStreamError& error) {
        if (std::string_view(error.what()) != kStreamReadError) return Fail(MessageCode::WriteFailed, error.what());
        const MessageCode code = stage_ == Stage::Headers ? MessageCode::TruncatedHeaders
                                 : stage_ == Stage::Scan  ? MessageCode::TruncatedScan
                                                          : MessageCode::NoEndOfImage;
        return Fail(code, error.what());
    } catch (const std::bad_alloc&) {
        return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);
    } catch (const std::length_error&) {
        return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);
    }
}

void TJpegRotation::ForgetStream() {
    // Only the frame's geometry stays: a transform settles its output size from it before
    // it reaches the frame header.
    FrameState fresh;
    fresh.ImageWidth = frame_.ImageWidth;
    fresh.ImageHeight = frame_.ImageHeight;
    fresh.MaxH = frame_.MaxH;
    fresh.MaxV = frame_.MaxV;
    fresh.OutputWidth = frame_.OutputWidth;
    fresh.OutputHeight = frame_.OutputHeight;
    frame_ = fresh;
    frameSeen_ = false;
    huff_ = std::make_unique<HuffTables>();
}

bool TJpegRotation::CheckPicture(const TMemoryStream& stream) {
    frame_ = {};
    ForgetStream();
    rotating_ = false;
    orientation_.reset();
    TMemoryStream scratch;  // the handlers' output is not wanted here
    TInBitStreamFile in(stream, BitStreamHook());
    TOutBitStreamFile out(scratch, BitStreamHook());
    in_ = &in;
    out_ = &out;
    const bool ok = RunGuarded(NeedsScanTranscoder({stream.Memory(), stream.Size()}) ? &TJpegRotation::TranscodedCheckWalk
                                                                                  : &TJpegRotation::CheckWalk);
    in_ = nullptr;
    out_ = nullptr;
    return ok;
}

bool TJpegRotation::CheckWalk() {
    if (in_->ReadWord() != 0xFFD8) return Fail(MessageCode::NotJpeg, msg::kCheckNoSOI);
    bool warnedAboutTables = false;
    for (;;) {
        const uint16_t marker = in_->ReadMarker();
        bool ok = true;
        switch (marker) {
            case 0xFFC0: ok = ProcessSOF(); break;
            case 0xFFC4: {
                bool allFull = true;
                ok = ProcessDHT(allFull);
                if (ok && !allFull && !warnedAboutTables && TablePolicy == HuffmanTablePolicy::Standard) {
                    warnedAboutTables = true;
                    if (OnDHTWarning) OnDHTWarning();
                    if (OnCodedMessage) OnCodedMessage({MessageCode::OptimizedTables, 1, msg::kOptimizedTables});
                }
                break;
            }
            case 0xFFDA:
                if (!ProcessSOS()) return false;
                scanTablesFull_ = ScanTablesFull();
                CheckMcuSize();
                return true;
            case 0xFFDB: ok = ProcessDQT(); break;
            case 0xFFDD: ok = ProcessDRI(); break;
            case 0xFFFE: SkipSegment(); break;
            case 0xFFE1: NoteOrientation(); break;
            default:
                if (!IsAppMarker(marker)) {
                    return Fail(CodeForUnknownMarker(marker),
                                msg::kCheckUnknownMarkerPrefix + MarkerHex(marker) + msg::kCheckUnknownMarkerSuffix, marker);
                }
                SkipSegment();
                break;
        }
        if (!ok) return false;
    }
}

bool TJpegRotation::RotatePicture(const TMemoryStream& input, TMemoryStream& output, TransformKind kind) {
    output.Clear();
    if (!KindFromCode(static_cast<int>(kind))) return Fail(MessageCode::BadKind, msg::kBadKind);
    kind_ = kind;
    rotating_ = true;
    // The result is about as large as the input; growing it step by step would copy it.
    try {
        if (!verifyOnly_) output.Reserve(input.Size() + input.Size() / 8 + 65536);
    } catch (const EStreamError&) {
        // Not fatal: the stream still grows as it is written.
    }
    frame_ = {};
    ReadOwnFrame(input);
    SettleOutputSize();
    ForgetStream();
    deferDht_ = TablePolicy != HuffmanTablePolicy::Standard && !verifyOnly_;
    deferredTables_ = {};
    scanHeader_.clear();
    bool ok;
    {
        TInBitStreamFile in(input, BitStreamHook());
        TOutBitStreamFile out(output, BitStreamHook());
        in_ = &in;
        out_ = &out;
        const bool transcoded = NeedsScanTranscoder({input.Memory(), input.Size()}) || Coding == OutputCoding::Progressive;
        ok = RunGuarded(transcoded ? &TJpegRotation::TranscodedRotateWalk : &TJpegRotation::RotateWalk);
        in_ = nullptr;
        out_ = nullptr;
    }
    output.SetPosition(ok ? 0 : output.Size());
    return ok;
}

bool TJpegRotation::VerifyJpeg(const TMemoryStream& input) {
    struct VerifyOnly {
        bool& flag;
        explicit VerifyOnly(bool& f) : flag(f) { flag = true; }
        ~VerifyOnly() { flag = false; }
    } scope(verifyOnly_);
    TMemoryStream scratch;  // headers only: the scan is decoded, not encoded
    return RotateJpeg(input, scratch, TransformKind::NoRotation);
}

bool TJpegRotation::RotateWalk() {
    if (in_->ReadWord() != 0xFFD8) return Fail(MessageCode::NotJpeg, msg::kRotateNoSOI);
    out_->WriteWord(0xFFD8);
    for (;;) {
        const uint16_t marker = in_->ReadMarker();
        bool ok = true;
        switch (marker) {
            case 0xFFC0: ok = ProcessSOF(); break;
            case 0xFFDB: ok = ProcessDQT(); break;
            case 0xFFC4: {
                bool allFull = true;
                ok = ProcessDHT(allFull);
                break;
            }
            case 0xFFE1: ok = ProcessApp1(); break;
            default: {
                // Everything else passes byte for byte: exactly the bytes its parser consumed.
                const int64_t start = in_->MarkPosition();
                // Written once the tables are chosen, when a DHT segment waits for them.
                const bool deferred = marker == 0xFFDA && deferredTables_ != decltype(deferredTables_){};
                if (!deferred) out_->WriteWord(marker);
                if (marker == 0xFFDA) {
                    ok = ProcessSOS();
                } else if (marker == 0xFFDD) {
                    ok = ProcessDRI();
                } else if (marker == 0xFFFE || IsAppMarker(marker)) {
                    SkipSegment();
                } else {
                    return Fail(CodeForUnknownMarker(marker),
                                msg::kRotateUnknownMarkerPrefix + MarkerHex(marker) + msg::kRotateUnknownMarkerSuffix,
                                marker);
                }
                if (!ok) return false;
                const uint8_t* bytes = in_->Data() + start;
                const size_t size = static_cast<size_t>(in_->BytesSinceMark());
                if (deferred) {
                    scanHeader_ = {0xFF, 0xDA};
                    scanHeader_.insert(scanHeader_.end(), bytes, bytes + size);
                } else {
                    out_->WriteBytes(bytes, size);
                }
                if (marker == 0xFFDA) return TransformScan() && CopyTail();
                break;
            }
        }
        if (!ok) return false;
    }
}

void TJpegRotation::SkipSegment() {
    const uint16_t length = in_->ReadWord();
    if (length > 2) in_->SkipBytes(length - 2u);
}

void TJpegRotation::NoteOrientation() {
    const uint16_t length = in_->ReadWord();
    if (length <= 2) return;
    const size_t payloadSize = length - 2u;
    if (!orientation_ && payloadSize <= in_->Remaining()) {
        orientation_ = ReadExifOrientation(in_->Data() + in_->BytePosition(), payloadSize);
    }
    in_->SkipBytes(payloadSize);
}

bool TJpegRotation::CopyTail() {
    // Drops the unread bits of the scan's last byte. Camera files may pad with fill bytes
    // before the end-of-image marker; they carry nothing and are not copied.
    uint16_t marker = in_->ReadMarker();
    while (IsRestartMarker(marker)) {
        out_->WriteWord(marker);
        marker = in_->ReadMarker();
    }
    if (marker != 0xFFD9) return Fail(MessageCode::NoEndOfImage, msg::kNoEOI);
    out_->WriteWord(0xFFD9);
    // Whatever follows the end of the image stays.
    const size_t tail = in_->Remaining();
    out_->WriteBytes(in_->Data() + in_->BytePosition(), tail);
    in_->SkipBytes(tail);
    return true;
}

bool TJpegRotation::ProcessApp1() {
    const int64_t start = in_->MarkPosition();
    const uint16_t length = in_->ReadWord();
    if (!TransformExif || length < 2) {
        // A thumbnail's own engine, or a length that holds nothing: the segment passes as read.
        out_->WriteWord(0xFFE1);
        if (length > 2) in_->SkipBytes(length - 2u);
        out_->WriteBytes(in_->Data() + start, static_cast<size_t>(in_->BytesSinceMark()));
        return true;
    }
    const size_t payloadSize = length - 2u;
    if (payloadSize > in_->Remaining()) throw EStreamError(kStreamReadError);
    const uint8_t* payload = in_->Data() + in_->BytePosition();
    in_->SkipBytes(payloadSize);
    ExifTransform transform;
    transform.Kind = kind_;
    transform.AllowBreakDCF = AllowBreakDCF;
    transform.AllowAdjustMCU = AllowAdjustMCU;
    transform.KeepOrientation = KeepOrientation;
    transform.TablePolicy = TablePolicy;
    transform.ImageWidth = frame_.ImageWidth;
    transform.ImageHeight = frame_.ImageHeight;
    transform.OutputWidth = frame_.OutputWidth;
    transform.OutputHeight = frame_.OutputHeight;
    ExifOutcome outcome;
    const std::vector<uint8_t> rewritten = RewriteExifSegment(payload, payloadSize, transform, &outcome);
    if (outcome.thumbnailKept) Report(MessageCode::ThumbnailKept, 1, msg::kThumbnailKept);
    out_->WriteWord(0xFFE1);
    out_->WriteWord(static_cast<uint16_t>(rewritten.size() + 2));
    out_->WriteBytes(rewritten.data(), rewritten.size());
    return true;
}

}  // namespace pivotta
