// The Exif step reached deep: the input is the TIFF data of an Exif APP1 segment, which is
// placed in a small valid picture whose size is not a whole number of MCUs (so trimming
// changes the pixel dimensions). The seeds are camera-like structures with a JPEG thumbnail,
// so mutations reach IFD1 and the nested engine.
//
// Whatever the Exif data holds, the picture itself must still transform, and the rewritten
// segment must stay well-formed: its length covers it exactly and the stream goes on with the
// carrier's next segment. RewriteExifSegment is also called directly on the raw input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ExifSegment.h"
#include "JpegRotation.h"
#include "SyntheticJpeg.h"

namespace {

using namespace pivotta;

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

void Require(bool condition, const char* what) {
    if (!condition) Broken(what);
}

const fuzz::Bytes& Carrier() {
    static const fuzz::Bytes carrier = fuzz::SyntheticJpeg({.width = 40, .height = 20, .seed = 7});
    return carrier;
}

void TransformWithExif(const fuzz::Bytes& payload) {
    const TMemoryStream input(fuzz::WithSegmentAfterSoi(Carrier(), 0xFFE1, payload));
    TJpegRotation engine;
    int errors = 0;
    engine.OnMessage = [&errors](const std::string&, int level) { errors += level == 2; };
    for (int options = 0; options < 4; ++options) {
        engine.AllowAdjustMCU = (options & 1) != 0;
        engine.AllowBreakDCF = (options & 2) != 0;
        Require(engine.CheckJpeg(input), "the carrier passes the check");
        for (TransformKind kind : kAllTransformKinds) {
            TMemoryStream output;
            Require(engine.RotateJpeg(input, output, kind), "the picture transforms");
            Require(errors == 0, "no error reported");
            const std::vector<uint8_t>& out = output.Bytes();
            Require(out.size() >= 6 && out[2] == 0xFF && out[3] == 0xE1, "APP1 stays first");
            const size_t length = static_cast<size_t>(out[4]) << 8 | out[5];
            Require(length >= 2 && 4 + length + 2 <= out.size(), "APP1 length inside the stream");
            Require(out[4 + length] == 0xFF && out[4 + length + 1] == 0xDB, "the next segment follows APP1");
        }
    }
}

void RewriteDirectly(const uint8_t* data, size_t size) {
    static constexpr ExifTransform kTransforms[] = {
        {TransformKind::Rotate90, true, true, 1000, 750, 1000, 736},
        {TransformKind::Rotate270, false, true, 1000, 750, 992, 750},
        {TransformKind::Rotate180, true, false, 64, 48, 64, 48},
        {TransformKind::MirrorLR, false, true, 70, 40, 64, 40},
        {TransformKind::Transverse, true, true, 70, 40, 64, 40, true},
    };
    for (const ExifTransform& transform : kTransforms) {
        const std::vector<uint8_t> result = RewriteExifSegment(data, size, transform);
        Require(result.size() <= 65533, "the segment length still fits");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static constexpr uint8_t kSignature[] = {'E', 'x', 'i', 'f', 0, 0};
    if (size > 65533 - sizeof kSignature) return 0;  // an APP1 segment cannot hold more
    fuzz::Bytes payload(kSignature, kSignature + sizeof kSignature);
    payload.insert(payload.end(), data, data + size);
    TransformWithExif(payload);
    RewriteDirectly(payload.data(), payload.size());
    RewriteDirectly(data, size);
    return 0;
}
