// The display decoder's contact with libjpeg. libjpeg reports fatal errors by longjmp; these
// functions keep that jump inside themselves (no C++ object lives across it) and hand back
// libjpeg's message number instead.
#pragma once

#include <cstddef>
#include <cstdint>

namespace libjpeg_decode {

inline constexpr int kOk = 0;

struct HeaderInfo {
    int width = 0;
    int height = 0;
};

// Rows of 4 bytes a pixel in R, G, B, X order.
struct RgbxTarget {
    uint8_t* pixels = nullptr;
    ptrdiff_t stride = 0;
};

// Must not throw: it runs between libjpeg calls. Returns false when it cannot provide the rows.
using AllocateRows = bool (*)(void* context, int width, int height, RgbxTarget* target) noexcept;

// kOk, or libjpeg's message number when it refuses the header.
int ReadHeader(const uint8_t* data, size_t size, HeaderInfo* info);

// Decodes at scale numerator/8 (1..8) into rows from allocate. Warnings about damaged data
// are passed over so that as much of the picture as can be decoded is shown.
int DecodeRgbx(const uint8_t* data, size_t size, int scaleNumerator, AllocateRows allocate, void* context);

}  // namespace libjpeg_decode
