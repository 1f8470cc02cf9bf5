// Huffman table slots (class DC/AC x identifier 0-1): as read from DHT segments, completed
// with the standard tables of ITU T.81 Annex K, with fast decoding and encoding views.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "HuffmanSlot.h"

namespace pivotta {

// The four table slots, DC then AC, identifiers 0 and 1 within each class.
inline constexpr int kHuffmanSlotCount = 4;
constexpr int HuffmanSlotIndex(int tableClass, int id) { return tableClass * 2 + id; }

// Decoding view of one slot: a 9-bit lookahead table giving length and symbol in one load,
// and canonical limits per length for the longer codes (ITU T.81 F.2.2.3).
struct HuffmanDecoder {
    static constexpr int kLookBits = 9;
    std::array<uint16_t, 1 << kLookBits> look{};  // (length << 8) | symbol; 0 = longer or none
    std::array<int32_t, 18> maxCode{};            // largest code of each length, -1 if none
    std::array<int32_t, 17> valOffset{};          // Symbol index of a code = code + valOffset[len]
    const int32_t* symbols = nullptr;
    int maxLength = 0;                            // bits consumed before a pattern is known bad

    // AC tables only: a code and its extra bits together in at most kFastBits bits, decoded in
    // one load as (value << 16) | (symbol << 8) | bits consumed; 0 when they do not fit.
    static constexpr int kFastBits = 10;
    std::array<int32_t, 1 << kFastBits> fastAc{};

    // AC tables only, for copying codes as they are: by the next kLookBits bits, a code of up to
    // kLookBits bits as (size mask << 16) | flags | (run << 8) | bits of code and extra bits;
    // 0 for longer codes.
    static constexpr uint32_t kCopyEndOfBlock = 1u << 12;
    static constexpr uint32_t kCopyZeroRun = 1u << 13;  // a symbol of size 0 other than end of block
    std::array<uint32_t, 1 << kLookBits> copyLook{};
};

// Encoding view: code and length by symbol; length 0 means the table lacks the symbol.
struct HuffmanEncoder {
    std::array<uint32_t, 256> code{};
    std::array<uint8_t, 256> length{};
};

class HuffTables {
public:
    HuffmanSlot& Slot(int tableClass, int id) { return slots_[HuffmanSlotIndex(tableClass, id)]; }
    const HuffmanSlot& Slot(int tableClass, int id) const { return slots_[HuffmanSlotIndex(tableClass, id)]; }

    // Fills a slot from BITS[1..16] and the symbols; false when the counts over-subscribe
    // the code space, which no valid table does. The slot counts as defined either way.
    [[nodiscard]] bool LoadTable(int tableClass, int id, const uint8_t bits[16], const uint8_t* symbols);
    // Whether a table has been loaded into the slot since these tables were made.
    bool Defined(int tableClass, int id) const { return defined_[HuffmanSlotIndex(tableClass, id)]; }
    void LoadStandardTable(int tableClass, int id);
    // Replaces every slot that is not full by the standard table of its class and identifier.
    void CompleteTables();
    // Builds the encoding views and EncodeIndex from the slots as they are now.
    void BuildEncodeIndex();

    const HuffmanDecoder& Decoder(int tableClass, int id) const { return decoders_[HuffmanSlotIndex(tableClass, id)]; }
    const HuffmanEncoder& Encoder(int tableClass, int id) const { return encoders_[HuffmanSlotIndex(tableClass, id)]; }
    // Position of a symbol in its slot's arrays, or -1.
    int EncodeIndex(int tableClass, int id, int symbol) const {
        return encodeIndex_[HuffmanSlotIndex(tableClass, id)][symbol];
    }

    // A table is full when it holds every symbol its class can need (0-11 for DC, the 162
    // run/size symbols for AC): only then can any transformed block be coded with it.
    static bool IsFull(int tableClass, const int32_t* symbols, int count);
    bool IsFull(int tableClass, int id) const {
        const HuffmanSlot& slot = Slot(tableClass, id);
        return IsFull(tableClass, slot.Symbol.data(), slot.Count);
    }

    // The standard table of a class and identifier as DHT payload: 16 counts, then symbols.
    static std::vector<uint8_t> StandardTablePayload(int tableClass, int id);

private:
    void BuildDecoder(int index);
    static void BuildFastAc(HuffmanDecoder& decoder, const HuffmanSlot& slot);
    static void BuildCopyLook(HuffmanDecoder& decoder);

    std::array<HuffmanSlot, kHuffmanSlotCount> slots_;
    std::array<HuffmanDecoder, kHuffmanSlotCount> decoders_;
    std::array<HuffmanEncoder, kHuffmanSlotCount> encoders_;
    std::array<std::array<int32_t, 256>, kHuffmanSlotCount> encodeIndex_{};
    std::array<bool, kHuffmanSlotCount> defined_{};
};

}  // namespace pivotta
