// Property tests of the lossless transforms over pictures made with libjpeg: whatever the
// sampling, size, restart interval and Huffman tables, the engine's output must carry
// exactly the coefficients that the plain geometric model in tests/support predicts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "CoefficientMatchers.h"
#include "EngineHarness.h"
#include "ExternalTools.h"
#include "JpegFixtures.h"
#include "JpegLayout.h"

namespace pivotta::test {
namespace {

using pivotta::TransformKind;

constexpr auto& kAllKinds = pivotta::kAllTransformKinds;

struct Sampling {
    const char* name;
    int components, h, v;
    int McuWidth() const { return 8 * h; }
    int McuHeight() const { return 8 * v; }
};

void PrintTo(const Sampling& sampling, std::ostream* os) { *os << sampling.name; }

constexpr Sampling kSamplings[] = {
    {"s11", 3, 1, 1}, {"s21", 3, 2, 1}, {"s12", 3, 1, 2}, {"s22", 3, 2, 2}, {"s41", 3, 4, 1}, {"gray", 1, 1, 1},
};

// Sizes relative to the MCU: whole MCUs, ragged in both directions, ragged across only, and
// smaller than one MCU (which trimming must leave whole).
enum class SizeClass { Whole, Ragged, RaggedWidth, Tiny };

const char* SizeName(SizeClass size) {
    switch (size) {
    case SizeClass::Whole: return "Whole";
    case SizeClass::Ragged: return "Ragged";
    case SizeClass::RaggedWidth: return "RaggedWidth";
    case SizeClass::Tiny: return "Tiny";
    }
    return "?";
}

void PrintTo(SizeClass size, std::ostream* os) { *os << SizeName(size); }

FixtureSpec SpecFor(const Sampling& sampling, SizeClass size, uint32_t seed) {
    FixtureSpec spec;
    spec.components = sampling.components;
    spec.hSamp = sampling.h;
    spec.vSamp = sampling.v;
    const int mw = sampling.McuWidth(), mh = sampling.McuHeight();
    switch (size) {
    case SizeClass::Whole: spec.width = 4 * mw, spec.height = 3 * mh; break;
    case SizeClass::Ragged: spec.width = 3 * mw + 5, spec.height = 2 * mh + 3; break;
    case SizeClass::RaggedWidth: spec.width = 3 * mw + 1, spec.height = 3 * mh; break;
    case SizeClass::Tiny: spec.width = mw - 3, spec.height = mh - 2; break;
    }
    spec.seed = seed;
    return spec;
}

// ---- The fixtures and the model themselves ----

TEST(JpegFixtures, BlockGridsCoverWholeMcusOfAnInterleavedScan) {
    FixtureSpec spec;  // 4:2:0
    spec.width = 70;
    spec.height = 45;
    const JpegCoefs coefs = ReadCoefficients(MakeJpeg(spec));
    ASSERT_EQ(coefs.comps.size(), 3u);
    EXPECT_EQ(coefs.width, 70);
    EXPECT_EQ(coefs.height, 45);
    // 5 x 3 MCUs of 16 x 16: the luminance grid includes the padding blocks.
    EXPECT_EQ(coefs.comps[0].widthInBlocks, 10);
    EXPECT_EQ(coefs.comps[0].heightInBlocks, 6);
    EXPECT_EQ(coefs.comps[0].h, 2);
    EXPECT_EQ(coefs.comps[0].v, 2);
    for (int c = 1; c < 3; ++c) {
        EXPECT_EQ(coefs.comps[c].widthInBlocks, 5);
        EXPECT_EQ(coefs.comps[c].heightInBlocks, 3);
        EXPECT_EQ(coefs.comps[c].blocks.size(), 15u);
    }
    EXPECT_EQ(coefs.comps[0].id, 1);
    EXPECT_EQ(coefs.comps[2].id, 3);
}

TEST(JpegFixtures, OneComponentPictureCarriesOnlyItsOwnBlocks) {
    FixtureSpec spec;
    spec.components = 1;
    spec.width = 70;
    spec.height = 45;
    // Sampling factors of 2 do not make a one-component scan interleaved.
    const JpegCoefs coefs = ReadCoefficients(MakeJpeg(spec));
    ASSERT_EQ(coefs.comps.size(), 1u);
    EXPECT_EQ(coefs.comps[0].widthInBlocks, 9);
    EXPECT_EQ(coefs.comps[0].heightInBlocks, 6);
    EXPECT_EQ(coefs.comps[0].h, 2);
}

TEST(JpegFixtures, OptionsReachTheFile) {
    FixtureSpec spec;
    spec.rgbIds = true;
    spec.restartInterval = 1;
    const std::vector<uint8_t> rgb = MakeJpeg(spec);
    const JpegCoefs coefs = ReadCoefficients(rgb);
    ASSERT_EQ(coefs.comps.size(), 3u);
    EXPECT_EQ(coefs.comps[0].id, 82);
    EXPECT_EQ(coefs.comps[1].id, 71);
    EXPECT_EQ(coefs.comps[2].id, 66);
    auto hasMarker = [](const std::vector<uint8_t>& jpeg, uint8_t second) {
        for (size_t i = 0; i + 1 < jpeg.size(); ++i)
            if (jpeg[i] == 0xFF && jpeg[i + 1] == second) return true;
        return false;
    };
    EXPECT_TRUE(hasMarker(rgb, 0xDD));  // DRI
    EXPECT_TRUE(hasMarker(rgb, 0xD0));  // RST0
    spec.progressive = true;
    EXPECT_TRUE(hasMarker(MakeJpeg(spec), 0xC2));
}

TEST(JpegFixtures, TextureIsBusyAndDependsOnTheSeed) {
    FixtureSpec spec;
    const JpegCoefs a = ReadCoefficients(MakeJpeg(spec));
    spec.seed = 2;
    const JpegCoefs b = ReadCoefficients(MakeJpeg(spec));
    ASSERT_EQ(a.comps.size(), 3u);
    ASSERT_EQ(b.comps.size(), 3u);
    EXPECT_NE(a.comps[0].blocks, b.comps[0].blocks);
    int highFrequencies = 0;
    for (const NaturalBlock& block : a.comps[0].blocks) highFrequencies += block[63] != 0 || block[62] != 0;
    EXPECT_GT(highFrequencies, 0) << "noise should reach the last zig-zag positions somewhere";
}

TEST(JpegFixtures, BrokenDataIsReportedNotFatal) {
    std::vector<uint8_t> jpeg = MakeJpeg(FixtureSpec{});
    ASSERT_GT(jpeg.size(), 200u);
    JpegCoefs coefs;
    std::string error;
    EXPECT_FALSE(TryReadCoefficients({0xFF, 0xD8, 0xFF}, coefs, &error, nullptr));
    EXPECT_FALSE(error.empty());
    // Cut inside the scan: libjpeg fills in and warns.
    jpeg.resize(jpeg.size() - 100);
    std::string warnings;
    ReadCoefficients(jpeg, &warnings);
    EXPECT_FALSE(warnings.empty());
}

// A hand-made coefficient set whose blocks say where they came from.
JpegCoefs LabelledCoefs(int width, int height, std::vector<std::tuple<int, int, int>> idHV) {
    JpegCoefs coefs;
    coefs.width = width;
    coefs.height = height;
    int maxH = 1, maxV = 1;
    for (auto [id, h, v] : idHV) maxH = std::max(maxH, h), maxV = std::max(maxV, v);
    const bool blockMcu = idHV.size() == 1;
    for (auto [id, h, v] : idHV) {
        ComponentCoefs c;
        c.id = id, c.h = h, c.v = v;
        const int gh = blockMcu ? 1 : h, gv = blockMcu ? 1 : v;
        const int mcuW = blockMcu ? 8 : 8 * maxH, mcuH = blockMcu ? 8 : 8 * maxV;
        c.widthInBlocks = (width + mcuW - 1) / mcuW * gh;
        c.heightInBlocks = (height + mcuH - 1) / mcuH * gv;
        for (int y = 0; y < c.heightInBlocks; ++y)
            for (int x = 0; x < c.widthInBlocks; ++x) {
                NaturalBlock b;
                for (int k = 0; k < 64; ++k) b[k] = static_cast<int16_t>(1000 * id + 100 * y + 10 * x + k % 7 + 1);
                c.blocks.push_back(b);
            }
        for (int k = 0; k < 64; ++k) c.quant[k] = static_cast<uint16_t>(k + 1);
        coefs.comps.push_back(c);
    }
    return coefs;
}

TEST(TransformModel, FollowsTheWorkedExamples) {
    // MirrorLR of a one-component picture 3 x 2 blocks: the first block is input (2, 0)
    // with its odd horizontal frequencies negated.
    const JpegCoefs gray = LabelledCoefs(24, 16, {{1, 1, 1}});
    const JpegCoefs mirrored = ExpectedTransform(gray, TransformKind::MirrorLR, false);
    const NaturalBlock& source = gray.comps[0].At(2, 0);
    for (int k = 0; k < 64; ++k)
        EXPECT_EQ(mirrored.comps[0].At(0, 0)[k], (k % 8) % 2 ? -source[k] : source[k]) << k;

    // Rotate90 of a 4:2:0 picture of 2 x 1 MCUs: 1 x 2 MCUs, the first luminance block is
    // the input's bottom-left block (0, 1); the DC keeps its sign, quant tables transpose.
    const JpegCoefs yuv = LabelledCoefs(32, 16, {{1, 2, 2}, {2, 1, 1}, {3, 1, 1}});
    const JpegCoefs turned = ExpectedTransform(yuv, TransformKind::Rotate90, false);
    EXPECT_EQ(turned.width, 16);
    EXPECT_EQ(turned.height, 32);
    EXPECT_EQ(turned.comps[0].widthInBlocks, 2);
    EXPECT_EQ(turned.comps[0].heightInBlocks, 4);
    EXPECT_EQ(turned.comps[0].At(0, 0)[0], yuv.comps[0].At(0, 1)[0]);
    EXPECT_EQ(turned.comps[0].At(0, 0)[1 * 8 + 0], yuv.comps[0].At(0, 1)[0 * 8 + 1]);   // (v1,u0) <- (v0,u1)
    EXPECT_EQ(turned.comps[0].At(0, 0)[0 * 8 + 1], -yuv.comps[0].At(0, 1)[1 * 8 + 0]);  // odd u negated
    EXPECT_EQ(turned.comps[1].At(0, 1)[0], yuv.comps[1].At(1, 0)[0]);
    EXPECT_EQ(turned.comps[0].quant[1], 9);  // (v0,u1) <- (v1,u0)

    // Rotate180 keeps the sign where u + v is even and negates it where it is odd.
    const JpegCoefs half = ExpectedTransform(gray, TransformKind::Rotate180, false);
    EXPECT_EQ(half.comps[0].At(0, 0)[9], gray.comps[0].At(2, 1)[9]);   // (v1,u1)
    EXPECT_EQ(half.comps[0].At(0, 0)[2], gray.comps[0].At(2, 1)[2]);   // (v0,u2)
    EXPECT_EQ(half.comps[0].At(0, 0)[1], -gray.comps[0].At(2, 1)[1]);  // (v0,u1)
}

TEST(TransformModel, TrimsOnlyTheEdgeThatMovesToTheTopOrLeft) {
    // 4:2:0, 1000 x 750, MCU 16 x 16: trimmed size 992 x 736.
    const JpegCoefs in = LabelledCoefs(1000, 750, {{1, 2, 2}, {2, 1, 1}, {3, 1, 1}});
    struct Case {
        TransformKind kind;
        int width, height;
    };
    const Case cases[] = {{TransformKind::NoRotation, 1000, 750}, {TransformKind::Rotate90, 736, 1000},
                          {TransformKind::Rotate270, 750, 992},  {TransformKind::Rotate180, 992, 736},
                          {TransformKind::MirrorLR, 992, 750},   {TransformKind::MirrorTB, 1000, 736}};
    for (const Case& c : cases) {
        SCOPED_TRACE(TransformName(c.kind));
        const JpegCoefs trimmed = ExpectedTransform(in, c.kind, true);
        EXPECT_EQ(trimmed.width, c.width);
        EXPECT_EQ(trimmed.height, c.height);
        const JpegCoefs whole = ExpectedTransform(in, c.kind, false);
        const bool quarter = SwapsAxes(c.kind);
        EXPECT_EQ(whole.width, quarter ? 750 : 1000);
        EXPECT_EQ(whole.height, quarter ? 1000 : 750);
    }
    // MirrorLR with trimming starts at the input's second-last MCU column, mirrored.
    const JpegCoefs lr = ExpectedTransform(in, TransformKind::MirrorLR, true);
    EXPECT_EQ(lr.comps[0].widthInBlocks, 124);
    EXPECT_EQ(lr.comps[0].At(1, 0)[0], in.comps[0].At(122, 0)[0]);
    EXPECT_EQ(lr.comps[2].At(0, 0)[0], in.comps[2].At(61, 0)[0]);

    // Smaller than one MCU across: the width stays whole even with trimming.
    const JpegCoefs narrow = LabelledCoefs(13, 40, {{1, 2, 2}, {2, 1, 1}, {3, 1, 1}});
    const JpegCoefs narrowLR = ExpectedTransform(narrow, TransformKind::MirrorLR, true);
    EXPECT_EQ(narrowLR.width, 13);
    EXPECT_EQ(narrowLR.height, 40);
}

TEST(TransformModel, QuarterTurnsAndMirrorsCompose) {
    const JpegCoefs in = LabelledCoefs(40, 24, {{1, 2, 1}, {2, 1, 1}, {3, 1, 1}});
    JpegCoefs four = in;
    for (int i = 0; i < 4; ++i) four = ExpectedTransform(four, TransformKind::Rotate90, false);
    EXPECT_TRUE(SameCoefficients(four, in));
    const JpegCoefs back =
        ExpectedTransform(ExpectedTransform(in, TransformKind::Rotate90, false), TransformKind::Rotate270, false);
    EXPECT_TRUE(SameCoefficients(back, in));
    const JpegCoefs lrtb =
        ExpectedTransform(ExpectedTransform(in, TransformKind::MirrorLR, false), TransformKind::MirrorTB, false);
    EXPECT_TRUE(SameCoefficients(lrtb, ExpectedTransform(in, TransformKind::Rotate180, false)));
    EXPECT_FALSE(SameCoefficients(ExpectedTransform(in, TransformKind::MirrorLR, false), in));
}

// ---- The model against a second, independent oracle ----

// Only the blocks that cover the picture: jpegtran makes up its own padding blocks, and
// leaves a ragged edge untransformed unless it is trimmed.
JpegCoefs CropToPicture(JpegCoefs coefs) {
    int maxH = 1, maxV = 1;
    for (const ComponentCoefs& c : coefs.comps) maxH = std::max(maxH, c.h), maxV = std::max(maxV, c.v);
    for (ComponentCoefs& c : coefs.comps) {
        const int cols = (coefs.width * c.h + 8 * maxH - 1) / (8 * maxH);
        const int rows = (coefs.height * c.v + 8 * maxV - 1) / (8 * maxV);
        std::vector<NaturalBlock> kept;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < cols; ++x) kept.push_back(c.At(x, y));
        c.blocks = std::move(kept);
        c.widthInBlocks = cols;
        c.heightInBlocks = rows;
    }
    return coefs;
}

class ModelAgainstJpegtran : public ::testing::TestWithParam<Sampling> {};

TEST_P(ModelAgainstJpegtran, AgreesWhereverJpegtranTransformsEveryBlock) {
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    const std::pair<SizeClass, bool> cases[] = {
        {SizeClass::Whole, false}, {SizeClass::Whole, true}, {SizeClass::Ragged, true}, {SizeClass::RaggedWidth, true}};
    for (auto [size, trim] : cases) {
        const std::vector<uint8_t> input = MakeJpeg(SpecFor(GetParam(), size, 11));
        const JpegCoefs in = ReadCoefficients(input);
        for (TransformKind kind : kAllKinds) {
            if (kind == TransformKind::NoRotation) continue;
            SCOPED_TRACE(std::string(SizeName(size)) + (trim ? " trimmed " : " ") + TransformName(kind));
            const JpegCoefs theirs = ReadCoefficients(RunJpegtran(jpegtran, input, kind, trim));
            EXPECT_TRUE(SameCoefficients(CropToPicture(ExpectedTransform(in, kind, trim)), CropToPicture(theirs)));
        }
    }
}

std::string SamplingName(const ::testing::TestParamInfo<Sampling>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Samplings, ModelAgainstJpegtran, ::testing::ValuesIn(kSamplings), SamplingName);

// ---- The engine against the model ----

bool IsRagged(const FixtureSpec& spec) {
    const int mw = spec.components == 1 ? 8 : 8 * spec.hSamp, mh = spec.components == 1 ? 8 : 8 * spec.vSamp;
    return spec.width % mw != 0 || spec.height % mh != 0;
}

int McuCount(const JpegCoefs& coefs) {
    const ComponentCoefs& first = coefs.comps.front();
    if (coefs.comps.size() == 1) return first.widthInBlocks * first.heightInBlocks;
    return first.widthInBlocks / first.h * (first.heightInBlocks / first.v);
}

// Restart markers follow every `interval` MCUs but the last, numbered 0..7 over and over;
// libjpeg cannot see one written after the last MCU, so count them in the bytes.
void ExpectRestartMarkers(const std::vector<uint8_t>& jpeg, const JpegCoefs& coefs, int interval) {
    JpegLayout layout;
    std::string why;
    ASSERT_TRUE(ParseJpegLayout(jpeg, layout, &why)) << why;
    const int expected = interval > 0 ? (McuCount(coefs) - 1) / interval : 0;
    ASSERT_EQ(static_cast<int>(layout.scanMarkers.size()), expected + 1) << "RST markers and EOI";
    for (int i = 0; i < expected; ++i) EXPECT_EQ(layout.scanMarkers[i], 0xFFD0 + i % 8) << "restart " << i;
}

// Transforms one fixture with a fresh engine, as the application does after opening a file,
// and checks the decoded output against the model.
void ExpectExactTransform(const std::vector<uint8_t>& input, TransformKind kind, bool trim, int restartInterval) {
    const JpegCoefs in = ReadCoefficients(input);
    ASSERT_FALSE(in.comps.empty());
    EngineHarness engine(trim);
    ASSERT_TRUE(engine.Check(input)) << engine.Transcript();
    ASSERT_TRUE(engine.Rotate(input, kind)) << engine.Transcript();
    EXPECT_TRUE(engine.Messages(2).empty()) << engine.Transcript();
    EXPECT_EQ(engine.OutputPosition(), 0u);
    const JpegCoefs out = ReadCoefficients(engine.Output());  // no libjpeg warning allowed
    EXPECT_TRUE(SameCoefficients(out, ExpectedTransform(in, kind, trim)));
    if (!out.comps.empty()) ExpectRestartMarkers(engine.Output(), out, restartInterval);
}

// Every kind, trimmed and not, runs inside one test per fixture: thousands of separate
// test processes would cost more than the transforms themselves.
using PropertyParams = std::tuple<Sampling, SizeClass, bool /*restart*/, bool /*optimized*/>;

class TransformProperty : public ::testing::TestWithParam<PropertyParams> {};

TEST_P(TransformProperty, OutputCoefficientsEqualTheModelForEveryKind) {
    const auto [sampling, size, restart, optimized] = GetParam();
    // Texture and quality vary between fixtures so that their symbol sets differ.
    FixtureSpec spec = SpecFor(sampling, size, 1 + static_cast<uint32_t>(size) * 4 + restart * 2 + optimized);
    spec.restartInterval = restart ? 2 : 0;
    spec.optimizeHuffman = optimized;
    spec.quality = restart ? 95 : 80;
    const std::vector<uint8_t> input = MakeJpeg(spec);
    ASSERT_FALSE(input.empty());
    for (TransformKind kind : kAllKinds) {
        for (bool trim : {false, true}) {
            SCOPED_TRACE(std::string(TransformName(kind)) + (trim ? " trimmed" : ""));
            ExpectExactTransform(input, kind, trim, spec.restartInterval);
        }
    }

    // What the check tells the user depends on the picture alone.
    for (bool trim : {false, true}) {
        EngineHarness checker(trim);
        ASSERT_TRUE(checker.Check(input));
        EXPECT_EQ(checker.DHTWarnings(), optimized ? 1 : 0) << checker.Transcript();
        EXPECT_EQ(checker.Messages(1).size(), IsRagged(spec) ? 1u : 0u) << checker.Transcript();
    }
}

std::string PropertyName(const ::testing::TestParamInfo<PropertyParams>& info) {
    const auto [sampling, size, restart, optimized] = info.param;
    return std::string(sampling.name) + "_" + SizeName(size) + (restart ? "_Rst" : "") + (optimized ? "_Opt" : "");
}

INSTANTIATE_TEST_SUITE_P(All, TransformProperty,
                         ::testing::Combine(::testing::ValuesIn(kSamplings),
                                            ::testing::Values(SizeClass::Whole, SizeClass::Ragged,
                                                              SizeClass::RaggedWidth, SizeClass::Tiny),
                                            ::testing::Bool(), ::testing::Bool()),
                         PropertyName);

// ---- Chains that must give the input back ----

struct Chain {
    const char* name;
    std::vector<TransformKind> kinds;
};

const Chain kIdentityChains[] = {
    {"FourQuarterTurns", {TransformKind::Rotate90, TransformKind::Rotate90, TransformKind::Rotate90, TransformKind::Rotate90}},
    {"FourCounterTurns", {TransformKind::Rotate270, TransformKind::Rotate270, TransformKind::Rotate270, TransformKind::Rotate270}},
    {"TurnAndBack", {TransformKind::Rotate90, TransformKind::Rotate270}},
    {"TwoHalfTurns", {TransformKind::Rotate180, TransformKind::Rotate180}},
    {"TwoMirrorsLR", {TransformKind::MirrorLR, TransformKind::MirrorLR}},
    {"TwoMirrorsTB", {TransformKind::MirrorTB, TransformKind::MirrorTB}},
    // A quarter turn and a mirror make a transposition, which undoes itself.
    {"TwoTranspositions", {TransformKind::Rotate90, TransformKind::MirrorLR, TransformKind::Rotate90, TransformKind::MirrorLR}},
    {"HalfTurnAndBothMirrors", {TransformKind::Rotate180, TransformKind::MirrorLR, TransformKind::MirrorTB}},
};

using ChainParams = std::tuple<Sampling, SizeClass>;

class IdentityChain : public ::testing::TestWithParam<ChainParams> {};

// Without trimming nothing is lost, padding blocks included, so each chain is exact even
// where the ragged edge passes through the inside of the picture on the way.
TEST_P(IdentityChain, GivesTheInputCoefficientsBack) {
    const auto [sampling, size] = GetParam();
    FixtureSpec spec = SpecFor(sampling, size, 5);
    spec.restartInterval = 3;
    const std::vector<uint8_t> input = MakeJpeg(spec);
    const JpegCoefs original = ReadCoefficients(input);
    for (const Chain& chain : kIdentityChains) {
        SCOPED_TRACE(chain.name);
        std::vector<uint8_t> jpeg = input;
        for (TransformKind kind : chain.kinds) {
            EngineHarness engine(false);
            ASSERT_TRUE(engine.Check(jpeg)) << TransformName(kind) << "\n" << engine.Transcript();
            ASSERT_TRUE(engine.Rotate(jpeg, kind)) << TransformName(kind) << "\n" << engine.Transcript();
            jpeg = engine.Output();
        }
        EXPECT_TRUE(SameCoefficients(ReadCoefficients(jpeg), original));
    }
}

std::string ChainName(const ::testing::TestParamInfo<ChainParams>& info) {
    const auto [sampling, size] = info.param;
    return std::string(sampling.name) + "_" + SizeName(size);
}

INSTANTIATE_TEST_SUITE_P(All, IdentityChain,
                         ::testing::Combine(::testing::ValuesIn(kSamplings),
                                            ::testing::Values(SizeClass::Whole, SizeClass::Ragged, SizeClass::Tiny)),
                         ChainName);

// ---- Pictures outside the common case ----

// Identifiers that are not 1..3 ('R', 'G', 'B', and in descending order) must neither
// confuse the components nor reorder them.
TEST(TransformSpecialFrames, RgbIdentifiersTransformExactly) {
    FixtureSpec spec = SpecFor(kSamplings[1], SizeClass::Ragged, 21);
    spec.rgbIds = true;
    spec.restartInterval = 1;
    const std::vector<uint8_t> input = MakeJpeg(spec);
    for (TransformKind kind : kAllKinds) {
        for (bool trim : {false, true}) {
            SCOPED_TRACE(std::string(TransformName(kind)) + (trim ? " trimmed" : ""));
            ExpectExactTransform(input, kind, trim, spec.restartInterval);
        }
    }
}

// A one-component scan has one block per MCU even when the frame says 2x2: the engine must
// transform it correctly or refuse it, never write wrong blocks.
TEST(TransformSpecialFrames, GrayscaleWithSamplingFactorsIsExactOrRefused) {
    FixtureSpec spec;
    spec.components = 1;
    spec.width = 37;
    spec.height = 21;
    const std::vector<uint8_t> input = MakeJpeg(spec);
    const JpegCoefs in = ReadCoefficients(input);
    for (TransformKind kind : kAllKinds) {
        SCOPED_TRACE(TransformName(kind));
        EngineHarness engine(false);
        if (!engine.Check(input) || !engine.Rotate(input, kind)) {
            EXPECT_FALSE(engine.Messages(2).empty()) << engine.Transcript();
            continue;
        }
        EXPECT_TRUE(SameCoefficients(ReadCoefficients(engine.Output()), ExpectedTransform(in, kind, false)));
    }
}

TEST(TransformSpecialFrames, LosslessIsRefusedAtItsFrameMarker) {
    std::vector<uint8_t> input = MakeJpeg(FixtureSpec{});
    const uint8_t frameMarker[] = {0xFF, 0xC0};
    const auto sof = std::search(input.begin(), input.end(), std::begin(frameMarker), std::end(frameMarker));
    ASSERT_NE(sof, input.end());
    sof[1] = 0xC3;
    ExpectRefusedAtMarker(input, "FFC3");
}

// Pictures of thousands of MCUs may be encoded in parts; restart intervals that do not
// divide the MCU rows make the parts meet inside an interval. The bytes must not depend on
// how many threads did the work.
TEST(TransformLargePictures, ExactAndIndependentOfThreads) {
    struct Case {
        Sampling sampling;
        int width, height, restartInterval;
    };
    const Case cases[] = {{kSamplings[3], 1021, 643, 7}, {kSamplings[4], 1280, 520, 0}, {kSamplings[5], 517, 389, 5}};
    for (const Case& c : cases) {
        FixtureSpec spec = SpecFor(c.sampling, SizeClass::Whole, 31);
        spec.width = c.width;
        spec.height = c.height;
        spec.restartInterval = c.restartInterval;
        const std::vector<uint8_t> input = MakeJpeg(spec);
        const JpegCoefs in = ReadCoefficients(input);
        for (TransformKind kind : {TransformKind::Rotate90, TransformKind::Rotate180, TransformKind::MirrorTB}) {
            SCOPED_TRACE(std::string(c.sampling.name) + " " + TransformName(kind));
            std::vector<uint8_t> outputs[2];
            for (unsigned threads : {1u, 2u}) {
                EngineHarness engine(true);
                engine.Engine().MaxThreads = threads;
                ASSERT_TRUE(engine.Check(input)) << engine.Transcript();
                ASSERT_TRUE(engine.Rotate(input, kind)) << engine.Transcript();
                outputs[threads - 1] = engine.Output();
            }
            EXPECT_TRUE(outputs[0] == outputs[1]) << "one thread and two give different bytes";
            const JpegCoefs out = ReadCoefficients(outputs[1]);
            EXPECT_TRUE(SameCoefficients(out, ExpectedTransform(in, kind, true)));
            if (!out.comps.empty()) ExpectRestartMarkers(outputs[1], out, c.restartInterval);
        }
    }
}

}  // namespace
}  // namespace pivotta::test
