#include "BlockTransforms.h"

namespace pivotta {

void TransposeBlock(std::array<int16_t, 64>& block) {
    const std::array<int16_t, 64> in = block;
    for (int k = 0; k < 64; ++k) block[k] = in[TransposedZigZag[k]];
}

void ApplyBlockTransform(const BlockTransform& transform, CoefBlock& block) {
    const CoefBlock in = block;
    for (int k = 0; k < 64; ++k) {
        const int16_t value = in[transform.source[k]];
        block[k] = transform.negate[k] ? static_cast<int16_t>(-value) : value;
    }
}

}  // namespace pivotta
