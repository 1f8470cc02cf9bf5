// The walk every entropy codec makes through one scan: its MCUs in raster order, the blocks
// of each in coding order, a restart between intervals, and the pass's block routine.
// Internal to the scan codecs.
#pragma once

#include "ScanLayout.h"

namespace pivotta {

// `codec` provides the five block routines (Sequential(c, block), DcFirst(c, block),
// DcRefine(block), AcFirst(block), AcRefine(block), each false on a value it cannot code),
// and the steps between them, each returning ScanError::None to go on:
//   AfterMcu(ok)     once an MCU's blocks are done, ok false when one of them failed;
//   Restart(marker)  between intervals;
//   AfterRow()       after each MCU row;
//   Finish()         after the last MCU.
template <class Codec>
class ScanWalk {
public:
    static ScanResult Run(const ScanLayout& scan, std::span<const CoefficientPlane> planes, Codec& codec) {
        switch (scan.Pass()) {
            case ScanPass::Sequential:
                return Walk(scan, planes, codec, [&](int c, CoefBlock& b) { return codec.Sequential(c, b); });
            case ScanPass::DcFirst:
                return Walk(scan, planes, codec, [&](int c, CoefBlock& b) { return codec.DcFirst(c, b); });
            case ScanPass::DcRefine:
                return Walk(scan, planes, codec, [&](int, CoefBlock& b) { return codec.DcRefine(b); });
            case ScanPass::AcFirst:
                return Walk(scan, planes, codec, [&](int, CoefBlock& b) { return codec.AcFirst(b); });
            case ScanPass::AcRefine:
                return Walk(scan, planes, codec, [&](int, CoefBlock& b) { return codec.AcRefine(b); });
        }
        return {};
    }

private:
    template <class Block>
    static ScanResult Walk(const ScanLayout& scan, std::span<const CoefficientPlane> planes, Codec& codec,
                           Block&& block) {
        const size_t cols = scan.McusPerRow(), rows = scan.McuRowCount();
        RestartCounter restarts(scan.restartInterval, cols * rows);
        size_t done = 0;
        for (size_t my = 0; my < rows; ++my) {
            for (size_t mx = 0; mx < cols; ++mx) {
                bool ok = true;
                ForEachBlockOfMcu(scan, planes, mx, my, [&](int c, CoefBlock& b) { ok = ok && block(c, b); });
                if (const ScanError e = codec.AfterMcu(ok); e != ScanError::None) return ScanFailure(e, my);
                if (restarts.DueAfter(++done)) {
                    if (const ScanError e = codec.Restart(restarts.NextMarker()); e != ScanError::None)
                        return ScanFailure(e, my);
                }
            }
            if (const ScanError e = codec.AfterRow(); e != ScanError::None) return ScanFailure(e, my);
        }
        if (const ScanError e = codec.Finish(); e != ScanError::None) return ScanFailure(e, rows == 0 ? 0 : rows - 1);
        return {};
    }
};

}  // namespace pivotta
