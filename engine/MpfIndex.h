// The Multi-Picture Format index (CIPA DC-007) that an APP2 "MPF\0" segment of a file's first
// picture holds: where each further picture of the file starts and how long it is.
//
// Offsets in the index count from the MP header's byte-order field, that is from the APP2
// segment's FF byte + 8; the first entry is the picture that holds the index (offset 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pivotta {

inline constexpr uint8_t kMpfSignature[4] = {'M', 'P', 'F', 0};
// From the segment's FF byte to the byte-order field: marker, length, signature.
inline constexpr size_t kMpfHeaderOffset = 8;

// The MP type code: the low 24 bits of an entry's attribute.
enum class MpfImageType : uint32_t {
    Undefined = 0x000000,  // gain maps and other auxiliary pictures
    LargePreview1 = 0x010001,
    LargePreview2 = 0x010002,
    Panorama = 0x020001,
    Disparity = 0x020002,  // stereo views
    MultiAngle = 0x020003,
    Primary = 0x030000,
};

struct MpfEntry {
    uint32_t attribute = 0;  // flags in the top byte, the MP type code below
    uint32_t size = 0;       // SOI to EOI
    uint32_t offset = 0;     // from the byte-order field; 0 for the first entry
    uint16_t dependent1 = 0;
    uint16_t dependent2 = 0;

    MpfImageType Type() const { return static_cast<MpfImageType>(attribute & 0xFFFFFF); }
};

// One entry of an IFD copied as it stands: its value bytes (whatever their size), in the
// segment's byte order.
struct MpfTiffEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    std::vector<uint8_t> value;
};

struct MpfIndex {
    bool littleEndian = false;
    std::vector<MpfEntry> entries;           // B002, in file order
    std::vector<uint8_t> imageUids;          // B003, 33 bytes per picture, when present
    std::optional<uint32_t> totalFrames;     // B004
    std::vector<MpfTiffEntry> attributes;    // the primary's MP attribute IFD, when present
};

enum class MpfProblem {
    None,
    NotMpf,          // the segment does not start with the signature
    NoIndex,         // an MP attribute IFD alone, as a file's further pictures carry
    BadHeader,       // byte order, 42 or first IFD offset
    BadIfd,          // an entry table or a value outside the segment, duplicate tags
    BadCount,        // B001 and B002 disagree, no entries, or too many
    BadEntries,      // the first entry does not name the picture itself
};

struct MpfParse {
    MpfProblem problem = MpfProblem::None;
    MpfIndex index;
};

// payload: the APP2 segment after its length field. Every count, offset and length is checked
// against the segment before it is read; unknown tags of the index IFD are passed over.
MpfParse ParseMpfSegment(std::span<const uint8_t> payload);

// The segment payload (signature included) that describes index, written strictly: tags in
// ascending order, only the tags this format defines, B002's count 16 x pictures. Its size
// depends only on what index holds, not on the sizes and offsets.
std::vector<uint8_t> WriteMpfSegment(const MpfIndex& index);

// Where each picture the index names lies in a file of fileSize bytes whose first picture
// holds the index at headerPosition (the byte-order field) and ends at firstEnd.
struct MpfPlacement {
    size_t start = 0;
    size_t end = 0;
};

enum class MpfLayoutProblem { None, OutsideFile, Overlapping, NotAPicture };

struct MpfLayout {
    MpfLayoutProblem problem = MpfLayoutProblem::None;
    std::vector<MpfPlacement> pictures;  // one per entry after the first, in file order
};

// Every further picture must start after the one before it has ended (the first picture
// included), lie inside the file and begin with a start-of-image marker: an index that points
// backwards, at itself or past the end is refused rather than followed.
MpfLayout PlaceMpfPictures(const MpfIndex& index, std::span<const uint8_t> file, size_t headerPosition,
                           size_t firstEnd);

}  // namespace pivotta
