// Multi-scan pictures turned through the transcoder and written back with their own script:
// the coefficients equal jpegtran's same transform (with -trim where the edge is ragged),
// and the output keeps the input's process and scan script.
#include <gtest/gtest.h>

#include "BlockTransforms.h"
#include "CoefficientMatchers.h"
#include "ExternalTools.h"
#include "HuffmanTables.h"
#include "JpegFixtures.h"
#include "ScanSplitter.h"
#include "ScanTranscoder.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;

void PutSegment(Bytes& out, int marker, const Bytes& body) {
    out.push_back(0xFF);
    out.push_back(static_cast<uint8_t>(marker));
    out.push_back(static_cast<uint8_t>((body.size() + 2) >> 8));
    out.push_back(static_cast<uint8_t>(body.size() + 2));
    out.insert(out.end(), body.begin(), body.end());
}

// A DHT body for a table in encoding form: its symbols by code length, then by code.
Bytes DhtBody(int tableClass, int id, const HuffmanEncodeTable& table) {
    std::vector<std::pair<uint32_t, int>> codes;  // (length << 16 | code, symbol)
    std::array<uint8_t, 16> counts{};
    for (int s = 0; s < 256; ++s) {
        if (!table.Has(s)) continue;
        codes.emplace_back(uint32_t{table.length[s]} << 16 | table.code[s], s);
        ++counts[table.length[s] - 1];
    }
    std::sort(codes.begin(), codes.end());
    Bytes body = {static_cast<uint8_t>(tableClass << 4 | id)};
    body.insert(body.end(), counts.begin(), counts.end());
    for (const auto& [key, symbol] : codes) body.push_back(static_cast<uint8_t>(symbol));
    return body;
}

// The output file: the input's segments in order with the frame and quantization tables
// rewritten for the transform, the Huffman tables each scan was coded with before it, and
// each scan header followed by its new data.
Bytes WriteOutput(const Bytes& in, const SplitJpeg& split, TransformKind kind, const FrameGeometry& out,
                  const std::vector<OutputScan>& scans) {
    Bytes file = {0xFF, 0xD8};
    size_t scan = 0;
    const bool swap = SwapsAxes(kind);
    for (const auto& seg : split.segments) {
        const Bytes body(in.begin() + static_cast<long>(seg.begin) + 4, in.begin() + static_cast<long>(seg.end));
        const int marker = seg.marker & 0xFF;
        if (marker == 0xC4) continue;
        if (marker == 0xDB) {
            Bytes rewritten;
            for (size_t p = 0; p < body.size();) {
                const int wide = body[p] >> 4;
                rewritten.push_back(body[p]);
                std::array<int16_t, 64> values{};
                for (int k = 0; k < 64; ++k)
                    values[k] = static_cast<int16_t>(wide ? body[p + 1 + 2 * k] << 8 | body[p + 2 + 2 * k] : body[p + 1 + k]);
                if (swap) TransposeBlock(values);
                for (int k = 0; k < 64; ++k) {
                    if (wide) rewritten.push_back(static_cast<uint8_t>(values[k] >> 8));
                    rewritten.push_back(static_cast<uint8_t>(values[k]));
                }
                p += 1 + 64 * (wide ? 2 : 1);
            }
            PutSegment(file, marker, rewritten);
        } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xCC) {
            Bytes frame = body;
            frame[1] = static_cast<uint8_t>(out.height >> 8), frame[2] = static_cast<uint8_t>(out.height);
            frame[3] = static_cast<uint8_t>(out.width >> 8), frame[4] = static_cast<uint8_t>(out.width);
            for (size_t c = 0; c < out.sampling.size(); ++c)
                frame[7 + 3 * c] = static_cast<uint8_t>(out.sampling[c][0] << 4 | out.sampling[c][1]);
            PutSegment(file, marker, frame);
        } else if (marker == 0xDA) {
            if (!split.arithmetic) {
                const SplitScan& s = split.scans[scan];
                for (int i = 0; i < s.layout.componentCount; ++i) {
                    const ScanComponent& c = s.layout.components[i];
                    if (const HuffmanEncodeTable* dc = scans[scan].tables.dc[c.dcTable]) PutSegment(file, 0xC4, DhtBody(0, c.dcTable, *dc));
                    if (const HuffmanEncodeTable* ac = scans[scan].tables.ac[c.acTable]) PutSegment(file, 0xC4, DhtBody(1, c.acTable, *ac));
                }
            }
            PutSegment(file, marker, body);
            file.insert(file.end(), scans[scan].data.begin(), scans[scan].data.end());
            ++scan;
        } else {
            PutSegment(file, marker, body);
        }
    }
    file.push_back(0xFF);
    file.push_back(0xD9);
    return file;
}

// The output in another coding: the input's segments with its Huffman, DAC and scan
// segments left out, the frame marker of the new process, and every output scan with its
// tables and a header of its own at the place of the first scan.
Bytes WriteRecoded(const Bytes& in, const SplitJpeg& split, TransformKind kind, const FrameGeometry& out,
                   const std::vector<InputScan>& script, const std::vector<OutputScan>& scans) {
    SplitJpeg trimmed = split;
    trimmed.segments.clear();
    for (const auto& seg : split.segments) {
        if (seg.marker == 0xFFDA) break;
        if (seg.marker != 0xFFC4 && seg.marker != 0xFFCC) trimmed.segments.push_back(seg);
    }
    trimmed.scans.clear();
    Bytes file = WriteOutput(in, trimmed, kind, out, {});
    file.resize(file.size() - 2);  // EOI
    // The frame marker of the new process.
    for (size_t p = 2; p + 4 < file.size();) {
        const int marker = file[p + 1], length = file[p + 2] << 8 | file[p + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xCC)
            file[p + 1] = static_cast<uint8_t>(out.progressive ? 0xC2 : out.precision == 12 ? 0xC1 : 0xC0);
        p += 2 + static_cast<size_t>(length);
    }
    for (size_t i = 0; i < scans.size(); ++i) {
        const InputScan& s = script[i];
        Bytes sos = {static_cast<uint8_t>(s.script.components.size())};
        for (size_t c = 0; c < s.script.components.size(); ++c) {
            const int dc = s.dcTable[c], ac = s.acTable[c];
            if (s.script.Ss == 0 && s.script.Ah == 0) PutSegment(file, 0xC4, DhtBody(0, dc, *scans[i].tables.dc[dc]));
            if (s.script.Se > 0) PutSegment(file, 0xC4, DhtBody(1, ac, *scans[i].tables.ac[ac]));
            sos.push_back(static_cast<uint8_t>(split.components[s.script.components[c]].id));
            sos.push_back(static_cast<uint8_t>(dc << 4 | ac));
        }
        sos.insert(sos.end(), {static_cast<uint8_t>(s.script.Ss), static_cast<uint8_t>(s.script.Se),
                               static_cast<uint8_t>(s.script.Ah << 4 | s.script.Al)});
        PutSegment(file, 0xDA, sos);
        file.insert(file.end(), scans[i].data.begin(), scans[i].data.end());
    }
    file.push_back(0xFF);
    file.push_back(0xD9);
    return file;
}

FrameGeometry GeometryOf(const SplitJpeg& split) {
    FrameGeometry g;
    g.width = split.width;
    g.height = split.height;
    g.progressive = split.progressive;
    g.arithmetic = split.arithmetic;
    g.precision = split.precision;
    for (const auto& c : split.components) g.sampling.push_back({c.h, c.v});
    return g;
}

struct Tables {
    std::vector<HuffmanTableSet> sets;
    std::vector<HuffmanEncodeTables> first;
    std::array<HuffmanEncodeTable, kHuffmanSlotCount> standard;
    HuffmanEncodeTables fallback;
};

std::vector<InputScan> InputScans(const Bytes& file, const SplitJpeg& split, Tables& tables) {
    std::vector<InputScan> scans;
    tables.sets.resize(split.scans.size());
    for (size_t i = 0; i < split.scans.size(); ++i) {
        const SplitScan& s = split.scans[i];
        InputScan in;
        for (int c = 0; c < s.layout.componentCount; ++c) {
            in.script.components.push_back(s.layout.components[c].plane);
            in.dcTable[c] = s.layout.components[c].dcTable;
            in.acTable[c] = s.layout.components[c].acTable;
        }
        in.script.Ss = s.layout.Ss, in.script.Se = s.layout.Se, in.script.Ah = s.layout.Ah, in.script.Al = s.layout.Al;
        in.restartInterval = s.layout.restartInterval;
        in.data = std::span(file.data() + s.dataBegin, s.dataEnd - s.dataBegin);
        in.conditioning = s.conditioning;
        EXPECT_TRUE(BuildScanTables(s, tables.sets[i]));
        in.huffman = tables.sets[i].decoders;
        tables.first.push_back(tables.sets[i].encoders);
        scans.push_back(in);
    }
    for (int tc = 0; tc < 2; ++tc)
        for (int id = 0; id < 2; ++id) {
            const std::vector<uint8_t> payload = HuffTables::StandardTablePayload(tc, id);
            EXPECT_TRUE(BuildHuffmanEncodeTable(std::span<const uint8_t, 16>(payload.data(), 16),
                                                std::span(payload).subspan(16), tables.standard[HuffmanSlotIndex(tc, id)]));
        }
    for (int id = 0; id < 4; ++id) {
        tables.fallback.dc[id] = &tables.standard[HuffmanSlotIndex(0, id == 0 ? 0 : 1)];
        tables.fallback.ac[id] = &tables.standard[HuffmanSlotIndex(1, id == 0 ? 0 : 1)];
    }
    return scans;
}

struct Case {
    const char* name;
    int width, height, components, h, v;
    const char* coding;  // jpegtran's options that make the input, and that it writes the output with
};

const Case kCases[] = {
    {"Progressive420Ragged", 61, 45, 3, 2, 2, "-progressive"},
    {"Progressive422Whole", 64, 48, 3, 2, 1, "-progressive"},
    {"ProgressiveGrayRestart", 45, 37, 1, 1, 1, "-progressive -restart 1"},
    {"Arithmetic420Ragged", 61, 45, 3, 2, 2, "-arithmetic"},
    {"ArithmeticProgressiveRestart", 40, 48, 3, 2, 1, "-arithmetic -progressive -restart 2B"},
};

class ScanTranscoderTest : public ::testing::TestWithParam<Case> {};

// The case's picture in its coding, as jpegtran converts it.
Bytes MakeInput(const Case& c, const std::string& jpegtran) {
    FixtureSpec spec;
    spec.width = c.width, spec.height = c.height, spec.components = c.components, spec.hSamp = c.h, spec.vSamp = c.v;
    return RunJpegtran(jpegtran, MakeJpeg(spec), c.coding);
}

TEST_P(ScanTranscoderTest, EveryKindGivesJpegtransCoefficientsInTheInputsCoding) {
    const Case& c = GetParam();
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    const Bytes input = MakeInput(c, jpegtran);
    SplitJpeg split;
    ASSERT_TRUE(SplitJpegScans(input, split, nullptr));
    const FrameGeometry frame = GeometryOf(split);
    const bool ragged = frame.width % frame.McuWidth() != 0 || frame.height % frame.McuHeight() != 0;
    for (TransformKind kind : kAllTransformKinds) {
        SCOPED_TRACE(TransformName(kind));
        Tables tables;
        const std::vector<InputScan> scans = InputScans(input, split, tables);
        // Half the kinds on several threads: independent scans at once give the same result.
        const ScanThreads threads{static_cast<int>(kind) % 2 == 0 ? 1u : 3u, {}};
        CoefficientImage image;
        ASSERT_TRUE(DecodeScans(frame, scans, image, threads).ok());
        const TransformedFrame turned = TransformFrame(frame, kind, ragged);
        CoefficientImage output;
        ASSERT_TRUE(std::move(image).Transform(kind, turned.dropCols, turned.dropRows, output));
        std::vector<OutputScan> encoded;
        const TranscodeResult result = EncodeScans(turned.geometry, scans, output, tables.first, tables.fallback, encoded, threads);
        ASSERT_TRUE(result.ok()) << "scan " << result.scanIndex << " error " << static_cast<int>(result.scan.error);

        const Bytes ours = WriteOutput(input, split, kind, turned.geometry, encoded);
        const std::string options = std::string(JpegtranTransform(kind)) + (ragged ? " -trim " : " ") + c.coding;
        EXPECT_TRUE(SameCoefficients(ReadCoefficients(ours), ReadCoefficients(RunJpegtran(jpegtran, input, options))));
        SplitJpeg written;
        ASSERT_TRUE(SplitJpegScans(ours, written, nullptr));
        ASSERT_EQ(written.scans.size(), split.scans.size());
        for (size_t i = 0; i < split.scans.size(); ++i) {
            EXPECT_EQ(written.scans[i].layout.Ss, split.scans[i].layout.Ss);
            EXPECT_EQ(written.scans[i].layout.Se, split.scans[i].layout.Se);
            EXPECT_EQ(written.scans[i].layout.Ah, split.scans[i].layout.Ah);
            EXPECT_EQ(written.scans[i].layout.Al, split.scans[i].layout.Al);
            EXPECT_EQ(written.scans[i].layout.componentCount, split.scans[i].layout.componentCount);
        }
    }
}

// --baseline and --progressive: the same coefficients in the chosen coding, whatever the
// input's, with the standard tables.
TEST_P(ScanTranscoderTest, BaselineAndProgressiveOutputsHoldTheSameCoefficients) {
    const Case& c = GetParam();
    const std::string jpegtran = FindProgram("jpegtran");
    if (jpegtran.empty()) GTEST_SKIP() << "jpegtran is not installed";
    const Bytes input = MakeInput(c, jpegtran);
    SplitJpeg split;
    ASSERT_TRUE(SplitJpegScans(input, split, nullptr));
    const FrameGeometry frame = GeometryOf(split);
    for (TransformKind kind : {TransformKind::Rotate90, TransformKind::MirrorLR}) {
        for (OutputCoding coding : {OutputCoding::Baseline, OutputCoding::Progressive}) {
            SCOPED_TRACE(std::string(TransformName(kind)) + (coding == OutputCoding::Baseline ? " baseline" : " progressive"));
            Tables tables;
            const std::vector<InputScan> scans = InputScans(input, split, tables);
            CoefficientImage image;
            ASSERT_TRUE(DecodeScans(frame, scans, image).ok());
            TransformedFrame turned = TransformFrame(frame, kind, true);
            CoefficientImage output;
            ASSERT_TRUE(std::move(image).Transform(kind, turned.dropCols, turned.dropRows, output));
            turned.geometry.arithmetic = false;
            turned.geometry.progressive = coding == OutputCoding::Progressive;
            const std::vector<InputScan> script = OutputScript(turned.geometry, coding, scans);
            const std::vector<HuffmanEncodeTables> standard(script.size(), tables.fallback);
            std::vector<OutputScan> encoded;
            ASSERT_TRUE(EncodeScans(turned.geometry, script, output, standard, tables.fallback, encoded).ok());
            const Bytes ours = WriteRecoded(input, split, kind, turned.geometry, script, encoded);
            SplitJpeg written;
            ASSERT_TRUE(SplitJpegScans(ours, written, nullptr));
            EXPECT_EQ(written.progressive, coding == OutputCoding::Progressive);
            EXPECT_FALSE(written.arithmetic);
            EXPECT_EQ(written.scans.size(), coding == OutputCoding::Baseline ? 1u : (c.components == 3 ? 10u : 6u));
            const std::string options = std::string(JpegtranTransform(kind)) + " -trim" +
                                        (coding == OutputCoding::Progressive ? " -progressive" : "");
            EXPECT_TRUE(SameCoefficients(ReadCoefficients(ours), ReadCoefficients(RunJpegtran(jpegtran, input, options))));
        }
    }
}

// A table with more codes of a length than the length holds is refused before any code is
// placed (five 2-bit codes ran past the lookup table).
TEST(ScanTranscoderLimits, OverFullCodeLengthsAreRefused) {
    const std::array<std::array<uint8_t, 16>, 3> cases = {{{2}, {0, 3, 3}, {0, 5}}};
    std::vector<uint8_t> symbols(256);
    for (size_t i = 0; i < symbols.size(); ++i) symbols[i] = static_cast<uint8_t>(i);
    for (const auto& counts : cases) {
        HuffmanDecodeTable decode;
        HuffmanEncodeTable encode;
        EXPECT_FALSE(BuildHuffmanDecodeTable(counts, symbols, decode));
        EXPECT_FALSE(BuildHuffmanEncodeTable(counts, symbols, encode));
    }
}

// A 65535 x 65535 progressive header with a few bytes of scan data fails at once, before
// memory for four billion pixels is taken.
TEST(ScanTranscoderLimits, AHugeHeaderWithFewBytesFailsBeforeTakingMemory) {
    FrameGeometry frame;
    frame.width = frame.height = 65535;
    frame.progressive = true;
    frame.sampling = {{1, 1}};
    HuffmanDecodeTable table;
    const std::vector<uint8_t> payload = HuffTables::StandardTablePayload(0, 0);
    ASSERT_TRUE(BuildHuffmanDecodeTable(std::span<const uint8_t, 16>(payload.data(), 16), std::span(payload).subspan(16), table));
    const std::vector<uint8_t> data(8, 0x00);
    InputScan scan;
    scan.script = {{0}, 0, 0, 0, 0};
    scan.data = data;
    scan.huffman.dc[0] = &table;
    CoefficientImage image;
    const TranscodeResult result = DecodeScans(frame, std::span(&scan, 1), image);
    EXPECT_EQ(result.scan.error, ScanError::Truncated);
    EXPECT_EQ(image.ComponentCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Files, ScanTranscoderTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pivotta::test
