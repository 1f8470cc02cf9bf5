// Real camera files, when the checkout has them beside it: every baseline file must
// transform exactly in every way but NoRotation, the progressive one and jpegtran's
// conversions of camera files as jpegtran turns them in their own coding, and the damaged one
// must be refused with an error, never turned into a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "CoefficientMatchers.h"
#include "EngineHarness.h"
#include "ExternalTools.h"
#include "JpegFixtures.h"
#include "JpegLayout.h"

namespace pivotta::test {
namespace {

using pivotta::TransformKind;

const std::string kProgressive = "progressive.jpg";
const std::string kShortScan = "short_scan.jpg";

std::vector<std::string> BaselineFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(TestdataDir())) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".jpg" && name != kProgressive && name != kShortScan)
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every segment the engine does not rewrite (all but SOF0, DQT, DHT and APP1, whose Exif
// content is checked elsewhere) stands in the output byte for byte and in the same place,
// and the bytes after EOI stay.
void ExpectSegmentsCarriedOver(const std::vector<uint8_t>& input, const std::vector<uint8_t>& output) {
    JpegLayout in, out;
    std::string why;
    ASSERT_TRUE(ParseJpegLayout(input, in, &why)) << "input: " << why;
    ASSERT_TRUE(ParseJpegLayout(output, out, &why)) << "output: " << why;
    ASSERT_EQ(out.headers.size(), in.headers.size());
    for (size_t i = 0; i < in.headers.size(); ++i) {
        const uint16_t marker = in.headers[i].marker;
        EXPECT_EQ(out.headers[i].marker, marker) << "segment " << i;
        const bool rewritten = marker == 0xFFC0 || marker == 0xFFDB || marker == 0xFFC4 || marker == 0xFFE1;
        if (rewritten) continue;
        EXPECT_TRUE(out.headers[i].bytes == in.headers[i].bytes) << "segment " << i << ", marker " << std::hex << marker;
    }
    EXPECT_EQ(out.trailing, in.trailing);
}

class Corpus : public ::testing::TestWithParam<TransformKind> {
protected:
    void SetUp() override {
        if (!HaveTestdata()) GTEST_SKIP() << "no camera files at " << TestdataDir();
    }
};

TEST_P(Corpus, EveryBaselineFileTransformsExactly) {
    const TransformKind kind = GetParam();
    const std::vector<std::string> files = BaselineFiles();
    ASSERT_FALSE(files.empty());
    for (const std::string& path : files) {
        const std::vector<uint8_t> input = ReadFileBytes(path);
        const JpegCoefs in = ReadCoefficients(input);
        for (bool trim : {false, true}) {
            SCOPED_TRACE(std::filesystem::path(path).filename().string() + (trim ? " trimmed" : ""));
            EngineHarness engine(trim);
            ASSERT_TRUE(engine.Check(input)) << engine.Transcript();
            ASSERT_TRUE(engine.Rotate(input, kind)) << engine.Transcript();
            EXPECT_TRUE(engine.Messages(2).empty()) << engine.Transcript();
            const JpegCoefs out = ReadCoefficients(engine.Output());  // no libjpeg warning allowed
            EXPECT_TRUE(SameCoefficients(out, ExpectedTransform(in, kind, trim)));
            ExpectSegmentsCarriedOver(input, engine.Output());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Corpus,
                         ::testing::ValuesIn(std::span(pivotta::kAllTransformKinds).subspan(1)),
                         [](const ::testing::TestParamInfo<TransformKind>& info) { return TransformName(info.param); });

class CorpusRefusals : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTestdata()) GTEST_SKIP() << "no camera files at " << TestdataDir();
    }
    static std::vector<uint8_t> Load(const std::string& name) {
        return ReadFileBytes((std::filesystem::path(TestdataDir()) / name).string());
    }
};

// Each file in its own coding, turned in every way with the edge trimmed: jpegtran's
// coefficients, written in the same coding by both.
class CorpusCodings : public CorpusRefusals {};

TEST_F(CorpusCodings, ProgressiveAndConvertedFilesTurnAsJpegtranDoes) {
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {{"-progressive", Load(kProgressive)}};
    const std::vector<std::string> cameras = BaselineFiles();
    ASSERT_GE(cameras.size(), 3u);
    const char* codings[] = {"-progressive", "-arithmetic", "-progressive -restart 5"};
    for (size_t i = 0; i < std::size(codings); ++i)  // a camera of its own for each
        files.emplace_back(codings[i], RunJpegtran(jpegtran, ReadFileBytes(cameras[i]), std::string("-copy all ") + codings[i]));
    for (const auto& [coding, input] : files) {
        ASSERT_FALSE(input.empty());
        for (TransformKind kind : kAllTransformKinds) {
            SCOPED_TRACE(coding + " " + TransformName(kind));
            EngineHarness engine(true);
            ASSERT_TRUE(engine.Check(input)) << engine.Transcript();
            ASSERT_TRUE(engine.Rotate(input, kind)) << engine.Transcript();
            const std::string options = std::string(JpegtranTransform(kind)) + " -trim " + coding;
            EXPECT_TRUE(SameCoefficients(ReadCoefficients(engine.Output()), ReadCoefficients(RunJpegtran(jpegtran, input, options))));
        }
    }
}

// The scan data stops early and EOI follows: the headers are sound, so the check passes,
// but the run must end with one error while it is still decoding, not write a file whose
// lower part is made up.
TEST_F(CorpusRefusals, ShortScanFailsWhileDecoding) {
    const std::vector<uint8_t> input = Load(kShortScan);
    ASSERT_FALSE(input.empty());
    for (TransformKind kind : {TransformKind::Rotate90, TransformKind::MirrorLR}) {
        EngineHarness engine(true);
        ASSERT_TRUE(engine.Check(input)) << engine.Transcript();
        EXPECT_TRUE(engine.Messages(2).empty()) << engine.Transcript();
        engine.ClearCalls();
        EXPECT_FALSE(engine.Rotate(input, kind));
        // The bit reader meets the end-of-image marker inside the entropy-coded data.
        EXPECT_EQ(engine.Messages(2), std::vector<std::string>{"ビットストリームが正しく読みとれませんでした。"})
            << engine.Transcript();
        ASSERT_FALSE(engine.Calls().empty());
        const HookCall& last = engine.Calls().back();
        EXPECT_EQ(last.hook, HookCall::Hook::Message) << "nothing may follow the error\n" << engine.Transcript();
        EXPECT_EQ(last.value, 2);

        // 3648 x 2736 in 16 x 8 MCUs: 342 MCU rows are to be decoded, and decoding fails
        // before the last of them, so encoding never reports progress.
        int lastPosition = -1;
        for (const HookCall& call : engine.Calls()) {
            if (call.hook == HookCall::Hook::Progress) lastPosition = std::max(lastPosition, call.value);
        }
        EXPECT_GE(lastPosition, 0) << engine.Transcript();
        EXPECT_LT(lastPosition, 341) << engine.Transcript();
    }
}

}  // namespace
}  // namespace pivotta::test
