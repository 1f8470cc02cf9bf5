// Loads and stores of 16- and 32-bit values in either byte order over raw bytes, and the
// whole-word forms the bit streams use. The caller has checked that the bytes lie inside its
// buffer.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(_MSC_VER) && !defined(__clang__)
#include <stdlib.h>
#endif

namespace pivotta {

// One instruction each with GCC, Clang and MSVC (std::byteswap is C++23).
inline uint64_t ByteSwap64(uint64_t v) {
#if defined(_MSC_VER) && !defined(__clang__)
    return _byteswap_uint64(v);
#else
    return __builtin_bswap64(v);
#endif
}
inline uint32_t ByteSwap32(uint32_t v) {
#if defined(_MSC_VER) && !defined(__clang__)
    return _byteswap_ulong(v);
#else
    return __builtin_bswap32(v);
#endif
}

inline uint16_t loadBE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint16_t loadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[1] << 8 | p[0]); }
inline uint32_t loadBE32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline uint32_t loadLE32(const uint8_t* p) {
    return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

inline void storeBE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void storeLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void storeBE32(uint8_t* p, uint32_t v) {
    storeBE16(p, static_cast<uint16_t>(v >> 16));
    storeBE16(p + 2, static_cast<uint16_t>(v));
}
inline void storeLE32(uint8_t* p, uint32_t v) {
    storeLE16(p, static_cast<uint16_t>(v));
    storeLE16(p + 2, static_cast<uint16_t>(v >> 16));
}

// Whole big-endian words in one load or store each, for the entropy-coded data.
inline uint64_t LoadWordBE64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::little) v = ByteSwap64(v);
    return v;
}
inline void StoreWordBE64(uint8_t* p, uint64_t v) {
    if constexpr (std::endian::native == std::endian::little) v = ByteSwap64(v);
    std::memcpy(p, &v, sizeof v);
}
inline void StoreWordBE32(uint8_t* p, uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) v = ByteSwap32(v);
    std::memcpy(p, &v, sizeof v);
}

// True when any byte of the word is 0xFF: the has-zero-byte test on the inverted word. In
// entropy-coded data such a byte is stuffed or starts a marker.
inline bool HasFFByte(uint64_t word) {
    const uint64_t inverted = ~word;
    return ((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) != 0;
}
inline bool HasFFByte(uint32_t word) {
    const uint32_t inverted = ~word;
    return ((inverted - 0x01010101u) & ~inverted & 0x80808080u) != 0;
}

// The byte order a TIFF structure declares in its header, chosen once per structure.
struct ByteOrder {
    bool little = false;

    uint16_t Load16(const uint8_t* p) const { return little ? loadLE16(p) : loadBE16(p); }
    uint32_t Load32(const uint8_t* p) const { return little ? loadLE32(p) : loadBE32(p); }
    void Store16(uint8_t* p, uint16_t v) const { little ? storeLE16(p, v) : storeBE16(p, v); }
    void Store32(uint8_t* p, uint32_t v) const { little ? storeLE32(p, v) : storeBE32(p, v); }
};

}  // namespace pivotta
