#include "PhotoCarrier.h"

#include "MpfIndex.h"

namespace pivotta::fuzz {
namespace {

Bytes Trailer() {
    Bytes bytes(kTrailerSize);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 1);
    return bytes;
}

Bytes Joined(Bytes main) {
    const Bytes& second = SecondPicture();
    main.insert(main.end(), second.begin(), second.end());
    const Bytes trailer = Trailer();
    main.insert(main.end(), trailer.begin(), trailer.end());
    return main;
}

}  // namespace

const Bytes& MainPicture() {
    static const Bytes picture = SyntheticJpeg({.width = 32, .height = 16, .seed = 3});
    return picture;
}

const Bytes& SecondPicture() {
    static const Bytes picture = SyntheticJpeg({.width = 8, .height = 8, .components = test::Gray(), .seed = 4});
    return picture;
}

Bytes PhotoWithIndex(const Bytes& mpfPayload) { return Joined(WithSegmentAfterSoi(MainPicture(), 0xFFE2, mpfPayload)); }

Bytes PhotoWithXmp(const Bytes& xmpPayload) {
    MpfIndex index;
    index.entries = {{0x030000, 0, 0}, {0, static_cast<uint32_t>(SecondPicture().size()), 0}};
    const size_t mpfSize = WriteMpfSegment(index).size();
    // SOI, APP2 (MP header at byte 10), then APP1 with the XMP: the index comes first so that
    // its place does not depend on the XMP's size.
    const size_t mainSize = MainPicture().size() + 4 + mpfSize + 4 + xmpPayload.size();
    index.entries[0].size = static_cast<uint32_t>(mainSize);
    index.entries[1].offset = static_cast<uint32_t>(mainSize - 10);
    const Bytes withXmp = WithSegmentAfterSoi(MainPicture(), 0xFFE1, xmpPayload);
    return Joined(WithSegmentAfterSoi(withXmp, 0xFFE2, WriteMpfSegment(index)));
}

}  // namespace pivotta::fuzz
