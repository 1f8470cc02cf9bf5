// The model a stream parses into, and what the engine owes to it: every table, interval and
// frame comes from the stream being read, fill bytes may stand before any marker.
#include <gtest/gtest.h>

#include <filesystem>

#include "JpegFixtures.h"
#include "JpegParser.h"
#include "JpegRotation.h"
#include "Messages.h"
#include "MiniJpeg.h"

namespace pivotta {
namespace {

using namespace test;

struct Outcome {
    bool checked = false;
    bool rotated = false;
    std::vector<EngineMessage> messages;
    Bytes output;
};

// CheckJpeg, then RotateJpeg when it passed, on the engine given (so earlier runs may have
// left their mark on it, which they must not).
Outcome CheckAndRotate(TJpegRotation& engine, const Bytes& jpeg, TransformKind kind) {
    Outcome run;
    engine.OnCodedMessage = [&run](const EngineMessage& m) { run.messages.push_back(m); };
    const TMemoryStream input = Stream(jpeg);
    TMemoryStream output;
    run.checked = engine.CheckJpeg(input);
    if (run.checked) run.rotated = engine.RotateJpeg(input, output, kind);
    run.output = output.Bytes();
    engine.OnCodedMessage = nullptr;
    return run;
}

Outcome Fresh(const Bytes& jpeg, TransformKind kind) {
    TJpegRotation engine;
    return CheckAndRotate(engine, jpeg, kind);
}

Bytes GrayBlocks(int width, int height, int restartInterval = -1) {
    ScanBitWriter w;
    const int blocks = ((width + 7) / 8) * ((height + 7) / 8);
    for (int i = 0; i < blocks; ++i) {
        w.Dc(0, i % 5 - 2), w.Ac(0, 2, i % 7 + 1), w.Ac(0, 0, 0);
        if (restartInterval > 0 && (i + 1) % restartInterval == 0 && i + 1 < blocks) {
            w.Marker(static_cast<uint16_t>(0xFFD0 + (i / restartInterval) % 8));
        }
    }
    return BuildJpeg(width, height, Gray(), w.Finish(), restartInterval);
}

Bytes YccBlocks(int width, int height, int h, int v) {
    ScanBitWriter w;
    const int mcus = ((width + 8 * h - 1) / (8 * h)) * ((height + 8 * v - 1) / (8 * v));
    for (int i = 0; i < mcus; ++i) {
        for (int b = 0; b < h * v; ++b) w.Dc(0, b == 0 ? 1 : 0), w.Ac(0, 1, 2), w.Ac(0, 0, 0);
        w.Dc(1, 0), w.Ac(1, 0, 0);
        w.Dc(1, 0), w.Ac(1, 0, 0);
    }
    return BuildJpeg(width, height, Ycc(h, v), w.Finish());
}

size_t SegmentAt(const Bytes& jpeg, uint16_t marker) {
    const Bytes pattern = {static_cast<uint8_t>(marker >> 8), static_cast<uint8_t>(marker)};
    return static_cast<size_t>(std::search(jpeg.begin(), jpeg.end(), pattern.begin(), pattern.end()) - jpeg.begin());
}

Bytes WithoutSegment(Bytes jpeg, uint16_t marker) {
    const size_t at = SegmentAt(jpeg, marker);
    const size_t length = static_cast<size_t>(jpeg[at + 2] << 8 | jpeg[at + 3]);
    jpeg.erase(jpeg.begin() + static_cast<long>(at), jpeg.begin() + static_cast<long>(at + 2 + length));
    return jpeg;
}

TEST(JpegModel, SegmentsFrameTablesAndScanOfAGeneratedFile) {
    const Bytes jpeg = GrayBlocks(24, 16, 2);
    jpeg::Picture picture;
    ASSERT_TRUE(jpeg::ParseHeaders(jpeg, 0, picture).ok());

    using Kind = jpeg::SegmentKind;
    const std::vector<Kind> kinds = {Kind::Quant, Kind::Quant, Kind::Frame, Kind::Huffman, Kind::Restart, Kind::Scan};
    ASSERT_EQ(picture.segments.size(), kinds.size());
    size_t expectedStart = 2;
    for (size_t i = 0; i < kinds.size(); ++i) {
        const jpeg::Segment& segment = picture.segments[i];
        EXPECT_EQ(segment.kind, kinds[i]) << i;
        EXPECT_EQ(segment.bytes.begin, expectedStart) << i;  // no gaps: each starts at its marker
        EXPECT_EQ(jpeg[segment.bytes.begin + 1], segment.marker & 0xFF) << i;
        expectedStart = segment.bytes.end;
    }
    EXPECT_EQ(picture.frame.width, 24);
    EXPECT_EQ(picture.frame.height, 16);
    ASSERT_EQ(picture.frame.components.size(), 1u);
    EXPECT_EQ(picture.quantTables.size(), 2u);
    EXPECT_EQ(picture.huffmanTables.size(), 4u);
    EXPECT_FALSE(picture.optimizedTables);

    ASSERT_EQ(picture.scans.size(), 1u);
    const jpeg::Scan& scan = picture.scans[0];
    EXPECT_EQ(scan.data.begin, ScanDataStart(jpeg));
    EXPECT_EQ(scan.header.end, scan.data.begin);
    EXPECT_EQ(std::make_tuple(scan.Ss, scan.Se, scan.Ah, scan.Al), std::make_tuple(0, 63, 0, 0));
    EXPECT_TRUE(scan.tables.restartDefined);
    EXPECT_EQ(scan.tables.restartInterval, 2);
    EXPECT_EQ(scan.tables.huffman[0][0], 0);  // the DHT's tables in segment order
    EXPECT_EQ(scan.tables.huffman[1][1], 3);
    EXPECT_EQ(scan.tables.quant[1], 1);
    EXPECT_EQ(scan.tables.huffman[0][2], jpeg::kUndefined);

    // The tail: the data ends just before EOI.
    jpeg::ByteRange after;
    ASSERT_TRUE(jpeg::ParseTail(jpeg, jpeg.size() - 2, picture, after).ok());
    EXPECT_EQ(picture.endOfImage->begin, jpeg.size() - 2);
    EXPECT_EQ(after.size(), 0u);
}

// Real camera files: every segment lies inside the file, in order, and the scan data starts
// where a plain segment walk finds it.
TEST(JpegModel, CameraFilesParseIntoOrderedSegments) {
    if (!HaveTestdata()) GTEST_SKIP() << "no camera files";
    int parsed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TestdataDir())) {
        if (entry.path().extension() != ".jpg") continue;
        const Bytes jpeg = ReadFileBytes(entry.path().string());
        jpeg::Picture picture;
        if (!jpeg::ParseHeaders(jpeg, 0, picture).ok()) continue;  // the refused ones
        ++parsed;
        size_t previousEnd = 2;
        for (const jpeg::Segment& segment : picture.segments) {
            EXPECT_GE(segment.bytes.begin, previousEnd) << entry.path();
            EXPECT_LE(segment.bytes.end, jpeg.size()) << entry.path();
            previousEnd = segment.bytes.end;
        }
        EXPECT_EQ(picture.scans.at(0).data.begin, ScanDataStart(jpeg)) << entry.path();
    }
    EXPECT_GT(parsed, 0);
}

// A grayscale file that defines no Huffman table used to transform on an engine that had seen
// standard tables in an earlier file, and to fail on a fresh one.
TEST(StreamTables, AScanNeedsTablesItsOwnStreamDefines) {
    const Bytes noTables = WithoutSegment(GrayBlocks(16, 16), 0xFFC4);
    const std::vector<Bytes> before = {{}, GrayBlocks(16, 8), YccBlocks(32, 16, 2, 2)};
    TJpegRotation engine;
    for (const Bytes& earlier : before) {
        if (!earlier.empty()) ASSERT_TRUE(CheckAndRotate(engine, earlier, TransformKind::Rotate90).rotated);
        const Outcome run = CheckAndRotate(engine, noTables, TransformKind::Rotate90);
        EXPECT_FALSE(run.checked);
        ASSERT_EQ(run.messages.size(), 1u);
        EXPECT_EQ(run.messages[0].code, MessageCode::UndefinedTable);
        EXPECT_EQ(run.messages[0].text, msg::kUndefinedTable);
        TMemoryStream output;
        EXPECT_FALSE(engine.RotateJpeg(Stream(noTables), output, TransformKind::Rotate180));
        EXPECT_EQ(output.Size(), 0u);
    }
}

// What one file gives must not depend on the files before it: an engine that has handled
// other files (other sampling, restart intervals, trimming) gives every file the bytes and
// messages of a fresh engine, and RotateJpeg needs no CheckJpeg of the same stream first.
TEST(StreamTables, NothingCarriesOverFromTheFileBefore) {
    const std::vector<Bytes> files = {GrayBlocks(24, 16, 2), YccBlocks(32, 32, 2, 2), YccBlocks(16, 16, 1, 1),
                                      GrayBlocks(8, 24), YccBlocks(40, 24, 2, 1)};
    TJpegRotation shared;
    shared.AllowAdjustMCU = true;
    for (TransformKind kind : {TransformKind::Rotate90, TransformKind::MirrorLR}) {
        for (const Bytes& file : files) {
            TJpegRotation fresh;
            fresh.AllowAdjustMCU = true;
            const Outcome expected = CheckAndRotate(fresh, file, kind);
            ASSERT_TRUE(expected.rotated);
            const Outcome got = CheckAndRotate(shared, file, kind);
            EXPECT_EQ(got.output, expected.output);
            EXPECT_EQ(got.messages.size(), expected.messages.size());
        }
    }
    // A 4:2:0 frame checked, then a 4:4:4 frame of the same size turned: its own MCU size.
    const Bytes wide = YccBlocks(32, 32, 2, 2), narrow = YccBlocks(32, 32, 1, 1);
    TJpegRotation engine;
    ASSERT_TRUE(engine.CheckJpeg(Stream(wide)));
    TMemoryStream output;
    ASSERT_TRUE(engine.RotateJpeg(Stream(narrow), output, TransformKind::Rotate90));
    EXPECT_EQ(output.Bytes(), Fresh(narrow, TransformKind::Rotate90).output);
}

// ITU T.81 B.1.1.2: any number of 0xFF fill bytes may precede a marker.
TEST(FillBytes, BeforeAnySegmentAndBeforeEndOfImageTheyAreAcceptedAndDropped) {
    const Bytes plain = GrayBlocks(16, 16, 2);
    const Outcome expected = Fresh(plain, TransformKind::Rotate270);
    ASSERT_TRUE(expected.rotated);
    for (const uint16_t marker : {0xFFDB, 0xFFC0, 0xFFC4, 0xFFDD, 0xFFDA, 0xFFD9}) {
        for (const size_t fill : {1u, 3u}) {
            Bytes filled = plain;
            const size_t at = marker == 0xFFD9 ? filled.size() - 2 : SegmentAt(filled, marker);
            filled.insert(filled.begin() + static_cast<long>(at), fill, 0xFF);
            const Outcome run = Fresh(filled, TransformKind::Rotate270);
            EXPECT_TRUE(run.rotated) << std::hex << marker;
            EXPECT_EQ(run.output, expected.output) << std::hex << marker;
        }
    }
    // Fill bytes up to the end of the file are no marker.
    Bytes cut(plain.begin(), plain.begin() + static_cast<long>(SegmentAt(plain, 0xFFC0)));
    cut.insert(cut.end(), {0xFF, 0xFF});
    const Outcome run = Fresh(cut, TransformKind::Rotate90);
    EXPECT_FALSE(run.checked);
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0].code, MessageCode::TruncatedHeaders);
}

}  // namespace
}  // namespace pivotta
