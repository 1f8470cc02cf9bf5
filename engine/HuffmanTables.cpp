#include "HuffmanTables.h"

#include <algorithm>

#include "Extend.h"

namespace pivotta {

namespace {

// ITU T.81 Annex K, Tables K.3 to K.6: counts of codes of lengths 1..16, then the symbols.
constexpr uint8_t kStdBits[2][2][16] = {
    {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},      // DC, identifier 0 (K.3)
     {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}},     // DC, identifier 1 (K.4)
    {{0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},   // AC, identifier 0 (K.5)
     {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77}},  // AC, identifier 1 (K.6)
};

constexpr uint8_t kStdDCSymbols[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

constexpr uint8_t kStdACSymbols[2][162] = {
    {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
     0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
     0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
     0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
     0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
     0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
     0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
     0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
     0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
     0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
     0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa},
    {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
     0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
     0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
     0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
     0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
     0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
     0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
     0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
     0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
     0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
     0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa},
};

const uint8_t* StandardSymbols(int tableClass, int id) {
    return tableClass == 0 ? kStdDCSymbols : kStdACSymbols[id];
}

}  // namespace

bool HuffTables::LoadTable(int tableClass, int id, const uint8_t bits[16], const uint8_t* symbols) {
    HuffmanSlot& slot = Slot(tableClass, id);
    defined_[HuffmanSlotIndex(tableClass, id)] = true;
    int count = 0;
    for (int len = 1; len <= 16; ++len) count += bits[len - 1];
    slot.Count = count;
    slot.CodeLength.assign(count, 0);
    slot.Symbol.assign(count, 0);
    slot.Code.assign(count, 0);
    slot.Bits[0] = 0;
    // Canonical code assignment (ITU T.81 Annex C).
    bool valid = true;
    int32_t code = 0;
    int k = 0;
    for (int len = 1; len <= 16; ++len) {
        code <<= 1;
        slot.Bits[len] = bits[len - 1];
        for (int i = 0; i < bits[len - 1]; ++i, ++k, ++code) {
            slot.CodeLength[k] = len;
            slot.Symbol[k] = symbols[k];
            slot.Code[k] = code;
        }
        if (code > (1 << len)) valid = false;  // more codes than the length can hold
    }
    if (!valid) {
        // Keep the slot unusable rather than half-valid.
        slot.Count = 0;
        slot.CodeLength.clear();
        slot.Symbol.clear();
        slot.Code.clear();
        slot.Bits.fill(0);
    }
    BuildDecoder(HuffmanSlotIndex(tableClass, id));
    return valid;
}

void HuffTables::LoadStandardTable(int tableClass, int id) {
    const bool ok = LoadTable(tableClass, id, kStdBits[tableClass][id], StandardSymbols(tableClass, id));
    (void)ok;  // the standard tables are valid
}

std::vector<uint8_t> HuffTables::StandardTablePayload(int tableClass, int id) {
    const int count = tableClass == 0 ? 12 : 162;
    std::vector<uint8_t> payload(16 + static_cast<size_t>(count));
    std::copy_n(kStdBits[tableClass][id], 16, payload.begin());
    std::copy_n(StandardSymbols(tableClass, id), count, payload.begin() + 16);
    return payload;
}

bool HuffTables::IsFull(int tableClass, const int32_t* symbols, int count) {
    std::array<bool, 256> present{};
    for (int k = 0; k < count; ++k) present[symbols[k] & 0xFF] = true;
    const int needed = tableClass == 0 ? 12 : 162;
    const uint8_t* standard = StandardSymbols(tableClass, 0);  // both identifiers hold the same set
    for (int i = 0; i < needed; ++i) {
        if (!present[standard[i]]) return false;
    }
    return true;
}

void HuffTables::CompleteTables() {
    for (int tableClass = 0; tableClass < 2; ++tableClass) {
        for (int id = 0; id < 2; ++id) {
            if (!IsFull(tableClass, id)) LoadStandardTable(tableClass, id);
        }
    }
}

void HuffTables::BuildEncodeIndex() {
    for (int index = 0; index < 4; ++index) {
        const HuffmanSlot& slot = slots_[index];
        auto& positions = encodeIndex_[index];
        HuffmanEncoder& encoder = encoders_[index];
        positions.fill(-1);
        encoder.length.fill(0);
        for (int k = 0; k < slot.Count; ++k) positions[slot.Symbol[k]] = k;  // a repeat: the later wins
        for (int symbol = 0; symbol < 256; ++symbol) {
            const int k = positions[symbol];
            if (k < 0) continue;
            encoder.code[symbol] = static_cast<uint32_t>(slot.Code[k]);
            encoder.length[symbol] = static_cast<uint8_t>(slot.CodeLength[k]);
        }
    }
}

void HuffTables::BuildDecoder(int index) {
    const HuffmanSlot& slot = slots_[index];
    HuffmanDecoder& decoder = decoders_[index];
    decoder.look.fill(0);
    decoder.maxCode.fill(-1);
    decoder.valOffset.fill(0);
    decoder.symbols = slot.Symbol.data();
    decoder.maxLength = slot.Count > 0 ? slot.CodeLength[slot.Count - 1] : 0;
    int k = 0;
    for (int len = 1; len <= 16; ++len) {
        const int n = slot.Bits[len];
        if (n == 0) continue;
        decoder.valOffset[len] = k - slot.Code[k];
        decoder.maxCode[len] = slot.Code[k + n - 1];
        if (len <= HuffmanDecoder::kLookBits) {
            const int shift = HuffmanDecoder::kLookBits - len;
            for (int i = 0; i < n; ++i) {
                const int first = slot.Code[k + i] << shift;
                const uint16_t entry = static_cast<uint16_t>(len << 8 | slot.Symbol[k + i]);
                std::fill_n(decoder.look.begin() + first, 1 << shift, entry);
            }
        }
        k += n;
    }
    decoder.maxCode[17] = 0x7FFFFFFF;  // sentinel: no code is longer than 16 bits
    if (index >= 2) {
        BuildFastAc(decoder, slot);
        BuildCopyLook(decoder);
    }
}

void HuffTables::BuildCopyLook(HuffmanDecoder& decoder) {
    for (size_t i = 0; i < decoder.look.size(); ++i) {
        const uint16_t entry = decoder.look[i];
        if (entry == 0) {
            decoder.copyLook[i] = 0;
            continue;
        }
        const uint32_t symbol = entry & 0xFF, size = symbol & 15, run = symbol >> 4;
        const uint32_t flags = symbol == 0 ? HuffmanDecoder::kCopyEndOfBlock
                               : size == 0 ? HuffmanDecoder::kCopyZeroRun
                                           : 0;
        decoder.copyLook[i] = ((1u << size) - 1) << 16 | flags | run << 8 | ((entry >> 8) + size);
    }
}

void HuffTables::BuildFastAc(HuffmanDecoder& decoder, const HuffmanSlot& slot) {
    constexpr int kBits = HuffmanDecoder::kFastBits;
    decoder.fastAc.fill(0);
    for (int k = 0; k < slot.Count; ++k) {
        const int length = slot.CodeLength[k];
        const int symbol = slot.Symbol[k];
        const int size = symbol & 15;
        const int total = length + size;
        if (total > kBits) continue;
        for (uint32_t extra = 0; extra < (1u << size); ++extra) {
            const int value = size == 0 ? 0 : Extend(extra, size);
            const int32_t entry = static_cast<int32_t>(static_cast<uint32_t>(value) << 16) | symbol << 8 | total;
            const uint32_t first = (static_cast<uint32_t>(slot.Code[k]) << size | extra) << (kBits - total);
            std::fill_n(decoder.fastAc.begin() + first, 1u << (kBits - total), entry);
        }
    }
}

}  // namespace pivotta
