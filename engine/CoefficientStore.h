// The blocks of one scan, decoded and already transformed, until they are encoded: packed
// records (see PackedBlocks.h) in one arena per decoding thread, and for each component an
// index of where each block is, in raster order of the input picture.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "CoefBlock.h"
#include "FrameState.h"
#include "PackedBlocks.h"

namespace pivotta {

struct HuffmanDecoder;

class CoefficientStore {
public:
    // Which packed form the records have (PackedBlocks.h).
    enum class Form { Values, Codes };

    // Sizes the indexes for the frame's block grid and forgets every record; false when the
    // memory cannot be had. Indexes are not zeroed: decoding sets every entry.
    [[nodiscard]] bool Prepare(const FrameState& frame, Form form, unsigned decodingThreads);

    Form RecordForm() const { return form_; }
    int16_t** Index(int slot) { return indexes_[slot].Data(); }
    const int16_t* const* Index(int slot) const { return indexes_[slot].Data(); }
    size_t BlockCount(int slot) const { return indexes_[slot].Size(); }
    // The arena of decoding thread `thread` (0 is the calling thread).
    RecordArena& Arena(unsigned thread) { return *arenas_[thread]; }

    // A slot's blocks as coefficients, in raster order; a Codes store needs the AC table.
    std::vector<CoefBlock> Unpack(int slot, const HuffmanDecoder& acTable) const;

private:
    class BlockIndex {
    public:
        BlockIndex() = default;
        BlockIndex(const BlockIndex&) = delete;
        BlockIndex& operator=(const BlockIndex&) = delete;
        ~BlockIndex() { Release(); }
        [[nodiscard]] bool Resize(size_t count);
        int16_t** Data() { return records_; }
        const int16_t* const* Data() const { return records_; }
        size_t Size() const { return size_; }

    private:
        void Release();
        int16_t** records_ = nullptr;
        size_t size_ = 0;
        size_t capacity_ = 0;
    };

    std::array<BlockIndex, kMaxComponents> indexes_;
    // Kept from run to run, so their chunks are reused.
    std::vector<std::unique_ptr<RecordArena>> arenas_;
    Form form_ = Form::Values;
};

}  // namespace pivotta
