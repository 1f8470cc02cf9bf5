// The transform kinds and everything the engine needs to know about each, in one table: a
// kind is added by adding its row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace pivotta {

// The codes are fixed: callers and files of settings rely on them.
enum class TransformKind : uint8_t {
    NoRotation = 0,
    Rotate90 = 1,   // clockwise
    Rotate270 = 2,  // 90 degrees counter-clockwise
    Rotate180 = 3,
    MirrorLR = 4,
    MirrorTB = 5,
    Transpose = 6,   // about the top-left to bottom-right diagonal: out(x, y) = in(y, x)
    Transverse = 7,  // about the other diagonal: out(x, y) = in(W-1-y, H-1-x)
};

// Every kind is a choice of three independent things, seen from the output picture: whether
// its columns run along the input's rows (a transposition), and whether its x and y count
// backwards along the input axis they run along. The rest follows from those three:
// - the sign rule: reversing an axis negates the coefficients of odd frequency along it;
// - trimming: the input edge that a reversed output axis starts from moves inside the
//   picture, so a ragged edge there must be trimmed;
// - Exif: a transposition exchanges widths, heights and resolutions.
struct TransformFacts {
    TransformKind kind;
    const char* name;
    bool swapsAxes;
    bool reversesX;
    bool reversesY;
    uint8_t uprightOrientation;  // the Exif Orientation value (1-8) that this kind makes upright
};

inline constexpr std::array<TransformFacts, 8> kTransformFacts = {{
    {TransformKind::NoRotation, "NoRotation", false, false, false, 1},
    {TransformKind::Rotate90, "Rotate90", true, true, false, 6},
    {TransformKind::Rotate270, "Rotate270", true, false, true, 8},
    {TransformKind::Rotate180, "Rotate180", false, true, true, 3},
    {TransformKind::MirrorLR, "MirrorLR", false, true, false, 2},
    {TransformKind::MirrorTB, "MirrorTB", false, false, true, 4},
    {TransformKind::Transpose, "Transpose", true, false, false, 5},
    {TransformKind::Transverse, "Transverse", true, true, true, 7},
}};

inline constexpr int kTransformKindCount = static_cast<int>(kTransformFacts.size());

namespace detail {
constexpr bool TableInCodeOrder() {
    for (int i = 0; i < kTransformKindCount; ++i) {
        if (static_cast<int>(kTransformFacts[i].kind) != i) return false;
    }
    return true;
}
}  // namespace detail
static_assert(detail::TableInCodeOrder(), "rows are indexed by their kind's code");

// The kind of a number from outside (a setting, an argument, fuzzer input), if it names one.
constexpr std::optional<TransformKind> KindFromCode(int code) {
    if (code < 0 || code >= kTransformKindCount) return std::nullopt;
    return static_cast<TransformKind>(code);
}

// Callers pass a kind that KindFromCode or the enumerators gave.
constexpr const TransformFacts& Facts(TransformKind kind) { return kTransformFacts[static_cast<size_t>(kind)]; }

inline constexpr std::array<TransformKind, kTransformKindCount> kAllTransformKinds = [] {
    std::array<TransformKind, kTransformKindCount> kinds{};
    for (int i = 0; i < kTransformKindCount; ++i) kinds[i] = kTransformFacts[i].kind;
    return kinds;
}();

constexpr bool SwapsAxes(TransformKind kind) { return Facts(kind).swapsAxes; }

// Whether the input's right (bottom) edge ends up at the output's left or top, where a ragged
// partial MCU would sit inside the picture.
constexpr bool TrimsRightEdge(TransformKind kind) {
    const TransformFacts& f = Facts(kind);
    return f.swapsAxes ? f.reversesY : f.reversesX;
}
constexpr bool TrimsBottomEdge(TransformKind kind) {
    const TransformFacts& f = Facts(kind);
    return f.swapsAxes ? f.reversesX : f.reversesY;
}

// Whether the coefficient of output frequencies (u across, v down) changes sign.
constexpr bool NegatesCoefficient(TransformKind kind, int u, int v) {
    const TransformFacts& f = Facts(kind);
    return (f.reversesX && u % 2 != 0) != (f.reversesY && v % 2 != 0);
}

// The input position that lands at output position (x, y) of a grid (blocks, pixels) whose
// output size is width x height.
struct GridPosition {
    int x, y;
};
constexpr GridPosition SourcePosition(TransformKind kind, int x, int y, int width, int height) {
    const TransformFacts& f = Facts(kind);
    const int alongX = f.reversesX ? width - 1 - x : x;
    const int alongY = f.reversesY ? height - 1 - y : y;
    return f.swapsAxes ? GridPosition{alongY, alongX} : GridPosition{alongX, alongY};
}

// The kind that shows a picture with this Exif Orientation value upright: none for values
// outside 1-8.
constexpr std::optional<TransformKind> UprightKind(uint32_t orientation) {
    for (const TransformFacts& f : kTransformFacts) {
        if (f.uprightOrientation == orientation) return f.kind;
    }
    return std::nullopt;
}

static_assert(SourcePosition(TransformKind::Rotate90, 0, 0, 3, 2).x == 0 &&
              SourcePosition(TransformKind::Rotate90, 0, 0, 3, 2).y == 2);  // clockwise: bottom-left goes top-left
static_assert(SourcePosition(TransformKind::Transverse, 0, 0, 3, 2).x == 1 &&
              SourcePosition(TransformKind::Transverse, 0, 0, 3, 2).y == 2);
static_assert(TrimsRightEdge(TransformKind::Transverse) && TrimsBottomEdge(TransformKind::Transverse) &&
              !TrimsRightEdge(TransformKind::Transpose) && !TrimsBottomEdge(TransformKind::Transpose));
static_assert(!NegatesCoefficient(TransformKind::Rotate180, 1, 1) &&
              NegatesCoefficient(TransformKind::Rotate180, 0, 1));

}  // namespace pivotta
