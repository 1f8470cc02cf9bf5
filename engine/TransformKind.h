#pragma once

#include <cstdint>

namespace pivotta {

// The codes are fixed: callers and files of settings rely on them.
enum class TransformKind : uint8_t {
    NoRotation = 0,
    Rotate90 = 1,   // clockwise
    Rotate270 = 2,  // 90 degrees counter-clockwise
    Rotate180 = 3,
    MirrorLR = 4,
    MirrorTB = 5,
};

inline constexpr bool IsQuarterTurn(TransformKind kind) {
    return kind == TransformKind::Rotate90 || kind == TransformKind::Rotate270;
}

inline constexpr bool IsValidKind(TransformKind kind) { return static_cast<uint8_t>(kind) <= 5; }

}  // namespace pivotta
