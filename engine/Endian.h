// Loads and stores of 16- and 32-bit values in either byte order over raw bytes.
// The caller has checked that the bytes lie inside its buffer.
#pragma once

#include <cstdint>

namespace pivotta {

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

// The byte order a TIFF structure declares in its header, chosen once per structure.
struct ByteOrder {
    bool little = false;

    uint16_t Load16(const uint8_t* p) const { return little ? loadLE16(p) : loadBE16(p); }
    uint32_t Load32(const uint8_t* p) const { return little ? loadLE32(p) : loadBE32(p); }
    void Store16(uint8_t* p, uint16_t v) const { little ? storeLE16(p, v) : storeBE16(p, v); }
    void Store32(uint8_t* p, uint32_t v) const { little ? storeLE32(p, v) : storeBE32(p, v); }
};

}  // namespace pivotta
