// What the frame and scan headers say about a picture's geometry and its components.
#pragma once

#include <array>

namespace pivotta {

inline constexpr int kMaxComponents = 4;

// Frame geometry and per-component layout. Slots are the components in frame order.
struct FrameState {
    int ImageWidth = 0;    // X of the last frame header read
    int ImageHeight = 0;   // Y of the last frame header read
    int MaxH = 1;
    int MaxV = 1;
    int OutputWidth = 0;   // after MCU trimming
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

// Whether the transform would move a ragged edge (a size that is not a whole number of MCUs)
// to the top or the left, where its padding would show unless it is trimmed.

}  // namespace pivotta
