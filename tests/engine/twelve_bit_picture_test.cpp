// 12-bit pictures through RotateJpeg: no library at hand writes or reads them, so the tests
// build extended, progressive and arithmetic files from coefficients of their own, and check
// every kind, trimmed and not, against the transform model, with the output in the input's
// process, precision and scan script.
#include <gtest/gtest.h>

#include <tuple>

#include "CoefficientMatchers.h"
#include "JpegFixtures.h"
#include "JpegRotation.h"
#include "ScanSplitter.h"
#include "TwelveBitScans.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;

enum class Script { OneScan, LumaThenChroma, Progressive, ProgressiveDcPerComponent };

struct Case {
    const char* name;
    int frameMarker;  // SOF1, SOF2, SOF9 or SOF10
    int width, height;
    std::vector<SplitJpeg::Component> components;
    int restart;
    Script script;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const std::vector<SplitJpeg::Component> kGray = {{1, 1, 1}};
std::vector<SplitJpeg::Component> Ycc(int h, int v) { return {{1, h, v}, {2, 1, 1}, {3, 1, 1}}; }

const Case kCases[] = {
    {"ExtendedHuffman420RaggedRestart", 0xFFC1, 37, 29, Ycc(2, 2), 3, Script::OneScan},
    {"ExtendedHuffmanGray", 0xFFC1, 45, 21, kGray, 0, Script::OneScan},
    {"ExtendedHuffman422LumaThenChroma", 0xFFC1, 43, 30, Ycc(2, 1), 2, Script::LumaThenChroma},
    {"ExtendedHuffmanFourComponents", 0xFFC1, 33, 24, {{1, 2, 1}, {2, 1, 1}, {3, 1, 1}, {4, 2, 1}}, 0, Script::OneScan},
    {"Progressive420RaggedRestart", 0xFFC2, 37, 29, Ycc(2, 2), 2, Script::Progressive},
    {"ProgressiveGray", 0xFFC2, 30, 45, kGray, 0, Script::Progressive},
    {"Progressive440DcPerComponent", 0xFFC2, 40, 35, Ycc(1, 2), 0, Script::ProgressiveDcPerComponent},
    {"Arithmetic444Restart", 0xFFC9, 35, 27, Ycc(1, 1), 4, Script::OneScan},
    {"Arithmetic422Ragged", 0xFFC9, 37, 29, Ycc(2, 1), 0, Script::OneScan},
    {"ArithmeticLumaThenChroma", 0xFFC9, 41, 33, Ycc(2, 2), 1, Script::LumaThenChroma},
    {"ArithmeticProgressive420Restart", 0xFFCA, 37, 29, Ycc(2, 2), 1, Script::Progressive},
};

std::vector<ScanLayout> MakeScript(const SplitJpeg& f, Script script, int restart) {
    std::vector<int> all, rest;
    for (int c = 0; c < static_cast<int>(f.components.size()); ++c) {
        all.push_back(c);
        if (c > 0) rest.push_back(c);
    }
    const auto scan = [&](std::vector<int> comps, int Ss, int Se, int Ah, int Al) {
        return TwelveBitLayout(f, std::move(comps), Ss, Se, Ah, Al, restart);
    };
    if (script == Script::OneScan) return {scan(all, 0, 63, 0, 0)};
    if (script == Script::LumaThenChroma) return {scan({0}, 0, 63, 0, 0), scan(rest, 0, 63, 0, 0)};
    std::vector<ScanLayout> out;
    const auto dc = [&](int Ah, int Al) {
        if (script == Script::Progressive) return out.push_back(scan(all, 0, 0, Ah, Al));
        for (int c : all) out.push_back(scan({c}, 0, 0, Ah, Al));
    };
    dc(0, 1);
    out.push_back(scan({0}, 1, 5, 0, 2));
    out.push_back(scan({0}, 6, 63, 0, 1));
    for (int c : rest) out.push_back(scan({c}, 1, 63, 0, 0));
    dc(1, 0);
    out.push_back(scan({0}, 1, 5, 2, 1));
    out.push_back(scan({0}, 1, 5, 1, 0));
    out.push_back(scan({0}, 6, 63, 1, 0));
    return out;
}

// Quantization values up to 1000 in zig-zag order: 16-bit tables, as 12-bit files need.
uint16_t QuantValue(int table, int k) { return static_cast<uint16_t>(1 + (k * 37 + table * 11) % 1000); }

uint8_t Byte(int value) { return static_cast<uint8_t>(value); }

void Append(Bytes& out, uint16_t marker, const Bytes& body) {
    const size_t length = body.size() + 2;
    out.insert(out.end(), {Byte(marker >> 8), Byte(marker),
                           Byte(length >> 8), Byte(length)});
    out.insert(out.end(), body.begin(), body.end());
}

// Non-default conditioning, so that a DAC the output lost would show.
ArithmeticConditioning Conditioning() {
    ArithmeticConditioning c;
    c.dcL[0] = 1, c.dcU[0] = 4, c.acKx[0] = 9;
    return c;
}

// SOI, DQT (16-bit), the frame, DHT or DAC, DRI, each scan of the script, EOI; every
// component on table selector 0, chroma on quantization table 1.
Bytes BuildFile(const Case& c, const SplitJpeg& f, const std::vector<ScanLayout>& script, const Planes& planes) {
    const bool arithmetic = c.frameMarker >= 0xFFC9;
    Bytes out = {0xFF, 0xD8};
    for (int t = 0; t < 2; ++t) {
        Bytes dqt = {Byte(0x10 | t)};
        for (int k = 0; k < 64; ++k) dqt.insert(dqt.end(), {Byte(QuantValue(t, k) >> 8), Byte(QuantValue(t, k))});
        Append(out, 0xFFDB, dqt);
    }
    Bytes sof = {12, Byte(f.height >> 8), Byte(f.height), Byte(f.width >> 8), Byte(f.width),
                 Byte(static_cast<int>(f.components.size()))};
    for (size_t i = 0; i < f.components.size(); ++i)
        sof.insert(sof.end(), {Byte(f.components[i].id), Byte(f.components[i].h << 4 | f.components[i].v), Byte(i != 0)});
    Append(out, static_cast<uint16_t>(c.frameMarker), sof);

    const UniversalTable universal;
    HuffmanEncodeTable encode;
    if (!BuildHuffmanEncodeTable(universal.counts, universal.symbols, encode)) return {};
    const HuffmanEncodeTables encoders{{&encode, &encode, &encode, &encode}, {&encode, &encode, &encode, &encode}};
    const ArithmeticConditioning conditioning = Conditioning();
    if (arithmetic) {
        const uint8_t dc = Byte(conditioning.dcU[0] << 4 | conditioning.dcL[0]);
        Append(out, 0xFFCC, {0x00, dc, 0x10, conditioning.acKx[0]});
    } else {
        Bytes dht;
        for (uint8_t tc : {0x00, 0x10}) {
            dht.push_back(tc);
            dht.insert(dht.end(), universal.counts.begin(), universal.counts.end());
            dht.insert(dht.end(), universal.symbols.begin(), universal.symbols.end());
        }
        Append(out, 0xFFC4, dht);
    }
    if (c.restart > 0) Append(out, 0xFFDD, {0, Byte(c.restart)});
    for (const ScanLayout& scan : script) {
        Bytes sos = {Byte(scan.componentCount)};
        for (int i = 0; i < scan.componentCount; ++i)
            sos.insert(sos.end(), {Byte(f.components[scan.components[i].plane].id), 0});
        sos.insert(sos.end(), {Byte(scan.Ss), Byte(scan.Se), Byte(scan.Ah << 4 | scan.Al)});
        Append(out, 0xFFDA, sos);
        Bytes data;
        const ScanResult coded = arithmetic ? EncodeArithmeticScan(scan, conditioning, planes.View(), data)
                                            : EncodeHuffmanScan(scan, encoders, planes.View(), data);
        if (!coded.ok()) return {};
        out.insert(out.end(), data.begin(), data.end());
    }
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

int FrameMarker(const SplitJpeg& split) {
    for (const auto& seg : split.segments)
        if (seg.marker >= 0xFFC0 && seg.marker <= 0xFFCF && seg.marker != 0xFFC4 && seg.marker != 0xFFC8 &&
            seg.marker != 0xFFCC)
            return seg.marker;
    return 0;
}

// Each component's quantization table in natural order, as the file's DQT and frame say.
std::vector<std::array<uint16_t, 64>> ComponentQuant(const Bytes& file, const SplitJpeg& split) {
    static const std::array<int, 64> natural = NaturalOfZigZag();
    std::array<std::array<uint16_t, 64>, 4> tables{};
    std::vector<std::array<uint16_t, 64>> out;
    for (const auto& seg : split.segments) {
        if (seg.marker == 0xFFDB) {
            for (size_t at = seg.begin + 4; at < seg.end;) {
                const int pq = file[at] >> 4, tq = file[at] & 3;
                ++at;
                for (int k = 0; k < 64; ++k, at += 1 + pq)
                    tables[tq][natural[k]] = static_cast<uint16_t>(pq ? file[at] << 8 | file[at + 1] : file[at]);
            }
        } else if (seg.marker == FrameMarker(split)) {
            // Tq of component i: after the frame's marker, length, P, Y, X, Nf and i entries.
            for (size_t i = 0; i < split.components.size(); ++i) out.push_back(tables[file[seg.begin + 12 + 3 * i] & 3]);
        }
    }
    return out;
}

// The planes over the whole MCU grid in the model's terms.
JpegCoefs GridCoefs(const Bytes& file, const SplitJpeg& split, const Planes& planes) {
    JpegCoefs shape;
    const auto quant = ComponentQuant(file, split);
    for (size_t c = 0; c < split.components.size(); ++c) {
        ComponentCoefs comp;
        comp.widthInBlocks = static_cast<int>(planes.views[c].stride);
        comp.heightInBlocks = static_cast<int>(planes.blocks[c].size() / planes.views[c].stride);
        if (c < quant.size()) comp.quant = quant[c];
        shape.comps.push_back(comp);
    }
    return PlanesAsCoefs(split, planes, shape);
}

// Zeroes every coefficient the file's scans do not code: a non-interleaved scan leaves out
// the padding blocks of the MCU grid (T.81 A.2.2).
void ZeroUncoded(JpegCoefs& coefs, const SplitJpeg& split) {
    static const std::array<int, 64> natural = NaturalOfZigZag();
    for (size_t c = 0; c < coefs.comps.size(); ++c) {
        ComponentCoefs& comp = coefs.comps[c];
        for (int y = 0; y < comp.heightInBlocks; ++y) {
            for (int x = 0; x < comp.widthInBlocks; ++x) {
                for (int k = 0; k < 64; ++k) {
                    bool coded = false;
                    for (const SplitScan& scan : split.scans) {
                        const ScanLayout s = WholeBlocksIfSequential(scan.layout);
                        for (int i = 0; i < s.componentCount; ++i) {
                            const ScanComponent& sc = s.components[i];
                            coded |= sc.plane == static_cast<int>(c) && k >= s.Ss && k <= s.Se &&
                                     (s.Interleaved() || (x < sc.blocksWide && y < sc.blocksHigh));
                        }
                    }
                    if (!coded) comp.blocks[static_cast<size_t>(y) * comp.widthInBlocks + x][natural[k]] = 0;
                }
            }
        }
    }
}

JpegCoefs DecodedCoefs(const Bytes& file, const SplitJpeg& split) {
    Planes planes(split);
    const ScanResult decoded = DecodeAllScans(file, split, planes);
    if (!decoded.ok()) {
        ADD_FAILURE() << "scan error " << static_cast<int>(decoded.error) << " in MCU row " << decoded.mcuRow;
        return {};
    }
    JpegCoefs coefs = GridCoefs(file, split, planes);
    ZeroUncoded(coefs, split);
    return coefs;
}

class TwelveBitPictureTest : public ::testing::TestWithParam<Case> {};

TEST_P(TwelveBitPictureTest, EveryKindGivesTheModelsCoefficientsInTheInputsCoding) {
    const Case& c = GetParam();
    const bool progressive = c.frameMarker == 0xFFC2 || c.frameMarker == 0xFFCA;
    const SplitJpeg frame = TwelveBitFrame(c.width, c.height, progressive, c.components);
    const Planes original = RandomTwelveBitPlanes(frame, static_cast<uint32_t>(c.width * c.height));
    const Bytes input = BuildFile(c, frame, MakeScript(frame, c.script, c.restart), original);
    ASSERT_FALSE(input.empty());
    SplitJpeg split;
    std::string why;
    ASSERT_TRUE(SplitJpegScans(input, split, &why)) << why;
    JpegCoefs coded = GridCoefs(input, split, original);
    ZeroUncoded(coded, split);
    ASSERT_TRUE(SameCoefficients(DecodedCoefs(input, split), coded));

    const TMemoryStream in(input);
    for (bool trim : {false, true}) {
        for (TransformKind kind : kAllTransformKinds) {
            SCOPED_TRACE(std::string(TransformName(kind)) + (trim ? " trimmed" : ""));
            TJpegRotation engine;
            engine.AllowAdjustMCU = trim;
            std::string errors;
            engine.OnMessage = [&](const std::string& text, int level) {
                if (level == 2) errors += text;
            };
            TMemoryStream out;
            ASSERT_TRUE(engine.CheckJpeg(in)) << errors;
            ASSERT_TRUE(engine.RotateJpeg(in, out, kind)) << errors;
            const Bytes ours = out.Bytes();

            SplitJpeg written;
            ASSERT_TRUE(SplitJpegScans(ours, written, &why)) << why;
            EXPECT_EQ(FrameMarker(written), c.frameMarker);
            EXPECT_EQ(written.precision, 12);
            ASSERT_EQ(ScanScriptDifference(written, split), "");
            for (size_t i = 0; i < split.scans.size(); ++i) {
                if (written.arithmetic) {
                    const ArithmeticConditioning &p = written.scans[i].conditioning, &q = split.scans[i].conditioning;
                    EXPECT_EQ(std::tie(p.dcL, p.dcU, p.acKx), std::tie(q.dcL, q.dcU, q.acKx)) << "scan " << i;
                }
            }
            JpegCoefs expected = ExpectedTransform(coded, kind, trim);
            ZeroUncoded(expected, written);
            EXPECT_TRUE(SameCoefficients(DecodedCoefs(ours, written), expected));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, TwelveBitPictureTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pivotta::test
