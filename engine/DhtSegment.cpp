// DHT segments: read into the slots, written with optimized tables replaced by the standard ones.
#include "BitStreamFile.h"
#include "HuffmanTables.h"
#include "JpegRotation.h"
#include "Messages.h"

namespace pivotta {

namespace {

struct ParsedTable {
    int tableClass = 0;
    int id = 0;
    uint8_t bits[16] = {};
    int count = 0;
    uint8_t symbols[256] = {};
};

}  // namespace

bool TJpegRotation::ProcessDHT(bool& allFull) {
    const uint16_t length = in_->ReadWord();
    if (length < 2) return Fail(MessageCode::BadHuffmanTable, msg::kBadHuffmanTable);
    int remaining = length - 2;
    ParsedTable tables[4];
    int tableCount = 0;
    do {
        // At most four tables, and the length must match the tables exactly.
        if (tableCount == 4 || remaining < 17) return Fail(MessageCode::BadHuffmanTable, msg::kBadHuffmanTable);
        ParsedTable& table = tables[tableCount++];
        const uint8_t classId = in_->ReadByte();
        table.tableClass = classId >> 4;
        table.id = classId & 15;
        in_->ReadBytes(table.bits, 16);
        for (const uint8_t n : table.bits) table.count += n;
        remaining -= 17 + table.count;
        if (table.tableClass > 1 || table.id > 1 || table.count > 162 || remaining < 0) {
            return Fail(MessageCode::BadHuffmanTable, msg::kBadHuffmanTable);
        }
        in_->ReadBytes(table.symbols, static_cast<size_t>(table.count));
    } while (remaining > 0);

    allFull = true;
    int outputLength = 2;
    bool full[4];
    for (int i = 0; i < tableCount; ++i) {
        ParsedTable& table = tables[i];
        if (!huff_->LoadTable(table.tableClass, table.id, table.bits, table.symbols)) {
            return Fail(MessageCode::BadHuffmanTable, msg::kBadHuffmanTable);
        }
        full[i] = huff_->IsFull(table.tableClass, table.id);
        allFull = allFull && full[i];
        outputLength += 17 + (full[i] ? table.count : (table.tableClass == 0 ? 12 : 162));
    }

    // A segment whose tables may change waits for the decoded scan; a later definition of a
    // table makes the earlier one irrelevant.
    const bool defer = deferDht_ && (TablePolicy == HuffmanTablePolicy::Optimize || !allFull);
    for (int i = 0; i < tableCount; ++i) deferredTables_[tables[i].tableClass][tables[i].id] = defer;
    if (defer) return true;
    out_->WriteWord(0xFFC4);
    out_->WriteWord(static_cast<uint16_t>(outputLength));
    for (int i = 0; i < tableCount; ++i) {
        const ParsedTable& table = tables[i];
        out_->WriteByte(static_cast<uint8_t>(table.tableClass << 4 | table.id));
        if (full[i]) {
            out_->WriteBytes(table.bits, 16);
            out_->WriteBytes(table.symbols, static_cast<size_t>(table.count));
        } else {
            const std::vector<uint8_t> standard = HuffTables::StandardTablePayload(table.tableClass, table.id);
            out_->WriteBytes(standard.data(), standard.size());
        }
    }
    return true;
}

}  // namespace pivotta
