// Scan scripts that T.81 allows pass scan by scan; each way of breaking one is caught at the
// scan that breaks it, with its own error.
#include <vector>

#include <gtest/gtest.h>

#include "ExternalTools.h"
#include "JpegFixtures.h"
#include "ScanScript.h"
#include "ScanSplitter.h"

namespace pivotta {
namespace {

struct Scan {
    std::vector<int> components;
    int Ss, Se, Ah, Al;
    int h = 1;  // sampling of every component, for the MCU size rule
};

struct ScriptCase {
    const char* name;
    bool progressive;
    int frameComponents;
    std::vector<Scan> scans;
    ScriptError expected;
    size_t failingScan;  // the scan that fails, or scans.size() when Finish does
};

ScanLayout Layout(const Scan& s, bool progressive) {
    ScanLayout layout;
    layout.progressive = progressive;
    layout.componentCount = static_cast<int>(s.components.size());
    for (size_t i = 0; i < s.components.size(); ++i) {
        layout.components[i].plane = s.components[i];
        layout.components[i].h = layout.components[i].v = s.h;
    }
    layout.Ss = s.Ss, layout.Se = s.Se, layout.Ah = s.Ah, layout.Al = s.Al;
    return layout;
}

const ScriptCase kCases[] = {
    {"LibjpegProgression", true, 3,
     {{{0, 1, 2}, 0, 0, 0, 1}, {{0}, 1, 5, 0, 2}, {{2}, 1, 63, 0, 1}, {{1}, 1, 63, 0, 1}, {{0}, 6, 63, 0, 2},
      {{0}, 1, 63, 2, 1}, {{0, 1, 2}, 0, 0, 1, 0}, {{2}, 1, 63, 1, 0}, {{1}, 1, 63, 1, 0}, {{0}, 1, 63, 1, 0}},
     ScriptError::None, 10},
    {"PartialProgressionIsAllowed", true, 1, {{{0}, 0, 0, 0, 0}, {{0}, 1, 5, 0, 0}}, ScriptError::None, 2},
    {"SequentialOneScanPerComponent", false, 3, {{{0}, 0, 63, 0, 0}, {{1, 2}, 0, 63, 0, 0}}, ScriptError::None, 2},
    {"SequentialHeaderFieldsIgnored", false, 1, {{{0}, 0, 0, 3, 7}}, ScriptError::None, 1},
    {"ComponentTwiceInAScan", true, 3, {{{0, 0}, 0, 0, 0, 0}}, ScriptError::ComponentTwice, 0},
    {"SequentialComponentCodedTwice", false, 3, {{{0, 1, 2}, 0, 63, 0, 0}, {{1}, 0, 63, 0, 0}},
     ScriptError::ComponentTwice, 1},
    {"ComponentsOutOfFrameOrder", false, 3, {{{1, 0, 2}, 0, 63, 0, 0}}, ScriptError::ComponentOrder, 0},
    {"ComponentNotInFrame", true, 1, {{{1}, 0, 0, 0, 0}}, ScriptError::ComponentOrder, 0},
    {"MoreThanTenBlocksPerMcu", true, 3, {{{0, 1, 2}, 0, 0, 0, 0, 2}}, ScriptError::TooManyBlocks, 0},
    {"DcScanWithAcBand", true, 1, {{{0}, 0, 5, 0, 0}}, ScriptError::BadSpectralSelection, 0},
    {"InterleavedAcBand", true, 3, {{{0, 1, 2}, 0, 0, 0, 0}, {{0, 1}, 1, 63, 0, 0}},
     ScriptError::BadSpectralSelection, 1},
    {"BandEndsBeforeItStarts", true, 1, {{{0}, 0, 0, 0, 0}, {{0}, 9, 8, 0, 0}}, ScriptError::BadSpectralSelection, 1},
    {"BandPast63", true, 1, {{{0}, 0, 0, 0, 0}, {{0}, 1, 64, 0, 0}}, ScriptError::BadSpectralSelection, 1},
    {"AlAbove13", true, 1, {{{0}, 0, 0, 0, 14}}, ScriptError::BadApproximation, 0},
    {"RefinementByTwoBits", true, 1, {{{0}, 0, 0, 0, 3}, {{0}, 0, 0, 3, 1}}, ScriptError::BadApproximation, 1},
    {"AcBeforeDc", true, 1, {{{0}, 1, 63, 0, 0}}, ScriptError::AcBeforeDc, 0},
    {"RefinementBeforeFirst", true, 1, {{{0}, 0, 0, 0, 0}, {{0}, 1, 63, 1, 0}}, ScriptError::RefinementBeforeFirst, 1},
    {"RefinementOfTheWrongBit", true, 1, {{{0}, 0, 0, 0, 2}, {{0}, 0, 0, 2, 1}, {{0}, 0, 0, 2, 1}},
     ScriptError::RefinementBeforeFirst, 2},
    {"OverlappingBands", true, 1, {{{0}, 0, 0, 0, 0}, {{0}, 1, 10, 0, 0}, {{0}, 8, 63, 0, 0}},
     ScriptError::BandCodedTwice, 2},
    {"DcCodedTwice", true, 2, {{{0, 1}, 0, 0, 0, 0}, {{1}, 0, 0, 0, 0}}, ScriptError::BandCodedTwice, 1},
    {"ComponentNeverCoded", true, 3, {{{0, 1}, 0, 0, 0, 0}}, ScriptError::ComponentNotCoded, 1},
};

class ScanScriptTest : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScanScriptTest, FailsAtTheScanThatBreaksTheRules) {
    const ScriptCase& c = GetParam();
    ScanScriptChecker checker(c.frameComponents, c.progressive);
    for (size_t i = 0; i < c.scans.size(); ++i) {
        const ScriptError error = checker.Add(Layout(c.scans[i], c.progressive));
        if (i == c.failingScan) {
            EXPECT_EQ(error, c.expected);
            return;
        }
        ASSERT_EQ(error, ScriptError::None) << "scan " << i;
    }
    EXPECT_EQ(checker.Finish(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScanScriptTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The scripts the engine writes are ones it accepts, whole, for every component count and
// MCU size (16 blocks force the DC into one scan per component).
TEST(WrittenScripts, PassTheCheckerAndCodeEveryComponent) {
    const std::vector<McuBlocks> frames = {{1}, {4}, {4, 1, 1}, {2, 1, 1}, {1, 1, 1, 1}, {4, 4, 4, 4}, {4, 1}};
    for (const McuBlocks& blocks : frames) {
        for (bool progressive : {false, true}) {
            SCOPED_TRACE(::testing::Message() << blocks.size() << " components, progressive " << progressive);
            ScanScriptChecker checker(static_cast<int>(blocks.size()), progressive);
            const std::vector<ScriptScan> script = progressive ? ProgressiveScript(blocks) : SequentialScript(blocks);
            for (const ScriptScan& scan : script) {
                ScanLayout layout;
                layout.progressive = progressive;
                layout.componentCount = static_cast<int>(scan.components.size());
                for (size_t i = 0; i < scan.components.size(); ++i) {
                    layout.components[i].plane = scan.components[i];
                    layout.components[i].h = blocks[scan.components[i]];
                }
                layout.Ss = scan.Ss, layout.Se = scan.Se, layout.Ah = scan.Ah, layout.Al = scan.Al;
                ASSERT_EQ(checker.Add(layout), ScriptError::None);
            }
            EXPECT_EQ(checker.Finish(), ScriptError::None);
        }
    }
}

TEST(WrittenScripts, ProgressionIsLibjpegs) {
    const std::string jpegtran = test::FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    for (int components : {1, 3}) {
        test::FixtureSpec spec;
        spec.components = components;
        test::SplitJpeg split;
        ASSERT_TRUE(test::SplitJpegScans(test::RunJpegtran(jpegtran, test::MakeJpeg(spec), "-progressive"), split, nullptr));
        std::vector<ScriptScan> theirs;
        for (const test::SplitScan& scan : split.scans) {
            ScriptScan s{{}, scan.layout.Ss, scan.layout.Se, scan.layout.Ah, scan.layout.Al};
            for (int i = 0; i < scan.layout.componentCount; ++i) s.components.push_back(scan.layout.components[i].plane);
            theirs.push_back(s);
        }
        EXPECT_EQ(ProgressiveScript(components == 1 ? McuBlocks{1} : McuBlocks{4, 1, 1}), theirs) << components;
    }
}

}  // namespace
}  // namespace pivotta
