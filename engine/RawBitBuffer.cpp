#include "RawBitBuffer.h"

namespace pivotta {

void RawBitBuffer::AppendRange(TOutBitStreamFile& out, uint64_t from, uint64_t to) const {
    while (from < to) {
        const size_t index = static_cast<size_t>(from / 32);
        const int offset = static_cast<int>(from % 32);
        const uint32_t word = index < words_.size()
                                  ? words_[index]
                                  : static_cast<uint32_t>(acc_ << (32 - bits_));  // the pending tail
        const int take = static_cast<int>(std::min<uint64_t>(32 - offset, to - from));
        const uint32_t chunk = static_cast<uint32_t>((uint64_t{word} << offset & 0xFFFFFFFFu) >> (32 - take));
        out.PutBits(chunk, take);
        from += static_cast<uint64_t>(take);
    }
}

void RawBitBuffer::AppendTo(TOutBitStreamFile& out) const {
    uint64_t at = 0;
    for (const auto& [offset, marker] : markers_) {
        AppendRange(out, at, offset);
        out.WriteWord(marker);
        at = offset;
    }
    AppendRange(out, at, BitCount());
}

}  // namespace pivotta
