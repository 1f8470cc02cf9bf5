// The Exif step on segments whose offsets, counts and lengths do not hold together: it must
// stay inside the segment, keep what it has already handled and copy the rest unchanged.
// Every payload lives in a buffer of exactly its size, so a sanitizer build sees any overread.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Endian.h"
#include "ExifBuilder.h"
#include "ExifSegment.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using K = TransformKind;
namespace tag = exif_tag;

std::vector<uint8_t> Rewrite(const std::vector<uint8_t>& payload, const ExifTransform& t) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[payload.size() + (payload.empty() ? 1 : 0)]);
    std::copy(payload.begin(), payload.end(), exact.get());
    return RewriteExifSegment(exact.get(), payload.size(), t);
}

ExifTransform Transform(K kind, bool breakDcf = true) {
    ExifTransform t;
    t.Kind = kind;
    t.AllowBreakDCF = breakDcf;
    t.AllowAdjustMCU = true;
    t.ImageWidth = 4000;
    t.ImageHeight = 3000;
    t.OutputWidth = 3984;
    t.OutputHeight = 2992;
    return t;
}

std::vector<uint8_t> SmallThumbnail() {
    FixtureSpec spec;
    spec.width = 48;
    spec.height = 32;
    return MakeJpeg(spec);
}

// A well-formed segment and where its parts are; each case breaks one field of it.
struct Sample {
    std::vector<uint8_t> payload;
    ExifLayout layout;
    bool little;

    explicit Sample(bool littleEndian) : little(littleEndian) {
        ExifBuilder b = CameraExif(CameraExifSpec(littleEndian).Thumbnail(SmallThumbnail()).Trailer({1, 2, 3}));
        payload = b.Build();
        layout = b.Layout();
    }
    uint8_t* Tiff() { return payload.data() + kTiffStart; }
    void Put16(size_t offset, uint16_t v) { little ? storeLE16(Tiff() + offset, v) : storeBE16(Tiff() + offset, v); }
    void Put32(size_t offset, uint32_t v) { little ? storeLE32(Tiff() + offset, v) : storeBE32(Tiff() + offset, v); }
    // Offset of the 4-byte value field of an entry.
    size_t ValueOf(uint32_t ifd, uint16_t entryTag) const {
        const auto entry = ExifView(payload).Find(ifd, entryTag);
        EXPECT_TRUE(entry);
        return entry ? entry->offset + 8 : 0;
    }
    size_t NextIfdField(uint32_t ifd) const { return ifd + 2 + 12 * ExifView(payload).U16(ifd); }
};

// The 10 bytes after an entry's tag; entries are found by their tag in the payload given.
std::vector<uint8_t> BodyAt(const std::vector<uint8_t>& payload, uint32_t ifd, uint16_t entryTag) {
    const auto entry = ExifView(payload).Find(ifd, entryTag);
    if (!entry) return {};
    const auto body = payload.begin() + static_cast<std::ptrdiff_t>(kTiffStart + entry->offset + 2);
    return {body, body + 10};
}

struct Breakage {
    std::string name;
    void (*apply)(Sample&);
    // What the walk still reaches, in order: nothing, IFD0, the Exif IFD, IFD1.
    int structuresHandled;
};

const Breakage kBreakages[] = {
    {"IFD0 past the segment", [](Sample& s) { s.Put32(4, static_cast<uint32_t>(s.payload.size())); }, 0},
    {"IFD0 inside the header", [](Sample& s) { s.Put32(4, 4); }, 0},
    {"IFD0 at 0xFFFFFFFF", [](Sample& s) { s.Put32(4, 0xFFFFFFFF); }, 0},
    {"IFD0 count past the segment", [](Sample& s) { s.Put16(s.layout.ifd0, 0xFFFF); }, 0},
    {"IFD0's next-IFD field cut by the segment end",
     [](Sample& s) { s.payload.resize(kTiffStart + s.NextIfdField(s.layout.ifd0) + 2); }, 1},
    {"Exif IFD past the segment",
     [](Sample& s) { s.Put32(s.ValueOf(s.layout.ifd0, tag::ExifIfdPointer), 0x7FFFFFF0); }, 1},
    {"Exif IFD behind IFD0", [](Sample& s) { s.Put32(s.ValueOf(s.layout.ifd0, tag::ExifIfdPointer), 8); }, 1},
    {"Exif IFD count past the segment", [](Sample& s) { s.Put16(s.layout.exifIfd, 0x1000); }, 1},
    {"Exif IFD exactly at the segment end",
     [](Sample& s) {
         s.Put32(s.ValueOf(s.layout.ifd0, tag::ExifIfdPointer), static_cast<uint32_t>(s.payload.size() - kTiffStart));
     },
     1},
    {"IFD1 behind the Exif IFD", [](Sample& s) { s.Put32(s.NextIfdField(s.layout.ifd0), s.layout.ifd0); }, 2},
    {"IFD1 past the segment", [](Sample& s) { s.Put32(s.NextIfdField(s.layout.ifd0), 0xFFFFFF00); }, 2},
    {"IFD1 count past the segment", [](Sample& s) { s.Put16(s.layout.ifd1, 0x0FFF); }, 2},
    {"thumbnail behind IFD1",
     [](Sample& s) { s.Put32(s.ValueOf(s.layout.ifd1, tag::JpegInterchangeFormat), s.layout.ifd1); }, 3},
    {"thumbnail past the segment",
     [](Sample& s) { s.Put32(s.ValueOf(s.layout.ifd1, tag::JpegInterchangeFormat), 0xFFFFFFF0); }, 3},
    {"thumbnail length past the segment",
     [](Sample& s) {
         s.Put32(s.ValueOf(s.layout.ifd1, tag::JpegInterchangeFormatLength), s.layout.thumbnailLength + 4);
     },
     3},
    {"thumbnail length wraps",
     [](Sample& s) { s.Put32(s.ValueOf(s.layout.ifd1, tag::JpegInterchangeFormatLength), 0xFFFFFFFF); }, 3},
};

class MalformedExif : public ::testing::TestWithParam<std::tuple<size_t, bool>> {};

// The walk keeps the changes of the structures it reached and copies everything after the
// broken one unchanged: the thumbnail is never touched and the segment keeps its size.
TEST_P(MalformedExif, StopsAtTheBrokenStructure) {
    const Breakage& breakage = kBreakages[std::get<0>(GetParam())];
    SCOPED_TRACE(breakage.name);
    const Sample intact(std::get<1>(GetParam()));
    Sample broken = intact;
    breakage.apply(broken);
    const std::vector<uint8_t>& in = broken.payload;

    for (K kind : {K::Rotate90, K::Rotate180, K::MirrorLR}) {
        SCOPED_TRACE(static_cast<int>(kind));
        const std::vector<uint8_t> out = Rewrite(in, Transform(kind));
        ASSERT_EQ(out.size(), in.size());
        const ExifLayout& l = intact.layout;
        if (breakage.structuresHandled >= 1) {
            // IFD0's resolutions exchange for quarter turns and for nothing else.
            const uint16_t from = SwapsAxes(kind) ? tag::YResolution : tag::XResolution;
            EXPECT_EQ(BodyAt(out, l.ifd0, tag::XResolution), BodyAt(in, l.ifd0, from));
        }
        if (breakage.structuresHandled >= 2) {
            // The pixel dimensions were trimmed (and exchanged for quarter turns).
            EXPECT_EQ(ExifView(out).Number(l.exifIfd, tag::PixelXDimension), kind == K::Rotate90 ? 2992u : 3984u);
        }
        // Untouched from the first structure the walk could not handle to the end.
        const size_t untouchedFrom = breakage.structuresHandled == 0   ? 0
                                     : breakage.structuresHandled == 1 ? l.exifIfd
                                     : breakage.structuresHandled == 2 ? l.ifd1
                                                                       : l.thumbnail;
        const size_t start = std::min(kTiffStart + untouchedFrom, in.size());
        EXPECT_TRUE(std::equal(in.begin() + start, in.end(), out.begin() + start));
        if (breakage.structuresHandled == 0) {
            EXPECT_EQ(out, in);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MalformedExif,
                         ::testing::Combine(::testing::Range<size_t>(0, std::size(kBreakages)), ::testing::Bool()));

// Every prefix of a segment, run under every kind: no read outside it, no growth past the
// segment limit, and the bytes before the TIFF header untouched.
TEST(MalformedExifSweep, EveryTruncation) {
    for (bool little : {false, true}) {
        const Sample sample(little);
        for (size_t size = 0; size <= sample.payload.size(); ++size) {
            const std::vector<uint8_t> in(sample.payload.begin(), sample.payload.begin() + size);
            for (K kind : {K::NoRotation, K::Rotate90, K::Rotate270, K::Rotate180, K::MirrorLR, K::MirrorTB}) {
                const std::vector<uint8_t> out = Rewrite(in, Transform(kind));
                ASSERT_LE(out.size(), 65533u);
                ASSERT_TRUE(std::equal(in.begin(), in.begin() + std::min(in.size(), kTiffStart), out.begin()));
            }
        }
    }
}

// Random damage to the TIFF structures (not to the thumbnail, whose damage the nested
// engine's own tests cover): the step must neither crash nor read outside the segment.
TEST(MalformedExifSweep, RandomDamageToTheStructures) {
    std::mt19937 random(20240601);
    for (bool little : {false, true}) {
        const Sample sample(little);
        std::uniform_int_distribution<size_t> where(kTiffStart, kTiffStart + sample.layout.thumbnail - 1);
        std::uniform_int_distribution<int> byte(0, 255), flips(1, 4);
        for (int round = 0; round < 1500; ++round) {
            std::vector<uint8_t> in = sample.payload;
            for (int i = flips(random); i > 0; --i) in[where(random)] = static_cast<uint8_t>(byte(random));
            const K kind = kAllTransformKinds[round % kTransformKindCount];
            const std::vector<uint8_t> out = Rewrite(in, Transform(kind, round % 2 == 0));
            ASSERT_LE(out.size(), 65533u);
        }
    }
}

}  // namespace
}  // namespace pivotta::test
