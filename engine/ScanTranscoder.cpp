#include "ScanTranscoder.h"

#include <algorithm>
#include <atomic>

#include "WorkerThreads.h"

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

ScanLayout LayoutOf(const FrameGeometry& frame, const InputScan& scan) {
    ScanLayout layout = frame.Layout(scan.script, scan.restartInterval);
    for (int i = 0; i < layout.componentCount; ++i) {
        layout.components[i].dcTable = scan.dcTable[i];
        layout.components[i].acTable = scan.acTable[i];
    }
    return layout;
}

namespace {

// Runs task(i) for every i below n, spread over the threads; false when a worker failed (its
// memory ran out), so that its task may be incomplete.
template <class Task>
bool RunSpread(size_t n, const ScanThreads& threads, Task&& task) {
    std::atomic<size_t> next{0};
    const auto drain = [&](const std::atomic<bool>* cancel) {
        for (size_t i; (cancel == nullptr || !*cancel) && (i = next++) < n;) task(i);
    };
    const unsigned workers = static_cast<unsigned>(std::min<size_t>(std::max(1u, threads.threads), n)) - 1;
    WorkerThreads pool(threads.start, workers, [&](unsigned, const std::atomic<bool>& cancel) { drain(&cancel); });
    drain(nullptr);
    pool.Join();
    for (unsigned w = 0; w < pool.Started(); ++w)
        if (!pool.Finished(w)) return false;
    return true;
}

// The wave of each scan: one after the latest earlier scan that codes bits of the same
// coefficients, which it must follow.
std::vector<size_t> Waves(std::span<const InputScan> scans) {
    std::vector<size_t> wave(scans.size(), 0);
    for (size_t j = 0; j < scans.size(); ++j) {
        for (size_t i = 0; i < j; ++i) {
            const ScriptScan &a = scans[i].script, &b = scans[j].script;
            const bool shared = std::any_of(a.components.begin(), a.components.end(), [&](int c) {
                return std::find(b.components.begin(), b.components.end(), c) != b.components.end();
            });
            if (shared && a.Ss <= b.Se && b.Ss <= a.Se) wave[j] = std::max(wave[j], wave[i] + 1);
        }
    }
    return wave;
}

uint64_t BlocksCoded(const ScanLayout& scan) {
    uint64_t perMcu = 0;
    for (int c = 0; c < scan.componentCount; ++c)
        perMcu += scan.Interleaved() ? static_cast<uint64_t>(scan.components[c].h * scan.components[c].v) : 1;
    return perMcu * scan.McusPerRow() * scan.McuRowCount();
}

// The first failure among the scans' results, if any.
TranscodeResult FirstFailure(const std::vector<ScanResult>& results, bool workersOk) {
    TranscodeResult result;
    result.outOfMemory = !workersOk;
    for (size_t i = 0; i < results.size(); ++i) {
        if (!results[i].ok()) {
            result.scan = results[i];
            result.scanIndex = i;
            break;
        }
    }
    return result;
}

}  // namespace

TranscodeResult DecodeScans(const FrameGeometry& frame, std::span<const InputScan> scans, CoefficientImage& image,
                            const ScanThreads& threads) {
    TranscodeResult result;
    ScanScriptChecker checker(static_cast<int>(frame.sampling.size()), frame.progressive);
    for (const InputScan& scan : scans) {
        if ((result.scriptError = checker.Add(LayoutOf(frame, scan))) != ScriptError::None) return result;
    }
    if ((result.scriptError = checker.Finish()) != ScriptError::None) return result;
    // Before any memory is taken for the frame: a Huffman scan that codes DC values spends at
    // least one bit on each block, so a header alone cannot make the engine take gigabytes.
    for (size_t i = 0; i < scans.size() && !frame.arithmetic; ++i) {
        const ScanLayout layout = LayoutOf(frame, scans[i]);
        if (layout.Pass() != ScanPass::AcFirst && layout.Pass() != ScanPass::AcRefine &&
            BlocksCoded(layout) > 8 * static_cast<uint64_t>(scans[i].data.size())) {
            result.scan = ScanFailure(ScanError::Truncated, 0);
            result.scanIndex = i;
            return result;
        }
    }
    if (!image.Allocate(frame.Grids())) {
        result.outOfMemory = true;
        return result;
    }
    const std::vector<size_t> waves = Waves(scans);
    std::vector<ScanResult> results(scans.size());
    bool workersOk = true;
    for (size_t wave = 0; workersOk && wave <= *std::max_element(waves.begin(), waves.end()); ++wave) {
        std::vector<size_t> now;
        for (size_t i = 0; i < scans.size(); ++i)
            if (waves[i] == wave) now.push_back(i);
        workersOk = RunSpread(now.size(), threads, [&](size_t k) {
            const InputScan& scan = scans[now[k]];
            const ScanLayout layout = LayoutOf(frame, scan);
            results[now[k]] = frame.arithmetic ? DecodeArithmeticScan(layout, scan.conditioning, scan.data, image.Planes())
                                               : DecodeHuffmanScan(layout, scan.huffman, scan.data, image.Planes());
        });
        if (FirstFailure(results, workersOk).ok() == false) break;
    }
    return FirstFailure(results, workersOk);
}

std::vector<InputScan> OutputScript(const FrameGeometry& frame, OutputCoding coding, std::span<const InputScan> input) {
    if (coding == OutputCoding::AsInput) return {input.begin(), input.end()};
    const McuBlocks blocks = frame.BlocksPerMcu();
    std::vector<InputScan> scans;
    for (ScriptScan& script : coding == OutputCoding::Baseline ? SequentialScript(blocks) : ProgressiveScript(blocks)) {
        InputScan scan;
        for (size_t i = 0; i < script.components.size(); ++i) {
            const int table = script.components[i] == 0 ? 0 : 1;
            scan.dcTable[i] = scan.acTable[i] = table;
        }
        scan.script = std::move(script);
        scan.restartInterval = input.empty() ? 0 : input.front().restartInterval;
        scans.push_back(std::move(scan));
    }
    return scans;
}

bool CountScanSymbols(const FrameGeometry& frame, std::span<const InputScan> scans, const CoefficientImage& image,
                      std::vector<HuffmanSymbolCounts>& counts, const ScanThreads& threads) {
    counts.assign(scans.size(), HuffmanSymbolCounts{});
    std::vector<ScanResult> results(scans.size());
    const bool workersOk = RunSpread(scans.size(), threads, [&](size_t i) {
        results[i] = CountHuffmanSymbols(LayoutOf(frame, scans[i]), image.Planes(), counts[i]);
    });
    return FirstFailure(results, workersOk).ok();
}

TranscodeResult EncodeScans(const FrameGeometry& frame, std::span<const InputScan> scans, const CoefficientImage& image,
                            std::span<const HuffmanEncodeTables> first, const HuffmanEncodeTables& fallback,
                            std::vector<OutputScan>& out, const ScanThreads& threads) {
    out.assign(scans.size(), OutputScan{});
    std::vector<ScanResult> results(scans.size());
    const bool workersOk = RunSpread(scans.size(), threads, [&](size_t i) {
        const ScanLayout layout = LayoutOf(frame, scans[i]);
        OutputScan& scan = out[i];
        if (frame.arithmetic) {
            results[i] = EncodeArithmeticScan(layout, scans[i].conditioning, image.Planes(), scan.data);
            return;
        }
        scan.tables = first[i];
        results[i] = EncodeHuffmanScan(layout, scan.tables, image.Planes(), scan.data);
        if (results[i].error == ScanError::MissingCode) {
            scan.data.clear();
            scan.tables = fallback;
            results[i] = EncodeHuffmanScan(layout, scan.tables, image.Planes(), scan.data);
        }
    });
    return FirstFailure(results, workersOk);
}

}  // namespace pivotta
