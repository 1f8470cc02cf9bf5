// Writes a transformed picture from its model: the segments up to the scan header in input
// order, rewritten where the transform changes them and byte for byte otherwise, and, after
// the scan that the encoder writes, the markers that followed it, EOI and the bytes after it.
#pragma once

#include <cstdint>
#include <span>

#include "BitStreamFile.h"
#include "FrameState.h"
#include "JpegModel.h"
#include "TransformKind.h"

namespace pivotta {

struct HeaderRewrite {
    TransformKind kind = TransformKind::NoRotation;
    const FrameState* frame = nullptr;  // the input frame and the output size
    bool transformExif = true;          // false for a thumbnail's own engine: APP1 passes as read
    bool allowBreakDCF = false;
    bool allowAdjustMCU = false;
    bool keepOrientation = false;
};

struct HeadersWritten {
    bool thumbnailKept = false;  // an Exif thumbnail could not be turned and stayed as it was
};

// SOI and every segment of the picture up to and including its scan header. Huffman tables that
// are not full are written as the standard tables of their class and identifier.
HeadersWritten WriteHeaders(std::span<const uint8_t> bytes, const jpeg::Picture& picture, const HeaderRewrite& rewrite,
                  TOutBitStreamFile& out);

// The RSTn markers after the scan, EOI and every byte after it.
void WriteTail(std::span<const uint8_t> bytes, const jpeg::Picture& picture, const jpeg::ByteRange& afterEndOfImage,
               TOutBitStreamFile& out);

}  // namespace pivotta
