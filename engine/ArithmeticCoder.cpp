#include "ArithmeticCoder.h"


namespace pivotta {

void ArithmeticDecoder::Start() {
    pastEnd_ = 0;
    decisionsPastEnd_ = 0;
    a_ = 0x10000;
    c_ = NextByte() << 24;
    c_ |= NextByte() << 16;
    ct_ = 0;
}

// A stuffed FF 00 gives FF; at a marker or the end the decoder reads 0-bytes and stays.
uint32_t ArithmeticDecoder::NextByte() {
    if (p_ >= end_ || (p_[0] == 0xFF && (p_ + 1 >= end_ || p_[1] != 0))) {
        ++pastEnd_;
        return 0;
    }
    const uint32_t b = *p_;
    p_ += b == 0xFF ? 2 : 1;
    return b;
}


bool ArithmeticDecoder::TakeRestart(uint16_t marker) {
    while (p_ < end_ && !(p_[0] == 0xFF && p_ + 1 < end_ && p_[1] != 0 && p_[1] != 0xFF)) p_ += p_[0] == 0xFF ? 2 : 1;
    if (p_ + 1 >= end_ || p_[1] != (marker & 0xFF)) return false;
    p_ += 2;
    Start();
    return true;
}

void ArithmeticEncoder::Start() {
    a_ = 0x10000;
    c_ = 0;
    ct_ = 8;
}



// A carry out of the new byte runs back through the bytes already formed (D.1.6).
void ArithmeticEncoder::ByteOut() {
    uint32_t byte = c_ >> 16;
    if (byte > 0xFF) {
        size_t i = bytes_.size();
        while (i > 0 && bytes_[i - 1] == 0xFF) bytes_[--i] = 0;
        if (i > 0) ++bytes_[i - 1];
        byte &= 0xFF;
    }
    bytes_.push_back(static_cast<uint8_t>(byte));
    c_ &= 0xFFFF;
}

// Flush (D.1.8): the value in the final interval with the most trailing 0-bits, and its bytes.
void ArithmeticEncoder::FinishInterval(std::vector<uint8_t>& out) {
    uint32_t t = (c_ + a_ - 1) & ~uint32_t{0xFFFF};
    if (t < c_) t += 0x8000;
    c_ = t << ct_;
    ByteOut();
    c_ <<= 8;
    ByteOut();
    for (uint8_t b : bytes_) {
        out.push_back(b);
        if (b == 0xFF) out.push_back(0x00);
    }
    bytes_.clear();
    Start();
}

}  // namespace pivotta
