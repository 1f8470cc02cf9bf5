// One scan as the frame and scan headers describe it, and the coefficient planes its blocks
// live in: the plain input of the entropy codecs (Huffman and arithmetic, sequential and
// progressive). Nothing here knows about markers or streams.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "CoefBlock.h"

namespace pivotta {

// Every block of one component in raster order. The grid spans whole MCUs of the frame, so
// the padding blocks that interleaved scans carry have a place (T.81 A.2.4); a
// non-interleaved scan covers only the component's own blocks (A.2.2).
struct CoefficientPlane {
    CoefBlock* blocks = nullptr;
    size_t stride = 0;  // blocks per grid row

    CoefBlock& At(size_t x, size_t y) const { return blocks[y * stride + x]; }
};

struct ScanComponent {
    int plane = 0;                      // index of the component's plane (its frame position)
    int h = 1, v = 1;                   // sampling factors
    int blocksWide = 0, blocksHigh = 0; // the component's own blocks, ceil(ceil(X * h / Hmax) / 8)
    int dcTable = 0, acTable = 0;       // selectors 0-3 (or arithmetic conditioning tables)
};

// What one scan codes.
enum class ScanPass : uint8_t { Sequential, DcFirst, DcRefine, AcFirst, AcRefine };

struct ScanLayout {
    int componentCount = 0;
    std::array<ScanComponent, 4> components{};
    int mcuCols = 0, mcuRows = 0;  // the frame's MCU grid, used by interleaved scans
    bool progressive = false;      // the frame's process (SOF2, SOF10)
    int precision = 8;             // sample precision, 8 or 12
    int Ss = 0, Se = 63, Ah = 0, Al = 0;
    int restartInterval = 0;       // MCUs per interval; 0 for none

    ScanPass Pass() const {
        if (!progressive) return ScanPass::Sequential;
        if (Ss == 0) return Ah == 0 ? ScanPass::DcFirst : ScanPass::DcRefine;
        return Ah == 0 ? ScanPass::AcFirst : ScanPass::AcRefine;
    }
    bool Interleaved() const { return componentCount > 1; }
    // A non-interleaved scan's MCU is one block of its component (T.81 A.2.2).
    size_t McusPerRow() const {
        return Interleaved() ? static_cast<size_t>(mcuCols) : static_cast<size_t>(components[0].blocksWide);
    }
    size_t McuRowCount() const {
        return Interleaved() ? static_cast<size_t>(mcuRows) : static_cast<size_t>(components[0].blocksHigh);
    }
};

// A sequential scan codes whole blocks whatever its header's Ss, Se, Ah and Al say.
inline ScanLayout WholeBlocksIfSequential(ScanLayout scan) {
    if (!scan.progressive) {
        scan.Ss = 0;
        scan.Se = 63;
        scan.Ah = scan.Al = 0;
    }
    return scan;
}

// Why a scan could not be coded. Detail travels with it as the MCU row.
enum class ScanError : uint8_t {
    None,
    BadCode,      // a pattern no table holds, a run or value past the band, a magnitude overflow
    Truncated,    // the data ends (or a marker comes) before the last block
    BadRestart,   // the restart marker is missing or out of sequence, or data precedes it
    MissingTable, // the scan uses a table its stream never defined
    MissingCode,  // the encoder's table lacks a symbol the data needs
};

struct [[nodiscard]] ScanResult {
    ScanError error = ScanError::None;
    int64_t mcuRow = -1;
    bool ok() const { return error == ScanError::None; }
};

inline ScanResult ScanFailure(ScanError error, size_t mcuRow) { return {error, static_cast<int64_t>(mcuRow)}; }

// Calls visit(componentIndex, block) for the blocks of MCU (mx, my) in the order T.81 A.2.3
// codes them: components in scan order, each one's v x h blocks in raster order.
template <class Visit>
inline void ForEachBlockOfMcu(const ScanLayout& scan, std::span<const CoefficientPlane> planes, size_t mx, size_t my,
                              Visit&& visit) {
    if (!scan.Interleaved()) {
        visit(0, planes[scan.components[0].plane].At(mx, my));
        return;
    }
    for (int c = 0; c < scan.componentCount; ++c) {
        const ScanComponent& comp = scan.components[c];
        const CoefficientPlane& plane = planes[comp.plane];
        const size_t x0 = mx * comp.h, y0 = my * comp.v;
        for (int v = 0; v < comp.v; ++v)
            for (int h = 0; h < comp.h; ++h) visit(c, plane.At(x0 + h, y0 + v));
    }
}

// Whether every table the scan's pass uses is defined: `tables` has arrays `dc` and `ac` of
// pointers by selector, null where none is. A DC refinement uses no table.
template <class Tables>
inline bool HasTablesFor(const ScanLayout& scan, const Tables& tables) {
    const ScanPass pass = scan.Pass();
    const bool usesDc = pass == ScanPass::Sequential || pass == ScanPass::DcFirst;
    const bool usesAc = pass == ScanPass::Sequential || pass == ScanPass::AcFirst || pass == ScanPass::AcRefine;
    for (int c = 0; c < scan.componentCount; ++c) {
        const ScanComponent& comp = scan.components[c];
        if (usesDc && tables.dc[comp.dcTable] == nullptr) return false;
        if (usesAc && tables.ac[comp.acTable] == nullptr) return false;
    }
    return true;
}

// The restart interval bookkeeping that decoders and encoders share: after which MCUs a
// restart marker stands (never after the scan's last MCU), and its number.
class RestartCounter {
public:
    RestartCounter(int interval, size_t mcuCount) : interval_(interval), mcuCount_(mcuCount) {}
    // After MCU number `done` (counted from 1) has been coded: whether a marker follows.
    bool DueAfter(size_t done) const {
        return interval_ > 0 && done < mcuCount_ && done % static_cast<size_t>(interval_) == 0;
    }
    uint16_t NextMarker() { return static_cast<uint16_t>(0xFFD0 + (next_++ & 7)); }

private:
    int interval_;
    size_t mcuCount_;
    unsigned next_ = 0;
};

}  // namespace pivotta
