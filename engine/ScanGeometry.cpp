#include "FrameState.h"

namespace pivotta {

FrameState ScanGeometry(const jpeg::Picture& picture, const jpeg::Scan& scan, TransformKind kind, bool trim) {
    const jpeg::Frame& frame = picture.frame;
    FrameState state;
    state.ImageWidth = frame.width;
    state.ImageHeight = frame.height;
    state.MaxH = frame.maxH;
    state.MaxV = frame.maxV;

    const int mcuWidth = 8 * frame.maxH;
    const int mcuHeight = 8 * frame.maxV;
    int trimmedWidth = frame.width;
    int trimmedHeight = frame.height;
    // A picture smaller than one MCU keeps that dimension: trimming would leave nothing.
    if (trim && frame.width >= mcuWidth) trimmedWidth = frame.width / mcuWidth * mcuWidth;
    if (trim && frame.height >= mcuHeight) trimmedHeight = frame.height / mcuHeight * mcuHeight;
    // Only the edge that the transform moves to the top or left is trimmed.
    state.OutputWidth = TrimsRightEdge(kind) ? trimmedWidth : frame.width;
    state.OutputHeight = TrimsBottomEdge(kind) ? trimmedHeight : frame.height;
    state.McuCols = (frame.width + mcuWidth - 1) / mcuWidth;
    state.McuRows = (frame.height + mcuHeight - 1) / mcuHeight;

    const int count = static_cast<int>(frame.components.size());
    state.ComponentCount = count;
    for (int i = 0; i < count; ++i) {
        const jpeg::FrameComponent& component = frame.components[static_cast<size_t>(i)];
        state.ComponentId[i] = component.id;
        state.CompH[i] = count == 1 ? 1 : component.h;
        state.CompV[i] = count == 1 ? 1 : component.v;
        state.CompTq[i] = component.tq;
    }
    state.ScanComponentCount = static_cast<int>(scan.components.size());
    for (int i = 0; i < state.ScanComponentCount; ++i) {
        const jpeg::ScanComponent& component = scan.components[static_cast<size_t>(i)];
        state.ScanOrder[i] = component.component;
        state.DcTableSel[component.component] = component.dcTable;
        state.AcTableSel[component.component] = component.acTable;
    }
    state.RestartEnabled = scan.tables.restartDefined;
    state.RestartInterval = scan.tables.restartInterval;
    return state;
}

}  // namespace pivotta
