// One thread against 2, 3, 4 or 8 on pictures large enough for every thread to join (1024 MCUs
// each): a valid picture with or without restart intervals, damaged in its scan by the input.
// The workers then decode from restart markers or, without them, from evenly spaced bytes
// wherever those fall; whatever they meet, the result, the output bytes, the messages and the
// progress calls must be exactly those of one thread.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "JpegRotation.h"
#include "SyntheticJpeg.h"

namespace {

using namespace pivotta;

struct Run {
    bool ok = false;
    std::vector<uint8_t> bytes;
    std::vector<std::pair<std::string, int>> messages;
    std::vector<int> progress;
};

Run Transform(const fuzz::Bytes& jpeg, TransformKind kind, bool trim, unsigned threads) {
    Run run;
    TJpegRotation engine;
    engine.MaxThreads = threads;
    engine.AllowAdjustMCU = trim;
    engine.OnMessage = [&run](const std::string& text, int level) { run.messages.emplace_back(text, level); };
    engine.OnProgress = [&run](int position) { run.progress.push_back(position); };
    const TMemoryStream input(jpeg);
    TMemoryStream output;
    run.ok = engine.CheckJpeg(input) && engine.RotateJpeg(input, output, kind);
    run.bytes = output.Bytes();
    return run;
}

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "several threads differ from one: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    fuzz::SyntheticSpec spec;
    constexpr unsigned kThreadCounts[] = {2, 3, 4, 8};
    const unsigned threads = kThreadCounts[input.ConsumeIntegralInRange(0, 3)];
    const int layout = input.ConsumeIntegralInRange(0, 3);
    spec.components = layout == 0 ? test::Gray() : test::Ycc(layout == 3 ? 2 : layout, layout == 3 ? 2 : 1);
    const int mcuWidth = layout >= 2 ? 16 : 8, mcuHeight = layout == 3 ? 16 : 8;
    const int cols = input.ConsumeIntegralInRange(24, 80);
    const int rows = (1024 * static_cast<int>(threads) + cols - 1) / cols + input.ConsumeIntegralInRange(0, 6);
    spec.width = cols * mcuWidth - input.ConsumeIntegralInRange(0, mcuWidth - 1);
    spec.height = rows * mcuHeight - input.ConsumeIntegralInRange(0, mcuHeight - 1);
    const int interval = input.ConsumeIntegralInRange(-8, 100);  // mostly none
    spec.restartInterval = interval > 0 ? interval : -1;
    spec.flat = input.ConsumeBool();
    spec.seed = input.ConsumeIntegral<uint32_t>();
    fuzz::Bytes jpeg = fuzz::SyntheticJpeg(spec);

    // Damage inside the scan: bytes overwritten, inserted or removed.
    const size_t scanStart = test::ScanDataStart(jpeg);
    if (scanStart == 0) return 0;
    for (int edits = input.ConsumeIntegralInRange(0, 6); edits > 0 && jpeg.size() > scanStart + 2; --edits) {
        const size_t at = scanStart + input.ConsumeIntegralInRange<size_t>(0, jpeg.size() - scanStart - 3);
        const uint8_t value = input.ConsumeIntegral<uint8_t>();
        switch (input.ConsumeIntegralInRange(0, 2)) {
            case 0: jpeg[at] = value; break;
            case 1: jpeg.insert(jpeg.begin() + static_cast<long>(at), value); break;
            default: jpeg.erase(jpeg.begin() + static_cast<long>(at)); break;
        }
    }

    const auto kind = pivotta::kAllTransformKinds[input.ConsumeIntegralInRange(0, pivotta::kTransformKindCount - 1)];
    const bool trim = input.ConsumeBool();
    const Run one = Transform(jpeg, kind, trim, 1);
    const Run many = Transform(jpeg, kind, trim, threads);
    Require(one.ok == many.ok, "success");
    Require(one.bytes == many.bytes, "output bytes");
    Require(one.messages == many.messages, "messages");
    Require(one.progress == many.progress, "progress calls");
    return 0;
}
