// Bits of Huffman-coded data over one scan's bytes: a reader with a 64-bit window and a
// writer with a 64-bit accumulator, both with FF 00 stuffing (T.81 B.1.1.5) and restart
// markers between intervals.
#pragma once

#include <algorithm>
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

// Appends stuffed entropy-coded bytes to a vector; pads with 1-bits (B.1.1.5, note 1). The
// vector grows ahead in large steps and is cut to what was written when the writer goes.
class EntropyBitWriter {
public:
    explicit EntropyBitWriter(std::vector<uint8_t>& out) : out_(out), used_(out.size()) {}
    ~EntropyBitWriter() { out_.resize(used_); }
    EntropyBitWriter(const EntropyBitWriter&) = delete;
    EntropyBitWriter& operator=(const EntropyBitWriter&) = delete;

    // n is 0..32 and value holds no bits above n.
    void Put(uint32_t value, int n) {
        acc_ = (acc_ << n) | value;
        bits_ += n;
        if (bits_ >= 32) EmitWord();
    }
    // Completes the last byte with 1-bits and writes every pending byte.
    void PadToByte() {
        if (bits_ % 8 != 0) Put((1u << (8 - bits_ % 8)) - 1, 8 - bits_ % 8);
        Room(16);  // up to 5 pending bytes, each perhaps stuffed, and a marker
        while (bits_ >= 8) {
            bits_ -= 8;
            EmitByte(static_cast<uint8_t>(acc_ >> bits_));
        }
    }
    void PutMarker(uint16_t marker) {
        PadToByte();
        out_[used_++] = static_cast<uint8_t>(marker >> 8);
        out_[used_++] = static_cast<uint8_t>(marker);
    }

private:
    // Room for n more bytes.
    void Room(size_t n) {
        if (used_ + n > out_.size()) out_.resize(std::max(2 * out_.size(), used_ + n + 65536));
    }
    void EmitWord() {
        bits_ -= 32;
        const uint32_t word = static_cast<uint32_t>(acc_ >> bits_);
        Room(8);
        if (!HasFF(word)) {
            uint8_t* p = out_.data() + used_;
            p[0] = static_cast<uint8_t>(word >> 24);
            p[1] = static_cast<uint8_t>(word >> 16);
            p[2] = static_cast<uint8_t>(word >> 8);
            p[3] = static_cast<uint8_t>(word);
            used_ += 4;
            return;
        }
        for (int shift = 24; shift >= 0; shift -= 8) EmitByte(static_cast<uint8_t>(word >> shift));
    }
    static bool HasFF(uint32_t word) {
        const uint32_t inverted = ~word;  // an FF byte is a zero byte here
        return ((inverted - 0x01010101u) & ~inverted & 0x80808080u) != 0;
    }
    // The caller has made room for two bytes.
    void EmitByte(uint8_t b) {
        out_[used_++] = b;
        if (b == 0xFF) out_[used_++] = 0x00;
    }

    std::vector<uint8_t>& out_;
    size_t used_;
    uint64_t acc_ = 0;  // the low bits_ bits are pending, oldest on top
    int bits_ = 0;
};

}  // namespace pivotta
