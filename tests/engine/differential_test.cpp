// The fast engine against the plain reference in reference/: for every file the engine
// accepts, both must write the same bytes and make the same hook calls, in the same order.
// The Exif segment is left out of the byte comparison, because the reference copies it
// unchanged while the engine rewrites it.
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "EngineHarness.h"
#include "JpegFixtures.h"
#include "TranscodedSegments.h"
#include "reference/ReferenceHuffman.h"
#include "reference/ReferenceRotator.h"

namespace pivotta::test {
namespace {

constexpr auto& kAllKinds = pivotta::kAllTransformKinds;

struct Run {
    bool ok = false;
    std::vector<uint8_t> bytes;
    std::vector<HookCall> calls;
};

// threads: the engine's MaxThreads (0: as many as the machine has).
Run RunEngine(const std::vector<uint8_t>& jpeg, TransformKind kind, bool trim, unsigned threads) {
    EngineHarness harness(trim);
    harness.Engine().MaxThreads = threads;
    Run run;
    run.ok = harness.Check(jpeg) && harness.Rotate(jpeg, kind);
    run.bytes = harness.Output();
    run.calls = harness.Calls();
    return run;
}

Run RunReference(const std::vector<uint8_t>& jpeg, TransformKind kind, bool trim) {
    Run run;
    reference::RefRotator rotator;
    rotator.AllowAdjustMCU = trim;
    rotator.OnMessage = [&](const std::string& text, int level) {
        run.calls.push_back({HookCall::Hook::Message, text, level});
    };
    rotator.OnDHTWarning = [&] { run.calls.push_back({HookCall::Hook::DHTWarning, {}, 0}); };
    rotator.OnProgressMax = [&](int maximum) { run.calls.push_back({HookCall::Hook::ProgressMax, {}, maximum}); };
    rotator.OnProgress = [&](int position) { run.calls.push_back({HookCall::Hook::Progress, {}, position}); };
    run.ok = rotator.CheckJpeg(jpeg) && rotator.RotateJpeg(jpeg, run.bytes, kind);
    return run;
}

uint16_t LoadBE16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

// The stream with its APP1 segments cut out; the segments before the scan header are
// walked by their length fields, everything from the scan header on stays.
std::vector<uint8_t> WithoutApp1(const std::vector<uint8_t>& jpeg) {
    if (jpeg.size() < 2) return jpeg;
    std::vector<uint8_t> kept(jpeg.begin(), jpeg.begin() + 2);
    size_t pos = 2;
    while (pos + 4 <= jpeg.size()) {
        const uint16_t marker = LoadBE16(jpeg, pos);
        const size_t end = pos + 2 + LoadBE16(jpeg, pos + 2);
        if (marker == 0xFFDA || end > jpeg.size()) break;
        if (marker != 0xFFE1) kept.insert(kept.end(), jpeg.begin() + pos, jpeg.begin() + end);
        pos = end;
    }
    kept.insert(kept.end(), jpeg.begin() + pos, jpeg.end());
    return kept;
}

std::string CallText(const HookCall& call) {
    switch (call.hook) {
    case HookCall::Hook::Message: return "OnMessage(" + call.text + ", " + std::to_string(call.value) + ")";
    case HookCall::Hook::DHTWarning: return "OnDHTWarning()";
    case HookCall::Hook::ProgressMax: return "OnProgressMax(" + std::to_string(call.value) + ")";
    case HookCall::Hook::Progress: return "OnProgress(" + std::to_string(call.value) + ")";
    }
    return "?";
}

// Reports the first place where two sequences part, rather than two dumps of thousands of items.
template <typename T, typename Show>
testing::AssertionResult SameSequence(const std::vector<T>& engine, const std::vector<T>& reference, Show show) {
    const size_t common = std::min(engine.size(), reference.size());
    size_t i = 0;
    while (i < common && show(engine[i]) == show(reference[i])) ++i;
    if (i == common && engine.size() == reference.size()) return testing::AssertionSuccess();
    auto at = [&](const std::vector<T>& items) { return i < items.size() ? show(items[i]) : std::string("(end)"); };
    return testing::AssertionFailure() << "first difference at item " << i << " of " << engine.size()
                                       << " (engine) and " << reference.size() << " (reference): engine "
                                       << at(engine) << ", reference " << at(reference);
}

std::string ByteText(uint8_t b) {
    static const char* digits = "0123456789ABCDEF";
    return std::string{digits[b >> 4], digits[b & 15]};
}

void ExpectSameAsReference(const std::vector<uint8_t>& jpeg, TransformKind kind, bool trim, unsigned threads = 0) {
    SCOPED_TRACE("kind " + std::to_string(static_cast<int>(kind)) + (trim ? ", trim on" : ", trim off") +
                 ", threads " + std::to_string(threads));
    const Run engine = RunEngine(jpeg, kind, trim, threads);
    const Run reference = RunReference(jpeg, kind, trim);
    ASSERT_TRUE(engine.ok) << "the engine refused a file it should transform";
    ASSERT_TRUE(reference.ok) << "the reference failed where the engine succeeded";
    EXPECT_TRUE(SameSequence(WithoutApp1(engine.bytes), WithoutApp1(reference.bytes), ByteText)) << "output bytes";
    EXPECT_TRUE(SameSequence(engine.calls, reference.calls, CallText)) << "hook calls";
}

void ExpectEveryKindSameAsReference(const std::vector<uint8_t>& jpeg, unsigned threads = 0) {
    ASSERT_FALSE(jpeg.empty());
    for (const TransformKind kind : kAllKinds) {
        for (const bool trim : {false, true}) ExpectSameAsReference(jpeg, kind, trim, threads);
    }
}

// ---------------------------------------------------------------- Generated pictures

struct Sampling {
    const char* name;
    int components, h, v;
    bool rgbIds;
};

constexpr Sampling kSamplings[] = {
    {"s444", 3, 1, 1, false}, {"s422", 3, 2, 1, false}, {"s440", 3, 1, 2, false}, {"s420", 3, 2, 2, false},
    {"s411", 3, 4, 1, false}, {"gray", 1, 1, 1, false},
    // A grayscale frame that claims 2x2 still has one block per MCU.
    {"gray22", 1, 2, 2, false},
    // Identifiers 82, 71, 66: slots follow the frame order, not the identifier values.
    {"rgb", 3, 1, 1, true},
};

using PictureParam = std::tuple<Sampling, bool /*ragged*/, int /*restart interval*/, bool /*optimized*/>;

class DifferentialPicture : public testing::TestWithParam<PictureParam> {};

TEST_P(DifferentialPicture, EveryKindMatchesTheReference) {
    const auto& [sampling, ragged, restart, optimized] = GetParam();
    FixtureSpec spec;
    // Whole: a number of MCUs in both directions for every sampling here (MCUs up to 32 x 16).
    spec.width = ragged ? 101 : 96;
    spec.height = ragged ? 59 : 64;
    spec.components = sampling.components;
    spec.hSamp = sampling.h;
    spec.vSamp = sampling.v;
    spec.rgbIds = sampling.rgbIds;
    spec.restartInterval = restart;
    spec.optimizeHuffman = optimized;
    spec.seed = static_cast<uint32_t>(sampling.h * 7 + sampling.v * 3 + restart + (ragged ? 11 : 0));
    ExpectEveryKindSameAsReference(MakeJpeg(spec));
}

std::string PictureName(const testing::TestParamInfo<PictureParam>& info) {
    const auto& [sampling, ragged, restart, optimized] = info.param;
    return std::string(sampling.name) + (ragged ? "_ragged" : "_whole") + "_rst" + std::to_string(restart) +
           (optimized ? "_optimized" : "_standard");
}

INSTANTIATE_TEST_SUITE_P(Pictures, DifferentialPicture,
                         testing::Combine(testing::ValuesIn(kSamplings), testing::Bool(), testing::Values(0, 1, 3),
                                          testing::Bool()),
                         PictureName);

// Pictures of a few thousand MCUs, large enough for the engine to split decoding (at restart
// markers) and encoding between two threads; the joins must not show in the output.
struct LargePicture {
    const char* name;
    FixtureSpec spec;
};

const LargePicture kLargePictures[] = {
    {"s420_whole", {.width = 768, .height = 704, .hSamp = 2, .vSamp = 2, .seed = 5}},
    {"s420_ragged_rst7", {.width = 760, .height = 700, .hSamp = 2, .vSamp = 2, .restartInterval = 7, .seed = 6}},
    {"s422_ragged_rst48", {.width = 761, .height = 350, .hSamp = 2, .vSamp = 1, .restartInterval = 48, .seed = 7}},
    {"gray_rst5_optimized",
     {.width = 384, .height = 352, .components = 1, .hSamp = 1, .vSamp = 1, .restartInterval = 5,
      .optimizeHuffman = true, .seed = 8}},
};

class DifferentialLargePicture : public testing::TestWithParam<LargePicture> {};

TEST_P(DifferentialLargePicture, TwoThreadsMatchTheReference) {
    ExpectEveryKindSameAsReference(MakeJpeg(GetParam().spec), 2);
}

INSTANTIATE_TEST_SUITE_P(Pictures, DifferentialLargePicture, testing::ValuesIn(kLargePictures),
                         [](const testing::TestParamInfo<LargePicture>& info) { return info.param.name; });

// Adds what camera files may carry and libjpeg's do not: APP2 and COM segments, a fill byte
// (0xFF) before every marker after the scan header, and bytes after the end of the image.
std::vector<uint8_t> Decorate(const std::vector<uint8_t>& jpeg) {
    size_t scan = 2;
    while (scan + 4 <= jpeg.size() && LoadBE16(jpeg, scan) != 0xFFDA) scan += 2 + LoadBE16(jpeg, scan + 2);
    if (scan + 4 > jpeg.size()) return {};
    scan += 2 + LoadBE16(jpeg, scan + 2);

    std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE2, 0x00, 0x06, 'I', 'C', 'C', 0x00,
                                0xFF, 0xFE, 0x00, 0x07, 'n', 'o', 't', 'e', 0x00};
    out.insert(out.end(), jpeg.begin() + 2, jpeg.begin() + static_cast<long>(scan));
    for (size_t i = scan; i < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && i + 1 < jpeg.size() && jpeg[i + 1] != 0x00) out.push_back(0xFF);
        out.push_back(jpeg[i]);
    }
    for (const char c : std::string("tail")) out.push_back(static_cast<uint8_t>(c));
    return out;
}

TEST(Differential, FillBytesSegmentsAndTrailingBytes) {
    ExpectEveryKindSameAsReference(
        Decorate(MakeJpeg({.width = 75, .height = 50, .hSamp = 2, .vSamp = 1, .restartInterval = 2})));
}

// A restart interval of 0 turns restarts on without any ever falling due.
TEST(Differential, RestartIntervalOfZero) {
    std::vector<uint8_t> jpeg = MakeJpeg({.width = 48, .height = 40, .hSamp = 2, .vSamp = 2});
    ASSERT_FALSE(jpeg.empty());
    const uint8_t dri[] = {0xFF, 0xDD, 0x00, 0x04, 0x00, 0x00};
    jpeg.insert(jpeg.begin() + 2, std::begin(dri), std::end(dri));
    ExpectEveryKindSameAsReference(jpeg);
}

// A picture smaller than one MCU in both directions, where trimming has nothing to keep.
TEST(Differential, PictureSmallerThanOneMcu) {
    ExpectEveryKindSameAsReference(MakeJpeg({.width = 13, .height = 9, .hSamp = 2, .vSamp = 2}));
}

// The reference's standard tables were typed independently of the engine's; libjpeg writes
// the same Annex K tables into every file it does not optimize.
TEST(Differential, ReferenceStandardTablesAreLibjpegs) {
    FixtureSpec spec;
    spec.optimizeHuffman = false;
    const std::vector<uint8_t> jpeg = MakeJpeg(spec);
    ASSERT_FALSE(jpeg.empty());
    int tablesSeen = 0;
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && LoadBE16(jpeg, pos) != 0xFFDA) {
        const size_t end = pos + 2 + LoadBE16(jpeg, pos + 2);
        ASSERT_LE(end, jpeg.size());
        for (size_t at = pos + 4; LoadBE16(jpeg, pos) == 0xFFC4 && at < end;) {
            const int tableClass = jpeg[at] >> 4, id = jpeg[at] & 15;
            const std::vector<uint8_t> standard = reference::RefHuffTables::StandardTable(tableClass, id);
            ASSERT_LE(at + 1 + standard.size(), end);
            EXPECT_TRUE(std::equal(standard.begin(), standard.end(), jpeg.begin() + static_cast<long>(at) + 1))
                << "class " << tableClass << ", identifier " << id;
            at += 1 + standard.size();
            ++tablesSeen;
        }
        pos = end;
    }
    EXPECT_EQ(tablesSeen, 4);
}

// ---------------------------------------------------------------- Real camera files

TEST(Differential, CameraFilesMatchTheReference) {
    if (!HaveTestdata()) GTEST_SKIP() << "no camera files beside the checkout";
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(TestdataDir())) {
        if (entry.path().extension() == ".jpg") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    int compared = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        const std::vector<uint8_t> jpeg = ReadFileBytes(path.string());
        // Files the reference cannot take (progressive, cut short) are other tests' business.
        if (NeedsScanTranscoder(jpeg)) continue;
        EngineHarness probe;
        if (!probe.Check(jpeg) || !probe.Rotate(jpeg, TransformKind::NoRotation)) continue;
        // Trimming only matters for a ragged size, which CheckJpeg reports at level 1.
        const bool ragged = !probe.Messages(1).empty();
        for (const TransformKind kind : kAllKinds) {
            ExpectSameAsReference(jpeg, kind, false);
            if (ragged) ExpectSameAsReference(jpeg, kind, true);
        }
        ++compared;
    }
    EXPECT_GT(compared, 0) << "no camera file was accepted by the engine";
}

}  // namespace
}  // namespace pivotta::test
