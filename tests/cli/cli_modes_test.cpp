// The four modes of pivotta-cli end to end: what is written where, exit statuses, and that a
// failed file never leaves a partial or temporary file behind.
#include <gtest/gtest.h>

#include <optional>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Args = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

class CliModesTest : public ::testing::Test {
protected:
    Bytes Read(const std::string& name) { return ReadFileBytes(dir_ / name); }
    Bytes Expected(TransformKind kind, bool trim = false, const Bytes& in = {}) {
        EngineOutcome outcome = RunEngine(in.empty() ? good_ : in, kind, trim);
        EXPECT_TRUE(outcome.ok);
        return outcome.bytes;
    }

    ScratchDir dir_;
    const Bytes good_ = MakeJpeg(FixtureSpec{.width = 64, .height = 48});
    const Bytes other_ = MakeJpeg(FixtureSpec{.width = 40, .height = 32, .hSamp = 1, .vSamp = 1, .seed = 7});
    const Bytes large_ = MakeJpeg(FixtureSpec{.width = 256, .height = 192, .seed = 3});
};

TEST_F(CliModesTest, SingleFileWritesWhatTheEngineMakesForEachTransform) {
    const std::pair<Args, TransformKind> transforms[] = {
        {{"-r", "90"}, TransformKind::Rotate90},   {{"-r", "180"}, TransformKind::Rotate180},
        {{"-r", "270"}, TransformKind::Rotate270}, {{"-m", "lr"}, TransformKind::MirrorLR},
        {{"-m", "tb"}, TransformKind::MirrorTB},   {{"--none"}, TransformKind::NoRotation},
    };
    const std::string in = dir_.Put("in.jpg", good_);
    for (const auto& [transform, kind] : transforms) {
        Args args = transform;
        args.insert(args.end(), {in, dir_ / "out.jpg"});
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0) << transform[0] << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(Read("out.jpg"), Expected(kind)) << transform[0];
    }
    // The engine is the oracle above; libjpeg confirms the file really is turned clockwise.
    ASSERT_EQ(RunCli({"-r", "90", in, dir_ / "out.jpg"}).exitCode, 0);
    const JpegCoefs turned = ReadCoefficients(Read("out.jpg"));
    const JpegCoefs expected = ExpectedTransform(ReadCoefficients(good_), TransformKind::Rotate90, false);
    EXPECT_EQ(turned.width, 48);
    ASSERT_EQ(turned.comps.size(), expected.comps.size());
    for (size_t c = 0; c < turned.comps.size(); ++c) EXPECT_EQ(turned.comps[c].blocks, expected.comps[c].blocks);
    EXPECT_EQ(Read("in.jpg"), good_);
}

// Trimming is the default; --no-trim gives the full size with its warning; --perfect refuses
// exactly the files whose transform would need trimming.
TEST_F(CliModesTest, RaggedEdgesAreTrimmedUnlessAskedOtherwise) {
    const Bytes ragged = MakeJpeg(FixtureSpec{.width = 70, .height = 52});      // both edges ragged
    const Bytes wideOnly = MakeJpeg(FixtureSpec{.width = 70, .height = 64});    // only the right edge
    const std::string trimmedWarning =
        ": warning: the size is not a whole number of MCUs: the ragged edge is trimmed [trimmed]\n";
    const std::string keptWarning =
        ": warning: the size is not a whole number of MCUs: a transform may move the edge's padding into the "
        "picture [ragged-edge]\n";
    struct Case {
        Args options;
        const Bytes* input;
        TransformKind kind;
        int exitCode;
        std::optional<bool> engineTrim;  // the engine run the output must equal; none: no output
        std::string warning;             // after "pivotta-cli: FILE"
    };
    const Case cases[] = {
        {{"-r", "180"}, &ragged, TransformKind::Rotate180, 0, true, trimmedWarning},
        {{"-t", "-r", "180"}, &ragged, TransformKind::Rotate180, 0, true, trimmedWarning},
        {{"--no-trim", "-r", "180"}, &ragged, TransformKind::Rotate180, 0, false, keptWarning},
        {{"--perfect", "-r", "180"}, &ragged, TransformKind::Rotate180, 1, std::nullopt, ""},
        {{"--perfect", "--none"}, &ragged, TransformKind::NoRotation, 0, false, ""},
        // A quarter turn clockwise moves the bottom edge, which is whole here: nothing to trim.
        {{"--perfect", "-r", "90"}, &wideOnly, TransformKind::Rotate90, 0, false, ""},
        {{"-r", "90"}, &wideOnly, TransformKind::Rotate90, 0, true, ""},
        {{"--perfect", "-r", "270"}, &wideOnly, TransformKind::Rotate270, 1, std::nullopt, ""},
        {{"--perfect", "-m", "lr"}, &good_, TransformKind::MirrorLR, 0, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options));
        const std::string in = dir_.Put("in.jpg", *c.input);
        std::filesystem::remove(dir_ / "out.jpg");
        Args args = c.options;
        args.insert(args.end(), {in, dir_ / "out.jpg"});
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        if (c.engineTrim) {
            EXPECT_EQ(Read("out.jpg"), Expected(c.kind, *c.engineTrim, *c.input));
            EXPECT_EQ(r.err, c.warning.empty() ? "" : "pivotta-cli: " + in + c.warning);
        } else {
            EXPECT_FALSE(std::filesystem::exists(dir_ / "out.jpg"));
            EXPECT_NE(r.err.find("pivotta-cli: " + in + ": error: the transform would need trimming: "),
                      std::string::npos) << r.err;
            EXPECT_NE(r.err.find("(--perfect) [needs-trim]"), std::string::npos) << r.err;
        }
    }
}

TEST_F(CliModesTest, StandardInputToStandardOutput) {
    const CliResult r = RunCli(CliRun{.args = {"-m", "tb", "-", "-"}, .stdinFile = dir_.Put("in.jpg", good_)});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Bytes(r.out.begin(), r.out.end()), Expected(TransformKind::MirrorTB));
}

TEST_F(CliModesTest, FailureOnStandardInputWritesNothingToStandardOutput) {
    const CliResult r = RunCli(CliRun{.args = {"-r", "90", "-", "-"}, .stdinFile = dir_.Put("cut.jpg", CutInsideScan(large_))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("pivotta-cli: <stdin>: error: "), std::string::npos) << r.err;
}

TEST_F(CliModesTest, OutputFolderTakesEachResultUnderItsInputsName) {
    std::filesystem::create_directory(dir_ / "a");
    std::filesystem::create_directory(dir_ / "out");
    const std::string first = dir_.Put("a/first.jpg", good_);
    const std::string second = dir_.Put("second.jpg", other_);
    const CliResult r = RunCli({"-r", "270", "-o", dir_ / "out", first, second});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ListFolder(dir_ / "out"), (std::vector<std::string>{"first.jpg", "second.jpg"}));
    EXPECT_EQ(Read("out/first.jpg"), Expected(TransformKind::Rotate270));
    EXPECT_EQ(Read("out/second.jpg"), Expected(TransformKind::Rotate270, false, other_));
    EXPECT_EQ(Read("a/first.jpg"), good_);
}

TEST_F(CliModesTest, OutputFolderRefusesAMissingFolderAndTwoInputsOfOneName) {
    const std::string first = dir_.Put("x.jpg", good_);
    CliResult r = RunCli({"-r", "90", "-o", dir_ / "missing", first});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "pivotta-cli: error: output folder '" + (dir_ / "missing") +
                         "' does not exist or is not a folder\nTry 'pivotta-cli --help' for more information.\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing"));

    std::filesystem::create_directory(dir_ / "b");
    std::filesystem::create_directory(dir_ / "out");
    const std::string second = dir_.Put("b/x.jpg", other_);
    r = RunCli({"-r", "90", "-j", "2", "-o", dir_ / "out", first, second});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.find("pivotta-cli: " + first + ":"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("pivotta-cli: " + second + ": error: "), std::string::npos) << r.err;
    EXPECT_EQ(Read("out/x.jpg"), Expected(TransformKind::Rotate90));
}

TEST_F(CliModesTest, InPlaceReplacesGoodInputsAndKeepsRefusedOnesByteIdentical) {
    const Bytes cut = CutInsideScan(large_);
    const std::string good = dir_.Put("good.jpg", good_);
    const std::string refused = dir_.Put("refused.jpg", cut);
    const std::string notJpeg = dir_.Put("text.jpg", NotAJpeg());
    // The same file twice would be mirrored twice, or raced by two workers: once only.
    const std::string goodAgain = dir_ / "./good.jpg";
    const CliResult r = RunCli({"--in-place", "-m", "lr", "-j", "2", refused, good, notJpeg, goodAgain});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("pivotta-cli: " + goodAgain + ": error: "), std::string::npos) << r.err;
    EXPECT_EQ(Read("good.jpg"), Expected(TransformKind::MirrorLR));
    EXPECT_EQ(Read("refused.jpg"), cut);
    EXPECT_EQ(Read("text.jpg"), NotAJpeg());
    EXPECT_EQ(ListFolder(dir_.Path()), (std::vector<std::string>{"good.jpg", "refused.jpg", "text.jpg"}));
}

TEST_F(CliModesTest, FailedFileLeavesNoOutputNoTemporaryAndKeepsAnExistingTarget) {
    const std::string cut = dir_.Put("cut.jpg", CutInsideScan(large_));
    const Bytes previous = {'o', 'l', 'd'};
    dir_.Put("kept.jpg", previous);
    for (const char* target : {"new.jpg", "kept.jpg"}) {
        const CliResult r = RunCli({"-r", "90", cut, dir_ / target});
        EXPECT_EQ(r.exitCode, 1) << target;
        EXPECT_NE(r.err.find("pivotta-cli: " + cut + ": error: "), std::string::npos) << r.err;
    }
    EXPECT_EQ(Read("kept.jpg"), previous);
    EXPECT_EQ(ListFolder(dir_.Path()), (std::vector<std::string>{"cut.jpg", "kept.jpg"}));
}

TEST_F(CliModesTest, ExitStatusIsOneWhenAnyFileFailsAndTheOthersStillGetDone) {
    std::filesystem::create_directory(dir_ / "out");
    const std::string good = dir_.Put("good.jpg", good_);
    const CliResult r = RunCli({"-r", "180", "-o", dir_ / "out", dir_ / "missing.jpg", dir_.Path().string(), good});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(ListFolder(dir_ / "out"), std::vector<std::string>{"good.jpg"});
    EXPECT_NE(r.err.find("pivotta-cli: " + (dir_ / "missing.jpg") + ": error: cannot read"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("pivotta-cli: " + dir_.Path().string() + ": error: cannot read"), std::string::npos) << r.err;
}

TEST_F(CliModesTest, CheckReportsOneLinePerFileAndWritesNothing) {
    const std::string good = dir_.Put("good.jpg", good_);
    const std::string bad = dir_.Put("bad.jpg", NotAJpeg());
    CliResult r = RunCli({"-j", "1", "--check", good, bad});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, good + ": ok 64x48 tables=kept\n" + bad + ": failed\n");
    EXPECT_EQ(r.err, "pivotta-cli: " + bad +
                         ": error: not a JPEG file: it does not start with the start-of-image marker (FFD8) [not-jpeg]\n");
    EXPECT_EQ(ListFolder(dir_.Path()), (std::vector<std::string>{"bad.jpg", "good.jpg"}));

    r = RunCli({"--check", "-q", good});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    // The check decodes the whole scan: a file cut short inside it fails as its transform would.
    r = RunCli(CliRun{.args = {"--check", "-"}, .stdinFile = dir_.Put("cut.jpg", CutInsideScan(large_))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "<stdin>: failed\n");
}

// A file whose tables were built for it: each table option writes what the engine makes under
// its policy, and --check says what that does to the tables.
TEST_F(CliModesTest, TableOptionsChooseTheEnginesPolicyAndCheckReportsIt) {
    const std::string in = dir_.Put("optimized.jpg", MakeJpeg(FixtureSpec{.width = 64, .height = 48, .optimizeHuffman = true}));
    const std::string standard = dir_.Put("standard.jpg", good_);
    struct Case {
        Args options;
        HuffmanTablePolicy policy;
        std::string optimizedCheck, standardCheck;
    };
    const Case cases[] = {
        {{}, HuffmanTablePolicy::KeepOrOptimize, "optimized", "kept"},
        {{"-O"}, HuffmanTablePolicy::Optimize, "optimized", "optimized"},
        {{"--standard-tables"}, HuffmanTablePolicy::Standard, "standard", "kept"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options));
        Args args = c.options;
        args.insert(args.end(), {"-r", "270", in, dir_ / "out.jpg"});
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const EngineOutcome expected = RunEngine(ReadFileBytes(in), TransformKind::Rotate270, true, c.policy);
        EXPECT_EQ(Read("out.jpg"), expected.bytes);
        Args check = c.options;
        check.insert(check.end(), {"-j", "1", "--check", in, standard});  // -j 1: lines in input order
        EXPECT_EQ(RunCli(check).out, in + ": ok 64x48 tables=" + c.optimizedCheck + "\n" + standard +
                                         ": ok 64x48 tables=" + c.standardCheck + "\n");
    }
}

TEST(CliUsageTest, UsageErrorsExitTwoAndTouchNothing) {
    ScratchDir dir;
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"-r", "45", "a", dir / "b"},
                                                 {dir / "a", dir / "b"}, {"--frobnicate"}, {"-r90", "-R", "a", dir / "b"}}) {
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.err.rfind("pivotta-cli: error: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("--help"), std::string::npos);
    }
    EXPECT_TRUE(ListFolder(dir.Path()).empty());
}

TEST(CliUsageTest, HelpAndVersionExitZero) {
    CliResult r = RunCli({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("Usage: pivotta-cli", 0), 0u);
    EXPECT_NE(r.out.find("ok WIDTHxHEIGHT"), std::string::npos);
    r = RunCli({"-V"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("pivotta-cli ", 0), 0u);
}

}  // namespace
}  // namespace pivotta::test
