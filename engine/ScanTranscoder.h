// A multi-scan picture turned without leaving the coefficients: every scan of the input
// decoded into one coefficient image (after its script is checked), the image transformed,
// and the output's scans encoded from it with the input's script. The parser and writer
// around it deal in segments; this deals in frames, scans and their entropy-coded data.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "ArithmeticScan.h"
#include "CoefficientImage.h"
#include "HuffmanScanDecoder.h"
#include "HuffmanScanEncoder.h"
#include "OutputCoding.h"
#include "ScanLayout.h"
#include "ScanScript.h"
#include "ThreadStarter.h"
#include "TransformKind.h"

namespace pivotta {

struct FrameGeometry {
    int width = 0, height = 0;
    bool progressive = false;
    bool arithmetic = false;
    int precision = 8;
    std::vector<std::array<int, 2>> sampling;  // h, v of each component, in frame order

    // The MCU of a one-component frame is one block, whatever its sampling (T.81 A.2.2).
    int GridH(size_t c) const { return sampling.size() == 1 ? 1 : sampling[c][0]; }
    int GridV(size_t c) const { return sampling.size() == 1 ? 1 : sampling[c][1]; }
    int McuWidth() const;
    int McuHeight() const;
    int McuCols() const { return (width + McuWidth() - 1) / McuWidth(); }
    int McuRows() const { return (height + McuHeight() - 1) / McuHeight(); }
    std::vector<ComponentGrid> Grids() const;
    McuBlocks BlocksPerMcu() const;
    // A scan of these components (frame indexes, in frame order) with its fields.
    ScanLayout Layout(const ScriptScan& scan, int restartInterval) const;
};

// What a transform makes of a frame: the output's geometry and, per component, the blocks
// of the ragged right and bottom edge that trimming leaves out of the input grid.
struct TransformedFrame {
    FrameGeometry geometry;
    std::vector<size_t> dropCols, dropRows;
};
// `trim`: leave out a ragged edge that the transform would move to the top or left, as
// jpegtran -trim does; a picture smaller than one MCU there stays whole.
TransformedFrame TransformFrame(const FrameGeometry& in, TransformKind kind, bool trim);

struct InputScan {
    ScriptScan script;
    std::array<int, 4> dcTable{}, acTable{};  // selectors of the scan's components
    int restartInterval = 0;
    std::span<const uint8_t> data;            // entropy-coded, restart markers included
    HuffmanDecodeTables huffman;               // in force at the scan (Huffman coding)
    ArithmeticConditioning conditioning;       // in force at the scan (arithmetic coding)
};

// The scan's layout over the frame, with its table selectors.
ScanLayout LayoutOf(const FrameGeometry& frame, const InputScan& scan);

struct TranscodeResult {
    ScriptError scriptError = ScriptError::None;
    ScanResult scan;      // the first scan that failed, with its index
    size_t scanIndex = 0;
    bool outOfMemory = false;
    bool ok() const { return scriptError == ScriptError::None && scan.ok() && !outOfMemory; }
};

// Threads for the scans that do not depend on each other: `threads` at most, the caller's
// among them.
struct ScanThreads {
    unsigned threads = 1;
    ThreadStarter start;
};

// Checks the script, allocates the image and decodes every scan into it; a Huffman scan
// whose data is too short for one bit a block fails as Truncated before the image is
// allocated. Scans of other
// components or bands than those before them are decoded at once; a refinement waits for
// the scans whose bits it refines.
TranscodeResult DecodeScans(const FrameGeometry& frame, std::span<const InputScan> scans, CoefficientImage& image,
                            const ScanThreads& threads = {});

// The scans to write: the input's for AsInput; otherwise the chosen script over the output
// frame, the first component with table 0 and the others with table 1, and the input's
// first restart interval.
std::vector<InputScan> OutputScript(const FrameGeometry& frame, OutputCoding coding, std::span<const InputScan> input);

// How often each scan codes each Huffman symbol, the scans counted at once; false when a
// scan cannot be counted or a worker's memory ran out.
[[nodiscard]] bool CountScanSymbols(const FrameGeometry& frame, std::span<const InputScan> scans,
                                    const CoefficientImage& image, std::vector<HuffmanSymbolCounts>& counts,
                                    const ScanThreads& threads = {});

struct OutputScan {
    std::vector<uint8_t> data;
    HuffmanEncodeTables tables;  // what it was coded with (Huffman coding)
};

// Encodes the scans (the input's script, with its selectors and restart intervals) over the
// output frame, each on its own. Huffman scans use `first[i]` where it codes the scan, else
// `fallback` (the standard tables); MissingCode when neither does.
TranscodeResult EncodeScans(const FrameGeometry& frame, std::span<const InputScan> scans, const CoefficientImage& image,
                            std::span<const HuffmanEncodeTables> first, const HuffmanEncodeTables& fallback,
                            std::vector<OutputScan>& out, const ScanThreads& threads = {});

}  // namespace pivotta
