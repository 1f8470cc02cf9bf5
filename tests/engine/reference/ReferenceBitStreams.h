// Plain reference bit streams: one byte at a time, one bit at a time, exactly as the rules
// for JPEG entropy-coded data read (ITU T.81 F.2.2.5, F.1.2.3). Slow on purpose: the
// engine's 64-bit reader and writer must give the same bits, and this is the yardstick.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace pivotta::reference {

// Raised when a read would pass the end of the input.
class ReadPastEnd : public std::runtime_error {
public:
    ReadPastEnd() : std::runtime_error("read past the end of the input") {}
};

class RefInBitStream {
public:
    explicit RefInBitStream(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    // Byte-level reads; each drops the bits left in a partly read byte.
    uint8_t ReadByte();
    uint16_t ReadWord();
    void ReadBytes(uint8_t* buffer, size_t count);
    // A marker after entropy-coded data: fill bytes (0xFF) before it are skipped
    // (ITU T.81 B.1.1.2), so FF FF D9 reads as FFD9.
    uint16_t ReadMarker();

    int ReadBit();
    uint32_t ReadBits(int n);  // 0..16 bits, the first read is the most significant

    size_t MarkPosition();
    void ReturnToMark();
    size_t BytesSinceMark() const { return pos_ - markPos_; }
    size_t Position() const { return pos_; }
    size_t Size() const { return bytes_.size(); }
    // How often a marker stood where entropy-coded data was expected.
    int MarkersInData() const { return markersInData_; }

private:
    void FetchByte();

    const std::vector<uint8_t>& bytes_;
    size_t pos_ = 0;
    int bitPos_ = 7;  // next bit of curByte_; 7 also means no bits are pending
    uint8_t curByte_ = 0;
    size_t markPos_ = 0;
    int markersInData_ = 0;
};

class RefOutBitStream {
public:
    explicit RefOutBitStream(std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    // Byte-level writes; each first completes a partly filled byte with 1-bits.
    void WriteByte(uint8_t b);
    void WriteWord(uint16_t w);
    void WriteBytes(const uint8_t* buffer, size_t count);

    void WriteBit(int bit);  // only the value 1 gives a 1-bit
    void WriteBits(uint32_t value, int n);
    void FlushBits();

private:
    std::vector<uint8_t>& bytes_;
    int bitPos_ = 7;
    uint8_t curByte_ = 0;
};

}  // namespace pivotta::reference
