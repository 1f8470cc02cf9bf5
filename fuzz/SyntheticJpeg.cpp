#include "SyntheticJpeg.h"

#include <algorithm>

namespace pivotta::fuzz {

namespace {

// xorshift32: the same spec always gives the same bytes.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<uint32_t>(high - low + 1)); }

private:
    uint32_t state_;
};

int NonZero(Random& random, int magnitude) {
    const int value = random.Between(1, magnitude);
    return random.Next() & 1 ? value : -value;
}

void WriteBlock(test::ScanBitWriter& writer, const MiniComponent& component, bool flat, int& dcPred,
                Random& random) {
    const int step = flat ? 1 : 40;
    const int dc = std::clamp(dcPred + random.Between(-step, step), -1000, 1000);
    writer.Dc(component.dcTable, dc - dcPred);
    dcPred = dc;
    // Another coefficient follows most of the time in a detailed block, rarely in a flat one.
    const auto another = [&] { return flat ? random.Between(0, 15) == 0 : random.Between(0, 3) != 0; };
    int k = 1;
    while (k < 64 && another()) {
        const int run = std::min(random.Between(0, 17), 63 - k);
        if (run >= 16) {
            writer.Ac(component.acTable, 15, 0);  // sixteen zeros
            k += 16;
            continue;
        }
        writer.Ac(component.acTable, run, NonZero(random, k < 6 ? 300 : 20));
        k += run + 1;
    }
    if (k < 64) writer.Ac(component.acTable, 0, 0);  // end of block
}

}  // namespace

Bytes SyntheticScan(const SyntheticSpec& spec) {
    const bool single = spec.components.size() == 1;
    int maxH = 1, maxV = 1;
    for (const MiniComponent& c : spec.components) {
        maxH = std::max(maxH, single ? 1 : c.h);
        maxV = std::max(maxV, single ? 1 : c.v);
    }
    const int mcuCols = (spec.width + 8 * maxH - 1) / (8 * maxH);
    const int mcuRows = (spec.height + 8 * maxV - 1) / (8 * maxV);
    const int mcuCount = mcuCols * mcuRows;

    Random random(spec.seed);
    test::ScanBitWriter writer;
    std::vector<int> dcPred(spec.components.size(), 0);
    int restartNumber = 0;
    for (int mcu = 0; mcu < mcuCount; ++mcu) {
        for (size_t i = 0; i < spec.components.size(); ++i) {
            const MiniComponent& c = spec.components[i];
            const int blocks = single ? 1 : c.h * c.v;
            for (int b = 0; b < blocks; ++b) WriteBlock(writer, c, spec.flat, dcPred[i], random);
        }
        const bool last = mcu == mcuCount - 1;
        if (spec.restartInterval > 0 && !last && (mcu + 1) % spec.restartInterval == 0) {
            writer.Marker(static_cast<uint16_t>(0xFFD0 + restartNumber));
            restartNumber = (restartNumber + 1) & 7;
            std::fill(dcPred.begin(), dcPred.end(), 0);
        }
    }
    return writer.Finish();
}

Bytes SyntheticJpeg(const SyntheticSpec& spec) {
    return test::BuildJpeg(spec.width, spec.height, spec.components, SyntheticScan(spec), spec.restartInterval);
}

Bytes WithSegmentAfterSoi(const Bytes& jpeg, uint16_t marker, const Bytes& payload) {
    const Bytes segment = test::Segment(marker, payload);
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

}  // namespace pivotta::fuzz
