// The entropy codecs on the real camera files and on jpegtran's conversions of them into
// every other coding: libjpeg's coefficients, scan by scan, and back through the encoders.
#include <filesystem>

#include <gtest/gtest.h>

#include "CoefficientMatchers.h"
#include "ExternalTools.h"
#include "JpegFixtures.h"
#include "ScanSplitter.h"

namespace pivotta::test {
namespace {

TEST(ScanCodecCamera, EveryCodingOfEveryCameraFileDecodesAndEncodesAsLibjpegReadsIt) {
    if (!HaveTestdata()) GTEST_SKIP() << "no camera files beside the checkout";
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    const char* conversions[] = {"", "-progressive", "-arithmetic", "-arithmetic -progressive -restart 1",
                                 "-restart 1", "-progressive -restart 3B"};
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TestdataDir())) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".jpg" || name == "short_scan.jpg") continue;
        const std::vector<uint8_t> original = ReadFileBytes(entry.path().string());
        ++files;
        for (const char* options : conversions) {
            SCOPED_TRACE(name + " " + options);
            const std::vector<uint8_t> file =
                *options ? RunJpegtran(jpegtran, original, std::string("-copy none ") + options) : original;
            SplitJpeg split;
            std::string why;
            ASSERT_TRUE(SplitJpegScans(file, split, &why)) << why;
            const JpegCoefs expected = ReadCoefficients(file);
            Planes planes(split);
            const ScanResult decoded = DecodeAllScans(file, split, planes);
            ASSERT_TRUE(decoded.ok()) << "error " << static_cast<int>(decoded.error) << " in MCU row " << decoded.mcuRow;
            EXPECT_TRUE(SameCoefficients(PlanesAsCoefs(split, planes, expected), expected));
            std::vector<std::vector<uint8_t>> scans;
            ASSERT_TRUE(EncodeAllScans(split, planes, scans).ok());
            EXPECT_TRUE(SameCoefficients(ReadCoefficients(ReplaceScanData(file, split, scans)), expected));
        }
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace pivotta::test
