// The geometry of one scan as the decoder and the encoder use it: the frame's block grid, the
// components in frame order (slots), the scan's table selectors and restart interval, and the
// output size after trimming. Built from the model for each run.
#pragma once

#include <array>

#include "JpegModel.h"
#include "TransformKind.h"

namespace pivotta {

inline constexpr int kMaxComponents = 4;

struct FrameState {
    int ImageWidth = 0;    // X of the frame header
    int ImageHeight = 0;   // Y of the frame header
    int MaxH = 1;
    int MaxV = 1;
    int OutputWidth = 0;   // after MCU trimming, before any exchange of axes
    int OutputHeight = 0;
    int McuCols = 0;
    int McuRows = 0;
    int ComponentCount = 0;
    std::array<int, kMaxComponents> ComponentId{};
    std::array<int, kMaxComponents> CompH{};  // sampling factors as used for the block grid
    std::array<int, kMaxComponents> CompV{};
    std::array<int, kMaxComponents> CompTq{};
    std::array<int, kMaxComponents> DcTableSel{};
    std::array<int, kMaxComponents> AcTableSel{};
    std::array<int, kMaxComponents> ScanOrder{};  // slots in the order of the scan header
    int ScanComponentCount = 0;
    bool RestartEnabled = false;
    int RestartInterval = 0;
};

// The geometry of `scan` of a parsed picture, for a transform of `kind`; with `trim` the edge
// that the transform moves to the top or left loses its ragged MCU.
FrameState ScanGeometry(const jpeg::Picture& picture, const jpeg::Scan& scan, TransformKind kind, bool trim);

}  // namespace pivotta
