// The MP index: the input is the payload of an APP2 "MPF" segment. A parsed index must write and
// read back the same; placed in a small photo, any index (counts, offsets past the end,
// overlapping or backward pictures, attribute IFDs that loop) is either followed to pictures
// that are really there or refused at level 2, and a success keeps the trailer last.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "JpegRotation.h"
#include "MpfIndex.h"
#include "PhotoCarrier.h"

namespace {

using namespace pivotta;

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

void CheckRoundTrip(const fuzz::Bytes& payload) {
    const MpfParse parse = ParseMpfSegment(payload);
    if (parse.problem != MpfProblem::None) return;
    const MpfParse again = ParseMpfSegment(WriteMpfSegment(parse.index));
    Require(again.problem == MpfProblem::None, "a written index parses");
    Require(again.index.entries.size() == parse.index.entries.size(), "same number of pictures");
    for (size_t i = 0; i < parse.index.entries.size(); ++i) {
        Require(again.index.entries[i].size == parse.index.entries[i].size, "same sizes");
        Require(again.index.entries[i].offset == parse.index.entries[i].offset, "same offsets");
    }
}

void TransformPhoto(const fuzz::Bytes& payload) {
    const TMemoryStream input(fuzz::PhotoWithIndex(payload));
    TJpegRotation engine;
    int errors = 0;
    engine.OnMessage = [&errors](const std::string&, int level) { errors += level == 2; };
    Require(engine.CheckJpeg(input), "the carrier checks whatever its index says");
    for (const TransformKind kind : {TransformKind::Rotate90, TransformKind::MirrorLR}) {
        TMemoryStream output;
        errors = 0;
        if (!engine.RotateJpeg(input, output, kind)) {
            Require(errors > 0, "failure reported at level 2");
            Require(output.Size() == 0, "a refused photo writes nothing");
            continue;
        }
        const uint8_t* end = output.Memory() + output.Size();
        const uint8_t* trailer = input.Memory() + input.Size() - fuzz::kTrailerSize;
        Require(output.Size() >= fuzz::kTrailerSize && std::equal(trailer, trailer + fuzz::kTrailerSize, end - fuzz::kTrailerSize),
                "the trailer stays last, byte for byte");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65533) return 0;
    const fuzz::Bytes payload(data, data + size);
    CheckRoundTrip(payload);
    TransformPhoto(payload);
    return 0;
}
