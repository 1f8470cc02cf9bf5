// The marker walks, segment rewriting, tables, re-encoding and the engine's messages.
#include <gtest/gtest.h>

#include <algorithm>

#include "BlockTransforms.h"
#include "JpegRotation.h"
#include "Messages.h"
#include "MiniJpeg.h"

namespace pivotta {
namespace {

using namespace test;

struct Result {
    bool checked = false;
    bool rotated = false;
    HookLog log;
    Bytes output;
    size_t outputPosition = 0;
};

Result Transform(const Bytes& jpeg, TransformKind kind, bool trim = false) {
    Result r;
    TJpegRotation engine;
    engine.AllowAdjustMCU = trim;
    r.log.Attach(engine);
    const TMemoryStream input = Stream(jpeg);
    TMemoryStream output;
    r.checked = engine.CheckJpeg(input);
    if (r.checked) r.rotated = engine.RotateJpeg(input, output, kind);
    r.output = output.Bytes();
    r.outputPosition = output.Position();
    return r;
}

// Gray picture of w x h blocks whose every block has a DC difference of 1 and one AC value.
Bytes SimpleGray(int width, int height, int restartInterval = -1) {
    ScanBitWriter w;
    const int blocks = ((width + 7) / 8) * ((height + 7) / 8);
    for (int i = 0; i < blocks; ++i) {
        w.Dc(0, 1), w.Ac(0, 1, 3), w.Ac(0, 0, 0);
        if (restartInterval > 0 && (i + 1) % restartInterval == 0 && i + 1 < blocks) {
            w.Marker(static_cast<uint16_t>(0xFFD0 + (i / restartInterval) % 8));
        }
    }
    return BuildJpeg(width, height, Gray(), w.Finish(), restartInterval);
}

Bytes SimpleYcc(int width, int height, int h, int v) {
    ScanBitWriter w;
    const int mcus = ((width + 8 * h - 1) / (8 * h)) * ((height + 8 * v - 1) / (8 * v));
    for (int i = 0; i < mcus; ++i) {
        for (int b = 0; b < h * v; ++b) w.Dc(0, 0), w.Ac(0, 0, 0);
        w.Dc(1, 0), w.Ac(1, 0, 0);
        w.Dc(1, 0), w.Ac(1, 0, 0);
    }
    return BuildJpeg(width, height, Ycc(h, v), w.Finish());
}

constexpr size_t kNotFound = static_cast<size_t>(-1);

size_t Find(const Bytes& haystack, const Bytes& needle, size_t from = 0) {
    auto it = std::search(haystack.begin() + static_cast<long>(from), haystack.end(), needle.begin(), needle.end());
    return it == haystack.end() ? kNotFound : static_cast<size_t>(it - haystack.begin());
}

// Width and height as written in the output's frame header.
std::pair<int, int> FrameSize(const Bytes& jpeg) {
    const size_t sof = Find(jpeg, {0xFF, 0xC0});
    return {jpeg[sof + 7] << 8 | jpeg[sof + 8], jpeg[sof + 5] << 8 | jpeg[sof + 6]};
}

TEST(MarkerWalk, StartOfImageIsRequired) {
    Bytes jpeg = SimpleGray(8, 8);
    jpeg[1] = 0xD9;
    TJpegRotation engine;
    HookLog log;
    log.Attach(engine);
    const TMemoryStream input = Stream(jpeg);
    EXPECT_FALSE(engine.CheckJpeg(input));
    TMemoryStream output;
    output.Write("junk", 4);
    EXPECT_FALSE(engine.RotateJpeg(input, output, TransformKind::Rotate90));
    EXPECT_EQ(output.Size(), 0u);
    ASSERT_EQ(log.messages.size(), 2u);
    EXPECT_EQ(log.messages[0], std::make_pair(std::string(msg::kCheckNoSOI), 2));
    EXPECT_EQ(log.messages[1], std::make_pair(std::string(msg::kRotateNoSOI), 2));
}

TEST(MarkerWalk, UnknownMarkersAreNamed) {
    Bytes lossless = SimpleGray(8, 8);
    lossless[Find(lossless, {0xFF, 0xC0}) + 1] = 0xC3;
    Result r = Transform(lossless, TransformKind::Rotate90);
    EXPECT_FALSE(r.checked);
    ASSERT_EQ(r.log.messages.size(), 1u);
    EXPECT_EQ(r.log.messages[0].first, "ヘッダ($FFC3)を認識できませんでした。");

    // RotateJpeg has its own wording (a fresh engine: the walk itself meets the marker).
    TJpegRotation engine;
    HookLog log;
    log.Attach(engine);
    TMemoryStream output;
    EXPECT_FALSE(engine.RotateJpeg(Stream(lossless), output, TransformKind::Rotate180));
    EXPECT_EQ(log.messages.back().first, "致命的エラー : ヘッダ($FFC3)を認識できません");

    // Fill bytes before it do not hide it.
    Bytes filled = lossless;
    filled.insert(filled.begin() + static_cast<long>(Find(filled, {0xFF, 0xC3})), {0xFF, 0xFF});
    r = Transform(filled, TransformKind::Rotate90);
    EXPECT_EQ(r.log.messages.back().first, "ヘッダ($FFC3)を認識できませんでした。");
}

TEST(MarkerWalk, FillBytesBeforeAMarkerAreSkipped) {
    // Any number of 0xFF may precede a marker: they carry nothing and are not copied.
    const Bytes plain = SimpleGray(16, 8, 1);
    const Result expected = Transform(plain, TransformKind::Rotate90);
    ASSERT_TRUE(expected.rotated);
    const std::pair<Bytes, size_t> cases[] = {
        {{0xFF, 0xDB}, 1}, {{0xFF, 0xC0}, 3}, {{0xFF, 0xC4}, 1}, {{0xFF, 0xDD}, 2}, {{0xFF, 0xDA}, 1}, {{0xFF, 0xD9}, 2},
    };
    for (const auto& [marker, count] : cases) {
        SCOPED_TRACE(testing::PrintToString(marker));
        Bytes filled = plain;
        const size_t at = marker[1] == 0xD9 ? filled.size() - 2 : Find(filled, marker);
        filled.insert(filled.begin() + static_cast<long>(at), count, 0xFF);
        const Result r = Transform(filled, TransformKind::Rotate90);
        EXPECT_TRUE(r.checked);
        ASSERT_TRUE(r.rotated);
        EXPECT_TRUE(r.log.messages.empty());
        EXPECT_EQ(r.output, expected.output);
    }
}

TEST(MarkerWalk, MoreThanFourComponentsAreRefused) {
    std::vector<MiniComponent> five;
    for (int id = 1; id <= 5; ++id) five.push_back({id, 1, 1, 0, 0, 0});
    Result r = Transform(BuildJpeg(8, 8, five, {}), TransformKind::Rotate90);
    EXPECT_FALSE(r.checked);
    ASSERT_EQ(r.log.messages.size(), 1u);
    EXPECT_EQ(r.log.messages[0].first, msg::kTooManyComponents);
}

TEST(MarkerWalk, OtherSegmentsAndTrailingBytesPassUnchanged) {
    const Bytes base = SimpleGray(16, 8);
    const size_t dqt = Find(base, {0xFF, 0xDB});
    Bytes extras;
    std::vector<Bytes> segments;
    for (uint16_t marker = 0xFFE0; marker <= 0xFFEF; ++marker) {
        segments.push_back(Segment(marker, {static_cast<uint8_t>(marker), 'x', 0xFF, 0x00}));
    }
    segments.push_back(Segment(0xFFE1, {'h', 't', 't', 'p', ':', '/', '/'}));  // XMP-like, not Exif
    segments.push_back(Segment(0xFFFE, {'c', 'o', 'm', 'm', 'e', 'n', 't'}));
    for (const Bytes& s : segments) extras.insert(extras.end(), s.begin(), s.end());
    Bytes jpeg = base;
    jpeg.insert(jpeg.begin() + static_cast<long>(dqt), extras.begin(), extras.end());
    const Bytes trailing = {0x00, 0x11, 0xFF, 0xD8, 0x22};
    jpeg.insert(jpeg.end(), trailing.begin(), trailing.end());

    Result r = Transform(jpeg, TransformKind::Rotate90);
    ASSERT_TRUE(r.rotated);
    EXPECT_EQ(r.outputPosition, 0u);
    // In place, byte for byte, right after SOI.
    EXPECT_TRUE(std::equal(extras.begin(), extras.end(), r.output.begin() + 2));
    EXPECT_TRUE(std::equal(trailing.rbegin(), trailing.rend(), r.output.rbegin()));
    EXPECT_EQ(r.output[r.output.size() - trailing.size() - 2], 0xFF);
    EXPECT_EQ(r.output[r.output.size() - trailing.size() - 1], 0xD9);
}

TEST(MarkerWalk, MarkersAfterTheScan) {
    // RST markers after the scan data stay between the new data and EOI.
    Bytes jpeg = SimpleGray(8, 8);
    jpeg.insert(jpeg.end() - 2, {0xFF, 0xD0});
    Result r = Transform(jpeg, TransformKind::Rotate180);
    ASSERT_TRUE(r.rotated);
    EXPECT_EQ(Bytes(r.output.end() - 4, r.output.end()), (Bytes{0xFF, 0xD0, 0xFF, 0xD9}));


    // Anything else after the scan ends the run.
    Bytes second = SimpleGray(8, 8);
    second.insert(second.end() - 2, {0xFF, 0xFE, 0x00, 0x03, 'x'});
    r = Transform(second, TransformKind::Rotate180);
    EXPECT_FALSE(r.rotated);
    EXPECT_EQ(r.log.messages.back().first, msg::kNoEOI);
    EXPECT_EQ(r.outputPosition, r.output.size());
}

TEST(MarkerWalk, ProgressForQuarterAndHalfTurns) {
    // 4:2:0, 10 x 5 MCUs.
    Result r = Transform(SimpleYcc(160, 80, 2, 2), TransformKind::Rotate90);
    ASSERT_TRUE(r.rotated);
    EXPECT_EQ(r.log.progressMax, std::vector<int>{15});
    std::vector<int> expected = {0};
    for (int i = 0; i < 15; ++i) expected.push_back(i);
    EXPECT_EQ(r.log.progress, expected);
    r = Transform(SimpleYcc(160, 80, 2, 2), TransformKind::Rotate180);
    EXPECT_EQ(r.log.progressMax, std::vector<int>{10});
    expected.resize(11);
    EXPECT_EQ(r.log.progress, expected);
}

TEST(Segments, McuSizeWarningsAndTrimmedFrames) {
    const Bytes jpeg = SimpleYcc(1000, 750, 2, 2);
    Result r = Transform(jpeg, TransformKind::Rotate90, true);
    ASSERT_TRUE(r.rotated);
    ASSERT_EQ(r.log.messages.size(), 1u);
    EXPECT_EQ(r.log.messages[0], std::make_pair(std::string(msg::kMcuTrim), 1));
    EXPECT_EQ(FrameSize(r.output), std::make_pair(736, 1000));
    EXPECT_EQ(FrameSize(Transform(jpeg, TransformKind::MirrorLR, true).output), std::make_pair(992, 750));
    EXPECT_EQ(FrameSize(Transform(jpeg, TransformKind::Rotate180, true).output), std::make_pair(992, 736));
    EXPECT_EQ(FrameSize(Transform(jpeg, TransformKind::Rotate270, true).output), std::make_pair(750, 992));
    EXPECT_EQ(FrameSize(Transform(jpeg, TransformKind::MirrorTB, true).output), std::make_pair(1000, 736));

    r = Transform(jpeg, TransformKind::Rotate90, false);
    ASSERT_EQ(r.log.messages.size(), 1u);
    EXPECT_EQ(r.log.messages[0], std::make_pair(std::string(msg::kMcuRagged), 1));
    EXPECT_EQ(FrameSize(r.output), std::make_pair(750, 1000));

    // Only the width is ragged: a top-bottom mirror keeps the full size.
    EXPECT_EQ(FrameSize(Transform(SimpleYcc(1000, 752, 2, 2), TransformKind::MirrorTB, true).output),
              std::make_pair(1000, 752));
    // Smaller than one MCU: nothing is trimmed away.
    EXPECT_EQ(FrameSize(Transform(SimpleYcc(12, 10, 2, 2), TransformKind::Rotate180, true).output),
              std::make_pair(12, 10));
    // Whole MCUs: no message.
    EXPECT_TRUE(Transform(SimpleYcc(32, 16, 2, 2), TransformKind::Rotate90).log.messages.empty());
}

TEST(Segments, SamplingFactorsAndQuantTablesFollowQuarterTurns) {
    Result r = Transform(SimpleYcc(32, 16, 2, 1), TransformKind::Rotate90);
    ASSERT_TRUE(r.rotated);
    const size_t sof = Find(r.output, {0xFF, 0xC0});
    EXPECT_EQ(r.output[sof + 11], 0x12);
    EXPECT_EQ(r.output[sof + 14], 0x11);
    const size_t dqt = Find(r.output, {0xFF, 0xDB});
    for (int k = 0; k < 64; ++k) EXPECT_EQ(r.output[dqt + 5 + k], TransposedZigZag[k] + 1) << k;
    // Other kinds leave the tables alone.
    r = Transform(SimpleYcc(32, 16, 2, 1), TransformKind::Rotate180);
    EXPECT_EQ(r.output[Find(r.output, {0xFF, 0xDB}) + 6], 2);
}

TEST(Segments, SegmentsOutsideTheSubsetAreRefused) {
    const auto refusal = [](Bytes jpeg) {
        Result r = Transform(jpeg, TransformKind::Rotate90);
        EXPECT_FALSE(r.checked);
        return r.log.messages.empty() ? std::string() : r.log.messages.back().first;
    };
    Bytes sixteenBit = SimpleGray(8, 8);
    sixteenBit[Find(sixteenBit, {0xFF, 0xDB}) + 4] = 0x10;
    EXPECT_EQ(refusal(sixteenBit), msg::kBadQuantTable);
    Bytes badClass = SimpleGray(8, 8);
    badClass[Find(badClass, {0xFF, 0xC4}) + 4] = 0x02;
    EXPECT_EQ(refusal(badClass), msg::kBadHuffmanTable);
    Bytes badLength = SimpleGray(8, 8);
    badLength[Find(badLength, {0xFF, 0xC4}) + 3] += 1;
    EXPECT_EQ(refusal(badLength), msg::kBadHuffmanTable);
    Bytes badSampling = SimpleYcc(16, 16, 2, 2);
    badSampling[Find(badSampling, {0xFF, 0xC0}) + 11] = 0x50;
    EXPECT_EQ(refusal(badSampling), msg::kBadFrameHeader);
    Bytes badScan = SimpleYcc(16, 16, 2, 2);
    badScan[Find(badScan, {0xFF, 0xDA}) + 5] = 9;  // a component the frame does not have
    EXPECT_EQ(refusal(badScan), msg::kBadScanHeader);
    // Two tables of one segment (Lq = 132) are both rewritten.
    Bytes twoTables = Concat({{0xFF, 0xD8}, Segment(0xFFDB, [] {
                                  Bytes body;
                                  for (int t = 0; t < 2; ++t) {
                                      body.push_back(static_cast<uint8_t>(t));
                                      for (int k = 0; k < 64; ++k) body.push_back(static_cast<uint8_t>(k + 1 + t));
                                  }
                                  return body;
                              }())});
    const Bytes rest = SimpleGray(8, 8);
    twoTables.insert(twoTables.end(), rest.begin() + 2, rest.end());
    Result r = Transform(twoTables, TransformKind::Rotate270);
    ASSERT_TRUE(r.rotated);
    EXPECT_EQ(r.output[4 + 2 + 65 + 1 + 1], TransposedZigZag[1] + 2);
}

TEST(Segments, RestartIntervalZeroIsCopied) {
    Result r = Transform(SimpleGray(32, 8, 0), TransformKind::MirrorLR);
    ASSERT_TRUE(r.rotated);
    EXPECT_NE(Find(r.output, {0xFF, 0xDD, 0x00, 0x04, 0x00, 0x00}), kNotFound);
    EXPECT_EQ(Find(r.output, {0xFF, 0xD0}), kNotFound);
}

TEST(HuffmanTables, OptimizedTablesAreReplacedAndReportedOncePerCheck) {
    // A segment with one DC table of 9 symbols, another with an AC table of 100.
    Bytes dc = {0x00, 0, 1, 5, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int s = 0; s < 9; ++s) dc.push_back(static_cast<uint8_t>(s));
    Bytes ac = {0x10, 0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 63};
    const Bytes standardAc = StandardTableBody(1, 0);
    ac.insert(ac.end(), standardAc.begin() + 16, standardAc.begin() + 16 + 100);
    // Encode the scan with codes both tables share with the standard ones.
    ScanBitWriter w;
    w.Dc(0, 1), w.Ac(0, 0, 1), w.Ac(0, 0, 0);
    Bytes jpeg = BuildJpeg(8, 8, Gray(), w.Finish());
    const size_t sos = Find(jpeg, {0xFF, 0xDA});
    const Bytes optimized = Concat({Segment(0xFFC4, dc), Segment(0xFFC4, ac)});
    jpeg.insert(jpeg.begin() + static_cast<long>(sos), optimized.begin(), optimized.end());

    Result r = Transform(jpeg, TransformKind::Rotate90);
    ASSERT_TRUE(r.rotated);
    EXPECT_EQ(r.log.dhtWarnings, 1);
    // Both rewritten as the standard tables of their class and identifier.
    const Bytes standardDc = Concat({{0xFF, 0xC4, 0x00, 0x1F, 0x00}, StandardTableBody(0, 0)});
    const Bytes standardAcSegment = Concat({{0xFF, 0xC4, 0x00, 0xB5, 0x10}, StandardTableBody(1, 0)});
    EXPECT_NE(Find(r.output, Concat({standardDc, standardAcSegment})), kNotFound);
    // A segment of the four standard tables is copied byte for byte, without a warning.
    Result plain = Transform(SimpleGray(8, 8), TransformKind::Rotate90);
    EXPECT_EQ(plain.log.dhtWarnings, 0);
    EXPECT_NE(Find(plain.output, StandardDht()), kNotFound);
}

TEST(HuffmanTables, AnAcTableOfTwelveSymbolsIsNotFull) {
    // Twelve AC symbols by count is not a complete AC table: it is replaced like any other.
    Bytes ac = {0x10, 0, 2, 1, 3, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const Bytes standardAc = StandardTableBody(1, 0);
    ac.insert(ac.end(), standardAc.begin() + 16, standardAc.begin() + 16 + 12);
    ScanBitWriter w;
    w.Dc(0, 1), w.Ac(0, 0, 1), w.Ac(0, 0, 0);
    Bytes jpeg = BuildJpeg(8, 8, Gray(), w.Finish());
    const Bytes segment = Segment(0xFFC4, ac);
    jpeg.insert(jpeg.begin() + static_cast<long>(Find(jpeg, {0xFF, 0xDA})), segment.begin(), segment.end());
    Result r = Transform(jpeg, TransformKind::Rotate90);
    ASSERT_TRUE(r.rotated);
    EXPECT_EQ(r.log.dhtWarnings, 1);
}

// The jpeg with its DHT segment replaced by `dht` (none when empty).
Bytes WithDht(Bytes jpeg, const Bytes& dht) {
    const size_t at = Find(jpeg, {0xFF, 0xC4});
    const auto start = jpeg.begin() + static_cast<long>(at);
    jpeg.erase(start, start + 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]));
    jpeg.insert(jpeg.begin() + static_cast<long>(at), dht.begin(), dht.end());
    return jpeg;
}

// A DHT segment of the standard tables of the given classes and identifiers, each with its
// symbols in reverse order when `reversed`: full tables, but not the standard codes.
Bytes TablesSegment(std::initializer_list<std::pair<int, int>> tables, bool reversed) {
    Bytes body;
    for (const auto& [tableClass, id] : tables) {
        Bytes table = StandardTableBody(tableClass, id);
        if (reversed) std::reverse(table.begin() + 16, table.end());
        body.push_back(static_cast<uint8_t>(tableClass << 4 | id));
        body.insert(body.end(), table.begin(), table.end());
    }
    return Segment(0xFFC4, body);
}

TEST(HuffmanTables, AScanUsesOnlyTablesItsOwnStreamDefines) {
    const Bytes gray = SimpleGray(16, 8);
    const Bytes ycc = SimpleYcc(16, 16, 1, 1);
    struct Case {
        const char* name;
        Bytes before;  // handled by the same engine first
        Bytes jpeg;
    };
    const Case cases[] = {
        {"no tables, fresh engine", {}, WithDht(gray, {})},
        {"no tables, after standard tables", gray, WithDht(gray, {})},
        {"no tables, after full tables of other codes",
         WithDht(gray, TablesSegment({{0, 0}, {1, 0}, {0, 1}, {1, 1}}, true)), WithDht(gray, {})},
        {"the chroma tables missing", ycc, WithDht(ycc, TablesSegment({{0, 0}, {1, 0}}, false))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TJpegRotation engine;
        std::vector<EngineMessage> messages;
        engine.OnCodedMessage = [&](const EngineMessage& m) { messages.push_back(m); };
        const TMemoryStream before = Stream(c.before), input = Stream(c.jpeg);
        if (!c.before.empty()) ASSERT_TRUE(engine.CheckJpeg(before));
        EXPECT_FALSE(engine.CheckJpeg(input));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].code, MessageCode::UndefinedHuffmanTable);
        EXPECT_EQ(messages[0].text, msg::kUndefinedHuffmanTable);
        EXPECT_EQ(messages[0].level, 2);
        if (c.before.empty()) continue;
        // A transform right after checking a file of the same frame finds no tables either.
        messages.clear();
        ASSERT_TRUE(engine.CheckJpeg(before));
        TMemoryStream output;
        EXPECT_FALSE(engine.RotateJpeg(input, output, TransformKind::Rotate90));
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].code, MessageCode::UndefinedHuffmanTable);
    }
}

TEST(HuffmanTables, OverSubscribedTablesAreRefused) {
    Bytes dc = {0x00, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2};  // three 1-bit codes
    Bytes jpeg = SimpleGray(8, 8);
    const Bytes segment = Segment(0xFFC4, dc);
    jpeg.insert(jpeg.begin() + static_cast<long>(Find(jpeg, {0xFF, 0xDA})), segment.begin(), segment.end());
    Result r = Transform(jpeg, TransformKind::Rotate90);
    EXPECT_FALSE(r.checked);
    EXPECT_EQ(r.log.messages.back().first, msg::kBadHuffmanTable);
}

TEST(Encoding, CodesAreWrittenAsTheStandardSays) {
    // One block with only coefficient 63 (zig-zag) set: three sixteen-zero codes, symbol 0xE0+t,
    // no end-of-block. A second block with 16 zeros then a value: one ZRL and run 0.
    ScanBitWriter in;
    in.Dc(0, -3);
    for (int i = 0; i < 3; ++i) in.Ac(0, 15, 0);
    in.Ac(0, 14, 6);
    in.Dc(0, 300);
    in.Ac(0, 15, 0), in.Ac(0, 0, -2), in.Ac(0, 0, 0);
    const Bytes jpeg = BuildJpeg(16, 8, Gray(), in.Finish());
    Result r = Transform(jpeg, TransformKind::NoRotation);
    ASSERT_TRUE(r.rotated);
    // Exactly the hand-coded scan, padding included.
    ScanBitWriter expected;
    expected.Dc(0, -3);
    for (int i = 0; i < 3; ++i) expected.Ac(0, 15, 0);
    expected.Ac(0, 14, 6);
    expected.Dc(0, 300);
    expected.Ac(0, 15, 0), expected.Ac(0, 0, -2), expected.Ac(0, 0, 0);
    const Bytes scan = expected.Finish();
    const size_t start = Find(r.output, {0xFF, 0xDA}) + 10;
    EXPECT_EQ(Bytes(r.output.begin() + static_cast<long>(start), r.output.end() - 2), scan);
}

TEST(Encoding, RestartMarkersAreNumberedAfresh) {
    // 5 MCUs, interval 2: FFD0 after MCU 2, FFD1 after MCU 4, nothing after the last.
    Result r = Transform(SimpleGray(40, 8, 2), TransformKind::MirrorLR);
    ASSERT_TRUE(r.rotated);
    const size_t d0 = Find(r.output, {0xFF, 0xD0});
    const size_t d1 = Find(r.output, {0xFF, 0xD1});
    ASSERT_NE(d0, kNotFound);
    ASSERT_NE(d1, kNotFound);
    EXPECT_LT(d0, d1);
    EXPECT_EQ(Find(r.output, {0xFF, 0xD2}), kNotFound);
    // Twenty MCUs with interval 2: the ninth marker wraps around to FFD0.
    Result wrap = Transform(SimpleGray(160, 8, 2), TransformKind::Rotate180);
    ASSERT_TRUE(wrap.rotated);
    EXPECT_NE(Find(wrap.output, {0xFF, 0xD0}, Find(wrap.output, {0xFF, 0xD7})), kNotFound);
}

TEST(Encoding, ASymbolTheTableLacksFailsTheRun) {
    // Blocks a b / c d with DC 1500, 0, -1000, 0: a quarter turn puts a after c, a DC
    // difference of 2500, whose category 12 the standard DC table does not hold.
    ScanBitWriter w;
    for (int diff : {1500, -1500, -1000, 1000}) w.Dc(0, diff), w.Ac(0, 0, 0);
    Result r = Transform(BuildJpeg(16, 16, Gray(), w.Finish()), TransformKind::Rotate90);
    EXPECT_TRUE(r.checked);
    EXPECT_FALSE(r.rotated);
    ASSERT_EQ(r.log.messages.size(), 1u);
    EXPECT_EQ(r.log.messages[0], std::make_pair(std::string(msg::kMissingCode), 2));
}

TEST(Engine, KindsBeyondTheContractAreRefused) {
    TJpegRotation engine;
    HookLog log;
    log.Attach(engine);
    const TMemoryStream input = Stream(SimpleGray(8, 8));
    ASSERT_TRUE(engine.CheckJpeg(input));
    TMemoryStream output;
    EXPECT_FALSE(engine.RotateJpeg(input, output, static_cast<TransformKind>(kTransformKindCount)));
    EXPECT_EQ(log.messages.back().first, msg::kBadKind);
}

TEST(Engine, RotateReadsItsOwnFrame) {
    // What the engine checked before does not matter: a transform settles its size and MCU
    // from its own input, trimming included.
    const std::pair<Bytes, Bytes> cases[] = {
        {SimpleGray(16, 8), SimpleGray(8, 16)},
        {SimpleYcc(32, 32, 2, 2), SimpleYcc(32, 32, 1, 1)},
        {SimpleYcc(32, 32, 1, 1), SimpleYcc(32, 32, 2, 2)},
        {SimpleYcc(32, 32, 2, 1), SimpleYcc(1000, 750, 2, 2)},
        {{}, SimpleYcc(1000, 750, 1, 2)},
    };
    for (const auto& [checkedBefore, input] : cases) {
        SCOPED_TRACE(testing::PrintToString(FrameSize(input)));
        const Result expected = Transform(input, TransformKind::Rotate90, true);
        ASSERT_TRUE(expected.rotated);
        TJpegRotation engine;
        engine.AllowAdjustMCU = true;
        if (!checkedBefore.empty()) ASSERT_TRUE(engine.CheckJpeg(Stream(checkedBefore)));
        HookLog log;
        log.Attach(engine);
        TMemoryStream output;
        EXPECT_TRUE(engine.RotateJpeg(Stream(input), output, TransformKind::Rotate90));
        EXPECT_EQ(output.Bytes(), expected.output);
        EXPECT_EQ(log.progress, expected.log.progress);
        EXPECT_EQ(log.ErrorCount(), 0);
    }
}

TEST(BlockTransforms, QuarterTurnsAndMirrorsComposeToIdentity) {
    CoefBlock block;
    for (int k = 0; k < 64; ++k) block[k] = static_cast<int16_t>(k * 37 % 101 - 50);
    CoefBlock b = block;
    for (int i = 0; i < 4; ++i) TransformBlock(TransformKind::Rotate90, b);
    EXPECT_EQ(b, block);
    TransformBlock(TransformKind::Rotate90, b), TransformBlock(TransformKind::Rotate270, b);
    EXPECT_EQ(b, block);
    TransformBlock(TransformKind::MirrorLR, b), TransformBlock(TransformKind::MirrorLR, b);
    EXPECT_EQ(b, block);
    for (TransformKind kind : {TransformKind::Transpose, TransformKind::Transverse}) {
        TransformBlock(kind, b), TransformBlock(kind, b);
        EXPECT_EQ(b, block) << Facts(kind).name << " twice";
    }
    // Transverse is a transposition turned by 180 degrees.
    CoefBlock transverse = block;
    TransformBlock(TransformKind::Transverse, transverse);
    b = block;
    TransformBlock(TransformKind::Transpose, b), TransformBlock(TransformKind::Rotate180, b);
    EXPECT_EQ(b, transverse);
    b = block;
    TransformBlock(TransformKind::MirrorLR, b), TransformBlock(TransformKind::MirrorTB, b);
    CoefBlock half = block;
    TransformBlock(TransformKind::Rotate180, half);
    EXPECT_EQ(b, half);
    // 180 degrees: 0, 3, 4, 5 and 63 keep their sign; 1, 2, 6, 7, 8, 9 change it.
    for (int k : {0, 3, 4, 5, 63}) EXPECT_EQ(half[k], block[k]) << k;
    for (int k : {1, 2, 6, 7, 8, 9}) EXPECT_EQ(half[k], -block[k]) << k;
    // Transposing 1..64 gives the transposition table plus one.
    std::array<int16_t, 64> table;
    for (int k = 0; k < 64; ++k) table[k] = static_cast<int16_t>(k + 1);
    TransposeBlock(table);
    const int expected[] = {1, 3, 2, 6, 5, 4, 10, 9, 8, 7, 15, 14, 13, 12, 11};
    for (int k = 0; k < 15; ++k) EXPECT_EQ(table[k], expected[k]);
}

}  // namespace
}  // namespace pivotta
