#include "TranscodedSegments.h"

#include <algorithm>
#include <cstring>

#include "BlockTransforms.h"

namespace pivotta {

namespace {

void PutWord(std::vector<uint8_t>& out, int value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

// Marker and length; the caller appends the payload of `length - 2` bytes.
void PutSegmentStart(std::vector<uint8_t>& out, uint16_t marker, size_t payloadSize) {
    PutWord(out, marker);
    PutWord(out, static_cast<int>(payloadSize + 2));
}

}  // namespace

// Anything odd before the first scan is left to the baseline walk, which names it.
bool NeedsScanTranscoder(std::span<const uint8_t> jpeg) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return false;
    int frameComponents = 0;
    for (size_t at = 2; at + 4 <= jpeg.size();) {
        if (jpeg[at] != 0xFF) return false;
        const uint8_t marker = jpeg[at + 1];
        const size_t length = size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
        const std::span<const uint8_t> payload = jpeg.subspan(at + 4, std::min(jpeg.size() - at - 4, length - std::min<size_t>(length, 2)));
        switch (marker) {
            case 0xC1: case 0xC2: case 0xC9: case 0xCA: case 0xCC: return true;
            case 0xC0:
                if (payload.size() < 6) return false;
                frameComponents = payload[5];
                if (frameComponents >= 4 || (payload[1] == 0 && payload[2] == 0)) return true;
                break;
            case 0xDA:
                return payload.size() >= 1 && frameComponents > 0 && payload[0] != frameComponents;
            case 0xD8: case 0xD9: case 0xFF: return false;
            default: break;
        }
        if (length < 2) return false;
        at += 2 + length;
    }
    return false;
}

std::shared_ptr<const DefinedHuffmanTable> MakeTable(std::span<const uint8_t, 16> counts, std::span<const uint8_t> symbols) {
    auto table = std::make_shared<DefinedHuffmanTable>();
    std::copy(counts.begin(), counts.end(), table->counts.begin());
    table->symbols.assign(symbols.begin(), symbols.end());
    if (!BuildHuffmanDecodeTable(counts, symbols, table->decode) || !BuildHuffmanEncodeTable(counts, symbols, table->encode))
        return nullptr;
    return table;
}

bool ReadDht(std::span<const uint8_t> payload, HuffmanTableSlots& tables) {
    for (size_t at = 0; at < payload.size();) {
        if (payload.size() - at < 17) return false;
        const int tableClass = payload[at] >> 4, id = payload[at] & 15;
        if (tableClass > 1 || id > 3) return false;
        const std::span<const uint8_t, 16> counts(payload.data() + at + 1, 16);
        size_t total = 0;
        for (uint8_t n : counts) total += n;
        if (total > 256 || payload.size() - at - 17 < total) return false;
        auto table = MakeTable(counts, payload.subspan(at + 17, total));
        if (!table) return false;
        tables[tableClass * 4 + id] = std::move(table);
        at += 17 + total;
    }
    return true;
}

std::vector<uint8_t> DhtSegment(const std::vector<std::pair<int, const DefinedHuffmanTable*>>& tables) {
    size_t size = 0;
    for (const auto& [slot, table] : tables) size += 17 + table->symbols.size();
    std::vector<uint8_t> out;
    PutSegmentStart(out, 0xFFC4, size);
    for (const auto& [slot, table] : tables) {
        out.push_back(static_cast<uint8_t>((slot / 4) << 4 | slot % 4));
        out.insert(out.end(), table->counts.begin(), table->counts.end());
        out.insert(out.end(), table->symbols.begin(), table->symbols.end());
    }
    return out;
}

bool ReadDac(std::span<const uint8_t> payload, ArithmeticConditioning& conditioning) {
    if (payload.size() % 2 != 0) return false;
    for (size_t at = 0; at < payload.size(); at += 2) {
        const int tableClass = payload[at] >> 4, id = payload[at] & 15, value = payload[at + 1];
        if (tableClass > 1 || id > 3) return false;
        if (tableClass == 0) {
            const int low = value & 15, high = value >> 4;
            if (low > high) return false;
            conditioning.dcL[id] = static_cast<uint8_t>(low);
            conditioning.dcU[id] = static_cast<uint8_t>(high);
        } else {
            if (value < 1 || value > 63) return false;
            conditioning.acKx[id] = static_cast<uint8_t>(value);
        }
    }
    return true;
}

std::vector<uint8_t> RewriteDqt(std::span<const uint8_t> payload, TransformKind kind) {
    std::vector<uint8_t> out;
    PutSegmentStart(out, 0xFFDB, payload.size());
    for (size_t at = 0; at < payload.size();) {
        const int precision = payload[at] >> 4, id = payload[at] & 15;
        const size_t bytes = precision == 0 ? 64 : 128;
        if (precision > 1 || id > 3 || payload.size() - at - 1 < bytes) return {};
        std::array<int16_t, 64> values{};
        for (size_t k = 0; k < 64; ++k)
            values[k] = static_cast<int16_t>(precision == 0 ? payload[at + 1 + k]
                                                            : payload[at + 1 + 2 * k] << 8 | payload[at + 2 + 2 * k]);
        if (SwapsAxes(kind)) TransposeBlock(values);
        out.push_back(payload[at]);
        for (int16_t value : values) {
            if (precision == 1) out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8));
            out.push_back(static_cast<uint8_t>(value));
        }
        at += 1 + bytes;
    }
    return out;
}

std::vector<uint8_t> FrameSegment(const FrameHeader& frame, uint16_t marker, int width, int height, TransformKind kind) {
    std::vector<uint8_t> out;
    PutSegmentStart(out, marker, 6 + 3 * frame.components.size());
    out.push_back(static_cast<uint8_t>(frame.precision));
    PutWord(out, height);
    PutWord(out, width);
    out.push_back(static_cast<uint8_t>(frame.components.size()));
    for (const FrameHeader::Component& c : frame.components) {
        out.push_back(c.id);
        out.push_back(static_cast<uint8_t>(SwapsAxes(kind) ? c.v << 4 | c.h : c.h << 4 | c.v));
        out.push_back(c.tq);
    }
    return out;
}

bool ReadSos(std::span<const uint8_t> payload, const FrameHeader& frame, ScanHeader& scan) {
    if (payload.empty()) return false;
    const size_t count = payload[0];
    if (count < 1 || count > 4 || payload.size() != 4 + 2 * count) return false;
    scan = {};
    for (size_t i = 0; i < count; ++i) {
        const uint8_t id = payload[1 + 2 * i], tables = payload[2 + 2 * i];
        const auto found = std::find_if(frame.components.begin(), frame.components.end(),
                                        [&](const FrameHeader::Component& c) { return c.id == id; });
        if (found == frame.components.end() || (tables >> 4) > 3 || (tables & 15) > 3) return false;
        scan.script.components.push_back(static_cast<int>(found - frame.components.begin()));
        scan.dcTable[i] = tables >> 4;
        scan.acTable[i] = tables & 15;
    }
    const uint8_t* fields = payload.data() + 1 + 2 * count;
    scan.script.Ss = fields[0];
    scan.script.Se = fields[1];
    scan.script.Ah = fields[2] >> 4;
    scan.script.Al = fields[2] & 15;
    return true;
}

std::vector<uint8_t> SosSegment(const FrameHeader& frame, const ScanHeader& scan) {
    std::vector<uint8_t> out;
    const size_t count = scan.script.components.size();
    PutSegmentStart(out, 0xFFDA, 4 + 2 * count);
    out.push_back(static_cast<uint8_t>(count));
    for (size_t i = 0; i < count; ++i) {
        out.push_back(frame.components[static_cast<size_t>(scan.script.components[i])].id);
        out.push_back(static_cast<uint8_t>(scan.dcTable[i] << 4 | scan.acTable[i]));
    }
    out.push_back(static_cast<uint8_t>(scan.script.Ss));
    out.push_back(static_cast<uint8_t>(scan.script.Se));
    out.push_back(static_cast<uint8_t>(scan.script.Ah << 4 | scan.script.Al));
    return out;
}

size_t EntropyDataEnd(std::span<const uint8_t> data, size_t begin) {
    const uint8_t* base = data.data();
    for (size_t at = begin; at + 1 < data.size();) {
        const void* found = std::memchr(base + at, 0xFF, data.size() - at - 1);
        if (found == nullptr) break;
        at = static_cast<size_t>(static_cast<const uint8_t*>(found) - base);
        const uint8_t next = base[at + 1];
        if (next != 0x00 && (next < 0xD0 || next > 0xD7)) return at;
        at += 2;
    }
    return data.size();
}

}  // namespace pivotta
