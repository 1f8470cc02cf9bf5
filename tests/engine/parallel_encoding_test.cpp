// A second thread may encode half of the output; the bytes must be those of one thread.
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

Outcome Transform(const test::Bytes& jpeg, TransformKind kind, bool trim, unsigned threads) {
    Outcome o;
    TJpegRotation engine;
    engine.MaxThreads = threads;
    engine.AllowAdjustMCU = trim;
    o.log.Attach(engine);
    const TMemoryStream input(jpeg);
    TMemoryStream output;
    o.ok = engine.CheckJpeg(input) && engine.RotateJpeg(input, output, kind);
    o.bytes = output.Bytes();
    return o;
}

class ParallelEncoding : public ::testing::TestWithParam<int> {};

TEST_P(ParallelEncoding, SameBytesHooksAndMessagesAsOneThread) {
    // Large enough for the split (over 2048 MCUs), ragged, with intervals that do and do not
    // divide the rows.
    pivotta::test::FixtureSpec spec;
    spec.width = 1000;
    spec.height = 760;
    spec.hSamp = 2;
    spec.vSamp = 2;
    spec.restartInterval = GetParam();
    spec.seed = 11;
    const test::Bytes jpeg = pivotta::test::MakeJpeg(spec);
    for (int kind = 0; kind <= 5; ++kind) {
        for (bool trim : {false, true}) {
            const Outcome one = Transform(jpeg, static_cast<TransformKind>(kind), trim, 1);
            const Outcome two = Transform(jpeg, static_cast<TransformKind>(kind), trim, 2);
            ASSERT_TRUE(one.ok);
            EXPECT_EQ(one.bytes, two.bytes) << "kind " << kind << " trim " << trim;
            EXPECT_EQ(one.log.progress, two.log.progress);
            EXPECT_EQ(one.log.messages, two.log.messages);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Intervals, ParallelEncoding, ::testing::Values(0, 1, 7, 63, 64));

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
            const Outcome one = Transform(jpeg, kind, false, 1);
            const Outcome two = Transform(jpeg, kind, false, 2);
            EXPECT_FALSE(one.ok);
            EXPECT_EQ(one.ok, two.ok);
            EXPECT_EQ(one.bytes, two.bytes);
            EXPECT_EQ(one.log.progress, two.log.progress);
            EXPECT_EQ(one.log.messages, two.log.messages);
        }
    }
}

}  // namespace
}  // namespace pivotta
