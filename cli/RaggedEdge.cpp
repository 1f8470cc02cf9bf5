#include "RaggedEdge.h"

namespace pivotta::cli {
namespace {

struct Axis {
    bool moves = false;
    bool trimmable = false;
    int kept = 0;
};

Axis AxisOf(int size, int mcu, bool movesToTopOrLeft) {
    Axis axis{movesToTopOrLeft && size % mcu != 0, false, size};
    if (!axis.moves) return axis;
    // Trimming a picture smaller than one MCU would leave nothing: the engine keeps it whole.
    axis.trimmable = size >= mcu;
    if (axis.trimmable) axis.kept = size / mcu * mcu;
    return axis;
}

}  // namespace

RaggedEdge RaggedEdgeOf(const FrameState& frame, TransformKind kind) {
    const Axis across = AxisOf(frame.ImageWidth, 8 * frame.MaxH, TrimsRightEdge(kind));
    const Axis down = AxisOf(frame.ImageHeight, 8 * frame.MaxV, TrimsBottomEdge(kind));
    return {across.moves || down.moves,
            across.trimmable || down.trimmable,
            (across.moves && !across.trimmable) || (down.moves && !down.trimmable),
            across.kept,
            down.kept};
}

}  // namespace pivotta::cli
