// Message lines of pivotta-cli: their form, their order within a file and across files, and
// that parallel runs give the same bytes and the same words as serial ones.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;

std::string WarningLines(const std::string& file, const std::vector<std::string>& texts) {
    std::string lines;
    for (const std::string& t : texts) lines += "pivotta-cli: " + file + ": warning: " + t + "\n";
    return lines;
}

class CliMessagesTest : public ::testing::Test {
protected:

    ScratchDir dir_;
    // Optimized tables and a ragged size: two warnings, the table one first (it comes from
    // the marker walk, the size one after the scan header).
    const Bytes warned_ = MakeJpeg(FixtureSpec{.width = 70, .height = 50, .optimizeHuffman = true});
};

TEST_F(CliMessagesTest, WarningsCarryTheEnginesTextsInTheEnginesOrder) {
    const std::string file = dir_.Put("warned.jpg", warned_);
    for (bool trim : {false, true}) {
        const EngineOutcome engine = RunEngine(warned_, TransformKind::Rotate90, trim);
        ASSERT_TRUE(engine.ok);
        ASSERT_EQ(engine.warnings.size(), 2u);
        EXPECT_EQ(engine.warnings[0], "ハフマンテーブルが最適化されています。標準のテーブルで補完します。");
        std::vector<std::string> args{"-r", "90", file, dir_ / "out.jpg"};
        if (trim) args.insert(args.begin(), "-t");
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err, WarningLines(file, engine.warnings)) << "trim " << trim;
        EXPECT_EQ(ReadFileBytes(dir_ / "out.jpg"), engine.bytes);
    }
    const CliResult quiet = RunCli({"-q", "-r", "90", file, dir_ / "out.jpg"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.err, "");
}

TEST_F(CliMessagesTest, ErrorsShowEvenWhenQuiet) {
    const std::string bad = dir_.Put("bad.jpg", NotAJpeg());
    const CliResult r = RunCli({"-q", "--in-place", "-r", "90", bad});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "pivotta-cli: " + bad + ": error: JPEGファイルの開始のヘッダ($FFD8)を認識できません\n");
}

TEST_F(CliMessagesTest, ProgressiveFileIsRefusedByName) {
    const std::string file = dir_.Put("progressive.jpg", MakeJpeg(FixtureSpec{.progressive = true}));
    const CliResult r = RunCli({"-r", "90", file, dir_ / "out.jpg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "pivotta-cli: " + file + ": error: ヘッダ($FFC2)を認識できませんでした。\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.jpg"));
}

// A slow first file makes the parallel run finish out of order; its lines must not.
TEST_F(CliMessagesTest, ParallelRunsMatchSerialRunsByteForByte) {
    std::vector<std::string> inputs{dir_.Put("0-large.jpg", MakeJpeg(FixtureSpec{.width = 1024, .height = 768}))};
    for (int i = 1; i <= 6; ++i) {
        const Bytes bytes = i % 3 == 0   ? NotAJpeg()
                            : i % 3 == 1 ? MakeJpeg(FixtureSpec{.width = 70, .height = 50, .optimizeHuffman = true,
                                                                .seed = static_cast<uint32_t>(i)})
                                         : MakeJpeg(FixtureSpec{.seed = static_cast<uint32_t>(i)});
        inputs.push_back(dir_.Put(std::to_string(i) + ".jpg", bytes));
    }
    std::string expectedErr;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (i % 3 == 1) {
            expectedErr += WarningLines(inputs[i], RunEngine(ReadFileBytes(inputs[i]), TransformKind::MirrorLR).warnings);
        } else if (i % 3 == 0 && i != 0) {
            expectedErr += "pivotta-cli: " + inputs[i] + ": error: JPEGファイルの開始のヘッダ($FFD8)を認識できません\n";
        }
    }

    std::vector<std::vector<Bytes>> results;
    for (const char* jobs : {"1", "2", "4"}) {
        const std::string out = dir_ / ("out-" + std::string(jobs));
        std::filesystem::create_directory(out);
        std::vector<std::string> args{"-m", "lr", "-j", jobs, "-o", out};
        args.insert(args.end(), inputs.begin(), inputs.end());
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, expectedErr) << "-j " << jobs;
        std::vector<Bytes> written;
        for (const std::string& name : ListFolder(out)) written.push_back(ReadFileBytes(out + "/" + name));
        EXPECT_EQ(written.size(), 5u) << "-j " << jobs;
        results.push_back(std::move(written));
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

}  // namespace
}  // namespace pivotta::test
