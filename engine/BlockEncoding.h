// Coding of one packed block of the store (ITU T.81 F.1.2), already transformed by the
// decoder: the pieces the sequential and the parallel encoders share. Internal to the engine.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>

#include "BitCursor.h"
#include "HuffmanTables.h"
#include "PackedBlocks.h"

namespace pivotta::scan {

// The tables of one component, and their identifiers.
struct EncodeTables {
    const HuffmanEncoder* dc;
    const HuffmanEncoder* ac;
    int dcId;
    int acId;
};

// One symbol and the low t bits of its value (negative values as value - 1, ITU T.81 F.1.2.1).
template <class Cursor>
inline bool PutSymbol(Cursor& out, const HuffmanEncoder& table, int symbol, int value, int t) {
    const int length = table.length[symbol];
    if (length == 0) return false;  // the table lacks it: never write a scan it cannot decode
    const uint32_t extra = static_cast<uint32_t>(value - (value < 0)) & ((1u << t) - 1);
    out.PutBits(table.code[symbol] << t | extra, length + t);
    return true;
}

// The size category and extra bits of every value an 8-bit baseline AC coefficient can have,
// as (size << 12) | extra: a table load instead of an absolute value, a bit count and a mask.
inline constexpr int kTabledMagnitude = 1023;
constexpr std::array<uint16_t, 2 * kTabledMagnitude + 1> MakeSizeExtraTable() {
    std::array<uint16_t, 2 * kTabledMagnitude + 1> table{};
    for (int value = -kTabledMagnitude; value <= kTabledMagnitude; ++value) {
        const int size = std::bit_width(static_cast<unsigned>(value < 0 ? -value : value));
        const uint32_t extra = static_cast<uint32_t>(value - (value < 0)) & ((1u << size) - 1);
        table[value + kTabledMagnitude] = static_cast<uint16_t>(size << 12 | extra);
    }
    return table;
}
inline constexpr std::array<uint16_t, 2 * kTabledMagnitude + 1> kSizeExtra = MakeSizeExtraTable();

// Codes the symbol prefix | size of a value and its extra bits; false when the table lacks the
// symbol or the size exceeds maxSize (15 for AC symbols, whose size has four bits).
template <class Cursor>
[[gnu::always_inline]] inline bool PutValue(Cursor& out, const HuffmanEncoder& table, int prefix, int value,
                                            int maxSize) {
    if (static_cast<unsigned>(value + kTabledMagnitude) <= 2 * kTabledMagnitude) {
        const uint32_t sizeExtra = kSizeExtra[static_cast<unsigned>(value + kTabledMagnitude)];
        const int size = static_cast<int>(sizeExtra >> 12);
        const int symbol = prefix | size;
        const int length = table.length[symbol];
        if (length == 0) return false;  // the table lacks it: never write a scan it cannot decode
        out.PutBits(table.code[symbol] << size | (sizeExtra & 0xFFF), length + size);
        return true;
    }
    const int size = std::bit_width(static_cast<unsigned>(std::abs(value)));
    return size <= maxSize && PutSymbol(out, table, prefix | size, value, size);
}

// Codes one Values record.
template <class Cursor>
bool EncodeBlockBits(Cursor& out, const EncodeTables& tables, const int16_t* record, int& dcPred) {
    uint64_t nonZero = packed::Mask(record);
    const int16_t* values = packed::AcValues(record);
    const int dc = packed::Dc(record);
    const int diff = dc - dcPred;
    dcPred = dc;
    if (!PutValue(out, *tables.dc, 0, diff, 16)) return false;

    int last = 0;
    while (nonZero != 0) {
        const int k = std::countr_zero(nonZero);
        nonZero &= nonZero - 1;
        int run = k - last - 1;
        for (; run > 15; run -= 16) {
            if (!PutSymbol(out, *tables.ac, 0xF0, 0, 0)) return false;
        }
        if (!PutValue(out, *tables.ac, run << 4, *values++, 15)) return false;
        last = k;
    }
    return last == 63 || PutSymbol(out, *tables.ac, 0x00, 0, 0);  // end of block
}

// Codes the DC difference of a Codes record and copies its AC codes.
template <class Cursor>
bool CopyBlockBits(Cursor& out, const EncodeTables& tables, const int16_t* record, int& dcPred) {
    const int dc = packed::Dc(record);
    const int diff = dc - dcPred;
    dcPred = dc;
    if (!PutValue(out, *tables.dc, 0, diff, 16)) return false;
    const int bits = packed::CodeBits(record);
    const int words = bits / 32;
    for (int i = 0; i < words; ++i) out.PutBits(packed::CodeWord(record, i), 32);
    if (const int rest = bits % 32; rest != 0) out.PutBits(packed::CodeWord(record, words) >> (32 - rest), rest);
    return true;
}

template <class Sink>
bool EncodeBlock(Sink& sink, const EncodeTables& tables, bool copyCodes, const int16_t* record, int& dcPred) {
    auto cursor = sink.OpenCursor(kMaxBlockBytes);
    const bool ok = copyCodes ? CopyBlockBits(cursor, tables, record, dcPred)
                              : EncodeBlockBits(cursor, tables, record, dcPred);
    sink.CloseCursor(cursor);
    return ok;
}

}  // namespace pivotta::scan
