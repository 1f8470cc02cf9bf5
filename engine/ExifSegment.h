// Keeps the Exif APP1 segment consistent with a transformed picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "TransformKind.h"

namespace pivotta {

struct ExifTransform {
    TransformKind Kind = TransformKind::NoRotation;
    bool AllowBreakDCF = false;
    bool AllowAdjustMCU = false;
    int ImageWidth = 0;    // the frame as read
    int ImageHeight = 0;
    int OutputWidth = 0;   // after MCU trimming, before any exchange of axes
    int OutputHeight = 0;
    // Leave the Orientation entries as they were instead of setting them to 1 (upright).
    bool KeepOrientation = false;
};

// What the step could not do, for the caller to warn about.
struct ExifOutcome {
    // A thumbnail that was to be turned stays as it was: the nested engine refused it, or the
    // turned one would not fit the segment.
    bool thumbnailKept = false;
};

// Whether the thumbnail turns with the picture. A reset Orientation (the default) turns it for
// every kind, since a viewer then shows it as stored; kept Orientation values leave a quarter
// turn's thumbnail as DCF wants it unless AllowBreakDCF says otherwise.
bool TurnsThumbnail(const ExifTransform& transform);

// payload is the APP1 segment after its two length bytes (size = length - 2). Returns the new
// payload: the same bytes when the segment is not Exif. Never reads outside payload; the
// result is at most 65533 bytes so that the segment length still fits. No thumbnail is removed.
std::vector<uint8_t> RewriteExifSegment(const uint8_t* payload, size_t size, const ExifTransform& transform,
                                        ExifOutcome* outcome = nullptr);

// The value of IFD0's Orientation entry (0x0112) in an APP1 payload as above: none when the
// segment is not Exif or has no such entry, 0 for an entry whose type holds no number.
std::optional<uint32_t> ReadExifOrientation(const uint8_t* payload, size_t size);

}  // namespace pivotta
