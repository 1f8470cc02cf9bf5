#include "RawBitBuffer.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace pivotta {

void RawBitBuffer::Grow(size_t capacity) {
    if (capacity <= capacity_) return;
    std::unique_ptr<uint8_t[]> bigger(new uint8_t[capacity]);
    if (used_ != 0) std::memcpy(bigger.get(), bytes_.get(), used_);
    bytes_ = std::move(bigger);
    capacity_ = capacity;
}

void RawBitBuffer::AppendRange(TOutBitStreamFile& out, uint64_t from, uint64_t to) const {
    constexpr uint64_t kChunkBits = 8 * 4096;  // per cursor; stuffing may double the bytes
    const uint32_t tail = static_cast<uint32_t>(acc_ << (32 - bits_));  // pending bits, on top
    while (from < to) {
        BitCursor<true> cursor = out.OpenCursor(2 * kChunkBits / 8 + 16);
        const uint64_t stop = std::min(to, from + kChunkBits);
        while (from < stop) {
            const size_t index = static_cast<size_t>(from / 8);
            const int offset = static_cast<int>(from % 8);
            const int take = static_cast<int>(std::min<uint64_t>(32, stop - from));
            uint64_t window;  // the 40 bits from byte index on hold the 32 from any offset
            if (index + 8 <= used_) {
                std::memcpy(&window, bytes_.get() + index, 8);
                if constexpr (std::endian::native == std::endian::little) window = __builtin_bswap64(window);
                window >>= 24;
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
