// pivotta-cli over the real camera files beside the checkout, when they are there.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

class CliCorpusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTestdata()) GTEST_SKIP() << "no camera files at " << TestdataDir();
    }
    std::string Camera(const std::string& name) { return TestdataDir() + "/" + name; }

    ScratchDir dir_;
};

TEST_F(CliCorpusTest, FilesOutsideTheBaselineSubsetFailWithoutOutput) {
    for (const char* name : {"progressive.jpg", "short_scan.jpg"}) {
        CliResult r = RunCli({"-r", "90", Camera(name), dir_ / name});
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_NE(r.err.find("pivotta-cli: " + Camera(name) + ": error: "), std::string::npos) << r.err;
        r = RunCli({"-r", "90", "-o", dir_.Path().string(), Camera(name)});
        EXPECT_EQ(r.exitCode, 1) << name;
    }
    EXPECT_TRUE(ListFolder(dir_.Path()).empty());
}

TEST_F(CliCorpusTest, BaselineCameraFileRotates) {
    const std::string in = Camera("Canon_40D.jpg");
    const CliResult r = RunCli({"-r", "90", "-o", dir_.Path().string(), in});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const JpegCoefs turned = ReadCoefficients(ReadFileBytes(dir_ / "Canon_40D.jpg"));
    const JpegCoefs expected = ExpectedTransform(ReadCoefficients(ReadFileBytes(in)), TransformKind::Rotate90, false);
    EXPECT_EQ(turned.width, expected.width);
    EXPECT_EQ(turned.height, expected.height);
    ASSERT_EQ(turned.comps.size(), expected.comps.size());
    for (size_t c = 0; c < turned.comps.size(); ++c) EXPECT_EQ(turned.comps[c].blocks, expected.comps[c].blocks);
}

}  // namespace
}  // namespace pivotta::test
