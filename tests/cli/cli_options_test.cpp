#include <gtest/gtest.h>

#include "CliOptions.h"

namespace pivotta::cli {
namespace {

using Args = std::vector<std::string>;

class UsageErrorTest : public ::testing::TestWithParam<Args> {};

TEST_P(UsageErrorTest, IsRefusedWithAReason) {
    const ParsedCommandLine parsed = ParseCommandLine(GetParam());
    EXPECT_EQ(parsed.outcome, ParseOutcome::UsageError);
    EXPECT_FALSE(parsed.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, UsageErrorTest,
    ::testing::Values(Args{}, Args{"a.jpg", "b.jpg"}, Args{"-r", "45", "a", "b"}, Args{"-m", "xy", "a", "b"},
                      Args{"-r", "90", "-m", "lr", "a", "b"}, Args{"-r", "90", "--none", "a", "b"},
                      Args{"-r90", "-r90", "a", "b"}, Args{"-r", "90", "a"}, Args{"-r", "90", "a", "b", "c"},
                      Args{"-r", "90"}, Args{"-r"}, Args{"-r", "90", "-o"}, Args{"-r", "90", "-o", "-", "a"},
                      Args{"-r", "90", "-o", "d", "--in-place", "a"}, Args{"--in-place", "--in-place", "-r90", "a"},
                      Args{"-r", "90", "--in-place"}, Args{"-L", "-r90", "-o", "d", "a"}, Args{"-0", "-r90", "-o", "d", "a"}, Args{"-R", "-r90", "a", "b"}, Args{"--check", "-p", "a"},
                      Args{"--check", "--turn-thumbnail", "a"}, Args{"--check", "--in-place", "a"},
                      Args{"--check"}, Args{"-r", "90", "--in-place", "-"}, Args{"-r", "90", "-o", "d", "a", "-"},
                      Args{"--check", "-", "-"}, Args{"-j", "0", "-r90", "a", "b"}, Args{"-j", "x", "-r90", "a", "b"},
                      Args{"-j2x", "-r90", "a", "b"}, Args{"--jobs=-1", "-r90", "a", "b"}, Args{"--bogus"},
                      Args{"-x", "-r90", "a", "b"}, Args{"--trim=yes", "-r90", "a", "b"},
                      Args{"--no-trim", "--perfect", "-r90", "a", "b"}, Args{"-t", "--no-trim", "-r90", "a", "b"},
                      Args{"-q", "-v", "-r90", "a", "b"}, Args{"--check", "-f", "a"}, Args{"--check", "--perfect", "a"},
                      Args{"--force=yes", "-r90", "a", "b"}, Args{"--transpose", "--transverse", "a", "b"},
                      Args{"-a", "-r90", "a", "b"}, Args{"-a", "--keep-orientation", "a", "b"},
                      Args{"-n", "--in-place", "-r90", "a"}, Args{"--suffix", "x", "--in-place", "-r90", "a"}, Args{"--suffix=", "-r90", "a"}, Args{"--suffix", "a/b", "-r90", "a"}, Args{"--files-from", "-", "--check", "-"}, Args{"--check", "--perfect", "-R", "a"}, Args{"--check", "--keep-orientation", "a"},
                      Args{"--transpose=1", "a", "b"}, Args{"--keep-orientation", "a", "b"},
                      Args{"-O", "--standard-tables", "-r90", "a", "b"},
                      Args{"--baseline", "--progressive", "-r90", "a", "b"}));

TEST(CliOptionsTest, TrimmingIsTheDefaultAndEachOtherChoiceIsTaken) {
    const std::pair<Args, TrimMode> cases[] = {
        {{}, TrimMode::Trim},
        {{"-t"}, TrimMode::Trim},
        {{"--no-trim"}, TrimMode::Keep},
        {{"--perfect"}, TrimMode::Perfect},
        {{"--perfect", "--perfect"}, TrimMode::Perfect},
    };
    for (const auto& [options, mode] : cases) {
        Args args = options;
        args.insert(args.end(), {"-fv", "-r90", "in.jpg", "out.jpg"});
        const ParsedCommandLine parsed = ParseCommandLine(args);
        ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << parsed.error;
        EXPECT_EQ(parsed.options.trim, mode);
        EXPECT_TRUE(parsed.options.force && parsed.options.verbose);
    }
}

TEST(CliOptionsTest, KeepOrOptimizeIsTheDefaultTablePolicy) {
    const std::pair<Args, HuffmanTablePolicy> cases[] = {
        {{"-r90", "in.jpg", "out.jpg"}, HuffmanTablePolicy::KeepOrOptimize},
        {{"-O", "-r90", "in.jpg", "out.jpg"}, HuffmanTablePolicy::Optimize},
        {{"--optimize", "-O", "-r90", "in.jpg", "out.jpg"}, HuffmanTablePolicy::Optimize},
        {{"--standard-tables", "-r90", "in.jpg", "out.jpg"}, HuffmanTablePolicy::Standard},
        {{"--check", "-O", "in.jpg"}, HuffmanTablePolicy::Optimize},  // what it reports depends on it
    };
    for (const auto& [args, policy] : cases) {
        const ParsedCommandLine parsed = ParseCommandLine(args);
        ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << parsed.error;
        EXPECT_EQ(parsed.options.tables, policy);
    }
}

TEST(CliOptionsTest, TheInputsCodingIsTheDefault) {
    const std::pair<Args, OutputCoding> cases[] = {
        {{"-r90", "in.jpg", "out.jpg"}, OutputCoding::AsInput},
        {{"--baseline", "-r90", "in.jpg", "out.jpg"}, OutputCoding::Baseline},
        {{"--progressive", "--progressive", "-r90", "in.jpg", "out.jpg"}, OutputCoding::Progressive},
    };
    for (const auto& [args, coding] : cases) {
        const ParsedCommandLine parsed = ParseCommandLine(args);
        ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << parsed.error;
        EXPECT_EQ(parsed.options.coding, coding);
    }
}

TEST(CliOptionsTest, AcceptsEverySpellingOfEveryTransform) {
    const std::pair<Args, TransformKind> cases[] = {
        {{"-r", "90"}, TransformKind::Rotate90},       {{"-r180"}, TransformKind::Rotate180},
        {{"--rotate=270"}, TransformKind::Rotate270},  {{"--rotate", "90"}, TransformKind::Rotate90},
        {{"-m", "lr"}, TransformKind::MirrorLR},       {{"--mirror=tb"}, TransformKind::MirrorTB},
        {{"--none"}, TransformKind::NoRotation},       {{"--transpose"}, TransformKind::Transpose},
        {{"--transverse"}, TransformKind::Transverse},
    };
    for (const auto& [transform, kind] : cases) {
        Args args = transform;
        args.insert(args.end(), {"in.jpg", "out.jpg"});
        const ParsedCommandLine parsed = ParseCommandLine(args);
        ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << args[0] << ": " << parsed.error;
        EXPECT_EQ(parsed.options.kind, kind) << args[0];
        EXPECT_EQ(parsed.options.mode, RunMode::SingleFile);
        EXPECT_EQ(parsed.options.inputs, Args{"in.jpg"});
        EXPECT_EQ(parsed.options.output, "out.jpg");
    }
}

TEST(CliOptionsTest, ClustersFlagsAndTakesValuesFromTheClusterOrTheNextArgument) {
    ParsedCommandLine parsed = ParseCommandLine({"-tpqj3", "--turn-thumbnail", "-o", "out", "-r", "270", "x", "y"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << parsed.error;
    const CliOptions& o = parsed.options;
    EXPECT_EQ(o.trim, TrimMode::Trim);
    EXPECT_TRUE(o.keepTimes && o.quiet && o.turnThumbnail);
    EXPECT_EQ(o.jobs, 3u);
    EXPECT_EQ(o.mode, RunMode::OutputDir);
    EXPECT_EQ(o.outputDir, "out");
    EXPECT_EQ(o.inputs, (Args{"x", "y"}));

    parsed = ParseCommandLine({"--in-place", "-mlr", "--", "-odd.jpg", "--check"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.mode, RunMode::InPlace);
    EXPECT_EQ(parsed.options.kind, TransformKind::MirrorLR);
    EXPECT_EQ(parsed.options.inputs, (Args{"-odd.jpg", "--check"}));
}

TEST(CliOptionsTest, StandardStreamsWhereAFileNameIsNotNeeded) {
    ParsedCommandLine parsed = ParseCommandLine({"-r90", "-", "-"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.inputs, Args{"-"});
    EXPECT_EQ(parsed.options.output, "-");

    parsed = ParseCommandLine({"--check", "-t", "a.jpg", "-"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << parsed.error;
    EXPECT_EQ(parsed.options.mode, RunMode::Check);
    EXPECT_FALSE(parsed.options.kind.has_value());
    EXPECT_EQ(parsed.options.inputs, (Args{"a.jpg", "-"}));
}

TEST(CliOptionsTest, AutoOrientIsTheTransformAndKeepOrientationAFlag) {
    ParsedCommandLine parsed = ParseCommandLine({"-a", "--no-trim", "--in-place", "a.jpg"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << parsed.error;
    EXPECT_TRUE(parsed.options.autoOrient);
    EXPECT_FALSE(parsed.options.kind.has_value());
    EXPECT_EQ(parsed.options.trim, TrimMode::Keep);

    parsed = ParseCommandLine({"--keep-orientation", "--transverse", "a.jpg", "b.jpg"});
    ASSERT_EQ(parsed.outcome, ParseOutcome::Run) << parsed.error;
    EXPECT_TRUE(parsed.options.keepOrientation);
    EXPECT_FALSE(parsed.options.autoOrient);
    EXPECT_EQ(parsed.options.kind, TransformKind::Transverse);
}

TEST(CliOptionsTest, HelpAndVersionWinOverMistakes) {
    EXPECT_EQ(ParseCommandLine({"--bogus", "-r", "45", "-h"}).outcome, ParseOutcome::ShowHelp);
    EXPECT_EQ(ParseCommandLine({"a.jpg", "--version"}).outcome, ParseOutcome::ShowVersion);
    EXPECT_EQ(ParseCommandLine({"-qV"}).outcome, ParseOutcome::ShowVersion);
}

}  // namespace
}  // namespace pivotta::cli
