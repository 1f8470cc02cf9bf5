#include "TwelveBitScans.h"

#include <algorithm>
#include <random>

namespace pivotta::test {

SplitJpeg TwelveBitFrame(int w, int h, bool progressive, std::vector<SplitJpeg::Component> components) {
    SplitJpeg frame;
    frame.width = w;
    frame.height = h;
    frame.precision = 12;
    frame.progressive = progressive;
    frame.components = std::move(components);
    for (const auto& c : frame.components) {
        frame.maxH = std::max(frame.maxH, c.h);
        frame.maxV = std::max(frame.maxV, c.v);
    }
    frame.mcuCols = (w + 8 * frame.maxH - 1) / (8 * frame.maxH);
    frame.mcuRows = (h + 8 * frame.maxV - 1) / (8 * frame.maxV);
    return frame;
}

Planes RandomTwelveBitPlanes(const SplitJpeg& frame, uint32_t seed) {
    Planes planes(frame);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> wide(-16383, 16383), small(-3, 3), pick(0, 99);
    for (auto& plane : planes.blocks) {
        for (CoefBlock& block : plane) {
            block[0] = static_cast<int16_t>(pick(rng) < 30 ? wide(rng) : small(rng) * 100);
            for (int k = 1; k < 64; ++k) {
                const int p = pick(rng);
                block[k] = static_cast<int16_t>(p < 3 ? wide(rng) : p < 25 ? small(rng) : 0);
            }
        }
    }
    return planes;
}

ScanLayout TwelveBitLayout(const SplitJpeg& frame, std::vector<int> comps, int Ss, int Se, int Ah, int Al,
                           int restart) {
    ScanLayout s;
    s.componentCount = static_cast<int>(comps.size());
    for (size_t i = 0; i < comps.size(); ++i) {
        const auto& c = frame.components[comps[i]];
        ScanComponent& sc = s.components[i];
        sc.plane = comps[i];
        sc.h = c.h;
        sc.v = c.v;
        sc.blocksWide = ((frame.width * c.h + frame.maxH - 1) / frame.maxH + 7) / 8;
        sc.blocksHigh = ((frame.height * c.v + frame.maxV - 1) / frame.maxV + 7) / 8;
    }
    s.mcuCols = frame.mcuCols;
    s.mcuRows = frame.mcuRows;
    s.progressive = frame.progressive;
    s.precision = 12;
    s.Ss = Ss, s.Se = Se, s.Ah = Ah, s.Al = Al;
    s.restartInterval = restart;
    return s;
}

}  // namespace pivotta::test
