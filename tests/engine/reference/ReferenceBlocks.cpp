#include "ReferenceBlocks.h"

namespace pivotta::reference {

namespace {

// Zig-zag position -> row * 8 + column of the 8x8 coefficient matrix (ITU T.81 Figure A.6).
constexpr int kZigZag[64] = {
     0,  1,  8, 16,  9,  2,  3, 10, 17, 24, 32, 25, 18, 11,  4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13,  6,  7, 14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// Every anti-diagonal of the zig-zag sequence, reversed.
constexpr int kTransposedZigZag[64] = {
     0,  2,  1,  5,  4,  3,  9,  8,  7,  6, 14, 13, 12, 11, 10, 20,
    19, 18, 17, 16, 15, 27, 26, 25, 24, 23, 22, 21, 35, 34, 33, 32,
    31, 30, 29, 28, 42, 41, 40, 39, 38, 37, 36, 48, 47, 46, 45, 44,
    43, 53, 52, 51, 50, 49, 57, 56, 55, 54, 60, 59, 58, 62, 61, 63,
};

int16_t Negated(int16_t value, bool negate) { return negate ? static_cast<int16_t>(-value) : value; }

}  // namespace

int FreqU(int k) { return kZigZag[k] % 8; }
int FreqV(int k) { return kZigZag[k] / 8; }
int TransposedZigZag(int k) { return kTransposedZigZag[k]; }

void TransposeBlock(RefBlock& block) {
    const RefBlock in = block;
    for (int k = 0; k < 64; ++k) block[k] = in[kTransposedZigZag[k]];
}

void TransformBlock(TransformKind kind, RefBlock& block) {
    const RefBlock in = block;
    const TransformFacts& facts = Facts(kind);
    for (int k = 0; k < 64; ++k) {
        const bool oddU = FreqU(k) % 2 == 1, oddV = FreqV(k) % 2 == 1;
        const int source = facts.swapsAxes ? kTransposedZigZag[k] : k;
        block[k] = Negated(in[source], (facts.reversesX && oddU) != (facts.reversesY && oddV));
    }
}

}  // namespace pivotta::reference
