// How a file is more than one picture: its first picture's header segments, where that picture
// ends, the MP index and the further pictures it names, and the XMP packet that describes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "MpfIndex.h"
#include "PhotoInfo.h"

namespace pivotta {

// One marker segment before the first scan: its marker, where its FF byte is, and its payload
// (after the length field).
struct HeaderSegment {
    uint8_t marker = 0;
    size_t start = 0;
    size_t payload = 0;
    size_t size = 0;
};

// The segments from after SOI up to the first SOS (included). Fill bytes before a marker are
// passed over. Empty when the stream is not a JPEG or a length runs outside it.
std::vector<HeaderSegment> ReadHeaderSegments(std::span<const uint8_t> file);

// The position just after the first picture's EOI: the entropy-coded data after the SOS
// segment ends at the first marker that is neither stuffing nor a restart marker. None when
// that marker is not EOI (the engine then names the fault itself).
std::optional<size_t> FindPictureEnd(std::span<const uint8_t> file, const HeaderSegment& sos);

struct SecondaryPicture {
    size_t start = 0;  // SOI
    size_t end = 0;    // start + the index's size
    uint32_t attribute = 0;
    PictureRole role = PictureRole::Auxiliary;
};

// The width and height a picture's frame header declares; none without one.
struct FrameSize {
    int width = 0, height = 0;
};
std::optional<FrameSize> ReadFrameSize(std::span<const uint8_t> picture);

enum class PhotoProblem { None, MultiPictureSet, DamagedIndex };

struct PhotoLayout {
    PhotoProblem problem = PhotoProblem::None;
    std::vector<HeaderSegment> segments;
    size_t pictureEnd = 0;                 // after the first picture's EOI; 0 when not found
    std::optional<size_t> mpfSegment;      // index into segments of the APP2 that holds the index
    MpfIndex index;
    std::vector<SecondaryPicture> secondaries;
    std::optional<size_t> xmpSegment;      // the main XMP packet's APP1

    bool HasSecondaries() const { return !secondaries.empty(); }
};

// Reads what a transform needs to keep a file's pictures together. A file without an MP index
// has no further pictures, whatever bytes follow its EOI.
PhotoLayout ReadPhotoLayout(std::span<const uint8_t> file);

// Whether a picture's own header segments mark it as a gain map: hdrgm or Apple's auxiliary
// type in its XMP, or ISO 21496-1 metadata in an APP2.
bool MarksGainMap(std::span<const uint8_t> picture);

}  // namespace pivotta
