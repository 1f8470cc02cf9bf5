// The input of fuzz_scans: a 15-byte description of a frame and one scan of it, then the
// scan's entropy-coded data. Shared by the fuzzer and the seed writer.
//   0  flags: 1 arithmetic, 2 progressive, 4 12-bit
//   1  frame components - 1 (low 2 bits)
//   2-5  sampling of each component: h - 1 in bits 0-1, v - 1 in bits 2-3
//   6, 7  width - 1, height - 1 (low 7 bits each)
//   8  the components in the scan, a mask in frame order (none means the first)
//   9, 10  Ss, Se;  11  Ah << 4 | Al;  12  restart interval
//   13  DC conditioning L | U << 4;  14  AC conditioning Kx
#pragma once

#include <algorithm>
#include <cstdlib>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "ArithmeticScan.h"
#include "HuffmanCode.h"
#include "HuffmanScanDecoder.h"
#include "HuffmanScanEncoder.h"
#include "HuffmanTables.h"
#include "ScanLayout.h"

namespace pivotta::fuzz {

inline constexpr size_t kScanHeaderSize = 15;

struct ScanFuzzCase {
    bool arithmetic = false;
    int frameComponents = 1;
    std::array<int, 4> h{1, 1, 1, 1}, v{1, 1, 1, 1};
    int width = 1, height = 1;
    ScanLayout layout;
    ArithmeticConditioning conditioning;
    std::span<const uint8_t> data;

    // Blocks of a component over the frame's whole MCU grid.
    size_t PlaneStride(int c) const { return static_cast<size_t>(layout.mcuCols) * h[c]; }
    size_t PlaneBlocks(int c) const { return PlaneStride(c) * static_cast<size_t>(layout.mcuRows) * v[c]; }
};

inline bool ParseScanFuzzInput(std::span<const uint8_t> in, ScanFuzzCase& out) {
    if (in.size() < kScanHeaderSize) return false;
    out = ScanFuzzCase{};
    out.arithmetic = in[0] & 1;
    ScanLayout& s = out.layout;
    s.progressive = in[0] & 2;
    s.precision = in[0] & 4 ? 12 : 8;
    out.frameComponents = (in[1] & 3) + 1;
    int maxH = 1, maxV = 1;
    for (int c = 0; c < out.frameComponents; ++c) {
        out.h[c] = (in[2 + c] & 3) + 1;
        out.v[c] = (in[2 + c] >> 2 & 3) + 1;
        maxH = std::max(maxH, out.h[c]);
        maxV = std::max(maxV, out.v[c]);
    }
    out.width = (in[6] & 127) + 1;
    out.height = (in[7] & 127) + 1;
    s.mcuCols = (out.width + 8 * maxH - 1) / (8 * maxH);
    s.mcuRows = (out.height + 8 * maxV - 1) / (8 * maxV);
    const int mask = (in[8] & ((1 << out.frameComponents) - 1)) | ((in[8] & 15) == 0 ? 1 : 0);
    for (int c = 0; c < out.frameComponents; ++c) {
        if (!(mask >> c & 1)) continue;
        ScanComponent& comp = s.components[s.componentCount++];
        comp.plane = c;
        comp.h = out.h[c];
        comp.v = out.v[c];
        comp.blocksWide = ((out.width * out.h[c] + maxH - 1) / maxH + 7) / 8;
        comp.blocksHigh = ((out.height * out.v[c] + maxV - 1) / maxV + 7) / 8;
        comp.dcTable = comp.acTable = c == 0 ? 0 : 1;
    }
    s.Ss = in[9];
    s.Se = in[10];
    s.Ah = in[11] >> 4;
    s.Al = in[11] & 15;
    s.restartInterval = in[12];
    out.conditioning.dcL[0] = in[13] & 15;
    out.conditioning.dcU[0] = in[13] >> 4;
    out.conditioning.acKx[0] = std::clamp<uint8_t>(in[14], 1, 63);
    if (out.conditioning.dcL[0] > out.conditioning.dcU[0]) return false;  // B.2.4.3
    out.data = in.subspan(kScanHeaderSize);
    return true;
}

// The header for a frame of one component set and a scan of the components in `mask`.
inline std::vector<uint8_t> ScanFuzzHeader(uint8_t flags, int components, std::array<uint8_t, 4> sampling,
                                           int width, int height, int mask, int Ss, int Se, int Ah, int Al,
                                           int restart) {
    return {flags, static_cast<uint8_t>(components - 1), sampling[0], sampling[1], sampling[2], sampling[3],
            static_cast<uint8_t>(width - 1), static_cast<uint8_t>(height - 1), static_cast<uint8_t>(mask),
            static_cast<uint8_t>(Ss), static_cast<uint8_t>(Se), static_cast<uint8_t>(Ah << 4 | Al),
            static_cast<uint8_t>(restart), 0x10, 5};
}

// Table 0 the standard luminance pair, which lacks most end-of-band classes; table 1 holds
// every symbol, so that any run or 12-bit category can be read.
struct ScanFuzzTables {
    std::array<HuffmanDecodeTable, kHuffmanSlotCount> decode;
    std::array<HuffmanEncodeTable, kHuffmanSlotCount> encode;
    HuffmanDecodeTables decoders;
    HuffmanEncodeTables encoders;

    ScanFuzzTables() {
        std::array<uint8_t, 16> everyCount{0, 0, 0, 0, 0, 0, 0, 255, 1};
        std::array<uint8_t, 256> every{};
        for (int i = 0; i < 256; ++i) every[i] = static_cast<uint8_t>(i);
        for (int tc = 0; tc < 2; ++tc) {
            const std::vector<uint8_t> standard = HuffTables::StandardTablePayload(tc, 0);
            const std::span<const uint8_t, 16> counts(standard.data(), 16);
            const int standardSlot = HuffmanSlotIndex(tc, 0), everySlot = HuffmanSlotIndex(tc, 1);
            if (!BuildHuffmanDecodeTable(counts, std::span(standard).subspan(16), decode[standardSlot]) ||
                !BuildHuffmanEncodeTable(counts, std::span(standard).subspan(16), encode[standardSlot]) ||
                !BuildHuffmanDecodeTable(everyCount, every, decode[everySlot]) ||
                !BuildHuffmanEncodeTable(everyCount, every, encode[everySlot]))
                std::abort();
            for (int id = 0; id < 2; ++id) {
                (tc == 0 ? decoders.dc : decoders.ac)[id] = &decode[HuffmanSlotIndex(tc, id)];
                (tc == 0 ? encoders.dc : encoders.ac)[id] = &encode[HuffmanSlotIndex(tc, id)];
            }
        }
    }
};

}  // namespace pivotta::fuzz
