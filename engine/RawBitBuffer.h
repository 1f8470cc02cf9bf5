// Unstuffed entropy-coded bits of one part of a scan, encoded on a worker thread, with the
// restart markers that fall inside it. Appended to the real writer later, which stuffs them
// in their final byte alignment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "BitCursor.h"
#include "BitStreamFile.h"
#include "LargeBlock.h"

namespace pivotta {

class RawBitBuffer {
public:
    void Reserve(size_t bytes) { Grow(bytes); }

    BitCursor<false> OpenCursor(size_t maxBytes) {
        if (used_ + maxBytes > bytes_.size()) Grow(2 * bytes_.size() + maxBytes);
        return {acc_, bits_, bytes_.data() + used_};
    }
    void CloseCursor(const BitCursor<false>& cursor) {
        acc_ = cursor.acc;
        bits_ = cursor.bits;
        used_ = static_cast<size_t>(cursor.p - bytes_.data());
    }
    void WriteWord(uint16_t marker) { markers_.emplace_back(BitCount(), marker); }

    // Appends every bit and marker to out, as if they had been written there directly.
    void AppendTo(TOutBitStreamFile& out) const;

private:
    uint64_t BitCount() const { return uint64_t{8} * used_ + static_cast<unsigned>(bits_); }
    void AppendRange(TOutBitStreamFile& out, uint64_t from, uint64_t to) const;
    // The fast part of a range: returns where the bit-by-bit rest begins.
    uint64_t AppendWords(BitCursor<true>& cursor, uint64_t from, uint64_t stop) const;
    void Grow(size_t capacity);

    ByteBuffer bytes_;  // whole bytes, unstuffed; its size is the room
    size_t used_ = 0;
    uint64_t acc_ = 0;  // the low bits_ bits are pending
    int bits_ = 0;
    std::vector<std::pair<uint64_t, uint16_t>> markers_;  // bit offset, marker
};

}  // namespace pivotta
