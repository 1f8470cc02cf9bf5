// The two diagonal mirrors against jpegtran, pixel for pixel, and the Exif Orientation entry:
// read after the check, set to 1 by a transform unless kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "ExifBuilder.h"
#include "ExternalTools.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

namespace tag = exif_tag;
using K = TransformKind;

// ---- Transpose and Transverse against jpegtran ----

// What jpegtran makes of the picture equals, in pixels, what the engine makes with the same
// trimming, wherever jpegtran transforms the whole picture: Transpose always, Transverse
// when trimming or when there is no ragged edge (jpegtran leaves a ragged edge as it was).
void ExpectPixelsAsJpegtran(const std::string& jpegtran, const std::vector<uint8_t>& input, bool ragged,
                            const std::string& name) {
    for (K kind : {K::Transpose, K::Transverse}) {
        for (bool trim : {false, true}) {
            if (kind == K::Transverse && ragged && !trim) continue;
            SCOPED_TRACE(name + " " + TransformName(kind) + (trim ? " trimmed" : ""));
            EngineHarness engine(trim);
            ASSERT_TRUE(engine.Check(input)) << engine.Transcript();
            ASSERT_TRUE(engine.Rotate(input, kind)) << engine.Transcript();
            const Pixels ours = DecodePixels(engine.Output());
            const Pixels theirs = DecodePixels(RunJpegtran(jpegtran, input, kind, trim));
            ASSERT_GT(ours.width, 0);
            EXPECT_EQ(ours.width, theirs.width);
            EXPECT_EQ(ours.height, theirs.height);
            EXPECT_TRUE(ours == theirs) << "the pixels differ";
        }
    }
}

struct SamplingCase {
    const char* name;
    int components, h, v;
};

TEST(DiagonalMirrors, PixelsEqualJpegtranOnEverySamplingWithRaggedEdges) {
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    constexpr SamplingCase kCases[] = {{"4:4:4", 3, 1, 1}, {"4:2:2", 3, 2, 1}, {"4:2:0", 3, 2, 2},
                                       {"4:4:0", 3, 1, 2}, {"4:1:1", 3, 4, 1}, {"gray", 1, 1, 1}};
    for (const SamplingCase& c : kCases) {
        const int mcuWidth = 8 * c.h, mcuHeight = 8 * c.v;
        for (bool ragged : {false, true}) {
            FixtureSpec spec{.width = 5 * mcuWidth + (ragged ? 3 : 0), .height = 4 * mcuHeight + (ragged ? 5 : 0),
                             .components = c.components, .hSamp = c.h, .vSamp = c.v};
            spec.restartInterval = ragged ? 3 : 0;
            ExpectPixelsAsJpegtran(jpegtran, MakeJpeg(spec), ragged, std::string(c.name) + (ragged ? " ragged" : ""));
        }
    }
}

TEST(DiagonalMirrors, PixelsEqualJpegtranOnEveryCameraFile) {
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    if (!HaveTestdata()) GTEST_SKIP() << "no camera files at " << TestdataDir();
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TestdataDir())) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".jpg" || name == "progressive.jpg" || name == "short_scan.jpg") continue;
        const std::vector<uint8_t> input = ReadFileBytes(entry.path().string());
        const JpegCoefs frame = ReadCoefficients(input);
        ASSERT_FALSE(frame.comps.empty()) << name;
        int maxH = 1, maxV = 1;
        for (const ComponentCoefs& c : frame.comps) maxH = std::max(maxH, c.h), maxV = std::max(maxV, c.v);
        if (frame.comps.size() == 1) maxH = maxV = 1;
        const bool ragged = frame.width % (8 * maxH) != 0 || frame.height % (8 * maxV) != 0;
        ExpectPixelsAsJpegtran(jpegtran, input, ragged, name);
        ++files;
    }
    EXPECT_GT(files, 0);
}

// ---- The Orientation entry ----

struct OrientationFile {
    std::vector<uint8_t> jpeg;
    ExifLayout layout;
};

// A small picture whose IFD0 (and IFD1 with a thumbnail, when asked) carry an Orientation
// entry of the type.
OrientationFile WithOrientation(bool little, TiffType type, uint32_t value, bool inIfd1) {
    ExifBuilder exif(little);
    exif.Ifd0().Entry(tag::Orientation, type, {value});
    exif.Ifd0().Rational(tag::XResolution, 72, 1).Rational(tag::YResolution, 300, 1);
    exif.ExifIfd().Short(tag::PixelXDimension, 64).Short(tag::PixelYDimension, 48);
    exif.Ifd1().Short(tag::Compression, 6);
    if (inIfd1) {
        exif.Ifd1().Short(tag::Orientation, static_cast<uint16_t>(value));
        exif.Thumbnail(MakeJpeg(FixtureSpec{.width = 16, .height = 8, .hSamp = 1, .vSamp = 1}));
    }
    const std::vector<uint8_t> payload = exif.Build();
    return {WithApp1(MakeJpeg(FixtureSpec{.width = 64, .height = 48}), payload), exif.Layout()};
}

struct Orientations {
    std::optional<ExifEntry> ifd0, ifd1;
};

Orientations Read(const std::vector<uint8_t>& jpeg, const ExifLayout& layout) {
    const std::vector<uint8_t> payload = FirstApp1Payload(jpeg);
    const ExifView view(payload);
    return {view.Find(layout.ifd0, tag::Orientation), view.Find(layout.ifd1, tag::Orientation)};
}

TEST(OrientationEntry, CheckReportsTheValueAndItsUprightKind) {
    struct Case {
        std::vector<uint8_t> jpeg;
        std::optional<uint32_t> value;
        std::optional<K> upright;
    };
    ExifBuilder noEntry(true);
    noEntry.Ifd0().Short(tag::Make, 1);
    const std::vector<uint8_t> plain = MakeJpeg(FixtureSpec{.width = 16, .height = 16});
    const Case cases[] = {
        {plain, std::nullopt, std::nullopt},
        {WithApp1(plain, noEntry.Build()), std::nullopt, std::nullopt},
        {WithOrientation(false, TiffType::Short, 6, false).jpeg, 6u, K::Rotate90},
        {WithOrientation(true, TiffType::Short, 5, true).jpeg, 5u, K::Transpose},
        {WithOrientation(true, TiffType::Long, 7, false).jpeg, 7u, K::Transverse},
        {WithOrientation(false, TiffType::Short, 1, false).jpeg, 1u, K::NoRotation},
        {WithOrientation(false, TiffType::Short, 0, false).jpeg, 0u, std::nullopt},
        {WithOrientation(true, TiffType::Short, 9, false).jpeg, 9u, std::nullopt},
        {WithOrientation(true, TiffType::Ascii, 6, false).jpeg, 0u, std::nullopt},  // no number
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        EngineHarness engine;
        ASSERT_TRUE(engine.Check(cases[i].jpeg)) << engine.Transcript();
        const std::optional<uint32_t> value = engine.Engine().Orientation();
        EXPECT_EQ(value, cases[i].value);
        EXPECT_EQ(value ? UprightKind(*value) : std::nullopt, cases[i].upright);
    }
    // Each stream is read afresh: a file without the entry does not inherit the last one's.
    EngineHarness engine;
    ASSERT_TRUE(engine.Check(cases[2].jpeg));
    ASSERT_TRUE(engine.Check(plain));
    EXPECT_EQ(engine.Engine().Orientation(), std::nullopt);
}

// IFD1's entry describes the thumbnail: it becomes 1 only when the thumbnail was turned too,
// which a kind that swaps axes does only with the user's consent.
TEST(OrientationEntry, EveryTransformSetsItToOneInPlaceUnlessKept) {
    for (bool little : {false, true}) {
        for (TiffType type : {TiffType::Short, TiffType::Long}) {
            const OrientationFile file = WithOrientation(little, type, 6, true);
            for (K kind : kAllTransformKinds) {
                for (auto [keep, turnThumbnail] : {std::pair{false, false}, {false, true}, {true, true}}) {
                    SCOPED_TRACE(std::string(little ? "II " : "MM ") + (type == TiffType::Short ? "SHORT " : "LONG ") +
                                 TransformName(kind) + (keep ? " kept" : "") +
                                 (turnThumbnail ? " turn-thumbnail" : ""));
                    EngineHarness engine(false, turnThumbnail);
                    engine.Engine().KeepOrientation = keep;
                    ASSERT_TRUE(engine.Check(file.jpeg));
                    ASSERT_TRUE(engine.Rotate(file.jpeg, kind)) << engine.Transcript();
                    const uint32_t expected = keep || kind == K::NoRotation ? 6u : 1u;
                    // With the Orientation reset the thumbnail always turns, so its entry goes to 1 too.
                    const uint32_t thumbnailExpected = expected;
                    const Orientations after = Read(engine.Output(), file.layout);
                    ASSERT_TRUE(after.ifd0 && after.ifd1);
                    EXPECT_EQ(after.ifd0->type, static_cast<uint16_t>(type));
                    EXPECT_EQ(after.ifd0->count, 1u);
                    // The 4-byte field as a whole: a SHORT's two spare bytes stay zero.
                    const uint32_t field = type == TiffType::Short && !little ? expected << 16 : expected;
                    EXPECT_EQ(after.ifd0->value, field);
                    EXPECT_EQ(after.ifd1->value, little ? thumbnailExpected : thumbnailExpected << 16);
                }
            }
        }
    }
}

// Only the value changes: a mirror (no exchange of entries, no thumbnail) gives the segment
// back with the value bytes alone different.
TEST(OrientationEntry, NothingElseInTheSegmentChanges) {
    const OrientationFile file = WithOrientation(true, TiffType::Short, 2, false);
    EngineHarness engine;
    ASSERT_TRUE(engine.Check(file.jpeg));
    ASSERT_TRUE(engine.Rotate(file.jpeg, K::MirrorLR));
    const std::vector<uint8_t> before = FirstApp1Payload(file.jpeg), after = FirstApp1Payload(engine.Output());
    ASSERT_EQ(before.size(), after.size());
    std::vector<size_t> changed;
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i] != after[i]) changed.push_back(i);
    const size_t valueAt = kTiffStart + Read(file.jpeg, file.layout).ifd0->offset + 8;
    EXPECT_EQ(changed, std::vector<size_t>{valueAt});
    EXPECT_EQ(after[valueAt], 1);
}

}  // namespace
}  // namespace pivotta::test
