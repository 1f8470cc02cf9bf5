// The XMP reader and editor: the input is the payload of an XMP APP1 segment. Every value found
// lies inside the text; edits keep everything outside the edited values and the padding; placed
// in a small photo with a valid MP index, the transform either succeeds with an index that still
// points at the second picture or fails at level 2.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "JpegRotation.h"
#include "MpfIndex.h"
#include "PhotoCarrier.h"
#include "XmpPacket.h"

namespace {

using namespace pivotta;

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

void CheckEdits(const fuzz::Bytes& payload) {
    const std::string_view text = XmpText(payload);
    std::vector<XmpEdit> edits;
    size_t last = 0;
    for (const char* name : {"tiff:Orientation", "exif:PixelXDimension", "tiff:ImageWidth", "Item:Length"}) {
        for (const XmpValue& v : FindXmpValues(text, name)) {
            Require(v.offset <= text.size() && v.length <= text.size() - v.offset, "a value lies inside the text");
            if (v.number && v.offset >= last) {
                edits.push_back({v.offset, v.length, std::to_string(*v.number * 10 + 1)});
                last = v.offset + v.length;
            }
        }
    }
    for (const ContainerItem& item : ReadContainerDirectory(text)) {
        if (item.length) Require(item.length->offset + item.length->length <= text.size(), "an item length lies inside");
    }
    (void)DescribesGainMap(text);
    const auto edited = ApplyXmpEdits(payload, edits);
    if (!edited) return;
    Require(IsXmpPayload(*edited), "an edited packet is still XMP");
    if (edits.empty()) Require(*edited == payload, "no edit changes nothing");
}

void TransformPhoto(const fuzz::Bytes& payload) {
    const TMemoryStream input(fuzz::PhotoWithXmp(payload));
    TJpegRotation engine;
    int errors = 0;
    engine.OnMessage = [&errors](const std::string&, int level) { errors += level == 2; };
    if (!engine.CheckJpeg(input)) return;  // an XMP payload of 65534 bytes or more breaks the carrier
    TMemoryStream output;
    if (!engine.RotateJpeg(input, output, TransformKind::Rotate270)) {
        Require(errors > 0, "failure reported at level 2");
        return;
    }
    // The index in the output still names a picture that starts with SOI, right after the main one.
    const uint8_t* bytes = output.Memory();
    Require(output.Size() > 10 + 4 && bytes[2] == 0xFF && bytes[3] == 0xE2, "the index stays first");
    const size_t length = size_t{bytes[4]} << 8 | bytes[5];
    const MpfParse parse = ParseMpfSegment({bytes + 6, length - 2});
    Require(parse.problem == MpfProblem::None && parse.index.entries.size() == 2, "the index parses");
    const size_t start = 10 + parse.index.entries[1].offset;
    Require(start == parse.index.entries[0].size, "the second picture follows the first");
    Require(start + 1 < output.Size() && bytes[start] == 0xFF && bytes[start + 1] == 0xD8, "it starts with SOI");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65533) return 0;
    fuzz::Bytes payload(kXmpSignature.begin(), kXmpSignature.end());
    payload.insert(payload.end(), data, data + size);
    CheckEdits(payload);
    TransformPhoto(payload);
    return 0;
}
