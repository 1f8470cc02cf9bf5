// The entropy codecs of every DCT process against libjpeg: files that cjpeg's library and
// jpegtran write (progressive, arithmetic, successive approximation, multi-scan sequential,
// restart intervals) decode scan by scan to libjpeg's coefficients, and the codecs' own
// encoding of those coefficients, put back into the file, reads back the same in libjpeg.
#include <fstream>

#include <gtest/gtest.h>

#include "CoefficientMatchers.h"
#include "ExternalTools.h"
#include "HuffmanTables.h"
#include "JpegFixtures.h"
#include "ScanSplitter.h"

namespace pivotta::test {
namespace {

// Successive approximation in both bands, DC scans per component and interleaved, and
// refinements in an order T.81 allows.
constexpr const char* kColourScript =
    "0: 0-0, 0, 1; 1: 0-0, 0, 1; 2: 0-0, 0, 1;"
    "0: 1-5, 0, 2; 0: 6-63, 0, 2; 1: 1-63, 0, 1; 2: 1-63, 0, 1;"
    "0,1,2: 0-0, 1, 0; 0: 1-63, 2, 1; 0: 1-63, 1, 0; 1: 1-63, 1, 0; 2: 1-63, 1, 0;";
constexpr const char* kGrayScript = "0: 0-0, 0, 2; 0: 1-9, 0, 1; 0: 10-63, 0, 3; 0: 0-0, 2, 1; 0: 0-0, 1, 0;"
                                    "0: 10-63, 3, 2; 0: 10-63, 2, 1; 0: 10-63, 1, 0; 0: 1-9, 1, 0;";
// Sequential, one scan per component group.
constexpr const char* kColourSequentialScans = "0: 0-63, 0, 0; 2: 0-63, 0, 0; 1: 0-63, 0, 0;";

struct Case {
    const char* name;
    FixtureSpec spec;
    std::string options;  // jpegtran's; "@colour" and "@gray" name the scripts above
};

std::string ScriptFile(const char* script) {
    const std::string path = TempFileName(".scans");
    std::ofstream(path) << script;
    return path;
}

std::string Expand(const std::string& options) {
    std::string out = options;
    const std::pair<const char*, const char*> scripts[] = {
        {"@colour", kColourScript}, {"@gray", kGrayScript}, {"@sequential", kColourSequentialScans}};
    for (const auto& [name, script] : scripts) {
        const size_t at = out.find(name);
        if (at != std::string::npos) out.replace(at, std::string(name).size(), "-scans " + ScriptFile(script));
    }
    return out;
}

FixtureSpec Spec(int w, int h, int components, int hs, int vs, int restart = 0, bool progressive = false) {
    FixtureSpec s;
    s.width = w;
    s.height = h;
    s.components = components;
    s.hSamp = hs;
    s.vSamp = vs;
    s.restartInterval = restart;
    s.progressive = progressive;
    return s;
}

const Case kCases[] = {
    {"Progressive420Ragged", Spec(61, 45, 3, 2, 2), "-progressive"},
    {"Progressive422Whole", Spec(64, 48, 3, 2, 1), "-progressive"},
    {"Progressive440Restart", Spec(50, 70, 3, 1, 2), "-progressive -restart 2B"},
    {"ProgressiveGrayRestart", Spec(45, 37, 1, 1, 1), "-progressive -restart 1"},
    {"LibraryProgression", Spec(77, 51, 3, 2, 2, 0, true), ""},
    {"ScriptColour", Spec(57, 41, 3, 2, 2), "@colour"},
    {"ScriptColourRestart", Spec(57, 41, 3, 1, 1), "@colour -restart 3B"},
    {"ScriptGray", Spec(70, 30, 1, 1, 1), "@gray -restart 5B"},
    {"MultiScanSequential", Spec(59, 43, 3, 2, 2), "@sequential"},
    {"MultiScanSequentialRestart", Spec(59, 43, 3, 2, 1), "@sequential -restart 2B"},
    {"Arithmetic420", Spec(61, 45, 3, 2, 2), "-arithmetic"},
    {"ArithmeticGrayRestart", Spec(33, 65, 1, 1, 1), "-arithmetic -restart 3B"},
    {"ArithmeticProgressive", Spec(61, 45, 3, 2, 2), "-arithmetic -progressive"},
    {"ArithmeticProgressiveRestart", Spec(40, 48, 3, 2, 1), "-arithmetic -progressive -restart 1"},
    {"ArithmeticScript", Spec(57, 41, 3, 2, 2), "-arithmetic @colour"},
    {"ArithmeticScriptGray", Spec(70, 30, 1, 1, 1), "-arithmetic @gray -restart 4B"},
    {"ArithmeticMultiScan", Spec(59, 43, 3, 2, 2), "-arithmetic @sequential"},
};

class ScanCodecTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        jpegtran_ = FindProgram("jpegtran");
        if (jpegtran_.empty()) GTEST_SKIP() << "jpegtran is not installed";
        const std::vector<uint8_t> source = MakeJpeg(GetParam().spec);
        ASSERT_FALSE(source.empty());
        file_ = GetParam().options.empty() ? source : RunJpegtran(jpegtran_, source, Expand(GetParam().options));
        ASSERT_FALSE(file_.empty());
        std::string why;
        ASSERT_TRUE(SplitJpegScans(file_, split_, &why)) << why;
        expected_ = ReadCoefficients(file_);
        ASSERT_FALSE(expected_.comps.empty());
    }

    std::string jpegtran_;
    std::vector<uint8_t> file_;
    SplitJpeg split_;
    JpegCoefs expected_;
};

TEST_P(ScanCodecTest, DecodesEveryScanAsLibjpegDoes) {
    Planes planes(split_);
    const ScanResult result = DecodeAllScans(file_, split_, planes);
    ASSERT_TRUE(result.ok()) << "error " << static_cast<int>(result.error) << " in MCU row " << result.mcuRow;
    EXPECT_TRUE(SameCoefficients(PlanesAsCoefs(split_, planes, expected_), expected_));
}

// Each scan re-encoded from the coefficients the earlier scans and it left; the file with
// those scans reads back the same in libjpeg, without a warning, and in the decoders.
TEST_P(ScanCodecTest, EncodesEveryScanSoThatLibjpegReadsTheSame) {
    Planes decoded(split_);
    ASSERT_TRUE(DecodeAllScans(file_, split_, decoded).ok());
    std::vector<std::vector<uint8_t>> scans;
    const ScanResult encoded = EncodeAllScans(split_, decoded, scans);
    ASSERT_TRUE(encoded.ok()) << "error " << static_cast<int>(encoded.error);
    const std::vector<uint8_t> rebuilt = ReplaceScanData(file_, split_, scans);
    EXPECT_TRUE(SameCoefficients(ReadCoefficients(rebuilt), expected_));
    Planes again(split_);
    SplitJpeg rebuiltSplit;
    ASSERT_TRUE(SplitJpegScans(rebuilt, rebuiltSplit, nullptr));
    const ScanResult decoded2 = DecodeAllScans(rebuilt, rebuiltSplit, again);
    ASSERT_TRUE(decoded2.ok()) << "error " << static_cast<int>(decoded2.error) << " in MCU row " << decoded2.mcuRow;
    EXPECT_TRUE(SameCoefficients(PlanesAsCoefs(split_, again, expected_), expected_));
}

INSTANTIATE_TEST_SUITE_P(Files, ScanCodecTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pivotta::test
