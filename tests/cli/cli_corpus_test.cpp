// pivotta-cli over the real camera files beside the checkout, when they are there.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Args = std::vector<std::string>;

class CliCorpusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTestdata()) GTEST_SKIP() << "no camera files at " << TestdataDir();
    }
    std::string Camera(const std::string& name) { return TestdataDir() + "/" + name; }

    ScratchDir dir_;
};

TEST_F(CliCorpusTest, ADamagedFileFailsWithoutOutput) {
    for (const char* name : {"short_scan.jpg"}) {
        CliResult r = RunCli({"-r", "90", Camera(name), dir_ / name});
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_NE(r.err.find("pivotta-cli: " + Camera(name) + ": error: "), std::string::npos) << r.err;
        r = RunCli({"-r", "90", "-o", dir_.Path().string(), Camera(name)});
        EXPECT_EQ(r.exitCode, 1) << name;
    }
    EXPECT_TRUE(ListFolder(dir_.Path()).empty());
}

// The frame marker of a file, walking its segments up to the first scan.
int FrameMarker(const std::vector<uint8_t>& jpeg) {
    for (size_t at = 2; at + 4 <= jpeg.size() && jpeg[at + 1] != 0xDA;) {
        const int marker = jpeg[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) return 0xFF00 | marker;
        at += 2 + (size_t{jpeg[at + 2]} << 8 | jpeg[at + 3]);
    }
    return 0;
}

// A progressive photo comes back progressive, or in the coding asked for.
TEST_F(CliCorpusTest, ProgressiveFileKeepsItsCodingUnlessAnotherIsAsked) {
    const std::pair<const char*, int> cases[] = {{nullptr, 0xFFC2}, {"--baseline", 0xFFC0}, {"--progressive", 0xFFC2}};
    for (const auto& [option, marker] : cases) {
        SCOPED_TRACE(option ? option : "default");
        const std::string out = dir_ / "turned.jpg";
        Args args{"-r", "90", Camera("progressive.jpg"), out};
        if (option) args.insert(args.begin(), option);
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(FrameMarker(ReadFileBytes(out)), marker);
        std::filesystem::remove(out);
    }
}

// Trimmed by default; --no-trim keeps the ragged edge inside the picture.
TEST_F(CliCorpusTest, BaselineCameraFileRotates) {
    const std::string in = Camera("Canon_40D.jpg");
    for (const bool trim : {true, false}) {
        SCOPED_TRACE(trim ? "default" : "--no-trim");
        const std::string out = dir_ / (trim ? "trimmed" : "full");
        std::filesystem::create_directory(out);
        Args args{"-r", "90", "-o", out, in};
        if (!trim) args.insert(args.begin(), "--no-trim");
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const JpegCoefs turned = ReadCoefficients(ReadFileBytes(out + "/Canon_40D.jpg"));
        const JpegCoefs expected = ExpectedTransform(ReadCoefficients(ReadFileBytes(in)), TransformKind::Rotate90, trim);
        EXPECT_EQ(turned.width, expected.width);
        EXPECT_EQ(turned.height, expected.height);
        ASSERT_EQ(turned.comps.size(), expected.comps.size());
        for (size_t c = 0; c < turned.comps.size(); ++c) EXPECT_EQ(turned.comps[c].blocks, expected.comps[c].blocks);
    }
}

}  // namespace
}  // namespace pivotta::test
