#include "ReferenceHuffman.h"

#include <algorithm>

namespace pivotta::reference {

namespace {

// ITU T.81 Annex K: code counts for lengths 1..16 (Tables K.3, K.4, K.5, K.6).
constexpr uint8_t kBitsDC0[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kBitsDC1[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t kBitsAC0[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 125};
constexpr uint8_t kBitsAC1[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 119};

// The AC symbols with codes of up to 15 bits, in code order. The remaining symbols of the
// 162 all have 16-bit codes and follow in ascending order (Tables K.5 and K.6).
constexpr uint8_t kShortAC0[37] = {
    0x01, 0x02,                    //  2 bits
    0x03,                          //  3
    0x00, 0x04, 0x11,              //  4
    0x05, 0x12, 0x21,              //  5
    0x31, 0x41,                    //  6
    0x06, 0x13, 0x51, 0x61,        //  7
    0x07, 0x22, 0x71,              //  8
    0x14, 0x32, 0x81, 0x91, 0xA1,  //  9
    0x08, 0x23, 0x42, 0xB1, 0xC1,  // 10
    0x15, 0x52, 0xD1, 0xF0,        // 11
    0x24, 0x33, 0x62, 0x72,        // 12
    0x82,                          // 15
};
constexpr uint8_t kShortAC1[43] = {
    0x00, 0x01,                                // 2 bits
    0x02,                                      // 3
    0x03, 0x11,                                // 4
    0x04, 0x05, 0x21, 0x31,                    // 5
    0x06, 0x12, 0x41, 0x51,                    // 6
    0x07, 0x61, 0x71,                          // 7
    0x13, 0x22, 0x32, 0x81,                    // 8
    0x08, 0x14, 0x42, 0x91, 0xA1, 0xB1, 0xC1,  // 9
    0x09, 0x23, 0x33, 0x52, 0xF0,              // 10
    0x15, 0x62, 0x72, 0xD1,                    // 11
    0x0A, 0x16, 0x24, 0x34,                    // 12
    0xE1,                                      // 14
    0x25, 0xF1,                                // 15
};

// Every symbol an AC table may need: end of block, sixteen zeros, run 0..15 with size 1..10.
bool IsACSymbol(int s) { return s == 0x00 || s == 0xF0 || ((s & 15) >= 1 && (s & 15) <= 10); }

std::vector<int> StandardSymbols(int tableClass, int id) {
    std::vector<int> symbols;
    if (tableClass == 0) {
        for (int s = 0; s <= 11; ++s) symbols.push_back(s);
        return symbols;
    }
    const uint8_t* first = id == 0 ? kShortAC0 : kShortAC1;
    const int shortCount = id == 0 ? 37 : 43;
    symbols.assign(first, first + shortCount);
    for (int s = 0; s < 256; ++s) {
        if (IsACSymbol(s) && std::find(first, first + shortCount, s) == first + shortCount) symbols.push_back(s);
    }
    return symbols;
}

const uint8_t* StandardBits(int tableClass, int id) {
    if (tableClass == 0) return id == 0 ? kBitsDC0 : kBitsDC1;
    return id == 0 ? kBitsAC0 : kBitsAC1;
}

}  // namespace

std::vector<uint8_t> RefHuffTables::StandardTable(int tableClass, int id) {
    const uint8_t* bits = StandardBits(tableClass, id);
    std::vector<uint8_t> table(bits, bits + 16);
    for (const int s : StandardSymbols(tableClass, id)) table.push_back(static_cast<uint8_t>(s));
    return table;
}

bool RefHuffTables::IsFull(int tableClass, const std::vector<int>& symbols) {
    for (int s = 0; s < 256; ++s) {
        const bool needed = tableClass == 0 ? s <= 11 : IsACSymbol(s);
        if (needed && std::find(symbols.begin(), symbols.end(), s) == symbols.end()) return false;
    }
    return true;
}

void RefHuffTables::Load(int tableClass, int id, const uint8_t bits[16], const std::vector<int>& symbols) {
    RefHuffSlot& slot = slots_[tableClass][id];
    slot.Count = static_cast<int>(symbols.size());
    slot.CodeLength.assign(symbols.size(), 0);
    slot.Symbol.assign(symbols.size(), 0);
    slot.Code.assign(symbols.size(), 0);
    // Canonical codes, ITU T.81 Annex C.
    int code = 0, k = 0;
    for (int length = 1; length <= 16; ++length) {
        code = code * 2;
        for (int i = 0; i < bits[length - 1]; ++i) {
            slot.CodeLength[k] = length;
            slot.Symbol[k] = symbols[k];
            slot.Code[k] = code;
            ++code;
            ++k;
        }
    }
}

bool RefHuffTables::ProcessDHT(RefInBitStream& in, RefOutBitStream& out, bool* malformed) {
    struct Table {
        int tableClass, id;
        uint8_t bits[16];
        std::vector<int> symbols;
        bool full;
    };
    std::vector<Table> tables;
    int remaining = in.ReadWord() - 2;
    int outputLength = 2;
    bool result = true;
    *malformed = false;
    do {
        Table t;
        const uint8_t classId = in.ReadByte();
        t.tableClass = classId / 16;
        t.id = classId % 16;
        outputLength += 1;
        int count = 0;
        for (uint8_t& n : t.bits) {
            n = in.ReadByte();
            count += n;
        }
        outputLength += 16;
        remaining -= 17 + count;
        if (t.tableClass > 1 || t.id > 1 || count > 162 || remaining < 0 || tables.size() == 4) {
            *malformed = true;
            return false;
        }
        for (int i = 0; i < count; ++i) t.symbols.push_back(in.ReadByte());
        t.full = IsFull(t.tableClass, t.symbols);
        if (t.full) {
            outputLength += count;
        } else {
            result = false;
            outputLength += t.tableClass == 0 ? 12 : 162;
        }
        // The slot keeps the table as read: the scan is decoded with the file's own codes.
        Load(t.tableClass, t.id, t.bits, t.symbols);
        tables.push_back(t);
    } while (remaining != 0);

    out.WriteWord(0xFFC4);
    out.WriteWord(static_cast<uint16_t>(outputLength));
    for (const Table& t : tables) {
        out.WriteByte(static_cast<uint8_t>(t.tableClass * 16 + t.id));
        if (t.full) {
            out.WriteBytes(t.bits, 16);
            for (const int s : t.symbols) out.WriteByte(static_cast<uint8_t>(s));
        } else {
            const std::vector<uint8_t> standard = StandardTable(t.tableClass, t.id);
            out.WriteBytes(standard.data(), standard.size());
        }
    }
    return result;
}

void RefHuffTables::CompleteTables() {
    for (int tableClass = 0; tableClass <= 1; ++tableClass) {
        for (int id = 0; id <= 1; ++id) {
            if (!IsFull(tableClass, slots_[tableClass][id].Symbol)) {
                Load(tableClass, id, StandardBits(tableClass, id), StandardSymbols(tableClass, id));
            }
        }
    }
}

void RefHuffTables::BuildEncodeIndex() {
    for (int tableClass = 0; tableClass <= 1; ++tableClass) {
        for (int id = 0; id <= 1; ++id) {
            std::array<int, 256>& index = encodeIndex_[tableClass * 2 + id];
            index.fill(-1);
            const RefHuffSlot& slot = slots_[tableClass][id];
            for (int k = 0; k < slot.Count; ++k) index[slot.Symbol[k]] = k;
        }
    }
}

int RefHuffTables::DecodeSymbol(RefInBitStream& in, int tableClass, int id) const {
    const RefHuffSlot& slot = slots_[tableClass][id];
    int code = 0, length = 0, k = 0;
    while (k < slot.Count) {
        ++length;
        code = (code * 2 + in.ReadBit()) & 0xFFFF;
        while (k < slot.Count && slot.CodeLength[k] == length) {
            if (slot.Code[k] == code) return slot.Symbol[k];
            ++k;
        }
    }
    return -1;
}

bool RefHuffTables::WriteSymbol(RefOutBitStream& out, int tableClass, int id, int symbol) const {
    const int k = encodeIndex_[tableClass * 2 + id][symbol];
    if (k < 0) return false;
    const RefHuffSlot& slot = slots_[tableClass][id];
    out.WriteBits(static_cast<uint32_t>(slot.Code[k]), slot.CodeLength[k]);
    return true;
}

}  // namespace pivotta::reference
