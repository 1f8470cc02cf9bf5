// The marker segments of a JPEG file around its one scan, for checking that a transform
// carries the segments it does not rewrite byte for byte and in place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pivotta::test {

struct JpegSegment {
    uint16_t marker = 0;
    std::vector<uint8_t> bytes;  // marker, length and payload
};

struct JpegLayout {
    std::vector<JpegSegment> headers;  // after SOI, up to and including the first SOS
    std::vector<uint16_t> scanMarkers; // RSTn markers inside the scan and the marker that ends it
    std::vector<uint8_t> trailing;     // bytes after EOI
};

// False with a reason when the bytes are not SOI, length-framed segments, one scan and EOI.
bool ParseJpegLayout(const std::vector<uint8_t>& jpeg, JpegLayout& layout, std::string* why);

}  // namespace pivotta::test
