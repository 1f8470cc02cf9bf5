// The segments of a picture turned through the scan transcoder (progressive, arithmetic,
// extended, multi-scan or four-component): which pictures take that path, and the tables,
// frame and scan headers read and written on it, as plain bytes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ArithmeticScan.h"
#include "HuffmanCode.h"
#include "ScanScript.h"
#include "TransformKind.h"

namespace pivotta {

// Whether the headers up to the first scan show a picture the baseline walk does not take:
// a frame of another DCT process, four or more components, a height left to a DNL segment,
// arithmetic conditioning, or a first scan without every component.
bool NeedsScanTranscoder(std::span<const uint8_t> jpeg);

// One Huffman table as its DHT segment defines it, in both coding forms.
struct DefinedHuffmanTable {
    std::array<uint8_t, 16> counts{};
    std::vector<uint8_t> symbols;
    HuffmanDecodeTable decode;
    HuffmanEncodeTable encode;
    bool operator==(const DefinedHuffmanTable& other) const { return counts == other.counts && symbols == other.symbols; }
};
// By class (0 DC, 1 AC) * 4 + selector; empty where none is defined.
using HuffmanTableSlots = std::array<std::shared_ptr<const DefinedHuffmanTable>, 8>;

std::shared_ptr<const DefinedHuffmanTable> MakeTable(std::span<const uint8_t, 16> counts, std::span<const uint8_t> symbols);
// Sets the tables the payload defines; false when one is not a table T.81 allows.
[[nodiscard]] bool ReadDht(std::span<const uint8_t> payload, HuffmanTableSlots& tables);
// A DHT segment, marker included, of the given tables (class * 4 + selector, table).
std::vector<uint8_t> DhtSegment(const std::vector<std::pair<int, const DefinedHuffmanTable*>>& tables);

// Updates the conditioning; false on a value outside T.81 F.1.4.4.
[[nodiscard]] bool ReadDac(std::span<const uint8_t> payload, ArithmeticConditioning& conditioning);

// The DQT segment, marker included, with 8- or 16-bit tables transposed where the kind swaps
// axes; empty when the payload is not whole tables.
std::vector<uint8_t> RewriteDqt(std::span<const uint8_t> payload, TransformKind kind);

// The frame as its header gives it.
struct FrameHeader {
    uint16_t marker = 0;
    int precision = 8, height = 0, width = 0;
    struct Component {
        uint8_t id = 0, h = 1, v = 1, tq = 0;
    };
    std::vector<Component> components;
    bool Progressive() const { return marker == 0xFFC2 || marker == 0xFFCA; }
    bool Arithmetic() const { return marker == 0xFFC9 || marker == 0xFFCA; }
};
// A SOFn segment, marker included: the given marker and size, and sampling factors swapped
// where the kind swaps axes.
std::vector<uint8_t> FrameSegment(const FrameHeader& frame, uint16_t marker, int width, int height, TransformKind kind);

// A scan header as read: components by frame index, with their selectors.
struct ScanHeader {
    ScriptScan script;
    std::array<int, 4> dcTable{}, acTable{};
};
// False when the header names a component not in the frame or a selector above 3.
[[nodiscard]] bool ReadSos(std::span<const uint8_t> payload, const FrameHeader& frame, ScanHeader& scan);
// A SOS segment, marker included.
std::vector<uint8_t> SosSegment(const FrameHeader& frame, const ScanHeader& scan);

// Where the entropy-coded data that starts at `begin` ends: at the first marker other than
// RST0-7, or at the end.
size_t EntropyDataEnd(std::span<const uint8_t> data, size_t begin);

}  // namespace pivotta
