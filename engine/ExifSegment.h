// Keeps the Exif APP1 segment consistent with a transformed picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "TransformKind.h"

namespace pivotta {

struct ExifTransform {
    TransformKind Kind = TransformKind::NoRotation;
    bool AllowBreakDCF = false;
    bool AllowAdjustMCU = false;
    int ImageWidth = 0;    // the frame as read
    int ImageHeight = 0;
    int OutputWidth = 0;   // after MCU trimming, before any exchange for quarter turns
    int OutputHeight = 0;
};

// payload is the APP1 segment after its two length bytes (size = length - 2). Returns the new
// payload: the same bytes when the segment is not Exif. Never reads outside payload; the
// result is at most 65533 bytes so that the segment length still fits.
std::vector<uint8_t> RewriteExifSegment(const uint8_t* payload, size_t size, const ExifTransform& transform);

}  // namespace pivotta
