// The Exif step on well-formed segments: which entries move for which transform, the
// thumbnail's own lossless transform, and the lengths that follow it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "CoefficientMatchers.h"
#include "Endian.h"
#include "ExifBuilder.h"
#include "ExifSegment.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using K = TransformKind;
namespace tag = exif_tag;

std::vector<uint8_t> Rewrite(const std::vector<uint8_t>& payload, const ExifTransform& t, ExifOutcome* outcome = nullptr) {
    return RewriteExifSegment(payload.data(), payload.size(), t, outcome);
}

ExifTransform Untrimmed(K kind, bool breakDcf = false) {
    ExifTransform t;
    t.Kind = kind;
    t.AllowBreakDCF = breakDcf;
    t.ImageWidth = t.OutputWidth = 4000;
    t.ImageHeight = t.OutputHeight = 3000;
    return t;
}

// The DCF rule for quarter turns holds only where the Orientation entries are kept as they were.
ExifTransform KeepingOrientation(ExifTransform t) {
    t.KeepOrientation = true;
    return t;
}

std::vector<uint8_t> Thumbnail(bool optimized = false, int vSamp = 1) {
    FixtureSpec spec;
    spec.width = camera::kThumbWidth;
    spec.height = camera::kThumbHeight;
    spec.hSamp = 2;
    spec.vSamp = vSamp;
    spec.optimizeHuffman = optimized;
    spec.seed = 7;
    return MakeJpeg(spec);
}

const std::vector<uint8_t> kTrailer = {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x11};

// A byte range of the TIFF data that a test allows to differ.
struct Range {
    size_t offset, size;
};

Range Body(const ExifView& view, uint32_t ifd, uint16_t entryTag) {
    const auto entry = view.Find(ifd, entryTag);
    EXPECT_TRUE(entry) << "tag " << std::hex << entryTag;
    return {entry ? entry->offset + 2 : 0, 10};
}

// The entries that describe the main picture: pixel dimensions, IFD0 and focal-plane resolutions.
std::vector<Range> MainPictureBodies(const ExifView& view, const ExifLayout& l) {
    return {Body(view, l.exifIfd, tag::PixelXDimension),       Body(view, l.exifIfd, tag::PixelYDimension),
            Body(view, l.ifd0, tag::XResolution),               Body(view, l.ifd0, tag::YResolution),
            Body(view, l.exifIfd, tag::FocalPlaneXResolution), Body(view, l.exifIfd, tag::FocalPlaneYResolution)};
}

// Equal sizes and equal bytes outside the allowed ranges of the TIFF data.
void ExpectSameExcept(const std::vector<uint8_t>& in, const std::vector<uint8_t>& out,
                      const std::vector<Range>& allowed) {
    ASSERT_EQ(in.size(), out.size());
    for (size_t i = 0; i < in.size(); ++i) {
        bool mayDiffer = false;
        for (const Range& r : allowed)
            mayDiffer |= i >= kTiffStart + r.offset && i < kTiffStart + r.offset + r.size;
        if (!mayDiffer) {
            ASSERT_EQ(in[i], out[i]) << "payload byte " << i;
        }
    }
}

// The output thumbnail is the lossless transform of the input's, and the length entry and the
// segment size follow its new size; what followed the thumbnail follows it still.
void ExpectThumbnailTransformed(const std::vector<uint8_t>& in, const std::vector<uint8_t>& out,
                                const ExifLayout& layout, K kind) {
    const std::vector<uint8_t> oldThumb = ExifView(in).Thumbnail(layout.ifd1);
    const std::vector<uint8_t> newThumb = ExifView(out).Thumbnail(layout.ifd1);
    ASSERT_FALSE(newThumb.empty());
    EXPECT_EQ(out.size(), in.size() - oldThumb.size() + newThumb.size());
    EXPECT_EQ(ExifView(out).Number(layout.ifd1, tag::JpegInterchangeFormatLength), newThumb.size());
    const size_t tail = in.size() - (kTiffStart + layout.thumbnail + oldThumb.size());
    EXPECT_TRUE(std::equal(in.end() - tail, in.end(), out.end() - tail)) << "bytes after the thumbnail";
    EXPECT_TRUE(SameCoefficients(ReadCoefficients(newThumb), ExpectedTransform(ReadCoefficients(oldThumb), kind, false)));
}

using Fraction = std::pair<uint32_t, uint32_t>;

// ---- Quarter turns ----

class QuarterTurn : public ::testing::TestWithParam<std::tuple<bool, K>> {
protected:
    bool Little() const { return std::get<0>(GetParam()); }
    K Kind() const { return std::get<1>(GetParam()); }
};

TEST_P(QuarterTurn, ExchangesMainPictureEntriesAndKeepsThumbnailUnderDcfWhenOrientationIsKept) {
    ExifBuilder builder = CameraExif(CameraExifSpec(Little()).Thumbnail(Thumbnail()).Trailer(kTrailer));
    const std::vector<uint8_t> in = builder.Build();
    const ExifLayout& l = builder.Layout();
    const std::vector<uint8_t> out = Rewrite(in, KeepingOrientation(Untrimmed(Kind())));

    const ExifView before(in), after(out);
    EXPECT_EQ(after.Number(l.exifIfd, tag::PixelXDimension), 3000u);
    EXPECT_EQ(after.Number(l.exifIfd, tag::PixelYDimension), 4000u);
    EXPECT_EQ(after.Fraction(l.ifd0, tag::XResolution), Fraction(camera::kIfd0YRes, 1));
    EXPECT_EQ(after.Fraction(l.ifd0, tag::YResolution), Fraction(camera::kIfd0XRes, 1));
    // Thumbnail, IFD1, focal-plane entries and orientation stay; the segment keeps its size.
    ExpectSameExcept(in, out,
                     {Body(before, l.exifIfd, tag::PixelXDimension), Body(before, l.exifIfd, tag::PixelYDimension),
                      Body(before, l.ifd0, tag::XResolution), Body(before, l.ifd0, tag::YResolution)});
}

// Turning the thumbnail: asked for with AllowBreakDCF, and the default whenever the Orientation is
// reset, since every viewer then shows the thumbnail as it is stored.
TEST_P(QuarterTurn, WithBreakDcfOrAResetOrientationTurnsThumbnailAndItsEntries) {
    ExifBuilder builder = CameraExif(CameraExifSpec(Little()).Thumbnail(Thumbnail()).Trailer(kTrailer));
    const std::vector<uint8_t> in = builder.Build();
    const ExifLayout& l = builder.Layout();
    for (const ExifTransform& t : {KeepingOrientation(Untrimmed(Kind(), true)), Untrimmed(Kind())}) {
    SCOPED_TRACE(t.KeepOrientation ? "AllowBreakDCF" : "Orientation reset");
    const std::vector<uint8_t> out = Rewrite(in, t);

    const ExifView after(out);
    ExpectThumbnailTransformed(in, out, l, Kind());
    const JpegCoefs turned = ReadCoefficients(after.Thumbnail(l.ifd1));
    EXPECT_EQ(std::tie(turned.width, turned.height), std::make_tuple(120, 160));
    EXPECT_EQ(after.Number(l.ifd1, tag::ImageWidth), camera::kThumbHeight);
    EXPECT_EQ(after.Number(l.ifd1, tag::ImageLength), camera::kThumbWidth);
    EXPECT_EQ(after.Fraction(l.ifd1, tag::XResolution), Fraction(camera::kIfd1YRes, 1));
    EXPECT_EQ(after.Fraction(l.ifd1, tag::YResolution), Fraction(camera::kIfd1XRes, 1));
    EXPECT_EQ(after.Fraction(l.exifIfd, tag::FocalPlaneXResolution), Fraction(camera::kFocalYRes, 1));
    EXPECT_EQ(after.Fraction(l.exifIfd, tag::FocalPlaneYResolution), Fraction(camera::kFocalXRes, 1));
    EXPECT_EQ(after.Number(l.exifIfd, tag::PixelXDimension), 3000u);
    EXPECT_EQ(after.Fraction(l.ifd0, tag::XResolution), Fraction(camera::kIfd0YRes, 1));
    EXPECT_EQ(after.Number(l.ifd0, tag::Orientation), camera::kOrientation);
    }
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, QuarterTurn,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(K::Rotate90, K::Rotate270)));

TEST(ExifQuarterTurn, TypesAndCountsMoveWithTheirValues) {
    ExifBuilder b(true);
    b.Ifd0().Rational(tag::XResolution, 72, 1).Short(tag::YResolution, 5);  // odd, but seen in the wild
    b.ExifIfd().Short(tag::PixelXDimension, 640).Long(tag::PixelYDimension, 480);
    const std::vector<uint8_t> in = b.Build();
    const std::vector<uint8_t> out = Rewrite(in, Untrimmed(K::Rotate90));

    const ExifView after(out);
    const auto pixelX = after.Find(b.Layout().exifIfd, tag::PixelXDimension);
    ASSERT_TRUE(pixelX);
    EXPECT_EQ(pixelX->type, static_cast<uint16_t>(TiffType::Long));
    EXPECT_EQ(pixelX->value, 480u);
    EXPECT_EQ(after.Number(b.Layout().exifIfd, tag::PixelYDimension), 640u);
    EXPECT_EQ(after.Find(b.Layout().ifd0, tag::YResolution)->type, static_cast<uint16_t>(TiffType::Rational));
    EXPECT_EQ(after.Fraction(b.Layout().ifd0, tag::YResolution), Fraction(72, 1));
}

TEST(ExifQuarterTurn, LonePixelDimensionKeepsItsValue) {
    for (bool little : {false, true}) {
        ExifBuilder builder = CameraExif(CameraExifSpec(little).WithoutPixelY().Thumbnail(Thumbnail()));
        const std::vector<uint8_t> in = builder.Build();
        const ExifLayout& l = builder.Layout();
        const std::vector<uint8_t> out = Rewrite(in, KeepingOrientation(Untrimmed(K::Rotate90)));
        const ExifView before(in);
        EXPECT_EQ(ExifView(out).Number(l.exifIfd, tag::PixelXDimension), 4000u);
        // Only the IFD0 resolutions, which have their pair, are exchanged.
        ExpectSameExcept(in, out, {Body(before, l.ifd0, tag::XResolution), Body(before, l.ifd0, tag::YResolution)});
    }
}

// ---- Half turn and mirrors ----

class HalfTurnOrMirror : public ::testing::TestWithParam<std::tuple<bool, K, bool>> {};

TEST_P(HalfTurnOrMirror, TransformsThumbnailWhateverDcfSays) {
    const auto [little, kind, breakDcf] = GetParam();
    ExifBuilder builder = CameraExif(CameraExifSpec(little).Thumbnail(Thumbnail(false, 2)).Trailer(kTrailer));
    const std::vector<uint8_t> in = builder.Build();
    const ExifLayout& l = builder.Layout();
    const std::vector<uint8_t> out = Rewrite(in, Untrimmed(kind, breakDcf));

    ExpectThumbnailTransformed(in, out, l, kind);
    // Up to the thumbnail only its length entry may change.
    const std::vector<uint8_t> head(in.begin(), in.begin() + kTiffStart + l.thumbnail);
    const std::vector<uint8_t> outHead(out.begin(), out.begin() + kTiffStart + l.thumbnail);
    const auto lengthEntry = ExifView(in).Find(l.ifd1, tag::JpegInterchangeFormatLength);
    ASSERT_TRUE(lengthEntry);
    ExpectSameExcept(head, outHead, {{lengthEntry->offset + 8, 4}});
}

INSTANTIATE_TEST_SUITE_P(Kinds, HalfTurnOrMirror,
                         ::testing::Combine(::testing::Bool(),
                                            ::testing::Values(K::Rotate180, K::MirrorLR, K::MirrorTB, K::NoRotation),
                                            ::testing::Bool()));

// ---- Trimmed pixel dimensions ----

// A 1000 x 750 4:2:0 picture: trimming takes the width to 992 or the height to 736.
ExifTransform Trimmed(K kind, int outWidth, int outHeight) {
    ExifTransform t;
    t.Kind = kind;
    t.AllowAdjustMCU = true;
    t.ImageWidth = 1000;
    t.ImageHeight = 750;
    t.OutputWidth = outWidth;
    t.OutputHeight = outHeight;
    return t;
}

class TrimmedDimensions : public ::testing::TestWithParam<std::tuple<bool, TiffType>> {
protected:
    ExifBuilder Builder() const {
        return CameraExif(CameraExifSpec(std::get<0>(GetParam())).Pixels(1000, 750, std::get<1>(GetParam())).WithoutIfd1());
    }
};

TEST_P(TrimmedDimensions, MirrorWritesTrimmedWidthInEntryType) {
    ExifBuilder builder = Builder();
    std::vector<uint8_t> in = builder.Build();
    const ExifLayout& l = builder.Layout();
    const ExifView before(in);
    const auto pixelX = before.Find(l.exifIfd, tag::PixelXDimension);
    ASSERT_TRUE(pixelX);
    const bool isShort = std::get<1>(GetParam()) == TiffType::Short;
    const size_t value = kTiffStart + pixelX->offset + 8;
    if (isShort) in[value + 2] = in[value + 3] = 0xFF;  // stray bytes after a SHORT value are cleared

    const std::vector<uint8_t> out = Rewrite(in, Trimmed(K::MirrorLR, 992, 750));
    const ExifView after(out);
    EXPECT_EQ(after.Find(l.exifIfd, tag::PixelXDimension)->type, pixelX->type);
    EXPECT_EQ(after.Number(l.exifIfd, tag::PixelXDimension), 992u);
    EXPECT_EQ(after.Number(l.exifIfd, tag::PixelYDimension), 750u);
    if (isShort) {
        EXPECT_EQ(out[value + 2], 0);
        EXPECT_EQ(out[value + 3], 0);
    }
    ExpectSameExcept(in, out, {{pixelX->offset + 8, 4}});
}

TEST_P(TrimmedDimensions, QuarterTurnTrimsThenExchanges) {
    ExifBuilder builder = Builder();
    const std::vector<uint8_t> in = builder.Build();
    const std::vector<uint8_t> out = Rewrite(in, Trimmed(K::Rotate90, 1000, 736));
    const ExifView after(out);
    EXPECT_EQ(after.Number(builder.Layout().exifIfd, tag::PixelXDimension), 736u);
    EXPECT_EQ(after.Number(builder.Layout().exifIfd, tag::PixelYDimension), 1000u);
}

TEST_P(TrimmedDimensions, WithoutAdjustMcuValuesStay) {
    ExifBuilder builder = Builder();
    const std::vector<uint8_t> in = builder.Build();
    ExifTransform t = Trimmed(K::MirrorTB, 1000, 736);
    t.AllowAdjustMCU = false;
    EXPECT_EQ(Rewrite(in, t), in);
}

// A resized photo keeps its camera's size in Exif: trimming must not write half of the frame's
// size into it. Stored values that are not the frame's stay, and quarter turns still exchange.
TEST_P(TrimmedDimensions, OnlyValuesThatDescribeTheFrameAreTrimmed) {
    const auto [little, type] = GetParam();
    struct Case {
        uint32_t storedWidth, storedHeight;
        K kind;
        int outWidth, outHeight;
        uint32_t expectedX, expectedY;
    };
    const Case cases[] = {
        {2272, 1704, K::Rotate90, 1000, 736, 1704, 2272},   // neither is the frame's: exchanged only
        {2272, 750, K::Rotate90, 1000, 736, 736, 2272},     // the height is, and is trimmed
        {1000, 1704, K::MirrorLR, 992, 750, 992, 1704},     // the width is, and is trimmed
        {2272, 1704, K::Rotate180, 992, 736, 2272, 1704},   // neither: no change at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.storedWidth) + "x" + std::to_string(c.storedHeight));
        ExifBuilder builder = CameraExif(CameraExifSpec(little).Pixels(c.storedWidth, c.storedHeight, type).WithoutIfd1());
        const std::vector<uint8_t> in = builder.Build();
        const std::vector<uint8_t> out = Rewrite(in, Trimmed(c.kind, c.outWidth, c.outHeight));
        const ExifView after(out);
        EXPECT_EQ(after.Number(builder.Layout().exifIfd, tag::PixelXDimension), c.expectedX);
        EXPECT_EQ(after.Number(builder.Layout().exifIfd, tag::PixelYDimension), c.expectedY);
    }
}

INSTANTIATE_TEST_SUITE_P(Types, TrimmedDimensions,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(TiffType::Short, TiffType::Long)));

// ---- Segments and thumbnails the step leaves alone or removes ----

TEST(ExifPassThrough, NonExifSegmentsStayByteIdentical) {
    const std::string xmp =
        "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta xmlns:x='adobe:ns:meta/'><tiff:Orientation>1"
        "</tiff:Orientation></x:xmpmeta>";
    const std::vector<std::vector<uint8_t>> payloads = {
        {xmp.begin(), xmp.end()}, {}, {'E', 'x', 'i'}, {'E', 'x', 'i', 'f', 0, 0, 'M', 'M'},
        {'E', 'x', 'i', 'F', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0}};
    for (const auto& payload : payloads)
        for (K kind : {K::Rotate90, K::Rotate180, K::MirrorLR})
            EXPECT_EQ(Rewrite(payload, Untrimmed(kind, true)), payload);
}

// Some writers leave Compression out of IFD1: the thumbnail's own FF D8 says it is a JPEG. A
// Compression entry that says otherwise is believed.
TEST(ExifThumbnailKind, MissingCompressionEntryWithJpegBytesIsAJpegThumbnail) {
    for (bool little : {false, true}) {
        for (K kind : {K::Rotate180, K::MirrorLR, K::MirrorTB, K::Rotate90}) {
            SCOPED_TRACE(std::string(TransformName(kind)) + (little ? " II" : " MM"));
            ExifBuilder builder = CameraExif(CameraExifSpec(little).WithoutCompression().Thumbnail(Thumbnail()));
            const std::vector<uint8_t> in = builder.Build();
            const std::vector<uint8_t> out = Rewrite(in, Untrimmed(kind, true));
            ExpectThumbnailTransformed(in, out, builder.Layout(), kind);
        }
    }
    std::vector<uint8_t> notJpeg(1800, 0x80);
    notJpeg[0] = 0xFF;  // FF but not FF D8
    ExifBuilder raw = CameraExif(CameraExifSpec(true).WithoutCompression().Thumbnail(notJpeg));
    std::vector<uint8_t> in = raw.Build();
    EXPECT_EQ(Rewrite(in, Untrimmed(K::Rotate180, true)), in);
    ExifBuilder uncompressed = CameraExif(CameraExifSpec(true).Compression(1).Thumbnail(Thumbnail()));
    in = uncompressed.Build();
    EXPECT_EQ(Rewrite(in, Untrimmed(K::Rotate180, true)), in);
}

TEST(ExifPassThrough, UncompressedThumbnailStays) {
    std::vector<uint8_t> raw(160 * 120 * 3 / 16, 0x80);
    ExifBuilder builder = CameraExif(CameraExifSpec(true).Compression(1).Thumbnail(raw));
    const std::vector<uint8_t> in = builder.Build();
    EXPECT_EQ(Rewrite(in, Untrimmed(K::Rotate180)), in);
}

// A JPEG-compressed IFD1 whose thumbnail has no length: with no length entry, and with a length
// entry of 0 whose offset names real JPEG bytes.
TEST(ExifPassThrough, JpegCompressionWithoutLengthAddsNothing) {
    for (bool lengthEntry : {false, true}) {
        SCOPED_TRACE(lengthEntry);
        const std::vector<uint8_t> jpeg = Thumbnail();
        CameraExifSpec spec = CameraExifSpec(false).Trailer(jpeg);
        ExifBuilder builder = CameraExif(spec);
        if (lengthEntry) builder.Ifd1().Long(tag::JpegInterchangeFormat, 0).Long(tag::JpegInterchangeFormatLength, 0);
        std::vector<uint8_t> in = builder.Build();
        const ExifLayout& l = builder.Layout();
        const ExifView before(in);
        if (lengthEntry) {
            const size_t offsetField = kTiffStart + before.Find(l.ifd1, tag::JpegInterchangeFormat)->offset + 8;
            storeBE32(&in[offsetField], static_cast<uint32_t>(l.tiffSize - jpeg.size()));
        }
        EXPECT_EQ(Rewrite(in, Untrimmed(K::Rotate180)), in);
        // IFD1 describes the thumbnail, which did not turn: only the main picture's entries move.
        ExpectSameExcept(in, Rewrite(in, Untrimmed(K::Rotate90, true)), MainPictureBodies(before, l));
    }
}

// A thumbnail whose frame is of the lossless process.
std::vector<uint8_t> LosslessThumbnail() {
    FixtureSpec spec;
    spec.width = camera::kThumbWidth;
    spec.height = camera::kThumbHeight;
    std::vector<uint8_t> jpeg = MakeJpeg(spec);
    const uint8_t frameMarker[] = {0xFF, 0xC0};
    const auto sof = std::search(jpeg.begin(), jpeg.end(), std::begin(frameMarker), std::end(frameMarker));
    if (sof != jpeg.end()) sof[1] = 0xC3;
    return jpeg;
}

std::vector<uint8_t> WithoutEndOfImage(std::vector<uint8_t> jpeg) {
    jpeg.resize(jpeg.size() - 2);
    jpeg.insert(jpeg.end(), {0x00, 0x00});
    return jpeg;
}

std::vector<uint8_t> CutInsideScan() {
    std::vector<uint8_t> jpeg = Thumbnail();
    jpeg.resize(jpeg.size() * 3 / 4);
    return jpeg;
}

std::vector<uint8_t> NotStartingWithSoi() {
    std::vector<uint8_t> jpeg = Thumbnail();
    jpeg[1] = 0xD9;
    return jpeg;
}

// A thumbnail the nested engine refuses is kept byte for byte, and the caller is told.
TEST(ExifRefusedThumbnail, IsKeptAsItWas) {
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> thumbnails = {
        {"lossless", LosslessThumbnail()},
        {"no FF D8", NotStartingWithSoi()},
        {"scan not ended by FF D9", WithoutEndOfImage(Thumbnail())},
        {"cut inside the scan", CutInsideScan()}};
    for (const auto& [name, thumb] : thumbnails) {
        SCOPED_TRACE(name);
        for (bool little : {false, true}) {
            ExifBuilder builder = CameraExif(CameraExifSpec(little).Thumbnail(thumb).Trailer(kTrailer));
            const std::vector<uint8_t> in = builder.Build();
            const ExifLayout& l = builder.Layout();
            ExifOutcome outcome;
            const std::vector<uint8_t> out = Rewrite(in, Untrimmed(K::MirrorLR), &outcome);
            EXPECT_EQ(out, in);
            EXPECT_EQ(ExifView(out).Number(l.ifd1, tag::JpegInterchangeFormatLength), thumb.size());
            EXPECT_TRUE(outcome.thumbnailKept);
        }
    }
}

// ---- Thumbnails that change size ----

TEST(ExifThumbnailSize, OptimizedTablesGrowAndLengthsFollow) {
    for (bool little : {false, true}) {
        const std::vector<uint8_t> thumb = Thumbnail(true);
        ExifBuilder builder = CameraExif(CameraExifSpec(little).Thumbnail(thumb).Trailer(kTrailer));
        const std::vector<uint8_t> in = builder.Build();
        const std::vector<uint8_t> out = Rewrite(in, Untrimmed(K::Rotate270, true));
        EXPECT_GT(out.size(), in.size());
        ExpectThumbnailTransformed(in, out, builder.Layout(), K::Rotate270);
    }
}

// The new segment may reach the 16-bit length's limit exactly, not pass it.
TEST(ExifThumbnailSize, SegmentLimitDecidesWhetherTheThumbnailTurns) {
    const std::vector<uint8_t> thumb = Thumbnail(true);
    const std::vector<uint8_t> plain = CameraExif(CameraExifSpec(true).Thumbnail(thumb)).Build();
    const size_t growth = Rewrite(plain, Untrimmed(K::Rotate180)).size() - plain.size();
    ASSERT_GT(growth, 0u);
    const size_t limit = 65533;  // payload bytes a 16-bit segment length can carry

    for (size_t over : {0, 1}) {
        SCOPED_TRACE(over);
        const std::vector<uint8_t> padding(limit - plain.size() - growth + over, 0x20);
        ExifBuilder builder = CameraExif(CameraExifSpec(true).Thumbnail(thumb).Trailer(padding));
        const std::vector<uint8_t> in = builder.Build();
        const ExifLayout& l = builder.Layout();
        if (over == 0) {
            const std::vector<uint8_t> out = Rewrite(in, Untrimmed(K::Rotate180));
            EXPECT_EQ(out.size(), limit);
            ExpectThumbnailTransformed(in, out, l, K::Rotate180);
            continue;
        }
        ExifOutcome outcome;
        EXPECT_EQ(Rewrite(in, Untrimmed(K::Rotate180), &outcome), in);
        EXPECT_TRUE(outcome.thumbnailKept);
        // The main picture's entries still turn; IFD1 stays with its unturned thumbnail.
        const std::vector<uint8_t> out = Rewrite(in, Untrimmed(K::Rotate90, true));
        ExpectSameExcept(in, out, MainPictureBodies(ExifView(in), l));
        EXPECT_EQ(ExifView(out).Number(l.exifIfd, tag::PixelXDimension), 3000u);
    }
}

}  // namespace
}  // namespace pivotta::test
