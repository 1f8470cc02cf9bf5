// The end of Huffman-coded data against jpegtran, the oracle that pads as the standard asks.
// Needs jpegtran, so it is not among the tests that run under wine.
#include <gtest/gtest.h>

#include <string>

#include "ExternalTools.h"
#include "JpegFixtures.h"
#include "JpegRotation.h"
#include "MiniJpeg.h"

namespace pivotta {
namespace {

using namespace test;

// The entropy-coded data with its restart markers: from the end of the scan header to EOI.
Bytes ScanData(const Bytes& jpeg) {
    const size_t start = ScanDataStart(jpeg);
    size_t end = jpeg.size() - 2;
    while (end > start && !(jpeg[end] == 0xFF && jpeg[end + 1] == 0xD9)) --end;
    return Bytes(jpeg.begin() + static_cast<long>(start), jpeg.begin() + static_cast<long>(end));
}

TEST(Encoding, ScansEndLikeJpegtransWithOneBitPadding) {
    // Pictures of whole MCUs with the standard tables: jpegtran codes the same blocks with the
    // same codes, so the bytes differ nowhere unless the padding before a marker does.
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    const FixtureSpec specs[] = {
        {.width = 64, .height = 48, .restartInterval = 1, .seed = 3},
        {.width = 48, .height = 32, .components = 1, .restartInterval = 5, .seed = 5},
        {.width = 64, .height = 32, .hSamp = 2, .vSamp = 1, .seed = 7},
    };
    for (const FixtureSpec& spec : specs) {
        const Bytes input = MakeJpeg(spec);
        const std::string restart = spec.restartInterval > 0 ? " -restart " + std::to_string(spec.restartInterval) + "B" : "";
        for (const TransformKind kind : {TransformKind::Rotate90, TransformKind::Rotate180, TransformKind::MirrorLR}) {
            SCOPED_TRACE(std::to_string(spec.seed) + " " + TransformName(kind));
            TJpegRotation engine;
            TMemoryStream output;
            ASSERT_TRUE(engine.RotateJpeg(Stream(input), output, kind));
            EXPECT_EQ(ScanData(output.Bytes()), ScanData(RunJpegtran(jpegtran, input, JpegtranTransform(kind) + restart)));
        }
    }
}

}  // namespace
}  // namespace pivotta
