#include "PackedBlocks.h"

#include <bit>
#include <new>

#include "Extend.h"
#include "HuffmanTables.h"
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

CoefBlock packed::UnpackCodes(const int16_t* record, const HuffmanDecoder& acTable) {
    CoefBlock block{};
    block[0] = Dc(record);
    const int total = CodeBits(record);
    int at = 0;
    const auto bit = [&] {
        const int value = static_cast<int>(CodeWord(record, at / 32) >> (31 - at % 32) & 1);
        ++at;
        return value;
    };
    for (int k = 1; k < 64 && at < total;) {
        int32_t code = bit();
        int length = 1;
        while (length < 16 && code > acTable.maxCode[length]) code = code << 1 | bit(), ++length;
        const int rs = acTable.symbols[code + acTable.valOffset[length]];
        if (rs == 0) break;
        k += rs >> 4;
        const int size = rs & 15;
        uint32_t extra = 0;
        for (int i = 0; i < size; ++i) extra = extra << 1 | static_cast<uint32_t>(bit());
        if (size > 0 && k < 64) block[k] = static_cast<int16_t>(Extend(extra, size));
        ++k;
    }
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
