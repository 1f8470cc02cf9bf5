// The display decoder's contact with libjpeg. libjpeg reports fatal errors by longjmp; these
// functions keep that jump inside themselves (no C++ object lives across it) and hand back
// libjpeg's message number and text instead.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pivotta::app {

namespace libjpeg_decode {

inline constexpr int kOk = 0;

// kOk, or libjpeg's message number and its text with the values filled in
// ("Not a JPEG file: starts with 0x89 0x50").
struct Status {
    int code = kOk;
    char message[200] = {};  // JMSG_LENGTH_MAX; a plain array, so that nothing is built after the jump
    bool unsupportedKind = false;  // the file is of a kind the decoder does not decode, not damaged

    bool Ok() const { return code == kOk; }
};

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

Status ReadHeader(const uint8_t* data, size_t size, HeaderInfo* info);

// Decodes at scale numerator/8 (1..8) into rows from allocate. Warnings about damaged data
// are passed over so that as much of the picture as can be decoded is shown.
Status DecodeRgbx(const uint8_t* data, size_t size, int scaleNumerator, AllocateRows allocate, void* context);

}  // namespace libjpeg_decode

}  // namespace pivotta::app
