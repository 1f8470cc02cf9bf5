// Quantization tables, frame and scan headers, restart interval, and the MCU size rules.
#include <algorithm>
#include <tuple>
#include <utility>

#include "BitStreamFile.h"
#include "BlockTransforms.h"
#include "HuffmanTables.h"
#include "JpegRotation.h"
#include "Messages.h"

namespace pivotta {

namespace {

// The MCU of a frame is 8 x 8 samples times its largest sampling factors, but a one-component
// scan has one block per MCU whatever they say (ITU T.81 A.2.2).
std::pair<int, int> McuFactors(const uint8_t (*components)[3], int count) {
    if (count == 1) return {1, 1};
    int maxH = 1, maxV = 1;
    for (int i = 0; i < count; ++i) {
        maxH = std::max(maxH, components[i][1] >> 4);
        maxV = std::max(maxV, components[i][1] & 15);
    }
    return {maxH, maxV};
}

bool IsSkippedSegment(uint8_t marker) {
    return marker == 0xDB || marker == 0xC4 || marker == 0xCC || marker == 0xDD || marker == 0xFE ||
           (marker >= 0xE0 && marker <= 0xEF);
}

// The frames the engine turns: baseline, extended and progressive, Huffman or arithmetic.
bool IsReadFrameMarker(uint8_t marker) {
    return marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA;
}

}  // namespace

void TJpegRotation::ReadOwnFrame(const TMemoryStream& input) {
    // The segments as the marker walk passes them: fill bytes skipped, a length of 2 or less
    // skipping nothing more. A stream the walk stops in before its frame header gives none.
    const uint8_t* p = input.Memory();
    const size_t size = input.Size();
    if (size < 2 || p[0] != 0xFF || p[1] != 0xD8) return;
    for (size_t at = 2; at + 4 <= size && p[at] == 0xFF;) {
        while (at + 4 < size && p[at + 1] == 0xFF) ++at;
        const uint8_t marker = p[at + 1];
        const size_t length = size_t{p[at + 2]} << 8 | p[at + 3];
        if (IsReadFrameMarker(marker)) {
            const int count = at + 10 <= size ? p[at + 9] : 0;
            if (count < 1 || count > 4 || at + 10 + 3 * size_t(count) > size) return;
            uint8_t components[4][3];
            std::copy_n(p + at + 10, 3 * count, &components[0][0]);
            frame_.ImageHeight = p[at + 5] << 8 | p[at + 6];
            frame_.ImageWidth = p[at + 7] << 8 | p[at + 8];
            std::tie(frame_.MaxH, frame_.MaxV) = McuFactors(components, count);
            return;
        }
        if (!IsSkippedSegment(marker)) return;
        at += 2 + std::max<size_t>(length, 2);
    }
}

bool TJpegRotation::ProcessDQT() {
    out_->WriteWord(0xFFDB);
    const uint16_t length = in_->ReadWord();
    out_->WriteWord(length);
    // Only whole 8-bit tables of 65 bytes; anything else would put the walk out of step.
    if (length < 2) return Fail(MessageCode::BadQuantTable, msg::kBadQuantTable);
    for (int remaining = length - 2; remaining > 0; remaining -= 65) {
        const uint8_t pqTq = in_->ReadByte();
        if ((pqTq >> 4) == 1) return Fail(MessageCode::SixteenBitTables, msg::kBadQuantTable);
        if (remaining < 65 || (pqTq >> 4) != 0 || (pqTq & 15) > 3) {
            return Fail(MessageCode::BadQuantTable, msg::kBadQuantTable);
        }
        out_->WriteByte(pqTq);
        uint8_t bytes[64];
        in_->ReadBytes(bytes, 64);
        if (SwapsAxes(kind_)) {
            std::array<int16_t, 64> table;
            std::copy(bytes, bytes + 64, table.begin());
            TransposeBlock(table);
            std::copy(table.begin(), table.end(), bytes);
        }
        out_->WriteBytes(bytes, 64);
    }
    return true;
}

bool TJpegRotation::ProcessSOF() {
    out_->WriteWord(0xFFC0);
    const uint16_t length = in_->ReadWord();
    const uint8_t precision = in_->ReadByte();
    const int height = in_->ReadWord();
    const int width = in_->ReadWord();
    const int count = in_->ReadByte();
    if (count == 4) return Fail(MessageCode::FourComponents, msg::kNotYCbCr);
    if (frameSeen_ || count < 1 || count > 3 || length != 8 + 3 * count || precision != 8 || width == 0 ||
        height == 0) {
        return Fail(MessageCode::BadFrameHeader, msg::kBadFrameHeader);
    }
    uint8_t components[3][3];
    in_->ReadBytes(components, 3 * static_cast<size_t>(count));

    for (int i = 0; i < count; ++i) {
        const int h = components[i][1] >> 4, v = components[i][1] & 15;
        if (h < 1 || h > 4 || v < 1 || v > 4 || components[i][2] > 3) return Fail(MessageCode::BadFrameHeader, msg::kBadFrameHeader);
        for (int j = 0; j < i; ++j) {
            if (components[j][0] == components[i][0]) return Fail(MessageCode::BadFrameHeader, msg::kBadFrameHeader);
        }
    }
    const auto [maxH, maxV] = McuFactors(components, count);

    if (rotating_) {
        // The output size was settled from this header, read ahead of the walk.
        if (width != frame_.ImageWidth || height != frame_.ImageHeight || maxH != frame_.MaxH || maxV != frame_.MaxV) {
            return Fail(MessageCode::FrameChanged, msg::kFrameChanged);
        }
    }
    frameSeen_ = true;
    frame_.ImageWidth = width;
    frame_.ImageHeight = height;
    frame_.MaxH = maxH;
    frame_.MaxV = maxV;
    frame_.ComponentCount = count;

    const bool swapsAxes = SwapsAxes(kind_);
    out_->WriteWord(length);
    out_->WriteByte(precision);
    out_->WriteWord(static_cast<uint16_t>(swapsAxes ? frame_.OutputWidth : frame_.OutputHeight));
    out_->WriteWord(static_cast<uint16_t>(swapsAxes ? frame_.OutputHeight : frame_.OutputWidth));
    out_->WriteByte(static_cast<uint8_t>(count));
    for (int i = 0; i < count; ++i) {
        const uint8_t sampling = components[i][1];
        frame_.ComponentId[i] = components[i][0];
        frame_.CompH[i] = count == 1 ? 1 : sampling >> 4;
        frame_.CompV[i] = count == 1 ? 1 : sampling & 15;
        frame_.CompTq[i] = components[i][2];
        out_->WriteByte(components[i][0]);
        out_->WriteByte(swapsAxes ? static_cast<uint8_t>((sampling & 15) << 4 | sampling >> 4) : sampling);
        out_->WriteByte(components[i][2]);
    }
    return true;
}

bool TJpegRotation::ProcessSOS() {
    const uint16_t length = in_->ReadWord();
    const int count = in_->ReadByte();
    // One interleaved scan must carry every component of the frame.
    if (!frameSeen_ || count != frame_.ComponentCount || length != 6 + 2 * count) return Fail(MessageCode::BadScanHeader, msg::kBadScanHeader);
    bool used[kMaxComponents] = {};
    for (int i = 0; i < count; ++i) {
        const int id = in_->ReadByte();
        const int tables = in_->ReadByte();
        const int* found = std::find(frame_.ComponentId.begin(), frame_.ComponentId.begin() + count, id);
        const int slot = static_cast<int>(found - frame_.ComponentId.begin());
        if (slot == count || used[slot] || (tables >> 4) > 1 || (tables & 15) > 1) return Fail(MessageCode::BadScanHeader, msg::kBadScanHeader);
        used[slot] = true;
        frame_.ScanOrder[i] = slot;
        frame_.DcTableSel[slot] = tables >> 4;
        frame_.AcTableSel[slot] = tables & 15;
    }
    frame_.ScanComponentCount = count;
    in_->SkipBytes(3);  // spectral selection and successive approximation: fixed in baseline
    for (int slot = 0; slot < count; ++slot) {
        if (!huff_->Defined(0, frame_.DcTableSel[slot]) || !huff_->Defined(1, frame_.AcTableSel[slot])) {
            return Fail(MessageCode::UndefinedHuffmanTable, msg::kUndefinedHuffmanTable);
        }
    }
    return true;
}

bool TJpegRotation::ProcessDRI() {
    const uint16_t length = in_->ReadWord();
    const uint16_t interval = in_->ReadWord();
    if (length != 4) return Fail(MessageCode::BadRestartSegment, msg::kBadRestartSegment);
    frame_.RestartEnabled = true;
    frame_.RestartInterval = interval;
    return true;
}

void TJpegRotation::CheckMcuSize() {
    const bool ragged =
        frame_.ImageHeight % (8 * frame_.MaxV) != 0 || frame_.ImageWidth % (8 * frame_.MaxH) != 0;
    if (!ragged) return;
    if (AllowAdjustMCU) {
        Report(MessageCode::RaggedEdgeTrimmed, 1, msg::kMcuTrim);
    } else {
        Report(MessageCode::RaggedEdgeKept, 1, msg::kMcuRagged);
    }
}

void TJpegRotation::SettleOutputSize() {
    const int mcuWidth = 8 * frame_.MaxH;
    const int mcuHeight = 8 * frame_.MaxV;
    int trimmedWidth = frame_.ImageWidth;
    int trimmedHeight = frame_.ImageHeight;
    // A picture smaller than one MCU keeps that dimension: trimming would leave nothing.
    if (AllowAdjustMCU && frame_.ImageWidth >= mcuWidth) trimmedWidth = frame_.ImageWidth / mcuWidth * mcuWidth;
    if (AllowAdjustMCU && frame_.ImageHeight >= mcuHeight) trimmedHeight = frame_.ImageHeight / mcuHeight * mcuHeight;
    // Only the edge that the transform moves to the top or left is trimmed.
    frame_.OutputWidth = TrimsRightEdge(kind_) ? trimmedWidth : frame_.ImageWidth;
    frame_.OutputHeight = TrimsBottomEdge(kind_) ? trimmedHeight : frame_.ImageHeight;
}

bool RaggedEdgeMovesInside(const FrameState& frame, TransformKind kind) {
    return (TrimsRightEdge(kind) && frame.ImageWidth % (8 * frame.MaxH) != 0) ||
           (TrimsBottomEdge(kind) && frame.ImageHeight % (8 * frame.MaxV) != 0);
}

}  // namespace pivotta
