// Transforms every block on its way out and Huffman-encodes the output scan.
#include <bit>
#include <cstdlib>
#include <utility>

#include "BlockTransforms.h"
#include "JpegRotation.h"
#include "Messages.h"

namespace pivotta {

namespace {

struct EncodeTables {
    const HuffmanEncoder* dc;
    const HuffmanEncoder* ac;
};

// Writes one symbol followed by the low t bits of the value (negative values as value - 1,
// ITU T.81 F.1.2.1). False when the table lacks the symbol.
inline bool PutSymbol(TOutBitStreamFile& out, const HuffmanEncoder& table, int symbol, int value, int t) {
    const int length = table.length[symbol];
    if (length == 0) return false;
    const uint32_t extra = static_cast<uint32_t>(value < 0 ? value - 1 : value) & ((1u << t) - 1);
    out.PutBits(table.code[symbol] << t | extra, length + t);
    return true;
}

// Encodes the block that lands at an output position: out[k] = ±in[source[k]].
bool EncodeBlock(TOutBitStreamFile& out, const EncodeTables& tables, const BlockTransform& transform,
                 const CoefBlock& in, int& dcPred) {
    const int dc = in[0];  // the DC coefficient neither moves nor changes sign
    const int diff = dc - dcPred;
    dcPred = dc;
    const int dcSize = std::bit_width(static_cast<unsigned>(std::abs(diff)));
    if (!PutSymbol(out, *tables.dc, dcSize, diff, dcSize)) return false;

    int run = 0;
    for (int k = 1; k < 64; ++k) {
        const int raw = in[transform.source[k]];
        if (raw == 0) {
            ++run;
            continue;
        }
        const int value = transform.negate[k] ? -raw : raw;
        for (; run > 15; run -= 16) {
            if (!PutSymbol(out, *tables.ac, 0xF0, 0, 0)) return false;
        }
        const int size = std::bit_width(static_cast<unsigned>(std::abs(value)));
        if (size > 15 || !PutSymbol(out, *tables.ac, run << 4 | size, value, size)) return false;
        run = 0;
    }
    return run == 0 || PutSymbol(out, *tables.ac, 0x00, 0, 0);  // end of block
}

}  // namespace

bool TJpegRotation::EncodeScan() {
    TOutBitStreamFile& out = *out_;
    const bool quarter = IsQuarterTurn(kind_);
    const BlockTransform& transform = kBlockTransforms[static_cast<int>(kind_)];
    const int progressBase = frame_.McuRows;

    // From here on, columns, rows and sampling factors describe the output picture.
    int cols = frame_.McuCols, rows = frame_.McuRows;
    int skipCol = frame_.OutputWidth != frame_.ImageWidth ? 1 : 0;
    int skipRow = frame_.OutputHeight != frame_.ImageHeight ? 1 : 0;
    std::array<int, kMaxComponents> compH = frame_.CompH, compV = frame_.CompV;
    if (quarter) {
        std::swap(cols, rows);
        std::swap(skipCol, skipRow);
        std::swap(compH, compV);
    }

    EncodeTables tables[kMaxComponents];
    for (int i = 0; i < frame_.ComponentCount; ++i) {
        tables[i] = {&huff_.Encoder(0, frame_.DcTableSel[i]), &huff_.Encoder(1, frame_.AcTableSel[i])};
    }
    int dcPred[kMaxComponents] = {};
    int restartCounter = 0;
    int restartNumber = 0;
    for (int r = skipRow; r < rows; ++r) {
        Progress(progressBase + r);
        for (int c = skipCol; c < cols; ++c) {
            for (int i = 0; i < frame_.ScanComponentCount; ++i) {
                const int slot = frame_.ScanOrder[i];
                const int h = compH[slot], v = compV[slot];
                const int width = cols * h, height = rows * v;              // output grid in blocks
                const int inWidth = quarter ? height : width;               // input grid in blocks
                const int inHeight = quarter ? width : height;
                const CoefBlock* store = coefficients_[slot].data();
                for (int by = 0; by < v; ++by) {
                    for (int bx = 0; bx < h; ++bx) {
                        const int x = c * h + bx, y = r * v + by;
                        int sx = x, sy = y;
                        switch (kind_) {
                            case Kind::NoRotation: break;
                            case Kind::Rotate90: sx = y; sy = inHeight - 1 - x; break;
                            case Kind::Rotate270: sx = inWidth - 1 - y; sy = x; break;
                            case Kind::Rotate180: sx = inWidth - 1 - x; sy = inHeight - 1 - y; break;
                            case Kind::MirrorLR: sx = inWidth - 1 - x; break;
                            case Kind::MirrorTB: sy = inHeight - 1 - y; break;
                        }
                        const CoefBlock& block = store[static_cast<size_t>(sy) * inWidth + sx];
                        if (!EncodeBlock(out, tables[slot], transform, block, dcPred[slot])) {
                            return Fail(msg::kMissingCode);
                        }
                    }
                }
            }
            if (!frame_.RestartEnabled) continue;
            ++restartCounter;
            const bool last = r == rows - 1 && c == cols - 1;
            if (!last && restartCounter == frame_.RestartInterval) {
                restartCounter = 0;
                for (int& pred : dcPred) pred = 0;
                out.WriteWord(static_cast<uint16_t>(0xFFD0 + restartNumber));
                restartNumber = (restartNumber + 1) & 7;
            }
        }
    }
    return true;
}

}  // namespace pivotta
