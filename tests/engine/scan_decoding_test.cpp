// Decoding of hand-built scans: what lands in the coefficient store, and what is refused.
#include <gtest/gtest.h>

#include "EngineInternals.h"
#include "JpegRotation.h"
#include "Messages.h"
#include "MiniJpeg.h"

namespace pivotta {
namespace {

using namespace test;

struct EngineRun {
    bool checked = false;
    bool rotated = false;
    HookLog log;
    TJpegRotation engine;
    TMemoryStream output;
};

// Checks and re-encodes in place; the store then holds the decoded blocks.
void Decode(EngineRun& run, const Bytes& jpeg) {
    run.log.Attach(run.engine);
    const TMemoryStream input = Stream(jpeg);
    run.checked = run.engine.CheckJpeg(input);
    run.rotated = run.checked && run.engine.RotateJpeg(input, run.output, TransformKind::NoRotation);
}

Bytes GrayScan(const std::function<void(ScanBitWriter&)>& body) {
    ScanBitWriter w;
    body(w);
    return w.Finish();
}

TEST(ScanDecoding, DcDifferencesExtendAndPredict) {
    // Blocks: diff 0 (DC equals the predictor 0), then category 3 with 011 (-4), with 100 (+4).
    ScanBitWriter w;
    w.Dc(0, 0), w.Ac(0, 0, 0);
    w.Symbol(0, 0, 3), w.Bits(0b011, 3), w.Ac(0, 0, 0);
    w.Symbol(0, 0, 3), w.Bits(0b100, 3), w.Ac(0, 0, 0);
    EngineRun run;
    Decode(run, BuildJpeg(24, 8, Gray(), w.Finish()));
    ASSERT_TRUE(run.rotated);
    const auto& blocks = EngineInternals::Coefficients(run.engine, 0);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0][0], 0);
    EXPECT_EQ(blocks[1][0], -4);
    EXPECT_EQ(blocks[2][0], 0);
    for (const CoefBlock& b : blocks) {
        for (int k = 1; k < 64; ++k) EXPECT_EQ(b[k], 0);
    }
}

TEST(ScanDecoding, ZeroRunsAndTheLastCoefficient) {
    ScanBitWriter w;
    // Three sixteen-zero codes, then run 3 and a value: position 52.
    w.Dc(0, 7);
    for (int i = 0; i < 3; ++i) w.Ac(0, 15, 0);
    w.Ac(0, 3, -9), w.Ac(0, 0, 0);
    // Coefficient 63 non-zero: no end-of-block code; the next symbol is the next block's DC.
    w.Dc(0, 1), w.Ac(0, 0, 5);
    for (int i = 0; i < 3; ++i) w.Ac(0, 15, 0);
    w.Ac(0, 13, 2);
    w.Dc(0, -3), w.Ac(0, 0, 0);
    EngineRun run;
    Decode(run, BuildJpeg(24, 8, Gray(), w.Finish()));
    ASSERT_TRUE(run.rotated) << (run.log.messages.empty() ? "" : run.log.messages[0].first);
    const auto& b = EngineInternals::Coefficients(run.engine, 0);
    EXPECT_EQ(b[0][0], 7);
    EXPECT_EQ(b[0][52], -9);
    EXPECT_EQ(b[1][0], 8);
    EXPECT_EQ(b[1][1], 5);
    EXPECT_EQ(b[1][63], 2);
    EXPECT_EQ(b[2][0], 5);
    int nonZero = 0;
    for (const CoefBlock& block : b) {
        for (int16_t c : block) nonZero += c != 0;
    }
    EXPECT_EQ(nonZero, 6);
}

TEST(ScanDecoding, RunsPastTheBlockAndBadCodesAreRefused) {
    const auto expectBadBlock = [](const Bytes& scan) {
        EngineRun run;
        Decode(run, BuildJpeg(8, 8, Gray(), scan));
        EXPECT_TRUE(run.checked);
        EXPECT_FALSE(run.rotated);
        ASSERT_EQ(run.log.messages.size(), 1u);
        EXPECT_EQ(run.log.messages[0].first, msg::kBadBlock);
        EXPECT_EQ(run.log.messages[0].second, 2);
    };
    expectBadBlock(GrayScan([](ScanBitWriter& w) {
        w.Dc(0, 0);
        for (int i = 0; i < 4; ++i) w.Ac(0, 15, 0);  // 64 zeros from position 1
    }));
    expectBadBlock(GrayScan([](ScanBitWriter& w) {
        w.Dc(0, 0);
        for (int i = 0; i < 3; ++i) w.Ac(0, 15, 0);
        w.Ac(0, 15, 1);  // the zeros fit up to 63, the value does not
    }));
    // Sixteen 1-bits match no code of the standard luminance DC table.
    expectBadBlock(GrayScan([](ScanBitWriter& w) { w.Bits(0xFFFF, 16), w.Bits(0, 16); }));
}

TEST(ScanDecoding, RestartIntervalsResetPredictionAndConsumeMarkers) {
    // Ten 8x8 MCUs, interval 4: markers after MCUs 4 and 8, none after the last.
    ScanBitWriter w;
    int marker = 0;
    for (int mcu = 0; mcu < 10; ++mcu) {
        w.Dc(0, mcu % 4 == 0 ? 10 : 1);  // absolute 10 after each restart, then +1
        w.Ac(0, 0, 0);
        if (mcu == 3 || mcu == 7) w.Marker(static_cast<uint16_t>(0xFFD0 + marker++));
    }
    EngineRun run;
    Decode(run, BuildJpeg(80, 8, Gray(), w.Finish(), 4));
    ASSERT_TRUE(run.rotated);
    const auto& b = EngineInternals::Coefficients(run.engine, 0);
    const int expected[10] = {10, 11, 12, 13, 10, 11, 12, 13, 10, 11};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(b[i][0], expected[i]) << i;
    // The output carries fresh markers at the same places.
    const Bytes& out = run.output.Bytes();
    int markers = 0;
    for (size_t i = 0; i + 1 < out.size(); ++i) markers += out[i] == 0xFF && (out[i + 1] & 0xF8) == 0xD0;
    EXPECT_EQ(markers, 2);
}

TEST(ScanDecoding, RestartMarkersMustBeTheExpectedOnes) {
    const auto scanWith = [](uint16_t marker, bool fill) {
        ScanBitWriter w;
        w.Dc(0, 1), w.Ac(0, 0, 0);
        if (fill) w.Marker(0xFFFF);  // two fill bytes before the marker
        w.Marker(marker);
        w.Dc(0, 1), w.Ac(0, 0, 0);
        return w.Finish();
    };
    EngineRun good;
    Decode(good, BuildJpeg(16, 8, Gray(), scanWith(0xFFD0, false), 1));
    EXPECT_TRUE(good.rotated);
    EngineRun filled;
    Decode(filled, BuildJpeg(16, 8, Gray(), scanWith(0xFFD0, true), 1));
    EXPECT_TRUE(filled.rotated);
    EngineRun wrong;
    Decode(wrong, BuildJpeg(16, 8, Gray(), scanWith(0xFFD3, false), 1));
    EXPECT_FALSE(wrong.rotated);
    ASSERT_EQ(wrong.log.messages.size(), 1u);
    EXPECT_EQ(wrong.log.messages[0].first, msg::kBadBlock);
}

TEST(ScanDecoding, IntervalZeroNeverExpectsAMarker) {
    ScanBitWriter w;
    for (int i = 0; i < 3; ++i) w.Dc(0, 2), w.Ac(0, 0, 0);
    EngineRun run;
    Decode(run, BuildJpeg(24, 8, Gray(), w.Finish(), 0));
    ASSERT_TRUE(run.rotated);
    EXPECT_EQ(EngineInternals::Coefficients(run.engine, 0)[2][0], 6);
}

TEST(ScanDecoding, BlockOrderFollowsSamplingAndScanOrder) {
    // 4:2:0, 32x16: two MCUs of four luminance blocks and one block per chroma component.
    ScanBitWriter w;
    int dc = 0;
    for (int mcu = 0; mcu < 2; ++mcu) {
        for (int y = 0; y < 4; ++y) w.Dc(0, 1), w.Ac(0, 0, 0), ++dc;
        w.Dc(1, 100 + mcu), w.Ac(1, 0, 0);
        w.Dc(1, 200 + mcu), w.Ac(1, 0, 0);
    }
    EngineRun run;
    Decode(run, BuildJpeg(32, 16, Ycc(2, 2), w.Finish()));
    ASSERT_TRUE(run.rotated);
    const auto& y = EngineInternals::Coefficients(run.engine, 0);  // grid 4 wide, 2 high
    ASSERT_EQ(y.size(), 8u);
    const int order[8] = {0, 1, 4, 5, 2, 3, 6, 7};  // (col,row) within each MCU, MCU by MCU
    for (int i = 0; i < 8; ++i) EXPECT_EQ(y[order[i]][0], i + 1) << i;
    EXPECT_EQ(EngineInternals::Coefficients(run.engine, 1)[1][0], 201);
    EXPECT_EQ(EngineInternals::Coefficients(run.engine, 2)[1][0], 401);

    // The same components listed in another order in the scan header: the MCU follows it.
    std::vector<MiniComponent> frame = {{1, 1, 1, 0, 0, 0}, {2, 1, 1, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
    std::vector<MiniComponent> scanOrder = {frame[2], frame[0], frame[1]};
    ScanBitWriter s;
    s.Dc(1, 30), s.Ac(1, 0, 0);  // component 3
    s.Dc(0, 10), s.Ac(0, 0, 0);  // component 1
    s.Dc(1, 20), s.Ac(1, 0, 0);  // component 2
    Bytes jpeg = Concat({{0xFF, 0xD8}, Dqt(0), Dqt(1), Sof0(8, 8, frame), StandardDht(), Sos(scanOrder), s.Finish(),
                         {0xFF, 0xD9}});
    EngineRun reordered;
    Decode(reordered, jpeg);
    ASSERT_TRUE(reordered.rotated);
    EXPECT_EQ(EngineInternals::Coefficients(reordered.engine, 0)[0][0], 10);
    EXPECT_EQ(EngineInternals::Coefficients(reordered.engine, 1)[0][0], 20);
    EXPECT_EQ(EngineInternals::Coefficients(reordered.engine, 2)[0][0], 30);
}

TEST(ScanDecoding, OneComponentScanHasOneBlockPerMcu) {
    // Grayscale declared 2x2: still one block per MCU, 3x2 blocks for 24x16.
    ScanBitWriter w;
    for (int i = 0; i < 6; ++i) w.Dc(0, 1), w.Ac(0, 0, 0);
    EngineRun run;
    Decode(run, BuildJpeg(24, 16, {{1, 2, 2, 0, 0, 0}}, w.Finish()));
    ASSERT_TRUE(run.rotated);
    ASSERT_EQ(EngineInternals::Coefficients(run.engine, 0).size(), 6u);
    EXPECT_EQ(EngineInternals::Coefficients(run.engine, 0)[5][0], 6);
    EXPECT_TRUE(run.log.messages.empty());  // 24x16 is whole 8x8 MCUs
}

TEST(ScanDecoding, ProgressIsReportedPerMcuRow) {
    ScanBitWriter w;
    for (int i = 0; i < 6; ++i) w.Dc(0, 0), w.Ac(0, 0, 0);
    EngineRun run;
    Decode(run, BuildJpeg(16, 24, Gray(), w.Finish()));
    ASSERT_TRUE(run.rotated);
    EXPECT_EQ(run.log.progressMax, std::vector<int>{6});
    EXPECT_EQ(run.log.progress, (std::vector<int>{0, 0, 1, 2, 3, 4, 5}));
}

TEST(ScanDecoding, DataEndingEarlyFailsWithOneMessageAndTheEngineGoesOn) {
    ScanBitWriter w;
    for (int i = 0; i < 40; ++i) w.Dc(0, 3), w.Ac(0, 0, 1), w.Ac(0, 0, 0);
    const Bytes full = BuildJpeg(320, 8, Gray(), w.Finish());
    // Cut inside the scan: no end-of-image marker at all.
    const Bytes cut(full.begin(), full.end() - 12);
    EngineRun run;
    Decode(run, cut);
    EXPECT_TRUE(run.checked);
    EXPECT_FALSE(run.rotated);
    ASSERT_EQ(run.log.messages.size(), 1u);
    EXPECT_EQ(run.log.messages[0].first, kStreamReadError);
    EXPECT_EQ(run.output.Position(), run.output.Size());
    // A marker where data should be: the bit stream's message, once, and nothing else.
    Bytes marked(full.begin(), full.end() - 12);
    marked.insert(marked.end(), {0xFF, 0xD9});
    EngineRun markedRun;
    Decode(markedRun, marked);
    EXPECT_FALSE(markedRun.rotated);
    ASSERT_EQ(markedRun.log.messages.size(), 1u);
    EXPECT_EQ(markedRun.log.messages[0].first, kMarkerInScanMessage);
    // The same engine transforms a good file afterwards.
    const TMemoryStream good = Stream(full);
    ASSERT_TRUE(run.engine.CheckJpeg(good));
    EXPECT_TRUE(run.engine.RotateJpeg(good, run.output, TransformKind::Rotate90));
}

TEST(ScanDecoding, HugeFrameFromATinyFileFailsBeforeAllocating) {
    ScanBitWriter w;
    w.Dc(0, 0), w.Ac(0, 0, 0);
    EngineRun run;
    Decode(run, BuildJpeg(65535, 65535, Ycc(2, 2), w.Finish()));
    EXPECT_TRUE(run.checked);
    EXPECT_FALSE(run.rotated);
    ASSERT_FALSE(run.log.messages.empty());
    EXPECT_EQ(run.log.messages.back().first, msg::kScanTooShort);
    EXPECT_TRUE(EngineInternals::Coefficients(run.engine, 0).empty());
}

TEST(ScanDecoding, ZeroRunsThatOnlyReachTheEndAreDroppedInEveryTransform) {
    // The same coefficients twice: coded plainly, and with runs of sixteen zeros before some
    // ends of block or in place of one, which add nothing. Kinds that keep coefficients in place copy the codes
    // they read, so they must leave those runs out just as re-encoding does.
    const auto scan = [](bool padded) {
        ScanBitWriter w;
        for (int block = 0; block < 12; ++block) {
            w.Dc(0, block % 3 - 1);
            w.Ac(0, 0, block + 1), w.Ac(0, 2, -(block % 4) - 1);  // positions 1 and 4
            if (block % 2 == 0) w.Ac(0, 15, 0), w.Ac(0, 3, 7);   // a run that a value ends: kept
            if (block == 10) {
                w.Ac(0, 6, 3);  // position 31: two runs of sixteen reach 63, and no end of block follows
                if (padded) w.Ac(0, 15, 0), w.Ac(0, 15, 0);
                else w.Ac(0, 0, 0);
                continue;
            }
            if (padded && block % 3 != 2) {
                for (int i = 0; i <= block % 2; ++i) w.Ac(0, 15, 0);
            }
            if (block == 11) {
                w.Ac(0, 15, 0), w.Ac(0, 15, 0), w.Ac(0, 15, 0), w.Ac(0, 10, 1);  // 63: no end of block
            } else {
                w.Ac(0, 0, 0);
            }
        }
        return w.Finish();
    };
    const Bytes plain = BuildJpeg(32, 24, Gray(), scan(false));
    const Bytes padded = BuildJpeg(32, 24, Gray(), scan(true));
    ASSERT_NE(plain, padded);
    for (TransformKind kind : kAllTransformKinds) {
        EngineRun a, b;
        a.log.Attach(a.engine), b.log.Attach(b.engine);
        const TMemoryStream inA = Stream(plain), inB = Stream(padded);
        ASSERT_TRUE(a.engine.CheckJpeg(inA) && a.engine.RotateJpeg(inA, a.output, kind));
        ASSERT_TRUE(b.engine.CheckJpeg(inB) && b.engine.RotateJpeg(inB, b.output, kind));
        EXPECT_EQ(a.output.Bytes(), b.output.Bytes()) << Facts(kind).name;
        EXPECT_EQ(EngineInternals::Coefficients(a.engine, 0), EngineInternals::Coefficients(b.engine, 0)) << Facts(kind).name;
        if (kind == TransformKind::NoRotation) {
            const auto blocks = EngineInternals::Coefficients(a.engine, 0);
            EXPECT_EQ(blocks[11][63], 1);
            EXPECT_EQ(blocks[4][4], -1);
            EXPECT_EQ(blocks[4][24], 7);  // 4, then 16 zeros and 3 more
            EXPECT_EQ(blocks[10][31], 3);
        }
    }
}

}  // namespace
}  // namespace pivotta
