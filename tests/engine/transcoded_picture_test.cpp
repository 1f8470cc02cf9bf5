// Progressive, arithmetic, multi-scan and CMYK files through RotateJpeg: every kind, trimmed
// and not, gives jpegtran's coefficients (the model's where jpegtran cannot keep a ragged
// edge), keeps the input's frame marker and scan script, and passes its other segments as
// they were. Bad inputs of these processes are refused with their own codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <tuple>

#include "CoefficientMatchers.h"
#include "ExternalTools.h"
#include "JpegFixtures.h"
#include "JpegRotation.h"
#include "ScanSplitter.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;

struct Case {
    const char* name;
    int width, height, components, h, v;
    const char* coding;   // jpegtran's options that make the input from a baseline file
    const char* scans;    // a -scans script, or none
};

const Case kCases[] = {
    {"Progressive420Ragged", 61, 45, 3, 2, 2, "-progressive", nullptr},
    {"ProgressiveGrayRestart", 45, 37, 1, 1, 1, "-progressive -restart 1", nullptr},
    {"Arithmetic422Whole", 64, 48, 3, 2, 1, "-arithmetic", nullptr},
    {"ArithmeticProgressiveRestart", 61, 45, 3, 2, 2, "-arithmetic -progressive -restart 2B", nullptr},
    {"SequentialScansPerComponent", 53, 40, 3, 2, 2, "-restart 3", "0: 0 63 0 0;\n2: 0 63 0 0;\n1: 0 63 0 0;\n"},
    {"SequentialLumaThenChroma", 40, 33, 3, 1, 2, "", "0: 0 63 0 0;\n1 2: 0 63 0 0;\n"},
    {"CmykBaseline", 37, 29, 4, 2, 1, "", nullptr},
    {"CmykProgressive", 48, 40, 4, 1, 1, "-progressive", nullptr},
    {"Baseline420Ragged", 50, 35, 3, 2, 2, "", nullptr},
};

// jpegtran's options for the case's coding, which also make it write its results that way.
std::string CodingOptions(const Case& c) {
    std::string options = c.coding;
    if (c.scans != nullptr) {
        const std::string script = TempFileName(".txt");
        std::ofstream(script) << c.scans;
        options += " -scans " + script;
    }
    return options;
}

Bytes MakeInput(const Case& c, const std::string& jpegtran, const std::string& options) {
    FixtureSpec spec;
    spec.width = c.width, spec.height = c.height, spec.components = c.components, spec.hSamp = c.h, spec.vSamp = c.v;
    const Bytes baseline = MakeJpeg(spec);
    return options.empty() ? baseline : RunJpegtran(jpegtran, baseline, options);
}

// Whether every component's own blocks fill its MCU grid, as the transform model needs.
bool OwnBlocksFillGrid(const SplitJpeg& split) {
    for (const auto& comp : split.components) {
        const int h = split.components.size() == 1 ? 1 : comp.h, v = split.components.size() == 1 ? 1 : comp.v;
        const int wide = ((split.width * comp.h + split.maxH - 1) / split.maxH + 7) / 8;
        const int high = ((split.height * comp.v + split.maxV - 1) / split.maxV + 7) / 8;
        if (wide != split.mcuCols * h || high != split.mcuRows * v) return false;
    }
    return true;
}

int FrameMarker(const SplitJpeg& split) {
    for (const auto& seg : split.segments)
        if (seg.marker >= 0xFFC0 && seg.marker <= 0xFFCF && seg.marker != 0xFFC4 && seg.marker != 0xFFC8 && seg.marker != 0xFFCC)
            return seg.marker;
    return 0;
}

// Segments that pass as they are: all but the frame, tables, scans and Exif.
std::vector<Bytes> PassingSegments(const Bytes& file, const SplitJpeg& split) {
    std::vector<Bytes> segments;
    for (const auto& seg : split.segments) {
        const int m = seg.marker;
        if ((m >= 0xFFC0 && m <= 0xFFCF) || m == 0xFFDA || m == 0xFFDB || m == 0xFFE1) continue;
        segments.emplace_back(file.begin() + static_cast<long>(seg.begin), file.begin() + static_cast<long>(seg.end));
    }
    return segments;
}

// Each component's own blocks only: jpegtran writes the padding blocks of an interleaved
// scan afresh, where the engine keeps those of the input.
JpegCoefs OwnBlocks(JpegCoefs coefs) {
    int maxH = 1, maxV = 1;
    for (const ComponentCoefs& c : coefs.comps) maxH = std::max(maxH, c.h), maxV = std::max(maxV, c.v);
    for (ComponentCoefs& c : coefs.comps) {
        const int wide = ((coefs.width * c.h + maxH - 1) / maxH + 7) / 8;
        const int high = ((coefs.height * c.v + maxV - 1) / maxV + 7) / 8;
        std::vector<NaturalBlock> own;
        for (int y = 0; y < std::min(high, c.heightInBlocks); ++y)
            for (int x = 0; x < std::min(wide, c.widthInBlocks); ++x) own.push_back(c.At(x, y));
        c.blocks = std::move(own);
        c.widthInBlocks = std::min(wide, c.widthInBlocks);
        c.heightInBlocks = std::min(high, c.heightInBlocks);
    }
    return coefs;
}

::testing::AssertionResult SameAsJpegtran(const Bytes& ours, const std::string& jpegtran, const Bytes& input,
                                          const std::string& options) {
    return SameCoefficients(OwnBlocks(ReadCoefficients(ours)), OwnBlocks(ReadCoefficients(RunJpegtran(jpegtran, input, options))));
}

class TranscodedPictureTest : public ::testing::TestWithParam<Case> {};

TEST_P(TranscodedPictureTest, EveryKindGivesJpegtransCoefficientsInTheInputsCoding) {
    const Case& c = GetParam();
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    const std::string coding = CodingOptions(c);
    const Bytes input = MakeInput(c, jpegtran, coding);
    SplitJpeg split;
    ASSERT_TRUE(SplitJpegScans(input, split, nullptr));
    const bool ragged = c.width % (8 * split.maxH) != 0 || c.height % (8 * split.maxV) != 0;
    const JpegCoefs original = ReadCoefficients(input);
    const TMemoryStream in(input);
    for (bool trim : {false, true}) {
        for (TransformKind kind : kAllTransformKinds) {
            SCOPED_TRACE(std::string(TransformName(kind)) + (trim ? " trimmed" : ""));
            TJpegRotation engine;
            engine.AllowAdjustMCU = trim;
            engine.MaxThreads = static_cast<int>(kind) % 2 == 0 ? 1 : 3;
            std::string errors;
            engine.OnMessage = [&](const std::string& text, int level) {
                if (level == 2) errors += text;
            };
            TMemoryStream out;
            ASSERT_TRUE(engine.CheckJpeg(in)) << errors;
            ASSERT_TRUE(engine.VerifyJpeg(in)) << errors;
            ASSERT_TRUE(engine.RotateJpeg(in, out, kind)) << errors;
            const Bytes ours = out.Bytes();

            // jpegtran keeps a ragged edge in place rather than moving it inside, and the
            // model knows only components whose blocks fill their grid.
            if (trim || !ragged) {
                const std::string options = std::string(JpegtranTransform(kind)) + (trim ? " -trim " : " ") + coding;
                EXPECT_TRUE(SameAsJpegtran(ours, jpegtran, input, options));
            } else if (OwnBlocksFillGrid(split)) {
                EXPECT_TRUE(SameCoefficients(ReadCoefficients(ours), ExpectedTransform(original, kind, false)));
            }

            SplitJpeg written;
            ASSERT_TRUE(SplitJpegScans(ours, written, nullptr));
            EXPECT_EQ(FrameMarker(written), FrameMarker(split));
            EXPECT_EQ(ScanScriptDifference(written, split), "");
            EXPECT_EQ(PassingSegments(ours, written), PassingSegments(input, split));
        }
    }
}

// --baseline and --progressive: jpegtran's coefficients in the coding asked for, whatever the
// input's.
TEST_P(TranscodedPictureTest, TheCodingAskedForHoldsTheSameCoefficients) {
    const Case& c = GetParam();
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    const Bytes input = MakeInput(c, jpegtran, CodingOptions(c));
    const TMemoryStream in(input);
    for (OutputCoding coding : {OutputCoding::Baseline, OutputCoding::Progressive}) {
        for (TransformKind kind : {TransformKind::Rotate90, TransformKind::MirrorLR, TransformKind::Transverse}) {
            const bool progressive = coding == OutputCoding::Progressive;
            SCOPED_TRACE(std::string(TransformName(kind)) + (progressive ? " progressive" : " baseline"));
            TJpegRotation engine;
            engine.AllowAdjustMCU = true;
            engine.Coding = coding;
            TMemoryStream out;
            ASSERT_TRUE(engine.CheckJpeg(in));
            ASSERT_TRUE(engine.RotateJpeg(in, out, kind));
            const Bytes ours = out.Bytes();
            SplitJpeg written;
            ASSERT_TRUE(SplitJpegScans(ours, written, nullptr));
            EXPECT_EQ(FrameMarker(written), progressive ? 0xFFC2 : 0xFFC0);
            const size_t progression = c.components == 3 ? 10u : 2u + 4u * static_cast<size_t>(c.components);
            EXPECT_EQ(written.scans.size(), progressive ? progression : 1u);
            const std::string options = std::string(JpegtranTransform(kind)) + " -trim" + (progressive ? " -progressive" : "");
            EXPECT_TRUE(SameAsJpegtran(ours, jpegtran, input, options));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, TranscodedPictureTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Files of these processes that cannot be turned, each named by its own code, and nothing
// written.
TEST(TranscodedPictureRefusals, EachHasItsOwnCode) {
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    FixtureSpec spec;
    spec.width = 40, spec.height = 24;
    const Bytes progressive = RunJpegtran(jpegtran, MakeJpeg(spec), "-progressive");
    SplitJpeg split;
    ASSERT_TRUE(SplitJpegScans(progressive, split, nullptr));
    size_t frame = 0, firstScan = 0;
    for (const auto& seg : split.segments) {
        if (seg.marker == 0xFFC2) frame = seg.begin;
        if (seg.marker == 0xFFDA && firstScan == 0) firstScan = seg.begin;
    }
    ASSERT_NE(frame, 0u);

    Bytes dnl = progressive;  // height 0: given by a DNL segment after the first scan
    dnl[frame + 5] = dnl[frame + 6] = 0;
    Bytes refinementFirst = progressive;  // the DC scan's Ah set: it refines bits never coded
    const size_t fields = firstScan + 4 + 1 + 2 * refinementFirst[firstScan + 4];
    refinementFirst[fields + 2] = 0x10;
    Bytes fiveComponents = {0xFF, 0xD8, 0xFF, 0xC2, 0x00, 23, 8, 0, 8, 0, 8, 5};
    for (uint8_t id = 1; id <= 5; ++id) fiveComponents.insert(fiveComponents.end(), {id, 0x11, 0});
    fiveComponents.insert(fiveComponents.end(), {0xFF, 0xD9});
    Bytes lossless = progressive;
    lossless[frame + 1] = 0xC3;

    const struct {
        const char* name;
        const Bytes& file;
        MessageCode code;
        bool checkPasses;  // the fault lies after the first scan header
    } refusals[] = {
        {"dnl", dnl, MessageCode::HeightInDnl, false},
        {"refinement before first", refinementFirst, MessageCode::BadScanScript, true},
        {"five components", fiveComponents, MessageCode::TooManyComponents, false},
        {"lossless", lossless, MessageCode::Lossless, false},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.name);
        TJpegRotation engine;
        std::vector<MessageCode> codes;
        engine.OnCodedMessage = [&](const EngineMessage& m) {
            if (m.level == 2) codes.push_back(m.code);
        };
        const TMemoryStream in(r.file);
        TMemoryStream out;
        const bool checked = engine.CheckJpeg(in);
        EXPECT_EQ(checked, r.checkPasses);
        if (checked) {
            EXPECT_FALSE(engine.RotateJpeg(in, out, TransformKind::Rotate90));
        }
        EXPECT_EQ(codes, std::vector<MessageCode>{r.code});
    }
}

}  // namespace
}  // namespace pivotta::test
