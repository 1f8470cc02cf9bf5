#include "PackedBlocks.h"

#include <bit>
#include <new>

#include "LargeBlock.h"

namespace pivotta {

namespace {

// Large enough for few allocations and whole large pages, small enough that a small picture
// does not touch much of it.
constexpr size_t kChunkWords = size_t{4} << 20 >> 1;  // 4 MiB

}  // namespace

CoefBlock packed::Unpack(const int16_t* record) {
    CoefBlock block{};
    block[0] = Dc(record);
    const int16_t* value = AcValues(record);
    for (uint64_t mask = Mask(record); mask != 0; mask &= mask - 1) block[std::countr_zero(mask)] = *value++;
    return block;
}

RecordArena::~RecordArena() {
    for (const Chunk& chunk : chunks_) FreeLarge(chunk.words, chunk.count * sizeof(int16_t));
}

void RecordArena::NextChunk() {
    if (inUse_ == chunks_.size()) {
        chunks_.reserve(chunks_.size() + 1);  // may throw before anything is allocated
        auto* words = static_cast<int16_t*>(AllocateLarge(kChunkWords * sizeof(int16_t)));
        if (!words) throw std::bad_alloc();
        chunks_.push_back({words, kChunkWords});
    }
    const Chunk& chunk = chunks_[inUse_++];
    next_ = chunk.words;
    end_ = chunk.words + chunk.count;
}

void RecordArena::Rewind() {
    inUse_ = 0;
    next_ = end_ = nullptr;
}

}  // namespace pivotta
