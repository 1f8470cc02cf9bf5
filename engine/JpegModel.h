// The parsed form of a JPEG stream: what its segments say and where they lie, nothing decoded.
// The parser (JpegParser.h) fills it, the scan decoder reads its tables and geometry, and the
// writer (JpegWriter.h) writes the result from it.
//
// Contracts:
// - Offsets, never pointers: every ByteRange is absolute in the bytes that were parsed, and lies
//   inside them. A Picture can therefore start anywhere in those bytes (a second picture after
//   the first one's EOI is parsed with the same functions).
// - Picture::segments lists every marker segment after SOI in file order, up to and including
//   each scan header; fill bytes before a marker belong to no segment. Scan::data is the
//   entropy-coded data after the header: its end is known once the scan has been decoded.
// - Tables are kept as defined, every definition in file order. A scan's TablesInForce names,
//   for each slot, the latest definition before its header (kUndefined when the stream has none
//   before it): nothing carries over from another stream, or from an earlier parse.
// - The frame holds every field of SOFn; maxH/maxV describe the MCU grid of an interleaved scan
//   (1 x 1 for a one-component frame, ITU T.81 A.2.2).
// - Today's parser accepts the baseline subset only (SOF0, 8-bit tables, one interleaved scan
//   of every component, Huffman tables 0-1) and refuses the rest with its message; the fields
//   already hold what the other processes need (process, precision, table ids 0-3, Ss/Se/Ah/Al,
//   several scans, the restart interval and arithmetic conditioning in force at each scan).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace pivotta::jpeg {

struct ByteRange {
    size_t begin = 0;
    size_t end = 0;
    size_t size() const { return end - begin; }
};

// ITU T.81 B.1.1.3: SOFn less 0xFFC0 names the coding process.
enum class CodingProcess : uint8_t {
    BaselineHuffman = 0,      // SOF0
    ExtendedHuffman = 1,      // SOF1
    ProgressiveHuffman = 2,   // SOF2
    LosslessHuffman = 3,      // SOF3
    ExtendedArithmetic = 9,   // SOF9
    ProgressiveArithmetic = 10,
    LosslessArithmetic = 11,
};

inline constexpr int kQuantTableIds = 4;
inline constexpr int kHuffmanTableIds = 4;  // baseline uses 0-1
inline constexpr int kUndefined = -1;

struct FrameComponent {
    int id = 0;  // Ci
    int h = 1;   // Hi, Vi
    int v = 1;
    int tq = 0;  // Tqi
};

struct Frame {
    uint16_t marker = 0xFFC0;
    CodingProcess process = CodingProcess::BaselineHuffman;
    int precision = 8;
    int width = 0;   // X
    int height = 0;  // Y
    std::vector<FrameComponent> components;
    int maxH = 1;
    int maxV = 1;
    ByteRange segment;  // marker included
};

struct QuantTable {
    int id = 0;
    int precision = 0;  // Pq: 0 for 8-bit values
    std::array<uint16_t, 64> values{};  // zig-zag order
};

struct HuffmanTable {
    int tableClass = 0;  // 0 DC, 1 AC
    int id = 0;
    std::array<uint8_t, 16> bits{};  // codes of lengths 1..16
    std::vector<uint8_t> symbols;
    bool full = false;  // holds every symbol its class can need (HuffTables::IsFull)
};

// What a scan decodes and encodes with: indexes into Picture's table lists, or kUndefined.
struct TablesInForce {
    std::array<int, kQuantTableIds> quant{kUndefined, kUndefined, kUndefined, kUndefined};
    std::array<std::array<int, kHuffmanTableIds>, 2> huffman{{{kUndefined, kUndefined, kUndefined, kUndefined},
                                                              {kUndefined, kUndefined, kUndefined, kUndefined}}};
    // DAC values by class and identifier (arithmetic coding; not accepted today).
    std::array<std::array<int, kHuffmanTableIds>, 2> arithmetic{{{kUndefined, kUndefined, kUndefined, kUndefined},
                                                                 {kUndefined, kUndefined, kUndefined, kUndefined}}};
    bool restartDefined = false;  // a DRI segment came before (even with interval 0)
    int restartInterval = 0;
};

struct ScanComponent {
    int component = 0;  // index into Frame::components
    int dcTable = 0;    // Td
    int acTable = 0;    // Ta
};

struct Scan {
    std::vector<ScanComponent> components;  // in the order of the header
    int Ss = 0, Se = 63, Ah = 0, Al = 0;
    TablesInForce tables;
    ByteRange header;  // FFDA and the 6 + 2 Ns bytes after it
    ByteRange data;    // begins after the header; ends where decoding ended
    // RSTn markers found between the data and the next segment (each copied to the output).
    std::vector<uint16_t> restartsAfter;
};

enum class SegmentKind : uint8_t { Frame, Quant, Huffman, Restart, Scan, App, Comment };

struct Segment {
    SegmentKind kind = SegmentKind::App;
    uint16_t marker = 0;
    ByteRange bytes;  // from the marker to the last byte its parser consumed
    // For Quant and Huffman segments the first of its tables in the picture's list, and how
    // many; for a Scan segment its index in scans.
    int first = 0;
    int count = 0;
};

struct Picture {
    size_t start = 0;  // where its SOI stands
    Frame frame;
    bool hasFrame = false;
    std::vector<Segment> segments;
    std::vector<QuantTable> quantTables;
    std::vector<HuffmanTable> huffmanTables;
    std::vector<Scan> scans;
    TablesInForce current;  // the tables in force at the end of what was parsed
    // Warnings of the header check, known once the headers are parsed.
    bool optimizedTables = false;  // a DHT segment holds a table that is not full
    std::optional<uint32_t> exifOrientation;  // IFD0 Orientation of the first APP1 that has one
    std::optional<ByteRange> endOfImage;  // the EOI marker, once the tail is parsed
};

struct JpegModel {
    std::vector<Picture> pictures;  // the first is the stream's own picture
    ByteRange afterEndOfImage;      // everything after the first picture's EOI
};

}  // namespace pivotta::jpeg
