// Unstuffed entropy-coded bits of one part of a scan, encoded on a worker thread, with the
// restart markers that fall inside it. Appended to the real writer later, which stuffs them
// in their final byte alignment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "BitStreamFile.h"

namespace pivotta {

class RawBitBuffer {
public:
    void Reserve(size_t bytes) { words_.reserve(bytes / 4 + 1); }

    // n is 1..32 and value holds no bits above n.
    void PutBits(uint32_t value, int n) {
        acc_ = (acc_ << n) | value;
        bits_ += n;
        if (bits_ >= 32) {
            bits_ -= 32;
            words_.push_back(static_cast<uint32_t>(acc_ >> bits_));
        }
    }
    void WriteWord(uint16_t marker) { markers_.emplace_back(BitCount(), marker); }

    // Appends every bit and marker to out, as if they had been written there directly.
    void AppendTo(TOutBitStreamFile& out) const;

private:
    uint64_t BitCount() const { return uint64_t{32} * words_.size() + static_cast<unsigned>(bits_); }
    void AppendRange(TOutBitStreamFile& out, uint64_t from, uint64_t to) const;

    std::vector<uint32_t> words_;
    uint64_t acc_ = 0;  // the low bits_ bits are pending
    int bits_ = 0;
    std::vector<std::pair<uint64_t, uint16_t>> markers_;  // bit offset, marker
};

}  // namespace pivotta
