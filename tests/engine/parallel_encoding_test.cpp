// Worker threads decode and encode parts of the scan; every observable result must be that of
// one thread, for any number of them. A thread joins per 1024 MCUs, so the pictures here are
// large enough for all of them.
#include <gtest/gtest.h>

#include "JpegFixtures.h"
#include "JpegRotation.h"
#include "MiniJpeg.h"

namespace pivotta {
namespace {

struct Outcome {
    bool ok;
    test::Bytes bytes;
    test::HookLog log;
};

Outcome Transform(const test::Bytes& jpeg, TransformKind kind, bool trim, unsigned threads,
                  const ThreadStarter& starter = {}) {
    Outcome o;
    TJpegRotation engine;
    engine.MaxThreads = threads;
    engine.StartThread = starter;
    engine.AllowAdjustMCU = trim;
    o.log.Attach(engine);
    const TMemoryStream input(jpeg);
    TMemoryStream output;
    o.ok = engine.CheckJpeg(input) && engine.RotateJpeg(input, output, kind);
    o.bytes = output.Bytes();
    return o;
}

constexpr unsigned kThreadCounts[] = {2, 3, 4, 8};

// Transforms with one thread and with each count of kThreadCounts and expects every observable
// result alike; returns whether the one-thread run succeeded.
bool ExpectSameAsOneThread(const test::Bytes& jpeg, TransformKind kind, bool trim, const std::string& name) {
    const Outcome one = Transform(jpeg, kind, trim, 1);
    for (unsigned threads : kThreadCounts) {
        const Outcome many = Transform(jpeg, kind, trim, threads);
        const std::string context = name + ", " + std::to_string(threads) + " threads";
        EXPECT_EQ(one.ok, many.ok) << context;
        EXPECT_EQ(one.bytes, many.bytes) << context;
        EXPECT_EQ(one.log.progress, many.log.progress) << context;
        EXPECT_EQ(one.log.messages, many.log.messages) << context;
    }
    return one.ok;
}

class ParallelEncoding : public ::testing::TestWithParam<int> {};

TEST_P(ParallelEncoding, SameBytesHooksAndMessagesAsOneThread) {
    // Ragged, with intervals that do and do not divide the rows.
    pivotta::test::FixtureSpec spec;
    spec.width = 1500;
    spec.height = 1400;
    spec.hSamp = 2;
    spec.vSamp = 2;
    spec.restartInterval = GetParam();
    spec.seed = 11;
    const test::Bytes jpeg = pivotta::test::MakeJpeg(spec);
    for (TransformKind kind : kAllTransformKinds) {
        for (bool trim : {false, true}) {
            EXPECT_TRUE(ExpectSameAsOneThread(jpeg, kind, trim, std::string(Facts(kind).name) + " trim " + std::to_string(trim)));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Intervals, ParallelEncoding, ::testing::Values(0, 1, 7, 63, 64));

// A system out of threads refuses to start one; the engine then goes on with the threads it
// has and the same bytes. With two threads refused are the first start (the decoding worker),
// the second (the encoding worker after a decode that did get one), or every one; with four,
// the second start too (the decode then has one worker of three).
TEST(ThreadStartFailure, OneThreadGivesTheSameResult) {
    struct Refusal {
        const char* name;
        int refuseFrom, refuseTo;  // the starts, counted from 0, that throw
    };
    const Refusal refusals[] = {{"every start", 0, 1000}, {"the first start", 0, 1}, {"the second start", 1, 2}};
    for (int interval : {0, 5}) {
        pivotta::test::FixtureSpec spec;
        spec.width = 1000;
        spec.height = 760;
        spec.restartInterval = interval;
        spec.seed = 5;
        const test::Bytes jpeg = pivotta::test::MakeJpeg(spec);
        for (TransformKind kind : {TransformKind::Rotate90, TransformKind::MirrorLR}) {
            const Outcome one = Transform(jpeg, kind, false, 1);
            ASSERT_TRUE(one.ok);
            for (const auto& trial : {std::pair{refusals[0], 2u}, std::pair{refusals[1], 2u},
                                      std::pair{refusals[2], 2u}, std::pair{refusals[2], 4u}}) {
                const Refusal& refusal = trial.first;
                const unsigned threads = trial.second;
                SCOPED_TRACE(std::string(refusal.name) + ", restart interval " + std::to_string(interval) + ", " +
                             std::to_string(threads) + " threads");
                int starts = 0;
                const ThreadStarter refusing = [&](std::function<void()> work) {
                    const int n = starts++;
                    if (n >= refusal.refuseFrom && n < refusal.refuseTo) {
                        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
                    }
                    return std::jthread(std::move(work));
                };
                const Outcome refused = Transform(jpeg, kind, false, threads, refusing);
                EXPECT_TRUE(refused.ok);
                EXPECT_EQ(refused.bytes, one.bytes);
                EXPECT_EQ(refused.log.progress, one.log.progress);
                EXPECT_EQ(refused.log.messages, one.log.messages);
                EXPECT_GE(starts, 2) << "both the decode and the encode asked for a thread";
            }
        }
    }
}

TEST(ParallelEncodingFailure, AFailureInEitherHalfEndsLikeOneThread) {
    // Vertically adjacent blocks with DC 1500 and -1000 become horizontal neighbours after a
    // quarter turn: a difference of 2500, whose category the standard DC table lacks. In
    // column 0 the pair lands in one half of the output, in the last column in the other.
    for (int column : {0, 63}) {
        const int cols = 64, rows = 64;  // gray 512x512: 4096 one-block MCUs
        std::vector<int> dc(cols * rows, 0);
        dc[10 * cols + column] = 1500;
        dc[11 * cols + column] = -1000;
        test::ScanBitWriter w;
        int previous = 0;
        for (int value : dc) {
            w.Dc(0, value - previous), w.Ac(0, 0, 0);
            previous = value;
        }
        const test::Bytes jpeg = test::BuildJpeg(512, 512, test::Gray(), w.Finish());
        for (TransformKind kind : {TransformKind::Rotate90, TransformKind::Rotate270}) {
            EXPECT_FALSE(ExpectSameAsOneThread(jpeg, kind, false, "column " + std::to_string(column)));
        }
    }
}

}  // namespace
}  // namespace pivotta

namespace pivotta {
namespace {

// Positions of the restart markers in a scan.
std::vector<size_t> RestartMarkers(const test::Bytes& jpeg) {
    std::vector<size_t> found;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] & 0xF8) == 0xD0) found.push_back(i);
    }
    return found;
}

TEST(ParallelDecoding, DamageAnywhereEndsExactlyAsWithOneThread) {
    pivotta::test::FixtureSpec spec;
    spec.width = 1024;
    spec.height = 1024;
    spec.hSamp = 2;
    spec.vSamp = 1;
    spec.restartInterval = 8;
    spec.seed = 5;
    const test::Bytes good = pivotta::test::MakeJpeg(spec);
    const std::vector<size_t> markers = RestartMarkers(good);
    ASSERT_GT(markers.size(), 100u);
    const size_t early = markers[markers.size() / 4], late = markers[3 * markers.size() / 4];

    std::vector<std::pair<std::string, test::Bytes>> cases;
    cases.emplace_back("intact", good);
    for (size_t at : {early, late}) {
        const std::string where = at == early ? " in the first half" : " in the second half";
        test::Bytes renumbered = good;
        renumbered[at + 1] = static_cast<uint8_t>(0xD0 | ((renumbered[at + 1] + 3) & 7));
        cases.emplace_back("wrong marker number" + where, renumbered);
        test::Bytes missing = good;
        missing.erase(missing.begin() + static_cast<long>(at), missing.begin() + static_cast<long>(at) + 2);
        cases.emplace_back("missing marker" + where, missing);
        test::Bytes filled = good;
        filled.insert(filled.begin() + static_cast<long>(at), 0xFF);
        cases.emplace_back("fill byte" + where, filled);
        test::Bytes garbage = good;
        for (size_t i = at + 10; i < at + 40; ++i) garbage[i] = static_cast<uint8_t>(i * 37);
        cases.emplace_back("garbage" + where, garbage);
        test::Bytes marker = good;
        marker[at + 20] = 0xFF, marker[at + 21] = 0xD9;
        cases.emplace_back("marker inside data" + where, marker);
        test::Bytes cut(good.begin(), good.begin() + static_cast<long>(at) + 30);
        cases.emplace_back("cut short" + where, cut);
    }
    for (const auto& [name, jpeg] : cases) {
        for (TransformKind kind : {TransformKind::Rotate90, TransformKind::MirrorLR}) {
            const bool ok = ExpectSameAsOneThread(jpeg, kind, false, name);
            if (name == "intact" || name.starts_with("fill byte")) {
                EXPECT_TRUE(ok) << name;
            }
        }
    }
}

}  // namespace
}  // namespace pivotta

namespace pivotta {
namespace {

// Without restart markers workers decode speculatively from evenly spaced bytes; nothing they
// do may show, whatever the data holds there.
TEST(SpeculativeDecoding, DamageAnywhereEndsExactlyAsWithOneThread) {
    pivotta::test::FixtureSpec spec;
    spec.width = 2048;
    spec.height = 1024;
    spec.hSamp = 2;
    spec.vSamp = 2;
    spec.seed = 9;
    const test::Bytes good = pivotta::test::MakeJpeg(spec);
    const size_t scanStart = test::ScanDataStart(good);
    ASSERT_GT(scanStart, 0u);
    const size_t scanBytes = good.size() - 2 - scanStart;

    std::vector<std::pair<std::string, test::Bytes>> cases;
    cases.emplace_back("intact", good);
    // Around the middle, where the second of two workers starts, around where the second of
    // eight does, and well before and after.
    for (double fraction : {0.25, 0.3, 0.499, 0.5, 0.501, 0.7, 0.98}) {
        const size_t at = scanStart + static_cast<size_t>(fraction * static_cast<double>(scanBytes));
        const std::string where = " at " + std::to_string(fraction);
        test::Bytes flipped = good;
        flipped[at] ^= 0x5A;
        if (flipped[at] == 0xFF) flipped[at] = 0xFE;
        cases.emplace_back("flipped byte" + where, flipped);
        test::Bytes removed = good;
        removed.erase(removed.begin() + static_cast<long>(at));
        cases.emplace_back("byte removed" + where, removed);
        test::Bytes garbage = good;
        for (size_t i = at; i < at + 40 && i + 2 < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 % 255);
        cases.emplace_back("garbage" + where, garbage);
        test::Bytes ones = good;  // a stretch where no code is valid: every worker start is bad
        for (size_t i = at; i < at + 64 && i + 2 < ones.size(); i += 2) ones[i] = 0xFF, ones[i + 1] = 0x00;
        cases.emplace_back("stuffed ones" + where, ones);
        test::Bytes marker = good;
        marker[at] = 0xFF, marker[at + 1] = 0xD4;
        cases.emplace_back("marker inside data" + where, marker);
        test::Bytes cut(good.begin(), good.begin() + static_cast<long>(at));
        cases.emplace_back("cut short" + where, cut);
    }
    for (const auto& [name, jpeg] : cases) {
        for (TransformKind kind : {TransformKind::Rotate270, TransformKind::MirrorTB}) {
            const bool ok = ExpectSameAsOneThread(jpeg, kind, false, name);
            if (name == "intact") {
                EXPECT_TRUE(ok);
            }
        }
    }
}

TEST(SpeculativeDecoding, PredictorsThatWrapAroundAreCarriedOverExactly) {
    // Gray 512x512 with DC values from -31000 to 31000 that step by 1000 between neighbours
    // and are 0 along the edges, so that every output order stays within the DC table. The
    // worker's predictors start from 0 in the middle, so its values wrap around 16 bits;
    // shifted by the difference modulo 2^16 they must come out exact.
    const auto tent = [](int i) { return i < 32 ? i : 63 - i; };
    const auto dcAt = [&](int x, int y) { return 1000 * (tent(x) - tent(y)); };
    test::ScanBitWriter w;
    int previous = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            w.Dc(0, dcAt(x, y) - previous);
            previous = dcAt(x, y);
            w.Ac(0, 0, 1 + (x + y) % 5), w.Ac(0, 3, -2), w.Ac(0, 0, 0);
        }
    }
    const test::Bytes jpeg = test::BuildJpeg(512, 512, test::Gray(), w.Finish());
    for (TransformKind kind : kAllTransformKinds) EXPECT_TRUE(ExpectSameAsOneThread(jpeg, kind, false, Facts(kind).name));
}

}  // namespace
}  // namespace pivotta
