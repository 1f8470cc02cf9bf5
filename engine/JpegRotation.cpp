// The engine's interface: each operation parses its input into a model, then decodes, transforms
// and writes from it; every status that comes back becomes a message here, and only here.
#include "JpegRotation.h"

#include <cstdio>
#include <new>
#include <span>
#include <stdexcept>

#include "CoefficientStore.h"
#include "FrameState.h"
#include "JpegParser.h"
#include "JpegWriter.h"
#include "ScanTransform.h"
#include "WorkerThreads.h"

namespace pivotta {

namespace {

std::string MarkerHex(int64_t marker) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(marker & 0xFFFF));
    return text;
}

bool IsMarkerCode(MessageCode code) {
    switch (code) {
        case MessageCode::Progressive: case MessageCode::Arithmetic: case MessageCode::Lossless:
        case MessageCode::ExtendedSequential: case MessageCode::Hierarchical: case MessageCode::UnknownMarker:
            return true;
        default: return false;
    }
}

// The two texts that CheckJpeg and RotateJpeg word differently, as the desktop program has them.
std::string TextOf(const Status& status, bool checking) {
    if (status.text) return status.text;
    if (status.code == MessageCode::NotJpeg) return checking ? msg::kCheckNoSOI : msg::kRotateNoSOI;
    if (IsMarkerCode(status.code)) {
        return checking ? msg::kCheckUnknownMarkerPrefix + MarkerHex(status.detail) + msg::kCheckUnknownMarkerSuffix
                        : msg::kRotateUnknownMarkerPrefix + MarkerHex(status.detail) + msg::kRotateUnknownMarkerSuffix;
    }
    return {};
}

std::span<const uint8_t> BytesOf(const TMemoryStream& stream) { return {stream.Memory(), stream.Size()}; }

}  // namespace

bool RaggedEdgeMovesInside(const PictureFrame& frame, TransformKind kind) {
    return (TrimsRightEdge(kind) && frame.ImageWidth % (8 * frame.MaxH) != 0) ||
           (TrimsBottomEdge(kind) && frame.ImageHeight % (8 * frame.MaxV) != 0);
}

TJpegRotation::TJpegRotation() : store_(std::make_unique<CoefficientStore>()) {}

TJpegRotation::~TJpegRotation() = default;

// The one place messages leave the engine; the desktop program's two hooks adapt the same event.
void TJpegRotation::Report(const EngineMessage& message) {
    if (message.code == MessageCode::OptimizedTables) {
        if (OnDHTWarning) OnDHTWarning();
    } else if (OnMessage) {
        OnMessage(message.text, message.level);
    }
    if (OnCodedMessage) OnCodedMessage(message);
}

bool TJpegRotation::Fail(MessageCode code, const std::string& text, int64_t detail) {
    Report({code, 2, text, detail});
    return false;
}

bool TJpegRotation::CheckPicture(const TMemoryStream& stream) {
    jpeg::Picture picture;
    const Status parsed = jpeg::ParseHeaders(BytesOf(stream), 0, picture);
    frame_ = picture.hasFrame ? PictureFrame{picture.frame.width, picture.frame.height, picture.frame.maxH,
                                             picture.frame.maxV}
                              : PictureFrame{};
    orientation_ = picture.exifOrientation;
    // Found before anything that stopped the parse, so told before it.
    if (picture.optimizedTables) Report({MessageCode::OptimizedTables, 1, msg::kOptimizedTables});
    if (!parsed.ok()) return Fail(parsed.code, TextOf(parsed, true), parsed.detail);
    const bool ragged = frame_.ImageHeight % (8 * frame_.MaxV) != 0 || frame_.ImageWidth % (8 * frame_.MaxH) != 0;
    if (ragged) {
        Report(AllowAdjustMCU ? EngineMessage{MessageCode::RaggedEdgeTrimmed, 1, msg::kMcuTrim}
                              : EngineMessage{MessageCode::RaggedEdgeKept, 1, msg::kMcuRagged});
    }
    return true;
}

bool TJpegRotation::RotatePicture(const TMemoryStream& input, TMemoryStream& output, TransformKind kind) {
    output.Clear();
    if (!KindFromCode(static_cast<int>(kind))) return Fail(MessageCode::BadKind, msg::kBadKind);
    // The result is about as large as the input; growing it step by step would copy it.
    try {
        output.Reserve(input.Size() + input.Size() / 8 + 65536);
    } catch (const EStreamError&) {
        // Not fatal: the stream still grows as it is written.
    }
    const bool ok = TransformGuarded(input, &output, kind);
    if (!ok) output.Clear();
    output.SetPosition(0);
    return ok;
}

bool TJpegRotation::VerifyJpeg(const TMemoryStream& input) {
    return TransformGuarded(input, nullptr, TransformKind::NoRotation);
}

// Memory that runs out is the one failure that arrives as an exception, from the allocator or
// the output stream; it ends the operation here, and the engine stays usable.
bool TJpegRotation::TransformGuarded(const TMemoryStream& input, TMemoryStream* output, TransformKind kind) {
    try {
        return Transform(input, output, kind);
    } catch (const EStreamError& error) {
        return Fail(MessageCode::WriteFailed, error.what());
    } catch (const std::bad_alloc&) {
        return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);
    } catch (const std::length_error&) {
        return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);
    }
}

bool TJpegRotation::Transform(const TMemoryStream& input, TMemoryStream* output, TransformKind kind) {
    const std::span<const uint8_t> bytes = BytesOf(input);
    const auto failed = [this](const Status& status) { return Fail(status.code, TextOf(status, false), status.detail); };
    jpeg::JpegModel model;
    jpeg::Picture& picture = model.pictures.emplace_back();
    if (const Status s = jpeg::ParseHeaders(bytes, 0, picture); !s.ok()) return failed(s);
    const jpeg::Scan& scan = picture.scans.front();
    const FrameState frame = ScanGeometry(picture, scan, kind, AllowAdjustMCU);

    const int outputRows = SwapsAxes(kind) ? frame.McuCols : frame.McuRows;
    if (OnProgressMax) OnProgressMax(frame.McuRows + outputRows);
    if (OnProgress) OnProgress(0);
    ScanRun run{ThreadBudget(MaxThreads), &StartThread, [this](int row) {
                    if (OnProgress) OnProgress(row);
                }};
    ScanTransform transform(bytes, picture, scan, frame, kind, *store_);
    size_t dataEnd = 0;
    if (const Status s = transform.Decode(run, dataEnd); !s.ok()) return failed(s);

    if (!output) {
        const Status tail = jpeg::ParseTail(bytes, dataEnd, picture, model.afterEndOfImage);
        return tail.ok() || failed(tail);
    }
    TOutBitStreamFile out(*output);
    const HeaderRewrite rewrite{kind, &frame, TransformExif, AllowBreakDCF, AllowAdjustMCU, KeepOrientation};
    if (WriteHeaders(bytes, picture, rewrite, out).thumbnailKept) {
        Report({MessageCode::ThumbnailKept, 1, msg::kThumbnailKept});
    }
    run.progress = [this, base = frame.McuRows](int row) {
        if (OnProgress) OnProgress(base + row);
    };
    if (const Status s = transform.Encode(out, run); !s.ok()) return failed(s);
    if (const Status s = jpeg::ParseTail(bytes, dataEnd, picture, model.afterEndOfImage); !s.ok()) return failed(s);
    WriteTail(bytes, picture, model.afterEndOfImage, out);
    return true;
}

}  // namespace pivotta
