#include "RawBitBuffer.h"

#include "Endian.h"
#include "LargeBlock.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace pivotta {

void RawBitBuffer::Grow(size_t capacity) {
    if (capacity <= bytes_.size()) return;
    ByteBuffer bigger(capacity);  // not zeroed: written in order, to the end
    if (used_ != 0) std::memcpy(bigger.data(), bytes_.data(), used_);
    bytes_ = std::move(bigger);
}

// Moves 64 bits at a time once the writer stands on a byte boundary: each output word is the
// source shifted by the same amount, and only a word with an FF byte needs stuffing byte by byte.
uint64_t RawBitBuffer::AppendWords(BitCursor<true>& cursor, uint64_t from, uint64_t stop) const {
    if (stop - from < 128) return from;
    // Complete the writer's partial byte from the source, then emit its whole bytes.
    const int fill = (8 - cursor.bits % 8) % 8;
    if (fill > 0) {
        cursor.PutBits(static_cast<uint32_t>(LoadWordBE64(bytes_.data() + from / 8) << (from % 8) >> (64 - fill)), fill);
        from += static_cast<uint64_t>(fill);
    }
    cursor.EmitPendingBytes();
    const int shift = static_cast<int>(from % 8);
    const uint8_t* source = bytes_.data();
    while (stop - from >= 64 && from / 8 + 9 <= used_) {
        const size_t index = static_cast<size_t>(from / 8);
        uint64_t word = LoadWordBE64(source + index);
        if (shift != 0) word = word << shift | source[index + 8] >> (8 - shift);
        if (!HasFFByte(word)) {
            StoreWordBE64(cursor.p, word);
            cursor.p += 8;
        } else {
            for (int i = 56; i >= 0; i -= 8) {
                const uint8_t b = static_cast<uint8_t>(word >> i);
                *cursor.p++ = b;
                if (b == 0xFF) *cursor.p++ = 0x00;
            }
        }
        from += 64;
    }
    return from;
}

void RawBitBuffer::AppendRange(TOutBitStreamFile& out, uint64_t from, uint64_t to) const {
    constexpr uint64_t kChunkBits = 8 * 4096;  // per cursor; stuffing may double the bytes
    const uint32_t tail = static_cast<uint32_t>(acc_ << (32 - bits_));  // pending bits, on top
    while (from < to) {
        BitCursor<true> cursor = out.OpenCursor(2 * kChunkBits / 8 + 16);
        const uint64_t stop = std::min(to, from + kChunkBits);
        from = AppendWords(cursor, from, stop);
        while (from < stop) {
            const size_t index = static_cast<size_t>(from / 8);
            const int offset = static_cast<int>(from % 8);
            const int take = static_cast<int>(std::min<uint64_t>(32, stop - from));
            uint64_t window;  // the 40 bits from byte index on hold the 32 from any offset
            if (index + 8 <= used_) {
                window = LoadWordBE64(bytes_.data() + index) >> 24;
            } else {
                // Near the end: past the whole bytes come the pending bits, then zeros that are
                // never taken.
                window = 0;
                for (size_t i = index; i < index + 5; ++i) {
                    const size_t t = i - used_;
                    const uint8_t b = i < used_ ? bytes_[i] : t < 4 ? static_cast<uint8_t>(tail >> (24 - 8 * t)) : 0;
                    window = window << 8 | b;
                }
            }
            const uint32_t chunk =
                static_cast<uint32_t>(window >> (40 - offset - take)) & static_cast<uint32_t>((uint64_t{1} << take) - 1);
            cursor.PutBits(chunk, take);
            from += static_cast<uint64_t>(take);
        }
        out.CloseCursor(cursor);
    }
}

void RawBitBuffer::AppendTo(TOutBitStreamFile& out) const {
    uint64_t at = 0;
    for (const auto& [offset, marker] : markers_) {
        AppendRange(out, at, offset);
        out.WriteWord(marker);
        at = offset;
    }
    AppendRange(out, at, BitCount());
}

}  // namespace pivotta
