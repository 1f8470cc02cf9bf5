#include "CoefficientMatchers.h"

#include <sstream>

namespace pivotta::test {
namespace {

std::string Differences(const NaturalBlock& actual, const NaturalBlock& expected) {
    std::ostringstream text;
    int shown = 0;
    for (int k = 0; k < 64 && shown < 6; ++k) {
        if (actual[k] == expected[k]) continue;
        text << " (v" << k / 8 << ",u" << k % 8 << "): " << actual[k] << " instead of " << expected[k] << ";";
        ++shown;
    }
    return text.str();
}

::testing::AssertionResult SameComponent(const ComponentCoefs& a, const ComponentCoefs& e, size_t index) {
    std::ostringstream where;
    where << "component " << index << " (id " << e.id << "): ";
    if (a.id != e.id || a.h != e.h || a.v != e.v)
        return ::testing::AssertionFailure() << where.str() << "id/sampling " << a.id << " " << a.h << "x" << a.v
                                             << " instead of " << e.id << " " << e.h << "x" << e.v;
    if (a.widthInBlocks != e.widthInBlocks || a.heightInBlocks != e.heightInBlocks)
        return ::testing::AssertionFailure() << where.str() << "block grid " << a.widthInBlocks << "x"
                                             << a.heightInBlocks << " instead of " << e.widthInBlocks << "x"
                                             << e.heightInBlocks;
    for (int k = 0; k < 64; ++k) {
        if (a.quant[k] != e.quant[k])
            return ::testing::AssertionFailure() << where.str() << "quantization table entry (v" << k / 8 << ",u"
                                                 << k % 8 << ") is " << a.quant[k] << " instead of " << e.quant[k];
    }
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < e.heightInBlocks; ++y) {
        for (int x = 0; x < e.widthInBlocks; ++x) {
            if (a.At(x, y) == e.At(x, y)) continue;
            if (differing++ == 0) firstX = x, firstY = y;
        }
    }
    if (differing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << where.str() << differing << " of " << e.blocks.size()
                                         << " blocks differ; first at block (" << firstX << "," << firstY
                                         << "):" << Differences(a.At(firstX, firstY), e.At(firstX, firstY));
}

}  // namespace

::testing::AssertionResult SameCoefficients(const JpegCoefs& actual, const JpegCoefs& expected) {
    if (actual.width != expected.width || actual.height != expected.height)
        return ::testing::AssertionFailure() << "frame " << actual.width << "x" << actual.height << " instead of "
                                             << expected.width << "x" << expected.height;
    if (actual.comps.size() != expected.comps.size())
        return ::testing::AssertionFailure() << actual.comps.size() << " components instead of "
                                             << expected.comps.size();
    for (size_t c = 0; c < expected.comps.size(); ++c) {
        ::testing::AssertionResult same = SameComponent(actual.comps[c], expected.comps[c], c);
        if (!same) return same;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace pivotta::test
