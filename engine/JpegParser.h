// Parses a JPEG stream into its model (JpegModel.h) without an output and without decoding:
// one function per marker segment, each checking every length against what remains before
// reading it. Failures come back as a status; nothing is reported from here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "JpegModel.h"
#include "Status.h"

namespace pivotta::jpeg {

// SOI at `start`, then every segment up to and including the picture's first scan header.
// The picture starts from nothing: no table or interval of another parse is in force.
Status ParseHeaders(std::span<const uint8_t> bytes, size_t start, Picture& picture);

// After the last scan's entropy-coded data, which decoding found to end at dataEnd: the RSTn
// markers that follow it, then EOI (fill bytes may precede each, ITU T.81 B.1.1.2).
// afterEndOfImage becomes the rest of the bytes.
Status ParseTail(std::span<const uint8_t> bytes, size_t dataEnd, Picture& picture, ByteRange& afterEndOfImage);

// What an unexpected marker tells about the file: most are frames of another coding process.
MessageCode CodeForUnexpectedMarker(uint16_t marker);

}  // namespace pivotta::jpeg
