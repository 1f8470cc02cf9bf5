// The whole engine on an arbitrary file: CheckJpeg, then RotateJpeg for every kind with the
// trimming and thumbnail options off and on, the way the programs call it.
//
// Beyond "no crash", every run must keep the engine's promises: a failure is reported at
// level 2 and leaves the output empty; a success reports no error, leaves the
// position at 0, and produces a stream that the engine itself accepts and can re-encode.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "JpegRotation.h"

namespace {

using pivotta::TJpegRotation;
using pivotta::TMemoryStream;
using pivotta::TransformKind;

struct HookRecord {
    int errors = 0;
    int progressMax = -1;
    bool progressOutOfRange = false;

    void Attach(TJpegRotation& engine) {
        engine.OnMessage = [this](const std::string&, int level) {
            if (level != 1 && level != 2) Fail("message level other than 1 or 2");
            errors += level == 2;
        };
        engine.OnProgressMax = [this](int max) { progressMax = max; };
        engine.OnProgress = [this](int position) {
            if (position < 0 || position >= progressMax) progressOutOfRange = true;
        };
        engine.OnDHTWarning = [] {};
    }

    [[noreturn]] static void Fail(const char* what) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
};

void Require(bool condition, const char* what) {
    if (!condition) HookRecord::Fail(what);
}

// A successful result must itself be a stream the engine accepts and decodes.
void CheckResult(const TMemoryStream& output) {
    const std::vector<uint8_t>& bytes = output.Bytes();
    Require(output.Position() == 0, "success leaves the output position at 0");
    Require(bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 0xD8, "result starts with SOI");
    TJpegRotation again;
    HookRecord hooks;
    hooks.Attach(again);
    Require(again.CheckJpeg(output), "result passes CheckJpeg");
    TMemoryStream copy;
    Require(again.RotateJpeg(output, copy, TransformKind::NoRotation), "result re-encodes");
    Require(hooks.errors == 0, "result re-encodes without errors");
}

void RotateAll(TJpegRotation& engine, HookRecord& hooks, const TMemoryStream& input, bool verify) {
    for (TransformKind kind : pivotta::kAllTransformKinds) {
        TMemoryStream output;
        hooks.errors = 0;
        hooks.progressMax = -1;
        hooks.progressOutOfRange = false;
        const bool ok = engine.RotateJpeg(input, output, kind);
        if (!ok) {
            Require(hooks.errors > 0, "failure reported at level 2");
            Require(output.Size() == 0, "failure leaves no partial output");
            continue;
        }
        Require(hooks.errors == 0, "success reports no error");
        Require(!hooks.progressOutOfRange, "progress positions stay below the maximum");
        if (verify) CheckResult(output);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static constexpr uint8_t kApp1[] = {0xFF, 0xE1};
    const TMemoryStream input(std::vector<uint8_t>(data, data + size));
    TJpegRotation engine;  // one engine for every run, as the desktop program keeps one
    HookRecord hooks;
    hooks.Attach(engine);
    // The thumbnail option only matters for a file with an APP1 segment.
    const bool maybeExif = std::search(data, data + size, std::begin(kApp1), std::end(kApp1)) != data + size;
    for (int options = 0; options < (maybeExif ? 4 : 2); ++options) {
        engine.AllowAdjustMCU = (options & 1) != 0;
        engine.AllowBreakDCF = (options & 2) != 0;
        hooks.errors = 0;
        if (!engine.CheckJpeg(input)) {
            Require(hooks.errors > 0, "refusal reported at level 2");
            // Out of contract, but it must not crash either: a transform without a passed check.
            TMemoryStream output;
            hooks.errors = 0;
            if (!engine.RotateJpeg(input, output, TransformKind::Rotate90)) Require(hooks.errors > 0, "failure reported");
            return 0;
        }
        RotateAll(engine, hooks, input, options != 2);
    }
    return 0;
}
