// The coefficient store keeps each block packed the way the encoder consumes it, in one of two
// forms that start alike with the absolute DC value:
//
// Values: a mask of the non-zero AC positions (zig-zag order of the output block), then the
// non-zero AC values in that order. A camera block holds a dozen non-zero coefficients, so it
// takes about a quarter of the 128 bytes of a dense block, and the encoder finds its run
// lengths from the mask instead of scanning 64 values.
//
// Codes: when the transform keeps every coefficient in place (only signs change) and the scan
// is written with the very AC tables it was read with, the AC codes of a block are the same
// bits as read, except that the extra bits of a negated value are inverted. The decoder keeps
// those bits and the encoder copies them: no AC symbol is coded twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "CoefBlock.h"

namespace pivotta {

struct HuffmanDecoder;

namespace packed {

// Values form, in 16-bit words: [0] DC, [1..4] the mask (bit k for zig-zag position 1..63),
// [5..] one word per mask bit.
// Codes form: [0] DC, [1] the number of code bits, [2..] the bits in 32-bit words, oldest bit
// first in each word's most significant position.
inline constexpr int kValuesHeader = 5;
inline constexpr int kCodesHeader = 2;
// 63 codes of at most 16 bits with 10 extra bits, and an end-of-block code: 52 words of bits,
// and one more that a writer may store ahead.
inline constexpr int kMaxWords = kCodesHeader + 2 * 53;

inline int16_t& Dc(int16_t* record) { return record[0]; }
inline int16_t Dc(const int16_t* record) { return record[0]; }

inline uint64_t Mask(const int16_t* record) {
    uint64_t mask;
    std::memcpy(&mask, record + 1, sizeof mask);
    return mask;
}
inline void SetMask(int16_t* record, uint64_t mask) { std::memcpy(record + 1, &mask, sizeof mask); }
inline const int16_t* AcValues(const int16_t* record) { return record + kValuesHeader; }
inline int16_t* AcValues(int16_t* record) { return record + kValuesHeader; }

inline int CodeBits(const int16_t* record) { return static_cast<uint16_t>(record[1]); }
inline uint32_t CodeWord(const int16_t* record, int i) {
    uint32_t word;
    std::memcpy(&word, record + kCodesHeader + 2 * i, sizeof word);
    return word;
}

// Appends code bits to a Codes record; Finish writes the count and returns one past the record.
class CodeWriter {
public:
    explicit CodeWriter(int16_t* record) : record_(record), next_(record + kCodesHeader) {}
    // n is 1..32 and bits holds no bits above n.
    // Without a branch, which would be mispredicted every few codes: the word is stored every
    // time and only kept, by moving on, once it is whole.
    void Put(uint32_t bits, int n) {
        acc_ = acc_ << n | bits;
        pending_ += n;
        const int whole = pending_ >> 5;  // 0 or 1
        pending_ -= whole << 5;
        StoreAt(next_, static_cast<uint32_t>(acc_ >> pending_));
        next_ += 2 * whole;
    }
    int16_t* Finish() {
        const int total = static_cast<int>(next_ - record_ - kCodesHeader) * 16 + pending_;
        if (pending_ > 0) Store(static_cast<uint32_t>(acc_ << (32 - pending_)));
        record_[1] = static_cast<int16_t>(total);
        return next_;
    }

private:
    void Store(uint32_t word) {
        StoreAt(next_, word);
        next_ += 2;
    }
    static void StoreAt(int16_t* at, uint32_t word) { std::memcpy(at, &word, sizeof word); }
    int16_t* record_;
    int16_t* next_;
    uint64_t acc_ = 0;
    int pending_ = 0;
};

// The dense form of a Values record, and of a Codes record read with its AC table.
CoefBlock Unpack(const int16_t* record);
CoefBlock UnpackCodes(const int16_t* record, const HuffmanDecoder& acTable);

}  // namespace packed

// Packed records one after another in large chunks that are never moved, so a record's
// address stays valid until Rewind. One arena per decoding thread; chunks are kept for the
// next run.
class RecordArena {
public:
    RecordArena() = default;
    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;
    ~RecordArena();

    // Room for one record of up to packed::kMaxWords words; throws std::bad_alloc.
    int16_t* Room() {
        if (end_ - next_ < packed::kMaxWords) NextChunk();
        return next_;
    }
    // The record written at Room() ends at end.
    void Commit(int16_t* end) { next_ = end; }
    // Forgets every record; the memory is reused.
    void Rewind();

private:
    void NextChunk();

    struct Chunk {
        int16_t* words;
        size_t count;
    };
    std::vector<Chunk> chunks_;
    size_t inUse_ = 0;  // chunks handed out since Rewind
    int16_t* next_ = nullptr;
    int16_t* end_ = nullptr;
};

}  // namespace pivotta
