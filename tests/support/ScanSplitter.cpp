#include "ScanSplitter.h"

#include <algorithm>
#include <tuple>

namespace pivotta::test {
namespace {

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

struct Walker {
    const std::vector<uint8_t>& bytes;
    size_t pos = 0;
    std::string* why;

    bool Fail(const std::string& reason) {
        if (why) *why = reason + " at offset " + std::to_string(pos);
        return false;
    }
    bool Has(size_t n) const { return pos + n <= bytes.size(); }
    int Byte(size_t at) const { return bytes[at]; }
    int Word(size_t at) const { return bytes[at] << 8 | bytes[at + 1]; }
};

// The end of entropy-coded data: the first marker other than RSTn.
size_t ScanDataEnd(const std::vector<uint8_t>& b, size_t from) {
    for (size_t i = from; i + 1 < b.size(); ++i) {
        if (b[i] != 0xFF) continue;
        const uint8_t next = b[i + 1];
        if (next == 0x00 || (next >= 0xD0 && next <= 0xD7) || next == 0xFF) continue;
        return i;
    }
    return b.size();
}

void FrameGeometry(SplitJpeg& out) {
    for (const auto& c : out.components) {
        out.maxH = std::max(out.maxH, c.h);
        out.maxV = std::max(out.maxV, c.v);
    }
    out.mcuCols = CeilDiv(out.width, 8 * out.maxH);
    out.mcuRows = CeilDiv(out.height, 8 * out.maxV);
}

bool ReadScanHeader(const Walker& w, size_t body, SplitJpeg& out, SplitScan& scan, std::string* why) {
    const auto fail = [why](const char* reason) {
        if (why) *why = reason;
        return false;
    };
    ScanLayout& s = scan.layout;
    s.componentCount = w.Byte(body);
    if (s.componentCount < 1 || s.componentCount > 4) return fail("bad Ns");
    for (int i = 0; i < s.componentCount; ++i) {
        const int id = w.Byte(body + 1 + 2 * i), selectors = w.Byte(body + 2 + 2 * i);
        auto it = std::find_if(out.components.begin(), out.components.end(), [&](const auto& c) { return c.id == id; });
        if (it == out.components.end()) return fail("unknown component");
        ScanComponent& comp = s.components[i];
        comp.plane = static_cast<int>(it - out.components.begin());
        comp.h = it->h;
        comp.v = it->v;
        comp.blocksWide = CeilDiv(CeilDiv(out.width * it->h, out.maxH), 8);
        comp.blocksHigh = CeilDiv(CeilDiv(out.height * it->v, out.maxV), 8);
        comp.dcTable = selectors >> 4;
        comp.acTable = selectors & 15;
    }
    const size_t tail = body + 1 + 2 * static_cast<size_t>(s.componentCount);
    s.Ss = w.Byte(tail);
    s.Se = w.Byte(tail + 1);
    s.Ah = w.Byte(tail + 2) >> 4;
    s.Al = w.Byte(tail + 2) & 15;
    s.mcuCols = out.mcuCols;
    s.mcuRows = out.mcuRows;
    s.progressive = out.progressive;
    s.precision = out.precision;
    return true;
}

}  // namespace

bool SplitJpegScans(const std::vector<uint8_t>& jpeg, SplitJpeg& out, std::string* why) {
    out = SplitJpeg{};
    Walker w{jpeg, 0, why};
    if (!w.Has(2) || w.Word(0) != 0xFFD8) return w.Fail("no SOI");
    w.pos = 2;
    std::array<std::array<std::shared_ptr<const DefinedTable>, 4>, 2> huffman{};
    ArithmeticConditioning conditioning;
    int restartInterval = 0;
    while (true) {
        while (w.Has(2) && w.Byte(w.pos) == 0xFF && w.Byte(w.pos + 1) == 0xFF) ++w.pos;
        if (!w.Has(2) || w.Byte(w.pos) != 0xFF) return w.Fail("no marker");
        const int marker = w.Word(w.pos);
        w.pos += 2;
        if (marker == 0xFFD9) return true;
        if (!w.Has(2)) return w.Fail("no length");
        const size_t length = static_cast<size_t>(w.Word(w.pos));
        if (length < 2 || !w.Has(length)) return w.Fail("bad length");
        const size_t body = w.pos + 2, end = w.pos + length;
        out.segments.push_back({marker, w.pos - 2, end});
        if (marker >= 0xFFC0 && marker <= 0xFFCF && marker != 0xFFC4 && marker != 0xFFC8 && marker != 0xFFCC) {
            out.progressive = marker == 0xFFC2 || marker == 0xFFCA;
            out.arithmetic = marker >= 0xFFC9;
            out.precision = w.Byte(body);
            out.height = w.Word(body + 1);
            out.width = w.Word(body + 3);
            const int n = w.Byte(body + 5);
            for (int i = 0; i < n; ++i) {
                const size_t c = body + 6 + 3 * static_cast<size_t>(i);
                out.components.push_back({w.Byte(c), w.Byte(c + 1) >> 4, w.Byte(c + 1) & 15});
            }
            FrameGeometry(out);
        } else if (marker == 0xFFC4) {
            for (size_t p = body; p < end;) {
                auto table = std::make_shared<DefinedTable>();
                const int tc = w.Byte(p) >> 4, th = w.Byte(p) & 15;
                size_t total = 0;
                for (int i = 0; i < 16; ++i) total += table->counts[i] = static_cast<uint8_t>(w.Byte(p + 1 + i));
                table->symbols.assign(jpeg.begin() + static_cast<long>(p + 17), jpeg.begin() + static_cast<long>(p + 17 + total));
                huffman[tc & 1][th & 3] = table;
                p += 17 + total;
            }
        } else if (marker == 0xFFCC) {
            for (size_t p = body; p + 1 < end; p += 2) {
                const int tc = w.Byte(p) >> 4, tb = w.Byte(p) & 3, value = w.Byte(p + 1);
                if (tc == 0) {
                    conditioning.dcL[tb] = static_cast<uint8_t>(value & 15);
                    conditioning.dcU[tb] = static_cast<uint8_t>(value >> 4);
                } else {
                    conditioning.acKx[tb] = static_cast<uint8_t>(value);
                }
            }
        } else if (marker == 0xFFDD) {
            restartInterval = w.Word(body);
        } else if (marker == 0xFFDA) {
            SplitScan scan;
            if (!ReadScanHeader(w, body, out, scan, why)) return false;
            scan.layout.restartInterval = restartInterval;
            scan.huffman = huffman;
            scan.conditioning = conditioning;
            scan.dataBegin = end;
            scan.dataEnd = ScanDataEnd(jpeg, end);
            out.scans.push_back(scan);
            w.pos = scan.dataEnd;
            continue;
        }
        w.pos = end;
    }
}

Planes::Planes(const SplitJpeg& jpeg) {
    for (const auto& c : jpeg.components) {
        const size_t stride = static_cast<size_t>(jpeg.mcuCols) * c.h;
        blocks.emplace_back(stride * static_cast<size_t>(jpeg.mcuRows) * c.v, CoefBlock{});
        views.push_back({nullptr, stride});
    }
    for (size_t i = 0; i < blocks.size(); ++i) views[i].blocks = blocks[i].data();
}

Planes::Planes(const Planes& other) : blocks(other.blocks), views(other.views) {
    for (size_t i = 0; i < blocks.size(); ++i) views[i].blocks = blocks[i].data();
}

bool BuildScanTables(const SplitScan& scan, HuffmanTableSet& set) {
    for (int tc = 0; tc < 2; ++tc) {
        for (int id = 0; id < 4; ++id) {
            const auto& defined = scan.huffman[tc][id];
            auto& decoder = tc == 0 ? set.decoders.dc[id] : set.decoders.ac[id];
            auto& encoder = tc == 0 ? set.encoders.dc[id] : set.encoders.ac[id];
            decoder = nullptr;
            encoder = nullptr;
            if (!defined) continue;
            const std::span<const uint8_t, 16> counts(defined->counts);
            if (!BuildHuffmanDecodeTable(counts, defined->symbols, set.decode[tc * 4 + id])) return false;
            if (!BuildHuffmanEncodeTable(counts, defined->symbols, set.encode[tc * 4 + id])) return false;
            decoder = &set.decode[tc * 4 + id];
            encoder = &set.encode[tc * 4 + id];
        }
    }
    return true;
}

ScanResult DecodeAllScans(const std::vector<uint8_t>& jpeg, const SplitJpeg& split, Planes& planes) {
    for (const SplitScan& scan : split.scans) {
        const std::span<const uint8_t> data(jpeg.data() + scan.dataBegin, scan.dataEnd - scan.dataBegin);
        ScanResult result;
        if (split.arithmetic) {
            result = DecodeArithmeticScan(scan.layout, scan.conditioning, data, planes.View());
        } else {
            HuffmanTableSet tables;
            if (!BuildScanTables(scan, tables)) return ScanFailure(ScanError::MissingTable, 0);
            result = DecodeHuffmanScan(scan.layout, tables.decoders, data, planes.View());
        }
        if (!result.ok()) return result;
    }
    return {};
}

ScanResult EncodeAllScans(const SplitJpeg& split, const Planes& planes, std::vector<std::vector<uint8_t>>& scans) {
    scans.clear();
    for (const SplitScan& scan : split.scans) {
        std::vector<uint8_t> data;
        ScanResult result;
        if (split.arithmetic) {
            result = EncodeArithmeticScan(scan.layout, scan.conditioning, planes.View(), data);
        } else {
            HuffmanTableSet tables;
            if (!BuildScanTables(scan, tables)) return ScanFailure(ScanError::MissingTable, 0);
            result = EncodeHuffmanScan(scan.layout, tables.encoders, planes.View(), data);
        }
        if (!result.ok()) return result;
        scans.push_back(std::move(data));
    }
    return {};
}

std::vector<uint8_t> ReplaceScanData(const std::vector<uint8_t>& jpeg, const SplitJpeg& split,
                                     const std::vector<std::vector<uint8_t>>& scanData) {
    std::vector<uint8_t> out;
    size_t from = 0;
    for (size_t i = 0; i < split.scans.size(); ++i) {
        out.insert(out.end(), jpeg.begin() + static_cast<long>(from), jpeg.begin() + static_cast<long>(split.scans[i].dataBegin));
        out.insert(out.end(), scanData[i].begin(), scanData[i].end());
        from = split.scans[i].dataEnd;
    }
    out.insert(out.end(), jpeg.begin() + static_cast<long>(from), jpeg.end());
    return out;
}

// Natural (row-major) index of each zig-zag position: the anti-diagonals of T.81 Figure A.6,
// alternately walked up and down.
std::array<int, 64> NaturalOfZigZag() {
    std::array<int, 64> natural{};
    int k = 0;
    for (int d = 0; d < 15; ++d) {
        for (int i = 0; i <= d; ++i) {
            const int row = d % 2 == 0 ? d - i : i, col = d - row;
            if (row < 8 && col < 8) natural[k++] = row * 8 + col;
        }
    }
    return natural;
}

JpegCoefs PlanesAsCoefs(const SplitJpeg& split, const Planes& planes, const JpegCoefs& shapeLike) {
    static const std::array<int, 64> natural = NaturalOfZigZag();
    JpegCoefs out;
    out.width = split.width;
    out.height = split.height;
    for (size_t c = 0; c < split.components.size() && c < shapeLike.comps.size(); ++c) {
        ComponentCoefs comp;
        comp.id = split.components[c].id;
        comp.h = split.components[c].h;
        comp.v = split.components[c].v;
        comp.widthInBlocks = shapeLike.comps[c].widthInBlocks;
        comp.heightInBlocks = shapeLike.comps[c].heightInBlocks;
        comp.quant = shapeLike.comps[c].quant;
        for (int y = 0; y < comp.heightInBlocks; ++y) {
            for (int x = 0; x < comp.widthInBlocks; ++x) {
                const CoefBlock& zz = planes.views[c].At(static_cast<size_t>(x), static_cast<size_t>(y));
                NaturalBlock block{};
                for (int k = 0; k < 64; ++k) block[natural[k]] = zz[k];
                comp.blocks.push_back(block);
            }
        }
        out.comps.push_back(comp);
    }
    return out;
}

std::string ScanScriptDifference(const SplitJpeg& a, const SplitJpeg& b) {
    if (a.scans.size() != b.scans.size()) {
        return std::to_string(a.scans.size()) + " scans against " + std::to_string(b.scans.size());
    }
    for (size_t i = 0; i < a.scans.size(); ++i) {
        const ScanLayout &x = a.scans[i].layout, &y = b.scans[i].layout;
        bool same = std::tie(x.componentCount, x.Ss, x.Se, x.Ah, x.Al, x.restartInterval) ==
                    std::tie(y.componentCount, y.Ss, y.Se, y.Ah, y.Al, y.restartInterval);
        for (int k = 0; same && k < x.componentCount; ++k) same = x.components[k].plane == y.components[k].plane;
        if (!same) return "scan " + std::to_string(i);
    }
    return {};
}

}  // namespace pivotta::test
