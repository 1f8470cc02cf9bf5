// The entropy codecs at their limits: progressive scans coded with the standard tables
// (which lack every end-of-band run class but EOB0), arithmetic conditioning other than the
// default, 12-bit coefficient ranges, and damaged data.
#include <random>

#include <gtest/gtest.h>

#include "CoefficientMatchers.h"
#include "Endian.h"
#include "EntropyBits.h"
#include "ExternalTools.h"
#include "HuffmanTables.h"
#include "JpegFixtures.h"
#include "ScanSplitter.h"
#include "TwelveBitScans.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes SegmentBytes(uint16_t marker, const Bytes& body) {
    Bytes out = {static_cast<uint8_t>(marker >> 8), static_cast<uint8_t>(marker)};
    const size_t length = body.size() + 2;
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes StandardDhtSegment() {
    Bytes body;
    for (int tc = 0; tc < 2; ++tc) {
        for (int id = 0; id < 2; ++id) {
            body.push_back(static_cast<uint8_t>(tc << 4 | id));
            const std::vector<uint8_t> payload = HuffTables::StandardTablePayload(tc, id);
            body.insert(body.end(), payload.begin(), payload.end());
        }
    }
    return SegmentBytes(0xFFC4, body);
}

// The file with every DHT and DAC segment dropped and `insert` placed before the first scan header;
// each scan's data replaced.
Bytes Rebuild(const Bytes& jpeg, const SplitJpeg& split, const Bytes& insert, const std::vector<Bytes>& scans) {
    Bytes out = {0xFF, 0xD8};
    bool inserted = false;
    size_t scan = 0;
    for (const auto& segment : split.segments) {
        if (segment.marker == 0xFFC4 || segment.marker == 0xFFCC) continue;
        if (segment.marker == 0xFFDA) {
            if (!inserted) out.insert(out.end(), insert.begin(), insert.end());
            inserted = true;
        }
        out.insert(out.end(), jpeg.begin() + static_cast<long>(segment.begin), jpeg.begin() + static_cast<long>(segment.end));
        if (segment.marker == 0xFFDA) {
            out.insert(out.end(), scans[scan].begin(), scans[scan].end());
            ++scan;
        }
    }
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

struct Source {
    Bytes file;
    SplitJpeg split;
    JpegCoefs expected;
};

Source Convert(const FixtureSpec& spec, const std::string& options) {
    Source s;
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) return s;
    s.file = RunJpegtran(jpegtran, MakeJpeg(spec), options);
    std::string why;
    EXPECT_TRUE(SplitJpegScans(s.file, s.split, &why)) << why;
    s.expected = ReadCoefficients(s.file);
    return s;
}

FixtureSpec Colour(int w, int h) {
    FixtureSpec spec;
    spec.width = w;
    spec.height = h;
    return spec;
}

TEST(ScanCodecLimits, ProgressiveScansCodeWithTheStandardTables) {
    for (const char* options : {"-progressive", "-progressive -restart 1"}) {
        SCOPED_TRACE(options);
        Source s = Convert(Colour(97, 83), options);
        if (s.file.empty()) GTEST_SKIP() << "jpegtran is not installed";
        Planes planes(s.split);
        ASSERT_TRUE(DecodeAllScans(s.file, s.split, planes).ok());

        std::array<HuffmanEncodeTable, kHuffmanSlotCount> standard;
        HuffmanEncodeTables tables;
        for (int tc = 0; tc < 2; ++tc) {
            for (int id = 0; id < 2; ++id) {
                const std::vector<uint8_t> payload = HuffTables::StandardTablePayload(tc, id);
                HuffmanEncodeTable& t = standard[HuffmanSlotIndex(tc, id)];
                ASSERT_TRUE(BuildHuffmanEncodeTable(std::span<const uint8_t, 16>(payload.data(), 16),
                                                    std::span(payload).subspan(16), t));
                (tc == 0 ? tables.dc : tables.ac)[id] = &t;
            }
        }
        std::vector<Bytes> scans;
        for (const SplitScan& scan : s.split.scans) {
            Bytes data;
            ASSERT_TRUE(EncodeHuffmanScan(scan.layout, tables, planes.View(), data).ok());
            scans.push_back(std::move(data));
        }
        EXPECT_TRUE(SameCoefficients(ReadCoefficients(Rebuild(s.file, s.split, StandardDhtSegment(), scans)), s.expected));
    }
}

TEST(ScanCodecLimits, ArithmeticConditioningFromDacIsHonoured) {
    Source s = Convert(Colour(61, 47), "-arithmetic -progressive");
    if (s.file.empty()) GTEST_SKIP() << "jpegtran is not installed";
    Planes planes(s.split);
    ASSERT_TRUE(DecodeAllScans(s.file, s.split, planes).ok());
    ArithmeticConditioning cond;
    cond.dcL = {2, 0, 0, 0};
    cond.dcU = {6, 0, 1, 1};
    cond.acKx = {20, 2, 5, 5};
    // DAC: class/table then the value (L | U << 4 for DC, Kx for AC), B.2.4.3.
    const Bytes dac = SegmentBytes(0xFFCC, {0x00, 0x62, 0x01, 0x00, 0x10, 20, 0x11, 2});
    std::vector<Bytes> scans;
    for (SplitScan scan : s.split.scans) {
        Bytes data;
        ASSERT_TRUE(EncodeArithmeticScan(scan.layout, cond, planes.View(), data).ok());
        scans.push_back(std::move(data));
    }
    const Bytes rebuilt = Rebuild(s.file, s.split, dac, scans);
    EXPECT_TRUE(SameCoefficients(ReadCoefficients(rebuilt), s.expected));
    SplitJpeg split;
    ASSERT_TRUE(SplitJpegScans(rebuilt, split, nullptr));
    EXPECT_EQ(split.scans[0].conditioning.acKx[0], 20);
    Planes again(split);
    ASSERT_TRUE(DecodeAllScans(rebuilt, split, again).ok());
    EXPECT_EQ(again.blocks, planes.blocks);
}

// Damage is reported, never decoded into the planes as if it were data.
TEST(ScanCodecLimits, DamagedScansFailWithTheirOwnError) {
    struct Damage {
        const char* name;
        const char* options;
        ScanError expected;
        void (*apply)(Bytes& data);
    };
    const Damage damages[] = {
        {"Huffman data cut in half", "-progressive", ScanError::Truncated, [](Bytes& d) { d.resize(d.size() / 2); }},
        {"restart out of sequence", "-restart 1", ScanError::BadRestart,
         [](Bytes& d) {
             for (size_t i = 0; i + 1 < d.size(); ++i)
                 if (d[i] == 0xFF && d[i + 1] == 0xD1) d[i + 1] = 0xD3;
         }},
        {"data before a restart marker", "-restart 1", ScanError::BadRestart,
         [](Bytes& d) {
             for (size_t i = 0; i + 1 < d.size(); ++i)
                 if (d[i] == 0xFF && d[i + 1] == 0xD0) {
                     d.insert(d.begin() + static_cast<long>(i), {0x12, 0x34});
                     return;
                 }
         }},
        {"arithmetic restart missing", "-arithmetic -restart 1", ScanError::BadRestart,
         [](Bytes& d) {
             for (size_t i = 0; i + 1 < d.size(); ++i)
                 if (d[i] == 0xFF && d[i + 1] == 0xD0) d[i + 1] = 0xD5;
         }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        Source s = Convert(Colour(200, 160), damage.options);
        if (s.file.empty()) GTEST_SKIP() << "jpegtran is not installed";
        Bytes data(s.file.begin() + static_cast<long>(s.split.scans[0].dataBegin),
                   s.file.begin() + static_cast<long>(s.split.scans[0].dataEnd));
        damage.apply(data);
        const Bytes damaged = ReplaceScanData(s.file, s.split, [&] {
            std::vector<Bytes> scans;
            for (const SplitScan& scan : s.split.scans)
                scans.emplace_back(s.file.begin() + static_cast<long>(scan.dataBegin), s.file.begin() + static_cast<long>(scan.dataEnd));
            scans[0] = data;
            return scans;
        }());
        SplitJpeg split;
        ASSERT_TRUE(SplitJpegScans(damaged, split, nullptr));
        Planes planes(split);
        EXPECT_EQ(DecodeAllScans(damaged, split, planes).error, damage.expected);
    }
}

// ---- 12-bit precision: no library at hand writes it, so the codecs meet a literal decoder
// of the tests' own and their own round trip.

// The blocks a script codes, the rest zero: non-interleaved scans leave the padding out.
void ZeroUncoded(Planes& planes, const SplitJpeg& frame) {
    if (frame.components.size() == 1) return;
    // Every script below has an interleaved DC scan but codes AC per component.
    for (size_t c = 0; c < frame.components.size(); ++c) {
        const ScanLayout own = TwelveBitLayout(frame, {static_cast<int>(c)}, 1, 63, 0, 0, 0);
        const CoefficientPlane& plane = planes.views[c];
        for (size_t y = 0; y < planes.blocks[c].size() / plane.stride; ++y)
            for (size_t x = 0; x < plane.stride; ++x)
                if (x >= static_cast<size_t>(own.components[0].blocksWide) ||
                    y >= static_cast<size_t>(own.components[0].blocksHigh))
                    std::fill(plane.At(x, y).begin() + 1, plane.At(x, y).end(), int16_t{0});
    }
}

struct TwelveBitCase {
    const char* name;
    bool progressive;
    bool arithmetic;
    int restart;
};

class TwelveBitTest : public ::testing::TestWithParam<TwelveBitCase> {};

TEST_P(TwelveBitTest, EveryScanRoundTrips) {
    const TwelveBitCase& param = GetParam();
    const SplitJpeg frame = TwelveBitFrame(37, 29, param.progressive, {{1, 2, 2}, {2, 1, 1}, {3, 1, 1}});
    Planes original = RandomTwelveBitPlanes(frame, 12);
    std::vector<ScanLayout> script;
    if (param.progressive) {
        script = {TwelveBitLayout(frame, {0, 1, 2}, 0, 0, 0, 2, param.restart), TwelveBitLayout(frame, {0}, 1, 8, 0, 3, param.restart),
                  TwelveBitLayout(frame, {0}, 9, 63, 0, 1, param.restart),     TwelveBitLayout(frame, {1}, 1, 63, 0, 0, param.restart),
                  TwelveBitLayout(frame, {2}, 1, 63, 0, 0, param.restart),     TwelveBitLayout(frame, {0, 1, 2}, 0, 0, 2, 1, param.restart),
                  TwelveBitLayout(frame, {0, 1, 2}, 0, 0, 1, 0, param.restart), TwelveBitLayout(frame, {0}, 1, 8, 3, 2, param.restart),
                  TwelveBitLayout(frame, {0}, 1, 8, 2, 1, param.restart),      TwelveBitLayout(frame, {0}, 1, 8, 1, 0, param.restart),
                  TwelveBitLayout(frame, {0}, 9, 63, 1, 0, param.restart)};
        ZeroUncoded(original, frame);
    } else {
        script = {TwelveBitLayout(frame, {0, 1, 2}, 0, 63, 0, 0, param.restart)};
    }
    const UniversalTable universal;
    HuffmanEncodeTable encode;
    HuffmanDecodeTable decode;
    ASSERT_TRUE(BuildHuffmanEncodeTable(universal.counts, universal.symbols, encode));
    ASSERT_TRUE(BuildHuffmanDecodeTable(universal.counts, universal.symbols, decode));
    const HuffmanEncodeTables encoders{{&encode, &encode, &encode, &encode}, {&encode, &encode, &encode, &encode}};
    const HuffmanDecodeTables decoders{{&decode, &decode, &decode, &decode}, {&decode, &decode, &decode, &decode}};
    const ArithmeticConditioning conditioning;

    Planes decoded(frame);
    for (const ScanLayout& scan : script) {
        Bytes data;
        if (param.arithmetic) {
            ASSERT_TRUE(EncodeArithmeticScan(scan, conditioning, original.View(), data).ok());
            ASSERT_TRUE(DecodeArithmeticScan(scan, conditioning, data, decoded.View()).ok());
        } else {
            ASSERT_TRUE(EncodeHuffmanScan(scan, encoders, original.View(), data).ok());
            ASSERT_TRUE(DecodeHuffmanScan(scan, decoders, data, decoded.View()).ok());
        }
    }
    EXPECT_EQ(decoded.blocks, original.blocks);
}

INSTANTIATE_TEST_SUITE_P(Processes, TwelveBitTest,
                         ::testing::Values(TwelveBitCase{"Sequential", false, false, 0},
                                           TwelveBitCase{"SequentialRestart", false, false, 3},
                                           TwelveBitCase{"Progressive", true, false, 0},
                                           TwelveBitCase{"ProgressiveRestart", true, false, 2},
                                           TwelveBitCase{"Arithmetic", false, true, 0},
                                           TwelveBitCase{"ArithmeticProgressive", true, true, 0},
                                           TwelveBitCase{"ArithmeticProgressiveRestart", true, true, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

// T.81 F.2.2.3 as written: DECODE bit by bit with MINCODE, MAXCODE and VALPTR, RECEIVE and
// EXTEND, for one non-interleaved 12-bit sequential scan without restarts.
class LiteralDecoder {
public:
    LiteralDecoder(const Bytes& data, const UniversalTable& table) : data_(data) {
        int code = 0, k = 0;
        for (int l = 1; l <= 16; ++l) {
            valPtr_[l] = k;
            minCode_[l] = code;
            code += table.counts[l - 1];
            k += table.counts[l - 1];
            maxCode_[l] = table.counts[l - 1] ? code - 1 : -1;
            code <<= 1;
        }
        symbols_ = table.symbols;
    }
    int NextBit() {
        if (bit_ == 0) {
            byte_ = data_.at(pos_++);
            if (byte_ == 0xFF) ++pos_;  // the stuffed 0
            bit_ = 8;
        }
        return byte_ >> --bit_ & 1;
    }
    int Decode() {
        int code = NextBit(), l = 1;
        while (maxCode_[l] < 0 || code > maxCode_[l]) {
            code = code << 1 | NextBit();
            if (++l > 16) return -1;
        }
        return symbols_[valPtr_[l] + code - minCode_[l]];
    }
    int Receive(int s) {
        int v = 0;
        for (int i = 0; i < s; ++i) v = v << 1 | NextBit();
        return s == 0 ? 0 : v < (1 << (s - 1)) ? v - (1 << s) + 1 : v;
    }
    void Block(CoefBlock& block, int& pred) {
        block.fill(0);
        pred += Receive(Decode());
        block[0] = static_cast<int16_t>(pred);
        for (int k = 1; k < 64; ++k) {
            const int rs = Decode(), r = rs >> 4, s = rs & 15;
            if (s == 0) {
                if (r != 15) return;
                k += 15;
                continue;
            }
            k += r;
            block[k] = static_cast<int16_t>(Receive(s));
        }
    }

private:
    const Bytes& data_;
    size_t pos_ = 0;
    int byte_ = 0, bit_ = 0;
    std::array<int, 17> minCode_{}, maxCode_{}, valPtr_{};
    std::array<uint8_t, 256> symbols_{};
};

TEST(TwelveBit, HuffmanScanReadsAsTheLiteralDecoderOfT81ReadsIt) {
    const SplitJpeg frame = TwelveBitFrame(45, 21, false, {{1, 1, 1}});
    const Planes original = RandomTwelveBitPlanes(frame, 3);
    const UniversalTable universal;
    HuffmanEncodeTable encode;
    ASSERT_TRUE(BuildHuffmanEncodeTable(universal.counts, universal.symbols, encode));
    const ScanLayout scan = TwelveBitLayout(frame, {0}, 0, 63, 0, 0, 0);
    Bytes data;
    ASSERT_TRUE(EncodeHuffmanScan(scan, {{&encode}, {&encode}}, original.View(), data).ok());
    LiteralDecoder literal(data, universal);
    int pred = 0;
    for (const CoefBlock& expected : original.blocks[0]) {
        CoefBlock block;
        literal.Block(block, pred);
        ASSERT_EQ(block, expected);
    }
}

}  // namespace
}  // namespace pivotta::test
