// A JPEG file's frame, tables and scans as plain data, read by a walk of the tests' own, so
// that the entropy codecs can be run scan by scan and their output put back into the file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ArithmeticScan.h"
#include "CoefBlock.h"
#include "HuffmanCode.h"
#include "HuffmanScanDecoder.h"
#include "HuffmanScanEncoder.h"
#include "JpegFixtures.h"
#include "ScanLayout.h"

namespace pivotta::test {

struct DefinedTable {
    std::array<uint8_t, 16> counts{};
    std::vector<uint8_t> symbols;
};

struct SplitScan {
    ScanLayout layout;
    size_t dataBegin = 0, dataEnd = 0;  // the entropy-coded bytes in the file, restart markers included
    // The Huffman tables in force at the scan, by class (0 DC, 1 AC) and selector.
    std::array<std::array<std::shared_ptr<const DefinedTable>, 4>, 2> huffman{};
    ArithmeticConditioning conditioning;
};

struct SplitJpeg {
    int width = 0, height = 0, precision = 8;
    bool progressive = false, arithmetic = false;
    struct Component {
        int id = 0, h = 1, v = 1;
    };
    std::vector<Component> components;
    int maxH = 1, maxV = 1, mcuCols = 0, mcuRows = 0;
    std::vector<SplitScan> scans;
    struct Segment {
        int marker = 0;
        size_t begin = 0, end = 0;  // from the marker to the end of its payload
    };
    std::vector<Segment> segments;  // every segment after SOI, in file order
};

// False with a reason when the file is not SOI, segments, scans and EOI as T.81 frames them.
bool SplitJpegScans(const std::vector<uint8_t>& jpeg, SplitJpeg& out, std::string* why);

// Where two files' scan scripts part (count; then per scan its components, Ss, Se, Ah, Al and
// restart interval), or empty when they agree.
std::string ScanScriptDifference(const SplitJpeg& a, const SplitJpeg& b);

// Blocks of each component over the whole MCU grid of the frame, zeroed.
struct Planes {
    std::vector<std::vector<CoefBlock>> blocks;
    std::vector<CoefficientPlane> views;
    explicit Planes(const SplitJpeg& jpeg);
    Planes(const Planes& other);
    Planes& operator=(const Planes&) = delete;
    std::span<const CoefficientPlane> View() const { return views; }
};

struct HuffmanTableSet {
    std::array<HuffmanDecodeTable, 8> decode{};
    std::array<HuffmanEncodeTable, 8> encode{};
    HuffmanDecodeTables decoders;
    HuffmanEncodeTables encoders;
};
// The scan's tables in both forms; false when one does not build.
bool BuildScanTables(const SplitScan& scan, HuffmanTableSet& set);

// Decodes every scan of the file in order with the engine's codecs.
ScanResult DecodeAllScans(const std::vector<uint8_t>& jpeg, const SplitJpeg& split, Planes& planes);

// Every scan of the file encoded again from the planes with the engine's codecs, each with
// the tables (or conditioning) in force at it; the first failure stops and is returned.
ScanResult EncodeAllScans(const SplitJpeg& split, const Planes& planes, std::vector<std::vector<uint8_t>>& scans);

// The file with each scan's entropy-coded bytes replaced by `scanData[i]`.
std::vector<uint8_t> ReplaceScanData(const std::vector<uint8_t>& jpeg, const SplitJpeg& split,
                                     const std::vector<std::vector<uint8_t>>& scanData);

// Natural (row-major) index of each zig-zag position.
std::array<int, 64> NaturalOfZigZag();

// The planes in libjpeg's terms: each component's blocks as ReadCoefficients gives them
// (own blocks, or the MCU grid for a single interleaved scan), in natural order.
JpegCoefs PlanesAsCoefs(const SplitJpeg& split, const Planes& planes, const JpegCoefs& shapeLike);

}  // namespace pivotta::test
