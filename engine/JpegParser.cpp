#include "JpegParser.h"

#include <algorithm>

#include "ExifSegment.h"
#include "HuffmanTables.h"
#include "MemoryStream.h"

namespace pivotta::jpeg {

namespace {

bool IsAppMarker(uint16_t marker) { return marker >= 0xFFE0 && marker <= 0xFFEF; }
bool IsRestartMarker(uint16_t marker) { return marker >= 0xFFD0 && marker <= 0xFFD7; }

// Reads big-endian fields; every read is preceded by a Has() of the caller's.
class Cursor {
public:
    Cursor(std::span<const uint8_t> bytes, size_t pos) : bytes_(bytes), pos_(std::min(pos, bytes.size())) {}
    bool Has(size_t count) const { return count <= bytes_.size() - pos_; }
    uint8_t Byte() { return bytes_[pos_++]; }
    uint16_t Word() {
        const uint16_t value = static_cast<uint16_t>(bytes_[pos_] << 8 | bytes_[pos_ + 1]);
        pos_ += 2;
        return value;
    }
    const uint8_t* Here() const { return bytes_.data() + pos_; }
    void Skip(size_t count) { pos_ += count; }
    size_t Position() const { return pos_; }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_;
};

class HeaderParser {
public:
    HeaderParser(std::span<const uint8_t> bytes, size_t start, Picture& picture)
        : in_(bytes, start), picture_(picture) {}

    Status Run() {
        picture_ = Picture{};
        picture_.start = in_.Position();
        if (!in_.Has(2)) return Truncated();
        if (in_.Word() != 0xFFD8) return Failure(MessageCode::NotJpeg, nullptr);
        for (;;) {
            uint16_t marker = 0;
            if (Status s = ReadMarker(marker); !s.ok()) return s;
            const size_t segmentStart = in_.Position() - 2;
            Segment segment{SegmentFor(marker), marker, {segmentStart, segmentStart}};
            if (Status s = ParseSegment(segment); !s.ok()) return s;
            segment.bytes.end = in_.Position();
            picture_.segments.push_back(segment);
            if (marker == 0xFFDA) return Ok();
        }
    }

private:
    static Status Truncated() { return Failure(MessageCode::TruncatedHeaders, kStreamReadError); }

    // Fill bytes (0xFF) may precede any marker (ITU T.81 B.1.1.2).
    Status ReadMarker(uint16_t& marker) {
        if (!in_.Has(2)) return Truncated();
        const uint8_t first = in_.Byte();
        uint8_t second = in_.Byte();
        while (first == 0xFF && second == 0xFF) {
            if (!in_.Has(1)) return Truncated();
            second = in_.Byte();
        }
        marker = static_cast<uint16_t>(first << 8 | second);
        return Ok();
    }

    static SegmentKind SegmentFor(uint16_t marker) {
        switch (marker) {
            case 0xFFC0: return SegmentKind::Frame;
            case 0xFFC4: return SegmentKind::Huffman;
            case 0xFFDA: return SegmentKind::Scan;
            case 0xFFDB: return SegmentKind::Quant;
            case 0xFFDD: return SegmentKind::Restart;
            case 0xFFFE: return SegmentKind::Comment;
            default: return SegmentKind::App;
        }
    }

    Status ParseSegment(Segment& segment) {
        switch (segment.marker) {
            case 0xFFC0: return ParseFrame();
            case 0xFFC4: return ParseHuffman(segment);
            case 0xFFDA: return ParseScan(segment);
            case 0xFFDB: return ParseQuant(segment);
            case 0xFFDD: return ParseRestart();
            case 0xFFFE: return SkipSegment();
            case 0xFFE1: return ParseApp1();
            default:
                if (IsAppMarker(segment.marker)) return SkipSegment();
                return Failure(CodeForUnexpectedMarker(segment.marker), nullptr, segment.marker);
        }
    }

    // A length of 2 or less holds nothing: the next marker follows the length word.
    Status SkipSegment() {
        if (!in_.Has(2)) return Truncated();
        const uint16_t length = in_.Word();
        if (length <= 2) return Ok();
        if (!in_.Has(length - 2u)) return Truncated();
        in_.Skip(length - 2u);
        return Ok();
    }

    Status ParseApp1() {
        if (!in_.Has(2)) return Truncated();
        const uint16_t length = in_.Word();
        if (length <= 2) return Ok();
        const size_t payloadSize = length - 2u;
        if (!in_.Has(payloadSize)) return Truncated();
        if (!picture_.exifOrientation) picture_.exifOrientation = ReadExifOrientation(in_.Here(), payloadSize);
        in_.Skip(payloadSize);
        return Ok();
    }

    // Only whole 8-bit tables of 65 bytes; anything else would put the walk out of step.
    Status ParseQuant(Segment& segment) {
        if (!in_.Has(2)) return Truncated();
        const uint16_t length = in_.Word();
        if (length < 2) return Failure(MessageCode::BadQuantTable, msg::kBadQuantTable);
        segment.first = static_cast<int>(picture_.quantTables.size());
        for (int remaining = length - 2; remaining > 0; remaining -= 65) {
            if (!in_.Has(1)) return Truncated();
            const uint8_t pqTq = in_.Byte();
            if ((pqTq >> 4) == 1) return Failure(MessageCode::SixteenBitTables, msg::kBadQuantTable);
            if (remaining < 65 || (pqTq >> 4) != 0 || (pqTq & 15) >= kQuantTableIds) {
                return Failure(MessageCode::BadQuantTable, msg::kBadQuantTable);
            }
            if (!in_.Has(64)) return Truncated();
            QuantTable table{pqTq & 15, pqTq >> 4, {}};
            for (uint16_t& value : table.values) value = in_.Byte();
            picture_.current.quant[table.id] = static_cast<int>(picture_.quantTables.size());
            picture_.quantTables.push_back(table);
        }
        segment.count = static_cast<int>(picture_.quantTables.size()) - segment.first;
        return Ok();
    }

    Status ParseFrame() {
        if (!in_.Has(8)) return Truncated();
        const uint16_t length = in_.Word();
        const int precision = in_.Byte();
        const int height = in_.Word();
        const int width = in_.Word();
        const int count = in_.Byte();
        if (count == 4) return Failure(MessageCode::FourComponents, msg::kNotYCbCr);
        const Status bad = Failure(MessageCode::BadFrameHeader, msg::kBadFrameHeader);
        if (picture_.hasFrame || count < 1 || count > 3 || length != 8 + 3 * count || precision != 8 || width == 0 ||
            height == 0) {
            return bad;
        }
        if (!in_.Has(3 * static_cast<size_t>(count))) return Truncated();
        Frame& frame = picture_.frame;
        frame.segment.begin = in_.Position() - 10;
        frame.precision = precision;
        frame.width = width;
        frame.height = height;
        for (int i = 0; i < count; ++i) {
            FrameComponent component;
            component.id = in_.Byte();
            const uint8_t sampling = in_.Byte();
            component.h = sampling >> 4;
            component.v = sampling & 15;
            component.tq = in_.Byte();
            if (component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4 ||
                component.tq >= kQuantTableIds) {
                return bad;
            }
            for (const FrameComponent& other : frame.components) {
                if (other.id == component.id) return bad;
            }
            frame.maxH = std::max(frame.maxH, component.h);
            frame.maxV = std::max(frame.maxV, component.v);
            frame.components.push_back(component);
        }
        // A one-component scan has one block per MCU whatever the sampling factors say
        // (ITU T.81 A.2.2), so its MCU is a single 8x8 block.
        if (count == 1) frame.maxH = frame.maxV = 1;
        frame.segment.end = in_.Position();
        picture_.hasFrame = true;
        return Ok();
    }

    Status ParseHuffman(Segment& segment) {
        const Status bad = Failure(MessageCode::BadHuffmanTable, msg::kBadHuffmanTable);
        if (!in_.Has(2)) return Truncated();
        const uint16_t length = in_.Word();
        if (length < 2) return bad;
        int remaining = length - 2;
        std::vector<HuffmanTable> tables;
        do {
            // At most four tables, and the length must match the tables exactly.
            if (tables.size() == 4 || remaining < 17) return bad;
            if (!in_.Has(17)) return Truncated();
            HuffmanTable& table = tables.emplace_back();
            const uint8_t classId = in_.Byte();
            table.tableClass = classId >> 4;
            table.id = classId & 15;
            int count = 0;
            for (uint8_t& n : table.bits) count += n = in_.Byte();
            remaining -= 17 + count;
            if (table.tableClass > 1 || table.id > 1 || count > 162 || remaining < 0) return bad;
            if (!in_.Has(static_cast<size_t>(count))) return Truncated();
            table.symbols.assign(in_.Here(), in_.Here() + count);
            in_.Skip(static_cast<size_t>(count));
        } while (remaining > 0);
        segment.first = static_cast<int>(picture_.huffmanTables.size());
        segment.count = static_cast<int>(tables.size());
        for (const HuffmanTable& table : tables) {
            if (!HuffTables::CodesFit(table.bits.data())) return bad;
        }
        for (HuffmanTable& table : tables) {
            table.full = HuffTables::IsFull(table.tableClass, table.symbols);
            picture_.optimizedTables = picture_.optimizedTables || !table.full;
            picture_.current.huffman[table.tableClass][table.id] = static_cast<int>(picture_.huffmanTables.size());
            picture_.huffmanTables.push_back(std::move(table));
        }
        return Ok();
    }

    Status ParseRestart() {
        if (!in_.Has(4)) return Truncated();
        const uint16_t length = in_.Word();
        const uint16_t interval = in_.Word();
        if (length != 4) return Failure(MessageCode::BadRestartSegment, msg::kBadRestartSegment);
        picture_.current.restartDefined = true;
        picture_.current.restartInterval = interval;
        return Ok();
    }

    // One interleaved scan that carries every component of the frame.
    Status ParseScan(Segment& segment) {
        const Status bad = Failure(MessageCode::BadScanHeader, msg::kBadScanHeader);
        if (!in_.Has(3)) return Truncated();
        const uint16_t length = in_.Word();
        const int count = in_.Byte();
        const Frame& frame = picture_.frame;
        const int frameCount = static_cast<int>(frame.components.size());
        if (!picture_.hasFrame || count != frameCount || length != 6 + 2 * count) return bad;
        Scan scan;
        scan.header.begin = in_.Position() - 5;
        bool used[4] = {};
        for (int i = 0; i < count; ++i) {
            if (!in_.Has(2)) return Truncated();
            const int id = in_.Byte();
            const int tables = in_.Byte();
            const auto found = std::find_if(frame.components.begin(), frame.components.end(),
                                            [id](const FrameComponent& c) { return c.id == id; });
            const int index = static_cast<int>(found - frame.components.begin());
            if (index == frameCount || used[index] || (tables >> 4) > 1 || (tables & 15) > 1) return bad;
            used[index] = true;
            scan.components.push_back({index, tables >> 4, tables & 15});
        }
        if (!in_.Has(3)) return Truncated();
        scan.Ss = in_.Byte();
        scan.Se = in_.Byte();
        const uint8_t approximation = in_.Byte();
        scan.Ah = approximation >> 4;
        scan.Al = approximation & 15;
        scan.header.end = in_.Position();
        scan.data = {in_.Position(), in_.Position()};
        scan.tables = picture_.current;
        for (const ScanComponent& component : scan.components) {
            if (scan.tables.huffman[0][component.dcTable] == kUndefined ||
                scan.tables.huffman[1][component.acTable] == kUndefined) {
                return Failure(MessageCode::UndefinedTable, msg::kUndefinedTable);
            }
        }
        segment.first = static_cast<int>(picture_.scans.size());
        segment.count = 1;
        picture_.scans.push_back(std::move(scan));
        return Ok();
    }

    Cursor in_;
    Picture& picture_;
};

}  // namespace

MessageCode CodeForUnexpectedMarker(uint16_t marker) {
    switch (marker) {
        case 0xFFC1: return MessageCode::ExtendedSequential;
        case 0xFFC2: case 0xFFC6: return MessageCode::Progressive;
        case 0xFFC3: case 0xFFC7: return MessageCode::Lossless;
        case 0xFFC5: case 0xFFDE: case 0xFFDF: return MessageCode::Hierarchical;
        case 0xFFC9: case 0xFFCA: case 0xFFCB: case 0xFFCC: case 0xFFCD: case 0xFFCE: case 0xFFCF:
            return MessageCode::Arithmetic;
        default: return MessageCode::UnknownMarker;
    }
}

Status ParseHeaders(std::span<const uint8_t> bytes, size_t start, Picture& picture) {
    return HeaderParser(bytes, start, picture).Run();
}

Status ParseTail(std::span<const uint8_t> bytes, size_t dataEnd, Picture& picture, ByteRange& afterEndOfImage) {
    Scan& scan = picture.scans.back();
    scan.data.end = dataEnd;
    scan.restartsAfter.clear();
    Cursor in(bytes, dataEnd);
    const Status truncated = Failure(MessageCode::NoEndOfImage, kStreamReadError);
    for (;;) {
        if (!in.Has(2)) return truncated;
        const uint8_t first = in.Byte();
        uint8_t second = in.Byte();
        while (first == 0xFF && second == 0xFF) {
            if (!in.Has(1)) return truncated;
            second = in.Byte();
        }
        const uint16_t marker = static_cast<uint16_t>(first << 8 | second);
        if (IsRestartMarker(marker)) {
            scan.restartsAfter.push_back(marker);
            continue;
        }
        if (marker != 0xFFD9) return Failure(MessageCode::NoEndOfImage, msg::kNoEOI);
        picture.endOfImage = ByteRange{in.Position() - 2, in.Position()};
        afterEndOfImage = {in.Position(), bytes.size()};
        return Ok();
    }
}

}  // namespace pivotta::jpeg
