// A writer's pending bits held in locals for one stretch of entropy-coded data (one block):
// the compiler keeps them in registers, which stores through the byte pointer would
// otherwise prevent. Sinks hand out room for a bounded number of bytes and take it back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Endian.h"

namespace pivotta {

// Upper bound of the bytes one block can produce: 64 codes of at most 32 bits with their
// extra bits, every byte doubled by stuffing, and the 4 bytes a cursor stores ahead.
inline constexpr size_t kMaxBlockBytes = 2 * 64 * 4 + 16;

template <bool kStuff>
struct BitCursor {
    uint64_t acc;  // the low bits bits are pending, oldest on top
    int bits;      // fewer than 32 between calls
    uint8_t* p;

    // n is 1..32 and value holds no bits above n. Whether a word is complete changes every
    // few calls, too irregularly to predict, so the word is stored every time and only kept,
    // by moving on, once it is complete; the rare word with an FF byte takes a branch.
    void PutBits(uint32_t value, int n) {
        acc = (acc << n) | value;
        bits += n;
        const int whole = bits >> 5;  // 0 or 1
        bits -= whole << 5;
        const uint32_t word = static_cast<uint32_t>(acc >> bits);
        if (kStuff && whole != 0 && HasFFByte(word)) {
            EmitStuffed(word);
            return;
        }
        StoreWordBE32(p, word);
        p += 4 * whole;
    }

    // Emits the pending whole bytes; the caller has made the pending bits a multiple of 8.
    void EmitPendingBytes() {
        while (bits >= 8) {
            bits -= 8;
            const uint8_t b = static_cast<uint8_t>(acc >> bits);
            *p++ = b;
            if (kStuff && b == 0xFF) *p++ = 0x00;
        }
    }

private:
    void EmitStuffed(uint32_t word) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            const uint8_t b = static_cast<uint8_t>(word >> shift);
            *p++ = b;
            if (b == 0xFF) *p++ = 0x00;
        }
    }
};

}  // namespace pivotta
