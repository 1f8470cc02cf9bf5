// The Exif step as the engine runs it inside RotateJpeg, on made-up files and on real camera
// files whose every Exif tag exiftool reads before and after.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "CoefficientMatchers.h"
#include "EngineHarness.h"
#include "ExifBuilder.h"
#include "ExternalTools.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using K = TransformKind;
namespace tag = exif_tag;
namespace fs = std::filesystem;

// Where the payload's structures are, found the way a reader of the file finds them.
struct Found {
    uint32_t ifd0 = 0, exifIfd = 0, ifd1 = 0;
};

Found Locate(const ExifView& view) {
    Found f;
    f.ifd0 = view.Ifd0();
    if (const auto pointer = view.Find(f.ifd0, tag::ExifIfdPointer)) f.exifIfd = pointer->value;
    f.ifd1 = view.NextIfd(f.ifd0);
    return f;
}

// `lossless`: with the frame marker of the lossless process, which the engine refuses.
std::vector<uint8_t> MakeThumbnail(bool optimized = false, bool lossless = false) {
    FixtureSpec spec;
    spec.width = camera::kThumbWidth;
    spec.height = camera::kThumbHeight;
    spec.hSamp = 2;
    spec.vSamp = 1;
    spec.optimizeHuffman = optimized;
    std::vector<uint8_t> jpeg = MakeJpeg(spec);
    const uint8_t frameMarker[] = {0xFF, 0xC0};
    const auto sof = std::search(jpeg.begin(), jpeg.end(), std::begin(frameMarker), std::end(frameMarker));
    if (lossless && sof != jpeg.end()) sof[1] = 0xC3;
    return jpeg;
}

// A 1000 x 750 4:2:0 picture, ragged in both directions, with a camera Exif segment.
std::vector<uint8_t> CameraFile(bool little, const std::vector<uint8_t>& thumbnail) {
    FixtureSpec spec;
    spec.width = 1000;
    spec.height = 750;
    const std::vector<uint8_t> payload =
        CameraExif(CameraExifSpec(little).Pixels(1000, 750, TiffType::Short).Thumbnail(thumbnail)).Build();
    return WithApp1(MakeJpeg(spec), payload);
}

TEST(ExifThroughEngine, QuarterTurnTrimsTurnsAndCorrectsLengths) {
    for (bool little : {false, true}) {
        SCOPED_TRACE(little ? "II" : "MM");
        const std::vector<uint8_t> thumbnail = MakeThumbnail();
        const std::vector<uint8_t> file = CameraFile(little, thumbnail);
        EngineHarness harness(/*trim=*/true, /*turnThumbnail=*/true);
        ASSERT_TRUE(harness.Check(file)) << harness.Transcript();
        harness.ClearCalls();
        ASSERT_TRUE(harness.Rotate(file, K::Rotate90)) << harness.Transcript();
        EXPECT_TRUE(harness.Messages(1).empty() && harness.Messages(2).empty()) << harness.Transcript();

        const std::vector<uint8_t> payload = FirstApp1Payload(harness.Output());
        ASSERT_FALSE(payload.empty());
        const ExifView view(payload);
        const Found f = Locate(view);
        EXPECT_EQ(view.Number(f.exifIfd, tag::PixelXDimension), 736u);
        EXPECT_EQ(view.Number(f.exifIfd, tag::PixelYDimension), 1000u);
        EXPECT_EQ(ReadCoefficients(harness.Output()).width, 736);
        const std::vector<uint8_t> turned = view.Thumbnail(f.ifd1);
        EXPECT_TRUE(SameCoefficients(ReadCoefficients(turned), ExpectedTransform(ReadCoefficients(thumbnail), K::Rotate90, false)));
    }
}

// The thumbnail turns with a quarter turn by default, as the Orientation is reset; keeping the
// Orientation brings back the DCF rule that keeps it as it was.
TEST(ExifThroughEngine, QuarterTurnTurnsThumbnailUnlessOrientationIsKept) {
    const std::vector<uint8_t> thumbnail = MakeThumbnail();
    const std::vector<uint8_t> file = CameraFile(false, thumbnail);
    EngineHarness harness;
    ASSERT_TRUE(harness.Check(file));
    ASSERT_TRUE(harness.Rotate(file, K::Rotate270)) << harness.Transcript();
    {
        const std::vector<uint8_t> payload = FirstApp1Payload(harness.Output());
        const ExifView view(payload);
        EXPECT_TRUE(SameCoefficients(ReadCoefficients(view.Thumbnail(Locate(view).ifd1)),
                                     ExpectedTransform(ReadCoefficients(thumbnail), K::Rotate270, false)));
    }
    harness.Engine().KeepOrientation = true;
    ASSERT_TRUE(harness.Check(file));
    ASSERT_TRUE(harness.Rotate(file, K::Rotate270)) << harness.Transcript();
    const std::vector<uint8_t> payload = FirstApp1Payload(harness.Output());
    const ExifView view(payload);
    const Found f = Locate(view);
    EXPECT_EQ(view.Thumbnail(f.ifd1), thumbnail);
    EXPECT_EQ(view.Number(f.exifIfd, tag::PixelXDimension), 750u);
    EXPECT_EQ(view.Number(f.exifIfd, tag::PixelYDimension), 1000u);
}

// The thumbnail's engine has hooks of its own that do nothing: an optimized thumbnail raises
// no table warning, and the progress is the main picture's. A refused thumbnail stays as it was,
// with one warning of the outer engine.
TEST(ExifThroughEngine, ThumbnailEngineIsSilent) {
    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "refused thumbnail" : "optimized thumbnail");
        const std::vector<uint8_t> file = CameraFile(true, MakeThumbnail(!refused, refused));
        EngineHarness harness;
        ASSERT_TRUE(harness.Check(file));
        harness.ClearCalls();
        ASSERT_TRUE(harness.Rotate(file, K::Rotate180));
        for (const HookCall& call : harness.Calls()) {
            if (call.hook == HookCall::Hook::Message && call.value == 1 && call.text == msg::kThumbnailKept && refused) continue;
            EXPECT_TRUE(call.hook == HookCall::Hook::Progress || call.hook == HookCall::Hook::ProgressMax)
                << harness.Transcript();
        }
        EXPECT_EQ(harness.Messages(1).size(), refused ? 1u : 0u) << harness.Transcript();
        const auto max = std::find_if(harness.Calls().begin(), harness.Calls().end(),
                                      [](const HookCall& c) { return c.hook == HookCall::Hook::ProgressMax; });
        ASSERT_NE(max, harness.Calls().end());
        EXPECT_EQ(max->value, 47 + 47);  // 1000 x 750 in 16 x 16 MCUs: 47 rows in, 47 out
        const std::vector<uint8_t> payload = FirstApp1Payload(harness.Output());
        const ExifView view(payload);
        if (refused) {
            EXPECT_EQ(view.Thumbnail(Locate(view).ifd1), ExifView(FirstApp1Payload(file)).Thumbnail(Locate(view).ifd1));
        }
        EXPECT_NE(view.Number(Locate(view).ifd1, tag::JpegInterchangeFormatLength), 0u);  // never removed
    }
}

TEST(ExifThroughEngine, NonExifApp1PassesUnchanged) {
    const std::string xmp = "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>";
    const std::vector<uint8_t> xmpPayload(xmp.begin(), xmp.end());
    const std::vector<uint8_t> file = WithApp1(CameraFile(false, MakeThumbnail()), xmpPayload);
    EngineHarness harness(true, true);
    ASSERT_TRUE(harness.Check(file));
    ASSERT_TRUE(harness.Rotate(file, K::MirrorLR));
    EXPECT_EQ(FirstApp1Payload(harness.Output()), xmpPayload);
}

// ---- Real camera files, read by exiftool ----

// "Group:Tag" -> value as exiftool's JSON writes it; repeated tags are joined with " | ".
using Tags = std::map<std::string, std::string>;

// exiftool -j writes one "key": value pair a line, each file's object led by its SourceFile.
std::map<std::string, Tags> ParseExiftoolJson(const std::string& json) {
    std::map<std::string, Tags> files;
    static const std::regex pair(R"re(^\s*"([^"]+)": (.*?),?\s*$)re");
    std::istringstream lines(json);
    std::string line, current;
    std::smatch m;
    while (std::getline(lines, line)) {
        if (!std::regex_match(line, m, pair)) continue;
        if (m[1] == "SourceFile") {
            current = m[2].str().substr(1, m[2].length() - 2);
            continue;
        }
        std::string& value = files[current][m[1]];
        value = value.empty() ? m[2].str() : value + " | " + m[2].str();
    }
    return files;
}


struct CameraRun {
    std::string source;  // file name in the test data
    std::string output;  // path of the transformed file
    K kind;
    bool trim, turnThumbnail;
    int width, height;                // the main picture as read
    int trimmedWidth, trimmedHeight;  // and after trimming, before any exchange
    bool thumbnailReplaced;
    size_t thumbnailLength;
    bool jpegThumbnail;
};

void Swap(Tags& tags, const std::string& a, const std::string& b) {
    if (tags.count(a) && tags.count(b)) std::swap(tags[a], tags[b]);
}

int FirstNumber(const Tags& tags, const std::string& key) {
    std::smatch m;
    if (!tags.count(key) || !std::regex_search(tags.at(key), m, std::regex("[0-9]+"))) return -1;
    return std::stoi(m.str());
}

// Replaces the first number of a value ("100" or "\"100 0\"" for a SHORT pair).
void SetFirstNumber(Tags& tags, const std::string& key, int value) {
    if (!tags.count(key)) return;
    tags[key] = std::regex_replace(tags[key], std::regex("[0-9]+"), std::to_string(value),
                                   std::regex_constants::format_first_only);
}

// What exiftool must read after the step, derived from what it read before.
Tags ExpectedTags(Tags tags, const CameraRun& run) {
    const Tags before = tags;
    // Only a dimension that trimming changed, and that described the frame, is written; others
    // keep whatever the camera said (a scaled-down file keeps the camera's size).
    // XMP's twins of the Exif entries follow them, when the file has both of a pair.
    const std::pair<const char*, const char*> sizes[] = {{"ExifIFD:ExifImageWidth", "ExifIFD:ExifImageHeight"},
                                                         {"XMP-exif:ExifImageWidth", "XMP-exif:ExifImageHeight"},
                                                         {"XMP-tiff:ImageWidth", "XMP-tiff:ImageHeight"}};
    for (const auto& [width, height] : sizes) {
        if (run.trimmedWidth != run.width && FirstNumber(tags, width) == run.width) SetFirstNumber(tags, width, run.trimmedWidth);
        if (run.trimmedHeight != run.height && FirstNumber(tags, height) == run.height) {
            SetFirstNumber(tags, height, run.trimmedHeight);
        }
        if (SwapsAxes(run.kind) && (width[0] == 'E' || (tags.count(width) && tags.count(height)))) Swap(tags, width, height);
    }
    if (tags.count("XMP-tiff:Orientation")) tags["XMP-tiff:Orientation"] = "1";
    if (SwapsAxes(run.kind)) {
        Swap(tags, "IFD0:XResolution", "IFD0:YResolution");
        // The engine resets the Orientation in these runs, so the thumbnail turns whatever
        // turnThumbnail says.
        if (run.jpegThumbnail) {
            Swap(tags, "ExifIFD:FocalPlaneXResolution", "ExifIFD:FocalPlaneYResolution");
            if (run.thumbnailReplaced) {
                Swap(tags, "IFD1:ImageWidth", "IFD1:ImageHeight");
                Swap(tags, "IFD1:XResolution", "IFD1:YResolution");
            }
        }
    }
    if (run.thumbnailReplaced) tags["IFD1:ThumbnailLength"] = std::to_string(run.thumbnailLength);
    // The pixels are upright now, and so is the thumbnail when it was turned.
    if (tags.count("IFD0:Orientation")) tags["IFD0:Orientation"] = "1";
    if (run.thumbnailReplaced && tags.count("IFD1:Orientation")) tags["IFD1:Orientation"] = "1";
    return tags;
}

// Everything but the file system's view, values derived from the frame, and the warnings.
Tags ExifTags(const Tags& all) {
    Tags kept;
    for (const auto& [key, value] : all) {
        const bool skip = key.rfind("System:", 0) == 0 || key.rfind("File:", 0) == 0 ||
                          key.rfind("Composite:", 0) == 0 || key.rfind("ExifTool:", 0) == 0 ||
                          key == "IFD1:ThumbnailImage";
        if (!skip) kept[key] = value;
    }
    return kept;
}

std::set<std::string> Warnings(const Tags& all) {
    std::set<std::string> warnings;
    for (const auto& [key, value] : all)
        if (key.find("Warning") != std::string::npos) warnings.insert(value);
    return warnings;
}

int Trimmed(int size, int mcu, bool trims) { return trims && size >= mcu ? size / mcu * mcu : size; }

// Both byte orders; 4:4:4, 4:2:2 and 4:2:0; whole and ragged MCUs; a SHORT pair for a dimension;
// pixel dimensions that are not the picture's (a scaled-down file); JPEG thumbnails whose IFD1
// has no Compression entry.
const char* const kCameraFiles[] = {"Canon_40D.jpg", "Canon_40D_photoshop_import.jpg", "Fujifilm_FinePix6900ZOOM.jpg",
                                    "Kodak_CX7530.jpg", "Sony_HDR-HC3.jpg", "Konica_Minolta_DiMAGE_Z3.jpg",
                                    "Canon_PowerShot_S40.jpg", "Olympus_C8080WZ.jpg", "PaintTool_sample.jpg",
                                    "long_description.jpg"};
const char* const kThumbnailsWithoutCompression[] = {"Olympus_C8080WZ.jpg", "PaintTool_sample.jpg",
                                                     "long_description.jpg"};

// A JPEG thumbnail by its Compression entry, or without one by its own start-of-image marker.
bool IsJpegThumbnail(const ExifView& view, uint32_t ifd1) {
    if (ifd1 == 0) return false;
    if (const auto compression = view.Number(ifd1, tag::Compression)) return *compression == 6u;
    const std::vector<uint8_t> bytes = view.Thumbnail(ifd1);
    return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "pivotta-exif-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

TEST(ExifCameraFiles, ThumbnailsWithoutACompressionEntryTurnWithThePicture) {
    if (!HaveTestdata()) GTEST_SKIP() << "no real camera files beside the checkout";
    int seen = 0;
    for (const char* name : kThumbnailsWithoutCompression) {
        const std::string source = (fs::path(TestdataDir()) / name).string();
        if (!fs::exists(source)) continue;
        ++seen;
        const std::vector<uint8_t> input = ReadFileBytes(source);
        const std::vector<uint8_t> inPayload = FirstApp1Payload(input);
        const ExifView inView(inPayload);
        const uint32_t ifd1 = Locate(inView).ifd1;
        ASSERT_FALSE(inView.Number(ifd1, tag::Compression).has_value()) << name;
        const std::vector<uint8_t> inThumb = inView.Thumbnail(ifd1);
        ASSERT_TRUE(IsJpegThumbnail(inView, ifd1)) << name;
        for (K kind : {K::Rotate180, K::MirrorLR, K::MirrorTB}) {
            SCOPED_TRACE(std::string(name) + " " + TransformName(kind));
            EngineHarness harness(false, false);
            ASSERT_TRUE(harness.Check(input)) << harness.Transcript();
            ASSERT_TRUE(harness.Rotate(input, kind)) << harness.Transcript();
            const std::vector<uint8_t> outPayload = FirstApp1Payload(harness.Output());
            const std::vector<uint8_t> outThumb = ExifView(outPayload).Thumbnail(ifd1);
            EXPECT_TRUE(SameCoefficients(ReadCoefficients(outThumb), ExpectedTransform(ReadCoefficients(inThumb), kind, false)));
        }
    }
    if (seen == 0) GTEST_SKIP() << "none of the files is present";
}

TEST(ExifCameraFiles, EveryOtherTagReadsTheSameAfterEveryTransform) {
    if (!HaveTestdata()) GTEST_SKIP() << "no real camera files beside the checkout";
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    TempDir dir;
    ASSERT_FALSE(dir.Path().empty());

    std::vector<CameraRun> runs;
    std::string fileList;
    for (const char* name : kCameraFiles) {
        const std::string source = (fs::path(TestdataDir()) / name).string();
        if (!fs::exists(source)) continue;
        fileList += " '" + source + "'";
        const std::vector<uint8_t> input = ReadFileBytes(source);
        const JpegCoefs frame = ReadCoefficients(input);
        int maxH = 1, maxV = 1;
        for (const ComponentCoefs& c : frame.comps) maxH = std::max(maxH, c.h), maxV = std::max(maxV, c.v);
        const std::vector<uint8_t> inPayload = FirstApp1Payload(input);
        const ExifView inView(inPayload);
        const uint32_t inIfd1 = Locate(inView).ifd1;
        const bool jpegThumbnail = IsJpegThumbnail(inView, inIfd1);
        const std::vector<uint8_t> inThumb = jpegThumbnail ? inView.Thumbnail(inIfd1) : std::vector<uint8_t>{};

        for (K kind : std::span(kAllTransformKinds).subspan(1)) {
            for (const auto& [trim, turnThumbnail] : {std::pair{false, false}, {false, true}, {true, true}}) {
                SCOPED_TRACE(std::string(name) + " kind " + std::to_string(static_cast<int>(kind)) +
                             (trim ? " trim" : "") + (turnThumbnail ? " turn-thumbnail" : ""));
                EngineHarness harness(trim, turnThumbnail);
                ASSERT_TRUE(harness.Check(input)) << harness.Transcript();
                ASSERT_TRUE(harness.Rotate(input, kind)) << harness.Transcript();

                CameraRun run{name,         "",           kind, trim, turnThumbnail, frame.width, frame.height, 0, 0,
                              false,        0,            jpegThumbnail};
                run.trimmedWidth = Trimmed(frame.width, 8 * maxH, trim && TrimsRightEdge(kind));
                run.trimmedHeight = Trimmed(frame.height, 8 * maxV, trim && TrimsBottomEdge(kind));

                const std::vector<uint8_t> outPayload = FirstApp1Payload(harness.Output());
                const ExifView outView(outPayload);
                const std::vector<uint8_t> outThumb = jpegThumbnail ? outView.Thumbnail(inIfd1) : std::vector<uint8_t>{};
                run.thumbnailReplaced = !inThumb.empty();  // the Orientation is reset: every kind turns it
                run.thumbnailLength = outThumb.size();
                if (run.thumbnailReplaced) {
                    EXPECT_TRUE(SameCoefficients(ReadCoefficients(outThumb), ExpectedTransform(ReadCoefficients(inThumb), kind, false)));
                } else {
                    EXPECT_EQ(outThumb, inThumb);
                }

                run.output = (dir.Path() / (fs::path(name).stem().string() + "-" + std::to_string(runs.size()) + ".jpg")).string();
                std::ofstream(run.output, std::ios::binary)
                    .write(reinterpret_cast<const char*>(harness.Output().data()), static_cast<std::streamsize>(harness.Output().size()));
                fileList += " '" + run.output + "'";
                runs.push_back(run);
            }
        }
    }
    if (runs.empty()) GTEST_SKIP() << "none of the chosen camera files is present";

    const std::map<std::string, Tags> read = ParseExiftoolJson(RunCommand("exiftool -j -G1 -n -a" + fileList + " 2>/dev/null"));
    for (const CameraRun& run : runs) {
        SCOPED_TRACE(run.source + " kind " + std::to_string(static_cast<int>(run.kind)) + (run.trim ? " trim" : "") +
                     (run.turnThumbnail ? " turn-thumbnail" : ""));
        const std::string source = (fs::path(TestdataDir()) / run.source).string();
        ASSERT_TRUE(read.count(source) && read.count(run.output)) << "exiftool read neither file";
        const Tags& before = read.at(source);
        const Tags& after = read.at(run.output);
        const Tags expected = ExpectedTags(ExifTags(before), run);
        const Tags actual = ExifTags(after);
        for (const auto& [key, value] : expected) {
            EXPECT_EQ(actual.count(key) ? actual.at(key) : "(missing)", value) << key;
        }
        for (const auto& [key, value] : actual) EXPECT_TRUE(expected.count(key)) << "new tag " << key << " = " << value;
        const std::set<std::string> oldWarnings = Warnings(before);
        for (const std::string& warning : Warnings(after)) EXPECT_TRUE(oldWarnings.count(warning)) << "new warning " << warning;
    }
}

}  // namespace
}  // namespace pivotta::test
