#include "ReferenceBitStreams.h"

namespace pivotta::reference {

uint8_t RefInBitStream::ReadByte() {
    bitPos_ = 7;
    if (pos_ >= bytes_.size()) throw ReadPastEnd();
    return bytes_[pos_++];
}

uint16_t RefInBitStream::ReadWord() {
    const uint16_t high = ReadByte();
    const uint16_t low = ReadByte();
    return static_cast<uint16_t>(high * 256 + low);
}

void RefInBitStream::ReadBytes(uint8_t* buffer, size_t count) {
    for (size_t i = 0; i < count; ++i) buffer[i] = ReadByte();
}

uint16_t RefInBitStream::ReadMarker() {
    const uint8_t first = ReadByte();
    uint8_t second = ReadByte();
    while (first == 0xFF && second == 0xFF) second = ReadByte();
    return static_cast<uint16_t>(first * 256 + second);
}

void RefInBitStream::FetchByte() {
    curByte_ = ReadByte();
    if (curByte_ != 0xFF) return;
    const uint8_t next = ReadByte();  // consumed whatever it is
    if (next != 0x00) ++markersInData_;
}

int RefInBitStream::ReadBit() {
    if (bitPos_ == 7) FetchByte();
    const int bit = (curByte_ & (1 << bitPos_)) != 0 ? 1 : 0;
    --bitPos_;
    if (bitPos_ < 0) bitPos_ = 7;
    return bit;
}

uint32_t RefInBitStream::ReadBits(int n) {
    if (n == 0) return 0;
    if (bitPos_ == 7) FetchByte();
    const int avail = bitPos_ + 1;
    uint32_t result;
    if (n <= avail) {
        bitPos_ -= n;
        result = (static_cast<uint32_t>(curByte_) >> (avail - n)) & ((1u << n) - 1);
    } else if (n <= avail + 8) {
        const uint32_t high = curByte_ & ((1u << avail) - 1);
        const int m = n - avail;
        FetchByte();
        result = (high << m) + (static_cast<uint32_t>(curByte_) >> (8 - m));
        bitPos_ = 7 - m;
    } else {
        uint32_t high = curByte_ & ((1u << avail) - 1);
        const int m = n - avail - 8;
        FetchByte();
        high = high * 256 + curByte_;
        FetchByte();
        result = (high << m) + (static_cast<uint32_t>(curByte_) >> (8 - m));
        bitPos_ = 7 - m;
    }
    if (bitPos_ < 0) bitPos_ = 7;
    return result;
}

size_t RefInBitStream::MarkPosition() {
    markPos_ = pos_;
    return markPos_;
}

void RefInBitStream::ReturnToMark() { pos_ = markPos_; }

void RefOutBitStream::WriteByte(uint8_t b) {
    if (bitPos_ != 7) FlushBits();
    bytes_.push_back(b);
}

void RefOutBitStream::WriteWord(uint16_t w) {
    WriteByte(static_cast<uint8_t>(w >> 8));
    WriteByte(static_cast<uint8_t>(w & 0xFF));
}

void RefOutBitStream::WriteBytes(const uint8_t* buffer, size_t count) {
    for (size_t i = 0; i < count; ++i) WriteByte(buffer[i]);
}

void RefOutBitStream::WriteBit(int bit) {
    if (bit == 1) curByte_ = static_cast<uint8_t>(curByte_ | (1 << bitPos_));
    --bitPos_;
    if (bitPos_ >= 0) return;
    bitPos_ = 7;
    bytes_.push_back(curByte_);
    if (curByte_ == 0xFF) bytes_.push_back(0x00);  // byte stuffing
    curByte_ = 0;
}

void RefOutBitStream::WriteBits(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) WriteBit(static_cast<int>((value >> i) & 1));
}

void RefOutBitStream::FlushBits() {
    while (bitPos_ != 7) WriteBit(1);
}

}  // namespace pivotta::reference
