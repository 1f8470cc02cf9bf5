// Bits of Huffman-coded data over one scan's bytes: a reader with a 64-bit window and a
// writer with a 64-bit accumulator, both with FF 00 stuffing (T.81 B.1.1.5) and restart
// markers between intervals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pivotta {

class EntropyBitReader {
public:
    explicit EntropyBitReader(std::span<const uint8_t> data) : p_(data.data()), end_(data.data() + data.size()) {}

    // Tops the window up to at least 57 bits unless a marker or the end of the data comes
    // first; past them the window reads as 0-bits.
    void Fill() {
        while (bits_ <= 56 && p_ < end_) {
            uint8_t b = *p_;
            if (b == 0xFF) {
                if (p_ + 1 >= end_ || p_[1] != 0) return;  // a marker stops the refill
                ++p_;
            }
            ++p_;
            acc_ |= uint64_t{b} << (56 - bits_);
            bits_ += 8;
        }
    }
    // n is 1..32.
    uint32_t Peek(int n) const { return static_cast<uint32_t>(acc_ >> (64 - n)); }
    void Skip(int n) {
        acc_ <<= n;
        bits_ -= n;
    }
    // n is 0..16; fills the window first when needed.
    uint32_t Read(int n) {
        if (n == 0) return 0;
        if (bits_ < n) Fill();
        const uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    int Available() const { return bits_; }
    // Whether more bits were consumed than the data holds.
    bool Overran() const { return bits_ < 0; }

    // At the end of an interval: the rest of the current byte is padding, then the expected
    // marker follows (after any fill bytes, B.1.1.2). False when data or another marker is
    // found instead.
    [[nodiscard]] bool TakeRestart(uint16_t marker) {
        if (bits_ < 0 || bits_ >= 8) return false;  // whole bytes that belong to no block
        acc_ = 0;
        bits_ = 0;
        while (p_ + 1 < end_ && p_[0] == 0xFF && p_[1] == 0xFF) ++p_;
        if (p_ + 1 >= end_ || p_[0] != 0xFF || p_[1] != (marker & 0xFF)) return false;
        p_ += 2;
        return true;
    }
    // Bytes not yet loaded into the window.
    const uint8_t* Position() const { return p_; }

private:
    const uint8_t* p_;
    const uint8_t* end_;
    uint64_t acc_ = 0;  // the top bits_ bits are unread; every bit below is 0
    int bits_ = 0;
};

// Appends stuffed entropy-coded bytes to a vector; pads with 1-bits (B.1.1.5, note 1).
class EntropyBitWriter {
public:
    explicit EntropyBitWriter(std::vector<uint8_t>& out) : out_(out) {}

    // n is 0..32 and value holds no bits above n.
    void Put(uint32_t value, int n) {
        acc_ = (acc_ << n) | value;
        bits_ += n;
        if (bits_ >= 32) EmitWord();
    }
    // Completes the last byte with 1-bits and writes every pending byte.
    void PadToByte() {
        if (bits_ % 8 != 0) Put((1u << (8 - bits_ % 8)) - 1, 8 - bits_ % 8);
        while (bits_ >= 8) {
            bits_ -= 8;
            EmitByte(static_cast<uint8_t>(acc_ >> bits_));
        }
    }
    void PutMarker(uint16_t marker) {
        PadToByte();
        out_.push_back(static_cast<uint8_t>(marker >> 8));
        out_.push_back(static_cast<uint8_t>(marker));
    }

private:
    void EmitWord() {
        bits_ -= 32;
        const uint32_t word = static_cast<uint32_t>(acc_ >> bits_);
        if (!HasFF(word)) {
            const size_t n = out_.size();
            out_.resize(n + 4);
            out_[n] = static_cast<uint8_t>(word >> 24);
            out_[n + 1] = static_cast<uint8_t>(word >> 16);
            out_[n + 2] = static_cast<uint8_t>(word >> 8);
            out_[n + 3] = static_cast<uint8_t>(word);
            return;
        }
        for (int shift = 24; shift >= 0; shift -= 8) EmitByte(static_cast<uint8_t>(word >> shift));
    }
    static bool HasFF(uint32_t word) {
        const uint32_t inverted = ~word;  // an FF byte is a zero byte here
        return ((inverted - 0x01010101u) & ~inverted & 0x80808080u) != 0;
    }
    void EmitByte(uint8_t b) {
        out_.push_back(b);
        if (b == 0xFF) out_.push_back(0x00);
    }

    std::vector<uint8_t>& out_;
    uint64_t acc_ = 0;  // the low bits_ bits are pending, oldest on top
    int bits_ = 0;
};

}  // namespace pivotta
