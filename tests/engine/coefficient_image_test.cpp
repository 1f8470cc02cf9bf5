// A whole coefficient image under every transform, trimmed and not, against the tests'
// independent model of where each block goes and how its coefficients change.
#include <random>

#include <gtest/gtest.h>

#include "CoefficientImage.h"
#include "CoefficientMatchers.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

struct Frame {
    const char* name;
    int width, height;
    std::vector<std::pair<int, int>> sampling;  // h, v per component
};

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

// Zig-zag position of each natural index (T.81 Figure A.6), for the model's natural order.
std::array<int, 64> ZigZagOfNatural() {
    std::array<int, 64> zigzag{};
    int k = 0;
    for (int d = 0; d < 15; ++d)
        for (int i = 0; i <= d; ++i) {
            const int row = d % 2 == 0 ? d - i : i, col = d - row;
            if (row < 8 && col < 8) zigzag[row * 8 + col] = k++;
        }
    return zigzag;
}

JpegCoefs AsCoefs(const CoefficientImage& image, int width, int height, const std::vector<int>& ids) {
    static const std::array<int, 64> zigzag = ZigZagOfNatural();
    JpegCoefs out;
    out.width = width;
    out.height = height;
    for (size_t c = 0; c < image.ComponentCount(); ++c) {
        const ComponentGrid& g = image.Grid(c);
        ComponentCoefs comp;
        comp.id = ids[c];
        comp.h = g.h;
        comp.v = g.v;
        comp.widthInBlocks = static_cast<int>(g.blocksWide);
        comp.heightInBlocks = static_cast<int>(g.blocksHigh);
        for (size_t y = 0; y < g.blocksHigh; ++y)
            for (size_t x = 0; x < g.blocksWide; ++x) {
                NaturalBlock block{};
                for (int n = 0; n < 64; ++n) block[n] = image.Planes()[c].At(x, y)[zigzag[n]];
                comp.blocks.push_back(block);
            }
        out.comps.push_back(comp);
    }
    return out;
}

const Frame kFrames[] = {
    {"Gray2x2Ragged", 37, 21, {{2, 2}}},
    {"Ycc420Ragged", 61, 45, {{2, 2}, {1, 1}, {1, 1}}},
    {"Ycc422Whole", 64, 32, {{2, 1}, {1, 1}, {1, 1}}},
    {"Cmyk440Ragged", 30, 50, {{1, 2}, {1, 1}, {1, 1}, {1, 2}}},
};

class CoefficientImageTest : public ::testing::TestWithParam<Frame> {};

TEST_P(CoefficientImageTest, EveryKindMovesAndFlipsBlocksAsTheModelSays) {
    const Frame& f = GetParam();
    const bool blockMcu = f.sampling.size() == 1;
    int maxH = 1, maxV = 1;
    for (auto [h, v] : f.sampling) maxH = std::max(maxH, h), maxV = std::max(maxV, v);
    const int mcuW = blockMcu ? 8 : 8 * maxH, mcuH = blockMcu ? 8 : 8 * maxV;
    std::vector<ComponentGrid> grids;
    std::vector<int> ids;
    for (auto [h, v] : f.sampling) {
        const int gh = blockMcu ? 1 : h, gv = blockMcu ? 1 : v;
        grids.push_back({h, v, static_cast<size_t>(CeilDiv(f.width, mcuW) * gh),
                         static_cast<size_t>(CeilDiv(f.height, mcuH) * gv)});
        ids.push_back(static_cast<int>(ids.size()) + 1);
    }
    for (TransformKind kind : kAllTransformKinds) {
        for (bool trim : {false, true}) {
            SCOPED_TRACE(std::string(TransformName(kind)) + (trim ? " trimmed" : ""));
            CoefficientImage image;
            ASSERT_TRUE(image.Allocate(grids));
            std::mt19937 rng(7);
            for (size_t c = 0; c < grids.size(); ++c)
                for (size_t i = 0; i < grids[c].blocksWide * grids[c].blocksHigh; ++i)
                    for (int16_t& v : image.Planes()[c].blocks[i]) v = static_cast<int16_t>(rng() % 201) - 100;
            const JpegCoefs expected = ExpectedTransform(AsCoefs(image, f.width, f.height, ids), kind, trim);

            const bool dropCol = trim && TrimsRightEdge(kind) && f.width % mcuW != 0 && f.width > mcuW;
            const bool dropRow = trim && TrimsBottomEdge(kind) && f.height % mcuH != 0 && f.height > mcuH;
            std::vector<size_t> dropCols, dropRows;
            for (auto [h, v] : f.sampling) {
                dropCols.push_back(dropCol ? (blockMcu ? 1 : h) : 0);
                dropRows.push_back(dropRow ? (blockMcu ? 1 : v) : 0);
            }
            CoefficientImage turned;
            ASSERT_TRUE(std::move(image).Transform(kind, dropCols, dropRows, turned));
            JpegCoefs actual = AsCoefs(turned, expected.width, expected.height, ids);
            for (size_t c = 0; c < actual.comps.size(); ++c) actual.comps[c].quant = expected.comps[c].quant;
            EXPECT_TRUE(SameCoefficients(actual, expected));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Frames, CoefficientImageTest, ::testing::ValuesIn(kFrames),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CoefficientImage, AFrameTooLargeToAddressIsRefused) {
    CoefficientImage image;
    EXPECT_FALSE(image.Allocate({{1, 1, size_t{1} << 40, size_t{1} << 40}}));
}

}  // namespace
}  // namespace pivotta::test
