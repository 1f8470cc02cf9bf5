#include "JpegWriter.h"

#include <algorithm>
#include <vector>

#include "BlockTransforms.h"
#include "ExifSegment.h"
#include "HuffmanTables.h"

namespace pivotta {

namespace {

class HeaderWriter {
public:
    HeaderWriter(std::span<const uint8_t> bytes, const jpeg::Picture& picture, const HeaderRewrite& rewrite,
                 TOutBitStreamFile& out)
        : bytes_(bytes), picture_(picture), rewrite_(rewrite), out_(out) {}

    HeadersWritten Run() {
        out_.WriteWord(0xFFD8);
        for (const jpeg::Segment& segment : picture_.segments) {
            switch (segment.kind) {
                case jpeg::SegmentKind::Frame: WriteFrame(); break;
                case jpeg::SegmentKind::Quant: WriteQuant(segment); break;
                case jpeg::SegmentKind::Huffman: WriteHuffman(segment); break;
                default:
                    if (segment.marker == 0xFFE1 && rewrite_.transformExif && segment.bytes.size() > 4) {
                        WriteExif(segment);
                    } else {
                        // Everything else, and an APP1 that holds nothing, exactly as parsed.
                        Copy(segment.bytes);
                    }
                    break;
            }
        }
        return written_;
    }

private:
    void Copy(const jpeg::ByteRange& range) { out_.WriteBytes(bytes_.data() + range.begin, range.size()); }

    // Y and X exchange for the kinds that swap axes, and so do H and V of every component.
    void WriteFrame() {
        const jpeg::Frame& frame = picture_.frame;
        const FrameState& size = *rewrite_.frame;
        const bool swapsAxes = SwapsAxes(rewrite_.kind);
        const uint8_t* segment = bytes_.data() + frame.segment.begin;
        out_.WriteWord(0xFFC0);
        out_.WriteBytes(segment + 2, 3);  // the length and the precision
        out_.WriteWord(static_cast<uint16_t>(swapsAxes ? size.OutputWidth : size.OutputHeight));
        out_.WriteWord(static_cast<uint16_t>(swapsAxes ? size.OutputHeight : size.OutputWidth));
        out_.WriteByte(static_cast<uint8_t>(frame.components.size()));
        for (const jpeg::FrameComponent& component : frame.components) {
            out_.WriteByte(static_cast<uint8_t>(component.id));
            out_.WriteByte(static_cast<uint8_t>(swapsAxes ? component.v << 4 | component.h : component.h << 4 | component.v));
            out_.WriteByte(static_cast<uint8_t>(component.tq));
        }
    }

    // A transposed picture needs transposed tables (ITU T.81 A.3.6: zig-zag order).
    void WriteQuant(const jpeg::Segment& segment) {
        Copy({segment.bytes.begin, segment.bytes.begin + 4});  // marker and length
        for (int i = 0; i < segment.count; ++i) {
            const jpeg::QuantTable& table = picture_.quantTables[static_cast<size_t>(segment.first + i)];
            out_.WriteByte(static_cast<uint8_t>(table.precision << 4 | table.id));
            std::array<int16_t, 64> values;
            std::copy(table.values.begin(), table.values.end(), values.begin());
            if (SwapsAxes(rewrite_.kind)) TransposeBlock(values);
            uint8_t row[64];
            std::copy(values.begin(), values.end(), row);
            out_.WriteBytes(row, 64);
        }
    }

    void WriteHuffman(const jpeg::Segment& segment) {
        int length = 2;
        for (int i = 0; i < segment.count; ++i) {
            const jpeg::HuffmanTable& table = Table(segment, i);
            length += 17 + (table.full ? static_cast<int>(table.symbols.size()) : table.tableClass == 0 ? 12 : 162);
        }
        out_.WriteWord(0xFFC4);
        out_.WriteWord(static_cast<uint16_t>(length));
        for (int i = 0; i < segment.count; ++i) {
            const jpeg::HuffmanTable& table = Table(segment, i);
            out_.WriteByte(static_cast<uint8_t>(table.tableClass << 4 | table.id));
            if (table.full) {
                out_.WriteBytes(table.bits.data(), table.bits.size());
                out_.WriteBytes(table.symbols.data(), table.symbols.size());
            } else {
                const std::vector<uint8_t> standard = HuffTables::StandardTablePayload(table.tableClass, table.id);
                out_.WriteBytes(standard.data(), standard.size());
            }
        }
    }

    const jpeg::HuffmanTable& Table(const jpeg::Segment& segment, int i) const {
        return picture_.huffmanTables[static_cast<size_t>(segment.first + i)];
    }

    void WriteExif(const jpeg::Segment& segment) {
        const FrameState& frame = *rewrite_.frame;
        ExifTransform transform;
        transform.Kind = rewrite_.kind;
        transform.AllowBreakDCF = rewrite_.allowBreakDCF;
        transform.AllowAdjustMCU = rewrite_.allowAdjustMCU;
        transform.KeepOrientation = rewrite_.keepOrientation;
        transform.ImageWidth = frame.ImageWidth;
        transform.ImageHeight = frame.ImageHeight;
        transform.OutputWidth = frame.OutputWidth;
        transform.OutputHeight = frame.OutputHeight;
        const size_t payload = segment.bytes.begin + 4;
        ExifOutcome outcome;
        const std::vector<uint8_t> rewritten =
            RewriteExifSegment(bytes_.data() + payload, segment.bytes.end - payload, transform, &outcome);
        written_.thumbnailKept = written_.thumbnailKept || outcome.thumbnailKept;
        out_.WriteWord(0xFFE1);
        out_.WriteWord(static_cast<uint16_t>(rewritten.size() + 2));
        out_.WriteBytes(rewritten.data(), rewritten.size());
    }

    std::span<const uint8_t> bytes_;
    const jpeg::Picture& picture_;
    const HeaderRewrite& rewrite_;
    TOutBitStreamFile& out_;
    HeadersWritten written_;
};

}  // namespace

HeadersWritten WriteHeaders(std::span<const uint8_t> bytes, const jpeg::Picture& picture,
                            const HeaderRewrite& rewrite, TOutBitStreamFile& out) {
    return HeaderWriter(bytes, picture, rewrite, out).Run();
}

void WriteTail(std::span<const uint8_t> bytes, const jpeg::Picture& picture, const jpeg::ByteRange& afterEndOfImage,
               TOutBitStreamFile& out) {
    // Fill bytes before the markers carry nothing and are not copied.
    for (const uint16_t marker : picture.scans.back().restartsAfter) out.WriteWord(marker);
    out.WriteWord(0xFFD9);
    out.WriteBytes(bytes.data() + afterEndOfImage.begin, afterEndOfImage.size());
}

}  // namespace pivotta
