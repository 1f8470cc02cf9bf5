// Exif orientation through pivotta-cli: auto-orientation of the eight orientations made by
// jpegtran and tagged by exiftool, upright files left alone, and the tag after a transform.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sys/stat.h>

#include "CliRunner.h"
#include "ExifBuilder.h"
#include "ExternalTools.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

namespace tag = exif_tag;
using Bytes = std::vector<uint8_t>;
using K = TransformKind;

// The kind that undoes one: quarter turns undo each other, every other kind undoes itself.
K Inverse(K kind) {
    if (kind == K::Rotate90) return K::Rotate270;
    if (kind == K::Rotate270) return K::Rotate90;
    return kind;
}

Bytes WithExif(const Bytes& jpeg, bool little, const std::optional<Bytes>& thumbnail, uint16_t orientation) {
    ExifBuilder exif(little);
    exif.Ifd0().Short(tag::Orientation, orientation);
    exif.ExifIfd().Short(tag::PixelXDimension, 64).Short(tag::PixelYDimension, 48);
    if (thumbnail) {
        exif.Ifd1().Short(tag::Compression, 6);
        exif.Thumbnail(*thumbnail);
    }
    return WithApp1(jpeg, exif.Build());
}

std::optional<uint32_t> Ifd0Orientation(const Bytes& jpeg) {
    const Bytes payload = FirstApp1Payload(jpeg);
    if (payload.empty()) return std::nullopt;
    const ExifView view(payload);
    return view.Number(view.Ifd0(), tag::Orientation);
}

// "o6.jpg": appended piece by piece, as GCC 12 warns about the same text made with operator+.
std::string OrientedName(int n) { return std::string("o").append(std::to_string(n)).append(".jpg"); }

Bytes ThumbnailOf(const Bytes& jpeg) {
    const Bytes payload = FirstApp1Payload(jpeg);
    const ExifView view(payload);
    return view.Thumbnail(view.NextIfd(view.Ifd0()));
}

class CliOrientationTest : public ::testing::Test {
protected:
    Bytes Read(const std::string& name) { return ReadFileBytes(dir_ / name); }
    ScratchDir dir_;
    // Whole MCUs, so that no transform trims, and not square, so that quarter turns show.
    const Bytes picture_ = MakeJpeg(FixtureSpec{.width = 64, .height = 48, .seed = 5});
    const Bytes thumbnail_ = MakeJpeg(FixtureSpec{.width = 32, .height = 16, .hSamp = 2, .vSamp = 1, .seed = 9});
};

// Each orientation N is stored the way a camera stores it: the upright picture turned by the
// inverse of N's upright kind (by jpegtran, thumbnail likewise), tagged N by exiftool.
TEST_F(CliOrientationTest, TheEightOrientationsAutoOrientToOnePictureTaggedUpright) {
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
    const Pixels upright = DecodePixels(picture_);
    const Pixels uprightThumbnail = DecodePixels(thumbnail_);
    for (bool little : {false, true}) {
        for (bool withThumbnail : {false, true}) {
            SCOPED_TRACE(std::string(little ? "II" : "MM") + (withThumbnail ? " with thumbnail" : ""));
            const std::filesystem::path in = dir_.Path() / "in", out = dir_.Path() / "out";
            std::filesystem::remove_all(in), std::filesystem::remove_all(out);
            std::filesystem::create_directories(in), std::filesystem::create_directories(out);
            std::vector<std::string> args = {"-a", "--turn-thumbnail", "-o", out.string()};
            std::string tagging = "exiftool";  // one exiftool for all eight
            for (uint16_t n = 1; n <= 8; ++n) {
                const std::string options = std::string(JpegtranTransform(Inverse(*UprightKind(n)))) + " -copy none";
                const Bytes stored = n == 1 ? picture_ : RunJpegtran(jpegtran, picture_, options);
                std::optional<Bytes> thumbnail;
                if (withThumbnail) thumbnail = n == 1 ? thumbnail_ : RunJpegtran(jpegtran, thumbnail_, options);
                const std::string path = (in / OrientedName(n)).string();
                WriteFileBytes(path, WithExif(stored, little, thumbnail, 1));
                if (n > 1) tagging += " -execute";
                tagging.append(" -Orientation=").append(std::to_string(n)).append(" '").append(path).append("'");
                args.push_back(path);
            }
            RunCommand(tagging + " -common_args -q -overwrite_original -n");
            for (uint16_t n = 1; n <= 8; ++n) {
                ASSERT_EQ(Ifd0Orientation(ReadFileBytes(args[3 + n])), n) << "exiftool did not tag " << args[3 + n];
            }
            const CliResult r = RunCli(args);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(r.err, "");
            for (int n = 1; n <= 8; ++n) {
                SCOPED_TRACE("orientation " + std::to_string(n));
                const Bytes result = ReadFileBytes((out / OrientedName(n)).string());
                EXPECT_TRUE(DecodePixels(result) == upright);
                EXPECT_EQ(Ifd0Orientation(result), 1u);
                const Bytes payload = FirstApp1Payload(result);
                EXPECT_EQ(ExifView(payload).Little(), little);
                if (withThumbnail) {
                    EXPECT_TRUE(DecodePixels(ThumbnailOf(result)) == uprightThumbnail);
                }
            }
        }
    }
}

struct FileState {
    ino_t inode = 0;
    int64_t modified = 0;
};

FileState StateOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return {st.st_ino, static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// No tag, tag 1 and an out-of-range tag all mean upright: nothing to turn.
TEST_F(CliOrientationTest, UprightFilesAreNotRewrittenInPlaceAndCopiedElsewhere) {
    struct Case {
        const char* name;
        Bytes bytes;
        std::string warning;
    };
    const Case cases[] = {
        {"plain.jpg", picture_, ""},
        {"one.jpg", WithExif(picture_, true, std::nullopt, 1), ""},
        {"nine.jpg", WithExif(picture_, false, std::nullopt, 9), "Exif orientation 9 is not one of 1 to 8; the picture is taken as upright [bad-orientation]"},
        {"zero.jpg", WithExif(picture_, true, std::nullopt, 0), "Exif orientation 0 is not one of 1 to 8; the picture is taken as upright [bad-orientation]"},
    };
    std::filesystem::create_directories(dir_.Path() / "out");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_.Put(c.name, c.bytes);
        std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
        const FileState before = StateOf(path);
        CliResult r = RunCli({"-a", "--in-place", path});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const FileState after = StateOf(path);
        EXPECT_EQ(after.inode, before.inode);
        EXPECT_EQ(after.modified, before.modified);
        EXPECT_EQ(ReadFileBytes(path), c.bytes);
        if (c.warning.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_NE(r.err.find("pivotta-cli: " + path + ": warning: " + c.warning), std::string::npos) << r.err;
        }

        r = RunCli({"-a", "-o", dir_ / "out", path});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Read(std::string("out/") + c.name), c.bytes);
        r = RunCli({"-a", path, dir_ / "single.jpg"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Read("single.jpg"), c.bytes);
    }
    // A file that needs turning is rewritten in place.
    const std::string turned = dir_.Put("six.jpg", WithExif(picture_, true, std::nullopt, 6));
    ASSERT_EQ(RunCli({"-a", "--in-place", turned}).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(turned), RunEngine(WithExif(picture_, true, std::nullopt, 6), K::Rotate90).bytes);
}

TEST_F(CliOrientationTest, EveryTransformSetsTheTagToOneUnlessKept) {
    const Bytes tagged = WithExif(picture_, false, std::nullopt, 6);
    const std::string in = dir_.Put("in.jpg", tagged);
    const std::pair<std::vector<std::string>, std::optional<uint32_t>> cases[] = {
        {{"-r", "90"}, 1u},           {{"-m", "lr"}, 1u},       {{"--transpose"}, 1u}, {{"--transverse"}, 1u},
        {{"--none"}, 6u},             {{"-r", "90", "--keep-orientation"}, 6u},
        {{"--transverse", "--keep-orientation"}, 6u},
    };
    for (const auto& [options, expected] : cases) {
        std::vector<std::string> args = options;
        args.insert(args.end(), {in, dir_ / "out.jpg"});
        const CliResult r = RunCli(args);
        ASSERT_EQ(r.exitCode, 0) << options[0] << r.err;
        EXPECT_EQ(Ifd0Orientation(Read("out.jpg")), expected) << options[0] << " " << options.back();
    }
}

}  // namespace
}  // namespace pivotta::test
