#include "MiniJpeg.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <stdexcept>

namespace pivotta::test {

namespace {

constexpr uint8_t kBits[2][2][16] = {
    {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}},
    {{0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d}, {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77}},
};

// The AC symbols of Tables K.5 and K.6 in the standard's order, typed from the standard.
const Bytes& AcSymbols(int id) {
    static const Bytes luminance = {
        0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22,
        0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33,
        0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34,
        0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55,
        0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76,
        0x77, 0x78, 0x79, 0x7a, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96,
        0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5,
        0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4,
        0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1,
        0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
    static const Bytes chrominance = {
        0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13,
        0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62,
        0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29,
        0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54,
        0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75,
        0x76, 0x77, 0x78, 0x79, 0x7a, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94,
        0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3,
        0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2,
        0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea,
        0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
    return id == 0 ? luminance : chrominance;
}

}  // namespace

Bytes StandardTableBody(int tableClass, int id) {
    Bytes body(kBits[tableClass][id], kBits[tableClass][id] + 16);
    if (tableClass == 0) {
        for (int s = 0; s < 12; ++s) body.push_back(static_cast<uint8_t>(s));
    } else {
        const Bytes& symbols = AcSymbols(id);
        body.insert(body.end(), symbols.begin(), symbols.end());
    }
    return body;
}

void ScanBitWriter::Bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        acc_ = acc_ << 1 | ((value >> i) & 1);
        if (++bits_ == 8) Flush(false);
    }
}

void ScanBitWriter::Flush(bool pad) {
    if (bits_ == 0) return;
    if (pad) {
        while (bits_ < 8) acc_ = acc_ << 1 | 1, ++bits_;
    }
    const uint8_t b = static_cast<uint8_t>(acc_);
    out_.push_back(b);
    if (b == 0xFF) out_.push_back(0x00);
    acc_ = 0;
    bits_ = 0;
}

void ScanBitWriter::Symbol(int tableClass, int id, int symbol) {
    // Canonical codes, found by walking the table the way a decoder would build it.
    const Bytes body = StandardTableBody(tableClass, id);
    uint32_t code = 0;
    size_t k = 16;
    for (int length = 1; length <= 16; ++length, code <<= 1) {
        for (int i = 0; i < body[length - 1]; ++i, ++k, ++code) {
            if (body[k] == symbol) return Bits(code, length);
        }
    }
    throw std::logic_error("symbol not in the standard table");
}

void ScanBitWriter::Dc(int id, int diff) {
    const int size = std::bit_width(static_cast<unsigned>(std::abs(diff)));
    Symbol(0, id, size);
    if (size > 0) Bits(static_cast<uint32_t>(diff < 0 ? diff - 1 : diff) & ((1u << size) - 1), size);
}

void ScanBitWriter::Ac(int id, int run, int value) {
    const int size = std::bit_width(static_cast<unsigned>(std::abs(value)));
    Symbol(1, id, run << 4 | size);
    if (size > 0) Bits(static_cast<uint32_t>(value < 0 ? value - 1 : value) & ((1u << size) - 1), size);
}

Bytes ScanBitWriter::Finish() {
    Flush(true);
    return out_;
}

void ScanBitWriter::Marker(uint16_t marker) {
    Flush(true);
    out_.push_back(static_cast<uint8_t>(marker >> 8));
    out_.push_back(static_cast<uint8_t>(marker));
}

Bytes Segment(uint16_t marker, const Bytes& body) {
    const size_t length = body.size() + 2;
    // Room reserved up front: MinGW's GCC 12 sees a false out-of-bounds copy in the growing insert.
    Bytes out;
    out.reserve(length + 2);
    for (uint8_t byte : {static_cast<uint8_t>(marker >> 8), static_cast<uint8_t>(marker),
                         static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)})
        out.push_back(byte);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Dqt(int id, int firstValue) {
    Bytes body = {static_cast<uint8_t>(id)};
    for (int k = 0; k < 64; ++k) body.push_back(static_cast<uint8_t>(firstValue + k));
    return Segment(0xFFDB, body);
}

Bytes Sof0(int width, int height, const std::vector<MiniComponent>& components) {
    Bytes body = {8, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height), static_cast<uint8_t>(width >> 8),
                  static_cast<uint8_t>(width), static_cast<uint8_t>(components.size())};
    for (const MiniComponent& c : components) {
        body.push_back(static_cast<uint8_t>(c.id));
        body.push_back(static_cast<uint8_t>(c.h << 4 | c.v));
        body.push_back(static_cast<uint8_t>(c.tq));
    }
    return Segment(0xFFC0, body);
}

Bytes Sos(const std::vector<MiniComponent>& components) {
    Bytes body = {static_cast<uint8_t>(components.size())};
    for (const MiniComponent& c : components) {
        body.push_back(static_cast<uint8_t>(c.id));
        body.push_back(static_cast<uint8_t>(c.dcTable << 4 | c.acTable));
    }
    body.insert(body.end(), {0, 63, 0});
    return Segment(0xFFDA, body);
}

Bytes Dri(int interval) {
    return Segment(0xFFDD, {static_cast<uint8_t>(interval >> 8), static_cast<uint8_t>(interval)});
}

Bytes StandardDht() {
    Bytes body;
    for (int tableClass = 0; tableClass < 2; ++tableClass) {
        for (int id = 0; id < 2; ++id) {
            body.push_back(static_cast<uint8_t>(tableClass << 4 | id));
            const Bytes table = StandardTableBody(tableClass, id);
            body.insert(body.end(), table.begin(), table.end());
        }
    }
    return Segment(0xFFC4, body);
}

Bytes BuildJpeg(int width, int height, const std::vector<MiniComponent>& components, const Bytes& scan,
                int restartInterval) {
    Bytes out = {0xFF, 0xD8};
    for (const Bytes& part : {Dqt(0), Dqt(1, 2), Sof0(width, height, components), StandardDht()}) {
        out.insert(out.end(), part.begin(), part.end());
    }
    if (restartInterval >= 0) {
        const Bytes dri = Dri(restartInterval);
        out.insert(out.end(), dri.begin(), dri.end());
    }
    const Bytes sos = Sos(components);
    out.insert(out.end(), sos.begin(), sos.end());
    out.insert(out.end(), scan.begin(), scan.end());
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

size_t ScanDataStart(const Bytes& jpeg) {
    for (size_t i = 2; i + 3 < jpeg.size() && jpeg[i] == 0xFF;) {
        const size_t length = static_cast<size_t>(jpeg[i + 2] << 8 | jpeg[i + 3]);
        if (jpeg[i + 1] == 0xDA) return std::min(i + 2 + length, jpeg.size());
        i += 2 + length;
    }
    return 0;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

}  // namespace pivotta::test
