// The coefficient store keeps each block packed the way the encoder consumes it: a mask of the
// non-zero AC positions (zig-zag order of the output block), the absolute DC value, then the
// non-zero AC values in that order. A camera block holds a dozen non-zero coefficients, so a
// packed block takes about a fifth of the 128 bytes of a dense one, and the encoder finds its
// run lengths from the mask instead of scanning 64 values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "CoefBlock.h"

namespace pivotta {

// Record layout, in 16-bit words: [0..3] the mask (bit k for zig-zag position k, 1..63),
// [4] the DC value, [5..] one word per mask bit.
namespace packed {

inline constexpr int kHeaderWords = 5;
inline constexpr int kMaxWords = kHeaderWords + 63;

inline uint64_t Mask(const int16_t* record) {
    uint64_t mask;
    std::memcpy(&mask, record, sizeof mask);
    return mask;
}
inline void SetMask(int16_t* record, uint64_t mask) { std::memcpy(record, &mask, sizeof mask); }
inline int16_t& Dc(int16_t* record) { return record[4]; }
inline int16_t Dc(const int16_t* record) { return record[4]; }
inline const int16_t* AcValues(const int16_t* record) { return record + kHeaderWords; }
inline int16_t* AcValues(int16_t* record) { return record + kHeaderWords; }

// The dense form, for inspection.
CoefBlock Unpack(const int16_t* record);

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
