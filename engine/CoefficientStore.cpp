#include "CoefficientStore.h"

#include <cstdint>

#include "LargeBlock.h"

namespace pivotta {

bool CoefficientStore::Prepare(const FrameState& frame, Form form, unsigned decodingThreads) {
    form_ = form;
    for (int i = 0; i < frame.ComponentCount; ++i) {
        const size_t count =
            static_cast<size_t>(frame.McuCols) * frame.CompH[i] * frame.McuRows * frame.CompV[i];
        if (!indexes_[i].Resize(count)) return false;
    }
    while (arenas_.size() < decodingThreads) arenas_.push_back(std::make_unique<RecordArena>());
    for (const std::unique_ptr<RecordArena>& arena : arenas_) arena->Rewind();
    return true;
}

std::vector<CoefBlock> CoefficientStore::Unpack(int slot, const HuffmanDecoder& acTable) const {
    const BlockIndex& index = indexes_[slot];
    std::vector<CoefBlock> blocks(index.Size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        blocks[i] = form_ == Form::Codes ? packed::UnpackCodes(index.Data()[i], acTable)
                                         : packed::Unpack(index.Data()[i]);
    }
    return blocks;
}

bool CoefficientStore::BlockIndex::Resize(size_t count) {
    if (count > capacity_) {
        Release();  // the old index goes first, so both are never held at once
        if (count > SIZE_MAX / sizeof(int16_t*)) return false;
        records_ = static_cast<int16_t**>(AllocateLarge(count * sizeof(int16_t*)));
        if (!records_) return false;
        capacity_ = count;
    }
    size_ = count;
    return true;
}

void CoefficientStore::BlockIndex::Release() {
    FreeLarge(records_, capacity_ * sizeof(int16_t*));
    records_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}

}  // namespace pivotta
