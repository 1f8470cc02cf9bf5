// Small baseline JPEG streams with pseudo-random coefficients, built without any codec
// library: the carriers of the Exif fuzzer and most of the seed corpus.
#pragma once

#include <cstdint>
#include <vector>

#include "MiniJpeg.h"

namespace pivotta::fuzz {

using test::Bytes;
using test::MiniComponent;

struct SyntheticSpec {
    int width = 16, height = 16;
    std::vector<MiniComponent> components = test::Ycc(2, 2);
    int restartInterval = -1;  // -1: no DRI segment
    uint32_t seed = 1;
    // Nearly flat blocks cost a few bits each, so that a small file holds many MCUs.
    bool flat = false;
};

// The entropy-coded data of a scan of every component the description names, interleaved, with
// restart markers where the interval falls due.
Bytes SyntheticScan(const SyntheticSpec& spec);

// SOI, tables, frame, [DRI], scan header, SyntheticScan, EOI.
Bytes SyntheticJpeg(const SyntheticSpec& spec);

// The stream with a segment inserted right after SOI.
Bytes WithSegmentAfterSoi(const Bytes& jpeg, uint16_t marker, const Bytes& payload);

}  // namespace pivotta::fuzz
