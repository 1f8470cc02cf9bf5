#include "ScanTranscoder.h"

#include <algorithm>

namespace pivotta {

int FrameGeometry::McuWidth() const {
    int maxH = 1;
    for (size_t c = 0; c < sampling.size(); ++c) maxH = std::max(maxH, GridH(c));
    return 8 * maxH;
}

int FrameGeometry::McuHeight() const {
    int maxV = 1;
    for (size_t c = 0; c < sampling.size(); ++c) maxV = std::max(maxV, GridV(c));
    return 8 * maxV;
}

std::vector<ComponentGrid> FrameGeometry::Grids() const {
    std::vector<ComponentGrid> grids;
    for (size_t c = 0; c < sampling.size(); ++c)
        grids.push_back({sampling[c][0], sampling[c][1], static_cast<size_t>(McuCols()) * GridH(c),
                         static_cast<size_t>(McuRows()) * GridV(c)});
    return grids;
}

McuBlocks FrameGeometry::BlocksPerMcu() const {
    McuBlocks blocks;
    for (size_t c = 0; c < sampling.size(); ++c) blocks.push_back(GridH(c) * GridV(c));
    return blocks;
}

// A component's own blocks: ceil(ceil(X * h / Hmax) / 8) across (T.81 A.1.1).
ScanLayout FrameGeometry::Layout(const ScriptScan& scan, int restartInterval) const {
    int maxH = 1, maxV = 1;
    for (const auto& s : sampling) maxH = std::max(maxH, s[0]), maxV = std::max(maxV, s[1]);
    ScanLayout layout;
    layout.componentCount = static_cast<int>(scan.components.size());
    for (size_t i = 0; i < scan.components.size(); ++i) {
        const int c = scan.components[i];
        ScanComponent& comp = layout.components[i];
        comp.plane = c;
        comp.h = GridH(static_cast<size_t>(c));
        comp.v = GridV(static_cast<size_t>(c));
        comp.blocksWide = ((width * sampling[c][0] + maxH - 1) / maxH + 7) / 8;
        comp.blocksHigh = ((height * sampling[c][1] + maxV - 1) / maxV + 7) / 8;
    }
    layout.mcuCols = McuCols();
    layout.mcuRows = McuRows();
    layout.progressive = progressive;
    layout.precision = precision;
    layout.Ss = scan.Ss, layout.Se = scan.Se, layout.Ah = scan.Ah, layout.Al = scan.Al;
    layout.restartInterval = restartInterval;
    return layout;
}

TransformedFrame TransformFrame(const FrameGeometry& in, TransformKind kind, bool trim) {
    const auto trimmed = [](int size, int mcu, bool here) {
        return here && size % mcu != 0 && size > mcu ? size - size % mcu : size;
    };
    const int keptWidth = trimmed(in.width, in.McuWidth(), trim && TrimsRightEdge(kind));
    const int keptHeight = trimmed(in.height, in.McuHeight(), trim && TrimsBottomEdge(kind));
    TransformedFrame out;
    out.geometry = in;
    const bool swap = SwapsAxes(kind);
    out.geometry.width = swap ? keptHeight : keptWidth;
    out.geometry.height = swap ? keptWidth : keptHeight;
    for (size_t c = 0; c < in.sampling.size(); ++c) {
        if (swap) out.geometry.sampling[c] = {in.sampling[c][1], in.sampling[c][0]};
        out.dropCols.push_back(keptWidth != in.width ? static_cast<size_t>(in.GridH(c)) : 0);
        out.dropRows.push_back(keptHeight != in.height ? static_cast<size_t>(in.GridV(c)) : 0);
    }
    return out;
}

namespace {

ScanLayout LayoutOf(const FrameGeometry& frame, const InputScan& scan) {
    ScanLayout layout = frame.Layout(scan.script, scan.restartInterval);
    for (int i = 0; i < layout.componentCount; ++i) {
        layout.components[i].dcTable = scan.dcTable[i];
        layout.components[i].acTable = scan.acTable[i];
    }
    return layout;
}

}  // namespace

TranscodeResult DecodeScans(const FrameGeometry& frame, std::span<const InputScan> scans, CoefficientImage& image) {
    TranscodeResult result;
    ScanScriptChecker checker(static_cast<int>(frame.sampling.size()), frame.progressive);
    for (const InputScan& scan : scans) {
        if ((result.scriptError = checker.Add(LayoutOf(frame, scan))) != ScriptError::None) return result;
    }
    if ((result.scriptError = checker.Finish()) != ScriptError::None) return result;
    if (!image.Allocate(frame.Grids())) {
        result.outOfMemory = true;
        return result;
    }
    for (size_t i = 0; i < scans.size(); ++i) {
        const ScanLayout layout = LayoutOf(frame, scans[i]);
        result.scanIndex = i;
        result.scan = frame.arithmetic
                          ? DecodeArithmeticScan(layout, scans[i].conditioning, scans[i].data, image.Planes())
                          : DecodeHuffmanScan(layout, scans[i].huffman, scans[i].data, image.Planes());
        if (!result.scan.ok()) return result;
    }
    return result;
}

TranscodeResult EncodeScans(const FrameGeometry& frame, std::span<const InputScan> scans, const CoefficientImage& image,
                            std::span<const HuffmanEncodeTables> first, const HuffmanEncodeTables& fallback,
                            std::vector<OutputScan>& out) {
    TranscodeResult result;
    out.clear();
    for (size_t i = 0; i < scans.size(); ++i) {
        const ScanLayout layout = LayoutOf(frame, scans[i]);
        OutputScan& scan = out.emplace_back();
        result.scanIndex = i;
        if (frame.arithmetic) {
            result.scan = EncodeArithmeticScan(layout, scans[i].conditioning, image.Planes(), scan.data);
        } else {
            scan.tables = first[i];
            result.scan = EncodeHuffmanScan(layout, scan.tables, image.Planes(), scan.data);
            if (result.scan.error == ScanError::MissingCode) {
                scan.data.clear();
                scan.tables = fallback;
                result.scan = EncodeHuffmanScan(layout, scan.tables, image.Planes(), scan.data);
            }
        }
        if (!result.scan.ok()) return result;
    }
    return result;
}

}  // namespace pivotta
