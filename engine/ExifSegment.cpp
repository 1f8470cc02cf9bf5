// The Exif step of a transform: walks the TIFF structure of an APP1 segment the way cameras lay
// it out (IFD0, Exif IFD, IFD1, thumbnail, at increasing offsets), rewrites the entries that
// depend on the orientation and replaces the thumbnail by its own lossless transform.
//
// Nothing before the thumbnail changes size, so every offset inside the TIFF data stays valid:
// the output starts as a copy of the input, entries are patched in place and only the thumbnail
// is spliced. Any structure that does not lie ahead of the walk and inside the segment ends the
// walk; the rest of the segment then stays as it was.
#include "ExifSegment.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "Endian.h"
#include "JpegRotation.h"
#include "MemoryStream.h"

namespace pivotta {
namespace {

constexpr uint8_t kExifSignature[4] = {'E', 'x', 'i', 'f'};
constexpr size_t kTiffStart = 6;         // "Exif" and two pad bytes precede the TIFF header
constexpr size_t kTiffHeaderSize = 8;    // byte order, 42, IFD0 offset
constexpr size_t kEntrySize = 12;        // tag, type, count, value or value offset
constexpr size_t kBodySize = 10;         // an entry without its tag
constexpr size_t kMaxPayload = 65535 - 2;  // the segment length field counts itself
constexpr uint16_t kTypeByte = 1;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kOrientationUpright = 1;
constexpr uint16_t kCompressionJpeg = 6;
constexpr int kNoCompressionEntry = -1;

namespace tag {
constexpr uint16_t ImageWidth = 0x0100;
constexpr uint16_t ImageLength = 0x0101;
constexpr uint16_t Compression = 0x0103;
constexpr uint16_t XResolution = 0x011A;
constexpr uint16_t YResolution = 0x011B;
constexpr uint16_t Orientation = 0x0112;
constexpr uint16_t JpegInterchangeFormat = 0x0201;
constexpr uint16_t JpegInterchangeFormatLength = 0x0202;
constexpr uint16_t ExifIfdPointer = 0x8769;
constexpr uint16_t PixelXDimension = 0xA002;
constexpr uint16_t PixelYDimension = 0xA003;
constexpr uint16_t FocalPlaneXResolution = 0xA20E;
constexpr uint16_t FocalPlaneYResolution = 0xA20F;
}  // namespace tag

// Offset of an entry body within the TIFF data, when the entry was found.
using BodySlot = std::optional<size_t>;

struct TrackedBodies {
    BodySlot ifd0XRes, ifd0YRes;
    BodySlot pixelX, pixelY;
    BodySlot focalX, focalY;
    BodySlot ifd1Width, ifd1Length, ifd1XRes, ifd1YRes;
    BodySlot ifd0Orientation, ifd1Orientation;
};

bool IsExifPayload(const uint8_t* payload, size_t size) {
    return size >= kTiffStart + kTiffHeaderSize && std::memcmp(payload, kExifSignature, sizeof kExifSignature) == 0;
}

ByteOrder TiffByteOrder(const uint8_t* tiff) {
    ByteOrder order;
    order.little = tiff[0] == 'I' && tiff[1] == 'I';  // any other mark reads as MM
    return order;
}

bool HoldsOneNumber(const ByteOrder& order, const uint8_t* body) {
    const uint16_t type = order.Load16(body);
    return order.Load32(body + 2) == 1 && (type == kTypeByte || type == kTypeShort || type == kTypeLong);
}

// The value of a one-value numeric entry; 0 for any other entry.
uint32_t OrientationValue(const ByteOrder& order, const uint8_t* body) {
    if (!HoldsOneNumber(order, body)) return 0;
    switch (order.Load16(body)) {
        case kTypeByte: return body[6];
        case kTypeShort: return order.Load16(body + 6);
        case kTypeLong: return order.Load32(body + 6);
        default: return 0;
    }
}

// Runs the thumbnail through an engine of its own: silent hooks, no trimming, no Exif step of
// its own. An empty result means the thumbnail was refused or could not be transformed.
std::vector<uint8_t> TransformThumbnail(const uint8_t* bytes, size_t size, TransformKind kind) {
    TJpegRotation nested;
    nested.TransformExif = false;
    const TMemoryStream source(std::vector<uint8_t>(bytes, bytes + size));
    TMemoryStream result;
    // The engine turns a thumbnail cut short, or one too large for memory, into a false result.
    if (!nested.CheckJpeg(source) || !nested.RotateJpeg(source, result, kind)) return {};
    return result.Bytes();
}

class ExifRewriter {
public:
    ExifRewriter(const uint8_t* payload, size_t size, const ExifTransform& transform)
        : in_(payload), size_(size), t_(transform), out_(payload, payload + size) {}

    bool ThumbnailKept() const { return thumbnailKept_; }

    std::vector<uint8_t> Run() {
        if (!IsExif()) return std::move(out_);
        if (WalkToThumbnail() && ShouldTransformThumbnail()) ReplaceThumbnail();
        if (SwapsAxes(t_.Kind)) ExchangeBodies();
        // The pixels are now as they should be shown: a viewer must not turn them again. IFD1's
        // entry describes the thumbnail, so it goes with the thumbnail.
        if (t_.Kind != TransformKind::NoRotation && !t_.KeepOrientation) {
            SetUpright(bodies_.ifd0Orientation);
            if (thumbnailReplaced_) SetUpright(bodies_.ifd1Orientation);
        }
        return std::move(out_);
    }

private:
    bool IsExif() const { return IsExifPayload(in_, size_); }

    const uint8_t* InTiff() const { return in_ + kTiffStart; }
    uint8_t* OutTiff() { return out_.data() + kTiffStart; }
    size_t TiffSize() const { return size_ - kTiffStart; }

    bool Fits(size_t count) const { return count <= TiffSize() - pos_; }

    // Moves forward to a structure's offset; an offset behind the walk or past the segment
    // ends it, since reading there would either go backwards or outside the segment.
    [[nodiscard]] bool SeekTo(uint32_t offset) {
        if (offset < pos_ || offset > TiffSize()) return false;
        pos_ = offset;
        return true;
    }

    [[nodiscard]] bool WalkToThumbnail() {
        order_ = TiffByteOrder(InTiff());
        pos_ = kTiffHeaderSize;
        if (!SeekTo(order_.Load32(InTiff() + 4)) || !WalkIfd(&ExifRewriter::OnIfd0Entry)) return false;
        if (!Fits(4)) return false;
        const uint32_t ifd1Offset = order_.Load32(InTiff() + pos_);
        pos_ += 4;
        if (!SeekTo(exifIfdOffset_) || !WalkIfd(&ExifRewriter::OnExifEntry)) return false;
        // The Exif IFD's next-IFD field and anything up to IFD1 (an interoperability IFD) stay.
        return SeekTo(ifd1Offset) && WalkIfd(&ExifRewriter::OnIfd1Entry);
    }

    // Entry handlers get the offset of the entry's body (just after its tag).
    using EntryHandler = void (ExifRewriter::*)(uint16_t tag, size_t body);

    [[nodiscard]] bool WalkIfd(EntryHandler onEntry) {
        if (!Fits(2)) return false;
        const size_t count = order_.Load16(InTiff() + pos_);
        pos_ += 2;
        if (!Fits(count * kEntrySize)) return false;
        for (size_t i = 0; i < count; ++i, pos_ += kEntrySize)
            (this->*onEntry)(order_.Load16(InTiff() + pos_), pos_ + 2);
        return true;
    }

    uint32_t Value32(size_t body) const { return order_.Load32(InTiff() + body + 6); }

    void OnIfd0Entry(uint16_t entryTag, size_t body) {
        switch (entryTag) {
            case tag::ExifIfdPointer: exifIfdOffset_ = Value32(body); break;
            case tag::XResolution: bodies_.ifd0XRes = body; break;
            case tag::YResolution: bodies_.ifd0YRes = body; break;
            case tag::Orientation: bodies_.ifd0Orientation = body; break;
        }
    }

    void OnExifEntry(uint16_t entryTag, size_t body) {
        switch (entryTag) {
            case tag::PixelXDimension:
                RewritePixelDimension(body, t_.ImageWidth, t_.OutputWidth);
                bodies_.pixelX = body;
                break;
            case tag::PixelYDimension:
                RewritePixelDimension(body, t_.ImageHeight, t_.OutputHeight);
                bodies_.pixelY = body;
                break;
            case tag::FocalPlaneXResolution: bodies_.focalX = body; break;
            case tag::FocalPlaneYResolution: bodies_.focalY = body; break;
        }
    }

    void OnIfd1Entry(uint16_t entryTag, size_t body) {
        switch (entryTag) {
            case tag::JpegInterchangeFormat: thumbnailOffset_ = Value32(body); break;
            case tag::JpegInterchangeFormatLength:
                thumbnailLength_ = Value32(body);
                lengthSlot_ = body + 6;
                break;
            case tag::Compression: compression_ = order_.Load16(InTiff() + body + 6); break;
            case tag::ImageWidth: bodies_.ifd1Width = body; break;
            case tag::ImageLength: bodies_.ifd1Length = body; break;
            case tag::XResolution: bodies_.ifd1XRes = body; break;
            case tag::YResolution: bodies_.ifd1YRes = body; break;
            case tag::Orientation: bodies_.ifd1Orientation = body; break;
        }
    }

    // The pixel dimensions follow a trimmed picture, in the entry's own type, but only where
    // they described the frame: a resized photo's Exif may keep its camera's size, and half
    // of each would describe neither.
    void RewritePixelDimension(size_t body, int imageSize, int outputSize) {
        if (!t_.AllowAdjustMCU || outputSize == imageSize) return;
        const bool isShort = order_.Load16(InTiff() + body) == kTypeShort;
        const uint32_t stored = isShort ? order_.Load16(InTiff() + body + 6) : Value32(body);
        if (stored != static_cast<uint32_t>(imageSize)) return;
        uint8_t* value = OutTiff() + body + 6;
        if (isShort) {
            order_.Store16(value, static_cast<uint16_t>(outputSize));
            value[2] = value[3] = 0;
        } else {
            order_.Store32(value, static_cast<uint32_t>(outputSize));
        }
    }

    bool ShouldTransformThumbnail() const { return IsJpegThumbnail() && TurnsThumbnail(t_); }

    // Some writers leave the Compression entry out of IFD1; the thumbnail's own start-of-image
    // marker then says what it is. Any Compression value given is taken at its word.
    bool IsJpegThumbnail() const {
        if (compression_ == kCompressionJpeg) return true;
        if (compression_ != kNoCompressionEntry) return false;
        return thumbnailOffset_ <= TiffSize() && TiffSize() - thumbnailOffset_ >= 2 &&
               InTiff()[thumbnailOffset_] == 0xFF && InTiff()[thumbnailOffset_ + 1] == 0xD8;
    }

    void ReplaceThumbnail() {
        // A JPEG thumbnail without a length has nothing to transform.
        if (thumbnailLength_ == 0) return;
        // A thumbnail that cannot be turned, or whose turn would not fit the segment, is kept
        // as it was rather than removed.
        thumbnailKept_ = true;
        if (!SeekTo(thumbnailOffset_) || !Fits(thumbnailLength_)) return;
        const size_t start = kTiffStart + pos_;
        const size_t end = start + thumbnailLength_;
        const std::vector<uint8_t> thumbnail = TransformThumbnail(in_ + start, thumbnailLength_, t_.Kind);
        if (thumbnail.empty() || size_ - thumbnailLength_ + thumbnail.size() > kMaxPayload) return;
        thumbnailKept_ = false;

        std::vector<uint8_t> out;
        out.reserve(size_ - thumbnailLength_ + thumbnail.size());
        out.insert(out.end(), out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(start));
        out.insert(out.end(), thumbnail.begin(), thumbnail.end());
        out.insert(out.end(), out_.begin() + static_cast<std::ptrdiff_t>(end), out_.end());
        out_ = std::move(out);
        order_.Store32(OutTiff() + *lengthSlot_, static_cast<uint32_t>(thumbnail.size()));
        thumbnailReplaced_ = true;
    }

    // Whole bodies move, so types and counts go with the values, and RATIONAL entries exchange
    // their fractions by exchanging offsets.
    void Exchange(const BodySlot& a, const BodySlot& b) {
        if (!a || !b) return;
        std::swap_ranges(OutTiff() + *a, OutTiff() + *a + kBodySize, OutTiff() + *b);
    }

    // In place, in the entry's own type; an entry that holds no single number stays.
    void SetUpright(const BodySlot& body) {
        if (!body || !HoldsOneNumber(order_, InTiff() + *body)) return;
        uint8_t* value = OutTiff() + *body + 6;
        switch (order_.Load16(InTiff() + *body)) {
            case kTypeByte: value[0] = kOrientationUpright; break;
            case kTypeShort: order_.Store16(value, kOrientationUpright); break;
            case kTypeLong: order_.Store32(value, kOrientationUpright); break;
        }
    }

    void ExchangeBodies() {
        Exchange(bodies_.pixelX, bodies_.pixelY);
        Exchange(bodies_.ifd0XRes, bodies_.ifd0YRes);
        if (!TurnsThumbnail(t_) || !IsJpegThumbnail()) return;
        // IFD1 describes the thumbnail: it turns only when the thumbnail did.
        if (thumbnailReplaced_) {
            Exchange(bodies_.ifd1Width, bodies_.ifd1Length);
            Exchange(bodies_.ifd1XRes, bodies_.ifd1YRes);
        }
        Exchange(bodies_.focalX, bodies_.focalY);
    }

    const uint8_t* in_;
    size_t size_;
    const ExifTransform& t_;
    std::vector<uint8_t> out_;

    ByteOrder order_;
    size_t pos_ = 0;  // the walk's offset within the TIFF data
    uint32_t exifIfdOffset_ = 0;
    uint32_t thumbnailOffset_ = 0;
    uint32_t thumbnailLength_ = 0;
    int compression_ = kNoCompressionEntry;
    std::optional<size_t> lengthSlot_;
    bool thumbnailReplaced_ = false;
    bool thumbnailKept_ = false;
    TrackedBodies bodies_;
};

}  // namespace

bool TurnsThumbnail(const ExifTransform& transform) {
    const bool resetsOrientation = transform.Kind != TransformKind::NoRotation && !transform.KeepOrientation;
    return !SwapsAxes(transform.Kind) || transform.AllowBreakDCF || resetsOrientation;
}

std::vector<uint8_t> RewriteExifSegment(const uint8_t* payload, size_t size, const ExifTransform& transform,
                                        ExifOutcome* outcome) {
    ExifRewriter rewriter(payload, size, transform);
    std::vector<uint8_t> result = rewriter.Run();
    if (outcome) outcome->thumbnailKept = rewriter.ThumbnailKept();
    return result;
}

std::optional<uint32_t> ReadExifOrientation(const uint8_t* payload, size_t size) {
    if (!IsExifPayload(payload, size)) return std::nullopt;
    const uint8_t* tiff = payload + kTiffStart;
    const size_t tiffSize = size - kTiffStart;
    const ByteOrder order = TiffByteOrder(tiff);
    const uint32_t ifd0 = order.Load32(tiff + 4);
    if (ifd0 < kTiffHeaderSize || ifd0 > tiffSize - 2) return std::nullopt;
    const size_t count = order.Load16(tiff + ifd0);
    const size_t first = ifd0 + 2u;
    if (count > (tiffSize - first) / kEntrySize) return std::nullopt;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = tiff + first + i * kEntrySize;
        if (order.Load16(entry) == tag::Orientation) return OrientationValue(order, entry + 2);
    }
    return std::nullopt;
}

}  // namespace pivotta
