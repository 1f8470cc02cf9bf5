// A small phone photo around a fuzzed MP index or XMP packet: a main picture with the segment,
// then a gain-map-like picture and a few trailing bytes. The seeds are written with the same
// layout, so that their offsets point where the pictures are.
#pragma once

#include <cstddef>

#include "SyntheticJpeg.h"

namespace pivotta::fuzz {

// The main picture with an APP2 segment holding mpfPayload right after SOI (its MP header at
// byte 10), followed by SecondPicture() and a trailer.
Bytes PhotoWithIndex(const Bytes& mpfPayload);
// The main picture with an APP1 XMP payload, then a valid MP index (for one further picture)
// that points at SecondPicture(), then the trailer: the XMP can name that picture's length.
Bytes PhotoWithXmp(const Bytes& xmpPayload);

const Bytes& MainPicture();
const Bytes& SecondPicture();
inline constexpr size_t kTrailerSize = 40;

}  // namespace pivotta::fuzz
