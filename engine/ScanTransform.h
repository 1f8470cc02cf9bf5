// One scan through the engine's middle stages: the Huffman tables in force at it loaded from
// the model, decoded into the coefficient store (already transformed), then encoded from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "BitStreamFile.h"
#include "CoefBlock.h"
#include "CoefficientStore.h"
#include "FrameState.h"
#include "HuffmanTables.h"
#include "JpegModel.h"
#include "Status.h"
#include "ThreadStarter.h"
#include "TransformKind.h"

namespace pivotta {

struct ScanRun {
    unsigned threads = 1;
    const ThreadStarter* start = nullptr;
    std::function<void(int row)> progress;  // input rows while decoding, output rows while encoding
};

class ScanTransform {
public:
    // bytes and picture are those the model was parsed from; the store only lends its memory.
    ScanTransform(std::span<const uint8_t> bytes, const jpeg::Picture& picture, const jpeg::Scan& scan,
                  const FrameState& frame, TransformKind kind, CoefficientStore& store);

    // Decodes every block; dataEnd becomes the byte after the last one read.
    Status Decode(const ScanRun& run, size_t& dataEnd);
    // Completes the tables with the standard ones and encodes the output scan.
    Status Encode(TOutBitStreamFile& out, const ScanRun& run);

    // The decoded blocks of a slot, transformed, in raster order of the input picture.
    std::vector<CoefBlock> Coefficients(int slot) const;

private:
    std::span<const uint8_t> bytes_;
    const jpeg::Scan& scan_;
    const FrameState& frame_;
    TransformKind kind_;
    CoefficientStore& store_;
    std::unique_ptr<HuffTables> tables_;
    size_t scanBytes_ = 0;
};

}  // namespace pivotta
