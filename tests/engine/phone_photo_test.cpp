// Phone photos turned whole: main picture, gain map and preview coefficient-exact, the MP index
// pointing at each picture, the container lengths, the trailer and XMP in step with Exif.
#include <gtest/gtest.h>

#include "CoefficientMatchers.h"
#include "ExifBuilder.h"
#include "JpegFixtures.h"
#include "JpegRotation.h"
#include "PhonePhotoBuilder.h"

namespace pivotta::test {
namespace {

using K = TransformKind;

struct TurnResult {
    bool ok = false;
    std::vector<uint8_t> output;
    std::vector<EngineMessage> messages;
};

TurnResult Turn(const std::vector<uint8_t>& file, K kind, bool trim, bool keepOrientation = false) {
    TJpegRotation engine;
    engine.AllowAdjustMCU = trim;
    engine.KeepOrientation = keepOrientation;
    TurnResult run;
    engine.OnCodedMessage = [&run](const EngineMessage& m) { run.messages.push_back(m); };
    const TMemoryStream input(file);
    TMemoryStream output;
    run.ok = engine.CheckJpeg(input) && engine.RotateJpeg(input, output, kind);
    run.output = output.Bytes();
    return run;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t start, size_t size) {
    if (start > bytes.size() || size > bytes.size() - start) return {};
    return {bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.begin() + static_cast<std::ptrdiff_t>(start + size)};
}

bool IsWholePicture(const std::vector<uint8_t>& p) {
    return p.size() >= 4 && p[0] == 0xFF && p[1] == 0xD8 && p[p.size() - 2] == 0xFF && p[p.size() - 1] == 0xD9;
}

struct PhotoCase {
    const char* name;
    FixtureSpec main, gainMap;
    bool trim;
    bool gainMapTrimmed;  // what the gain map must get to keep covering the main picture
};

FixtureSpec Main(int w, int h) { return {.width = w, .height = h}; }
FixtureSpec Gray(int w, int h) { return {.width = w, .height = h, .components = 1, .hSamp = 1, .vSamp = 1, .seed = 5}; }

const PhotoCase kCases[] = {
    {"Whole", Main(256, 192), Gray(64, 48), false, false},
    // 1000x750 in 16x16 MCUs trims to 992x736; the 250x188 gain map trims to 248x184, which
    // maps within half a gain-map pixel of it.
    {"RaggedTrimmed", Main(1000, 750), Gray(250, 188), true, true},
    {"WholeMainRaggedMap", Main(256, 192), Gray(62, 48), true, false},
};

class PhonePhotoTest : public ::testing::TestWithParam<std::tuple<int, K, bool, bool>> {};

TEST_P(PhonePhotoTest, EveryPictureTurnsAndTheIndexFollows) {
    const auto [caseIndex, kind, little, withThumbnail] = GetParam();
    const PhotoCase& c = kCases[caseIndex];
    PhonePhotoSpec spec;
    spec.main = c.main;
    spec.gainMap = c.gainMap;
    spec.mpfLittleEndian = little;
    spec.exifThumbnail = withThumbnail;
    spec.elementForm = little;  // both forms, without doubling the runs
    spec.trailerSize = 3000;
    spec.preview = FixtureSpec{.width = 128, .height = 96, .hSamp = 2, .vSamp = 1, .seed = 9};
    const PhonePhoto photo = MakePhonePhoto(spec);

    const TurnResult run = Turn(photo.bytes, kind, c.trim);
    // A 62-pixel gain map is ragged (62 = 7 x 8 + 6): a kind that brings its right edge to the
    // left would shift it by 2 gain-map pixels, so it is refused and nothing is written.
    if (caseIndex == 2 && TrimsRightEdge(kind)) {
        ASSERT_FALSE(run.ok);
        ASSERT_FALSE(run.messages.empty());
        EXPECT_EQ(run.messages.back().code, MessageCode::GainMapGrid);
        EXPECT_TRUE(run.output.empty());
        return;
    }
    ASSERT_TRUE(run.ok) << (run.messages.empty() ? "" : run.messages.back().text);

    const PhotoView view = ReadPhoto(run.output);
    ASSERT_TRUE(view.ok) << view.why;
    ASSERT_EQ(view.entries.size(), 3u);
    EXPECT_EQ(view.entries[0].offset, 0u);
    const std::vector<uint8_t> main = Slice(run.output, 0, view.entries[0].size);
    const std::vector<uint8_t> gainMap = Slice(run.output, view.mpfHeader + view.entries[1].offset, view.entries[1].size);
    const std::vector<uint8_t> preview = Slice(run.output, view.mpfHeader + view.entries[2].offset, view.entries[2].size);
    ASSERT_TRUE(IsWholePicture(main) && IsWholePicture(gainMap) && IsWholePicture(preview));
    EXPECT_EQ(view.entries[1].attribute, 0u);
    EXPECT_EQ(view.entries[2].attribute, 0x010001u);
    // Packed in order, the trailer last and byte for byte.
    EXPECT_EQ(view.mpfHeader + view.entries[1].offset, main.size());
    EXPECT_EQ(view.mpfHeader + view.entries[2].offset, main.size() + gainMap.size());
    EXPECT_EQ(Slice(run.output, run.output.size() - photo.trailer.size(), photo.trailer.size()), photo.trailer);
    EXPECT_EQ(main.size() + gainMap.size() + preview.size() + photo.trailer.size(), run.output.size());

    EXPECT_TRUE(SameCoefficients(ReadCoefficients(main), ExpectedTransform(ReadCoefficients(photo.main), kind, c.trim)));
    EXPECT_TRUE(SameCoefficients(ReadCoefficients(gainMap),
                                 ExpectedTransform(ReadCoefficients(photo.gainMap), kind, c.gainMapTrimmed)));
    EXPECT_TRUE(SameCoefficients(ReadCoefficients(preview), ExpectedTransform(ReadCoefficients(photo.preview), kind, c.trim)));
    // The gain map's own metadata came along.
    EXPECT_NE(std::string(gainMap.begin(), gainMap.end()).find("hdrgm:GainMapMax=\"2.3\""), std::string::npos);

    EXPECT_EQ(ContainerLengths(view.xmp),
              (std::vector<uint64_t>{0, gainMap.size(), preview.size(), photo.trailer.size()}));
    const JpegCoefs turned = ReadCoefficients(main);
    EXPECT_EQ(XmpNumber(view.xmp, "tiff:ImageWidth"), uint64_t(turned.width));
    EXPECT_EQ(XmpNumber(view.xmp, "tiff:ImageLength"), uint64_t(turned.height));
    EXPECT_EQ(XmpNumber(view.xmp, "tiff:Orientation"), kind == K::NoRotation ? 6u : 1u);
    if (withThumbnail) {
        const ExifView exif(view.exif);
        const auto exifIfd = exif.Find(exif.Ifd0(), exif_tag::ExifIfdPointer);
        ASSERT_TRUE(exifIfd);
        EXPECT_EQ(XmpNumber(view.xmp, "exif:PixelXDimension"), exif.Number(exifIfd->value, exif_tag::PixelXDimension));
        EXPECT_EQ(XmpNumber(view.xmp, "exif:PixelYDimension"), exif.Number(exifIfd->value, exif_tag::PixelYDimension));
    } else {
        EXPECT_EQ(XmpNumber(view.xmp, "exif:PixelXDimension"), uint64_t(turned.width));
        EXPECT_EQ(XmpNumber(view.xmp, "exif:PixelYDimension"), uint64_t(turned.height));
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PhonePhotoTest,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::ValuesIn(kAllTransformKinds),
                                            ::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(kCases[std::get<0>(info.param)].name) + "_" +
                                    TransformName(std::get<1>(info.param)) +
                                    (std::get<2>(info.param) ? "_II" : "_MM") +
                                    (std::get<3>(info.param) ? "_Thumbnail" : "");
                         });

TEST(PhonePhotoRoundTrip, QuarterTurnAndBackGivesTheSamePictures) {
    PhonePhotoSpec spec;
    spec.xmpOrientation = 1;
    spec.trailerSize = 500;
    const PhonePhoto photo = MakePhonePhoto(spec);
    const TurnResult there = Turn(photo.bytes, K::Rotate90, false);
    ASSERT_TRUE(there.ok);
    const TurnResult back = Turn(there.output, K::Rotate270, false);
    ASSERT_TRUE(back.ok);
    const PhotoView before = ReadPhoto(photo.bytes), after = ReadPhoto(back.output);
    ASSERT_TRUE(after.ok) << after.why;
    ASSERT_EQ(after.entries.size(), before.entries.size());
    for (size_t i = 0; i < before.entries.size(); ++i) {
        EXPECT_EQ(after.entries[i].attribute, before.entries[i].attribute);
        EXPECT_EQ(after.entries[i].offset, before.entries[i].offset);
        EXPECT_EQ(after.entries[i].size, before.entries[i].size);
    }
    EXPECT_TRUE(SameCoefficients(ReadCoefficients(Slice(back.output, 0, after.entries[0].size)),
                                 ReadCoefficients(photo.main)));
    EXPECT_TRUE(SameCoefficients(
        ReadCoefficients(Slice(back.output, after.mpfHeader + after.entries[1].offset, after.entries[1].size)),
        ReadCoefficients(photo.gainMap)));
    EXPECT_EQ(after.xmp, before.xmp);
}

TEST(PhonePhotoRefusal, SetsOfViewsAndBrokenIndexesLeaveTheFileAlone) {
    struct Case {
        const char* name;
        std::vector<uint32_t> extraTypes;
        size_t cut;  // bytes taken off the end
        MessageCode code;
    };
    const Case cases[] = {
        {"stereo", {0x020002}, 0, MessageCode::MultiPictureSet},
        {"panorama", {0x020001}, 0, MessageCode::MultiPictureSet},
        {"multi-angle", {0x020003}, 0, MessageCode::MultiPictureSet},
        {"picture past the end", {}, 100, MessageCode::DamagedPictureIndex},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PhonePhotoSpec spec;
        spec.extraTypes = c.extraTypes;
        std::vector<uint8_t> file = MakePhonePhoto(spec).bytes;
        file.resize(file.size() - c.cut);
        const std::vector<uint8_t> original = file;
        const TurnResult run = Turn(file, K::Rotate90, true);
        EXPECT_FALSE(run.ok);
        ASSERT_FALSE(run.messages.empty());
        EXPECT_EQ(run.messages.back().code, c.code);
        EXPECT_EQ(run.messages.back().level, 2);
        EXPECT_TRUE(run.output.empty());
        EXPECT_EQ(file, original);
    }
}

TEST(PhonePhotoCheck, CheckJpegNamesTheGainMapAndPreview) {
    PhonePhotoSpec spec;
    spec.preview = FixtureSpec{.width = 96, .height = 64};
    TJpegRotation engine;
    ASSERT_TRUE(engine.CheckJpeg(TMemoryStream(MakePhonePhoto(spec).bytes)));
    const PhotoInfo& info = engine.Photo();
    ASSERT_EQ(info.pictures.size(), 2u);
    EXPECT_EQ(info.pictures[0].role, PictureRole::GainMap);
    EXPECT_EQ(info.pictures[0].width, 128);
    EXPECT_EQ(info.pictures[0].height, 96);
    EXPECT_EQ(info.pictures[1].role, PictureRole::Preview);
    EXPECT_FALSE(info.viewSet);
}

}  // namespace
}  // namespace pivotta::test
