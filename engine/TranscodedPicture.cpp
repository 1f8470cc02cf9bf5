// The walks of CheckJpeg and RotateJpeg for pictures the baseline walk does not take:
// progressive, arithmetic-coded and extended frames, several scans, four components. Every
// scan is decoded into one coefficient image, which is transformed and coded again with the
// input's scan script (or the one asked for). Segments other than the frame, the scans and
// their Huffman tables pass byte for byte and in order; tables are written before the scans
// that use them.
#include <algorithm>
#include <cstdio>
#include <string>

#include "BitStreamFile.h"
#include "CoefficientImage.h"
#include "JpegRotation.h"
#include "Messages.h"
#include "OptimalHuffmanTable.h"
#include "ScanTranscoder.h"
#include "TranscodedSegments.h"

namespace pivotta {

struct TranscodeWalk {
    bool rotating = false;
    FrameHeader frame;
    bool frameSeen = false;
    HuffmanTableSlots tables;  // in force
    ArithmeticConditioning conditioning;
    int restartInterval = 0;
    struct Scan {
        ScanHeader header;
        InputScan input;
        HuffmanTableSlots tables;  // in force at the scan; its decoding tables point into them
    };
    std::vector<Scan> scans;
    // The segments after each scan, up to the next one or the end of the image, as written.
    std::vector<std::vector<uint8_t>> after;
};

namespace {

bool IsAppMarker(uint16_t marker) { return marker >= 0xFFE0 && marker <= 0xFFEF; }

std::span<const uint8_t> ReadPayload(TInBitStreamFile& in) {
    const uint16_t length = in.ReadWord();
    const size_t size = length < 2 ? 0 : length - 2u;
    if (size > in.Remaining()) throw EStreamError(kStreamReadError);
    const std::span<const uint8_t> payload(in.Data() + in.BytePosition(), size);
    in.SkipBytes(size);
    return payload;
}

FrameGeometry GeometryOf(const FrameHeader& frame) {
    FrameGeometry geometry;
    geometry.width = frame.width;
    geometry.height = frame.height;
    geometry.progressive = frame.Progressive();
    geometry.arithmetic = frame.Arithmetic();
    geometry.precision = frame.precision;
    for (const FrameHeader::Component& c : frame.components) geometry.sampling.push_back({c.h, c.v});
    return geometry;
}

uint16_t OutputMarker(const FrameHeader& frame, OutputCoding coding) {
    switch (coding) {
        case OutputCoding::AsInput: return frame.marker;
        case OutputCoding::Baseline: return frame.precision == 12 ? 0xFFC1 : 0xFFC0;
        case OutputCoding::Progressive: return 0xFFC2;
    }
    return frame.marker;
}

bool OutputArithmetic(const FrameHeader& frame, OutputCoding coding) {
    return coding == OutputCoding::AsInput && frame.Arithmetic();
}

// The tables (class * 4 + selector) a scan codes with, as its pass needs them.
std::vector<int> TablesUsed(const ScanLayout& scan) {
    const ScanPass pass = scan.Pass();
    const bool usesDc = pass == ScanPass::Sequential || pass == ScanPass::DcFirst;
    const bool usesAc = pass == ScanPass::Sequential || pass == ScanPass::AcFirst || pass == ScanPass::AcRefine;
    std::vector<int> used;
    for (int i = 0; i < scan.componentCount; ++i) {
        if (usesDc) used.push_back(scan.components[i].dcTable);
        if (usesAc) used.push_back(4 + scan.components[i].acTable);
    }
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    return used;
}

HuffmanEncodeTables EncodeTablesOf(const HuffmanTableSlots& slots) {
    HuffmanEncodeTables tables;
    for (int i = 0; i < 4; ++i) {
        tables.dc[i] = slots[i] ? &slots[i]->encode : nullptr;
        tables.ac[i] = slots[4 + i] ? &slots[4 + i]->encode : nullptr;
    }
    return tables;
}

bool HoldsEveryCounted(const DefinedHuffmanTable& table, const std::array<uint32_t, 256>& counts) {
    for (int symbol = 0; symbol < 256; ++symbol)
        if (counts[symbol] != 0 && !table.encode.Has(symbol)) return false;
    return true;
}

// For each scan, per table it codes with: `keep`'s table where there is one that holds every
// symbol the scan codes, else the table built for those symbols (T.81 K.2).
bool ChooseTables(const FrameGeometry& frame, std::span<const InputScan> scans, const CoefficientImage& image,
                  const std::vector<HuffmanTableSlots>& keep, const ScanThreads& threads,
                  std::vector<HuffmanTableSlots>& chosen) {
    std::vector<HuffmanSymbolCounts> counts;
    if (!CountScanSymbols(frame, scans, image, counts, threads)) return false;
    chosen.assign(scans.size(), {});
    for (size_t i = 0; i < scans.size(); ++i) {
        for (int slot : TablesUsed(LayoutOf(frame, scans[i]))) {
            const auto& used = counts[i][slot / 4][slot % 4];
            if (i < keep.size() && keep[i][slot] && HoldsEveryCounted(*keep[i][slot], used)) {
                chosen[i][slot] = keep[i][slot];
                continue;
            }
            SymbolCounts wide{};
            std::copy(used.begin(), used.end(), wide.begin());
            const HuffmanTableSpec spec = BuildOptimalTable(wide);
            chosen[i][slot] = MakeTable(spec.bits, spec.symbols);
            if (!chosen[i][slot]) return false;
        }
    }
    return true;
}

}  // namespace

bool TJpegRotation::FailUnknownMarker(uint16_t marker) {
    MessageCode code = MessageCode::UnknownMarker;
    if (marker == 0xFFC3 || marker == 0xFFC7 || marker == 0xFFCB || marker == 0xFFCF) code = MessageCode::Lossless;
    if (marker == 0xFFC5 || marker == 0xFFC6 || marker == 0xFFCD || marker == 0xFFCE || marker == 0xFFDE ||
        marker == 0xFFDF)
        code = MessageCode::Hierarchical;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", marker);
    if (!rotating_) return Fail(code, msg::kCheckUnknownMarkerPrefix + std::string(hex) + msg::kCheckUnknownMarkerSuffix, marker);
    return Fail(code, msg::kRotateUnknownMarkerPrefix + std::string(hex) + msg::kRotateUnknownMarkerSuffix, marker);
}

bool TJpegRotation::TranscodedCheckWalk() {
    TranscodeWalk walk;
    if (!TranscodedSegments(walk)) return false;
    scanTablesFull_ = true;  // the input's tables are kept where they code the result
    CheckMcuSize();
    return true;
}

bool TJpegRotation::TranscodedRotateWalk() {
    TranscodeWalk walk;
    walk.rotating = true;
    return TranscodedSegments(walk) && TranscodeScans(walk);
}

// Up to the first scan header when checking, to the end of the image when rotating.
bool TJpegRotation::TranscodedSegments(TranscodeWalk& walk) {
    if (in_->ReadWord() != 0xFFD8) return Fail(MessageCode::NotJpeg, walk.rotating ? msg::kRotateNoSOI : msg::kCheckNoSOI);
    if (walk.rotating) out_->WriteWord(0xFFD8);
    // Before the first scan straight to the output; after it, with the scan they follow.
    const auto emit = [&](const uint8_t* bytes, size_t size) {
        if (!walk.rotating) return;
        if (walk.scans.empty()) {
            out_->WriteBytes(bytes, size);
        } else {
            walk.after.back().insert(walk.after.back().end(), bytes, bytes + size);
        }
    };
    const auto emitAsRead = [&](uint16_t marker, size_t payloadStart) {
        const uint8_t code[2] = {0xFF, static_cast<uint8_t>(marker)};
        emit(code, 2);
        emit(in_->Data() + payloadStart, in_->BytePosition() - payloadStart);
    };
    for (;;) {
        const uint16_t marker = in_->ReadMarker();
        const size_t start = in_->BytePosition();
        switch (marker) {
            case 0xFFC0: case 0xFFC1: case 0xFFC2: case 0xFFC9: case 0xFFCA:
                if (!TranscodedFrame(walk, marker)) return false;
                break;
            case 0xFFC4:
                if (!ReadDht(ReadPayload(*in_), walk.tables)) return Fail(MessageCode::BadHuffmanTable, msg::kBadHuffmanTable);
                break;
            case 0xFFCC:
                if (!ReadDac(ReadPayload(*in_), walk.conditioning)) return Fail(MessageCode::BadHuffmanTable, msg::kBadHuffmanTable);
                if (Coding == OutputCoding::AsInput && (!walk.frameSeen || walk.frame.Arithmetic())) emitAsRead(marker, start);
                break;
            case 0xFFDB: {
                const std::vector<uint8_t> rewritten = RewriteDqt(ReadPayload(*in_), kind_);
                if (rewritten.empty()) return Fail(MessageCode::BadQuantTable, msg::kBadQuantTable);
                emit(rewritten.data(), rewritten.size());
                break;
            }
            case 0xFFDD: {
                const std::span<const uint8_t> payload = ReadPayload(*in_);
                if (payload.size() != 2) return Fail(MessageCode::BadRestartSegment, msg::kBadRestartSegment);
                walk.restartInterval = payload[0] << 8 | payload[1];
                frame_.RestartEnabled = true;
                frame_.RestartInterval = walk.restartInterval;
                emitAsRead(marker, start);
                break;
            }
            case 0xFFDA:
                if (!TranscodedScan(walk)) return false;
                if (!walk.rotating) return true;
                break;
            case 0xFFDC: return Fail(MessageCode::HeightInDnl, msg::kHeightInDnl);
            case 0xFFD9:
                if (walk.scans.empty()) return FailUnknownMarker(marker);
                return true;
            case 0xFFE1:
                if (!walk.rotating) {
                    NoteOrientation();
                } else if (walk.scans.empty()) {
                    if (!ProcessApp1()) return false;
                } else {
                    SkipSegment();
                    emitAsRead(marker, start);
                }
                break;
            default:
                if (marker != 0xFFFE && !IsAppMarker(marker)) return FailUnknownMarker(marker);
                SkipSegment();
                emitAsRead(marker, start);
                break;
        }
    }
}

bool TJpegRotation::TranscodedFrame(TranscodeWalk& walk, uint16_t marker) {
    const std::span<const uint8_t> payload = ReadPayload(*in_);
    if (walk.frameSeen || payload.size() < 6) return Fail(MessageCode::BadFrameHeader, msg::kBadFrameHeader);
    FrameHeader& frame = walk.frame;
    frame.marker = marker;
    frame.precision = payload[0];
    frame.height = payload[1] << 8 | payload[2];
    frame.width = payload[3] << 8 | payload[4];
    const size_t count = payload[5];
    if (count > 4) return Fail(MessageCode::TooManyComponents, msg::kTooManyComponents);
    const bool precisionOk = frame.precision == 8 || (frame.precision == 12 && marker != 0xFFC0);
    if (count < 1 || payload.size() != 6 + 3 * count || frame.width == 0 || !precisionOk)
        return Fail(MessageCode::BadFrameHeader, msg::kBadFrameHeader);
    if (frame.height == 0) return Fail(MessageCode::HeightInDnl, msg::kHeightInDnl);
    int maxH = 1, maxV = 1;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* bytes = payload.data() + 6 + 3 * i;
        const FrameHeader::Component c{bytes[0], static_cast<uint8_t>(bytes[1] >> 4), static_cast<uint8_t>(bytes[1] & 15),
                                       bytes[2]};
        const bool twice = std::any_of(frame.components.begin(), frame.components.end(),
                                       [&](const FrameHeader::Component& other) { return other.id == c.id; });
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.tq > 3 || twice)
            return Fail(MessageCode::BadFrameHeader, msg::kBadFrameHeader);
        frame.components.push_back(c);
        maxH = std::max<int>(maxH, c.h);
        maxV = std::max<int>(maxV, c.v);
    }
    if (count == 1) maxH = maxV = 1;  // one block per MCU (T.81 A.2.2)
    // The output size was settled from this header, read ahead of the walk.
    if (rotating_ && (frame.width != frame_.ImageWidth || frame.height != frame_.ImageHeight ||
                      maxH != frame_.MaxH || maxV != frame_.MaxV))
        return Fail(MessageCode::FrameChanged, msg::kFrameChanged);
    walk.frameSeen = true;
    frameSeen_ = true;
    frame_.ImageWidth = frame.width;
    frame_.ImageHeight = frame.height;
    frame_.MaxH = maxH;
    frame_.MaxV = maxV;
    frame_.ComponentCount = static_cast<int>(count);
    for (size_t i = 0; i < count; ++i) {
        frame_.ComponentId[i] = frame.components[i].id;
        frame_.CompH[i] = count == 1 ? 1 : frame.components[i].h;
        frame_.CompV[i] = count == 1 ? 1 : frame.components[i].v;
        frame_.CompTq[i] = frame.components[i].tq;
    }
    if (!walk.rotating) return true;
    const TransformedFrame turned = TransformFrame(GeometryOf(frame), kind_, AllowAdjustMCU);
    const std::vector<uint8_t> segment =
        FrameSegment(frame, OutputMarker(frame, Coding), turned.geometry.width, turned.geometry.height, kind_);
    out_->WriteBytes(segment.data(), segment.size());
    return true;
}

bool TJpegRotation::TranscodedScan(TranscodeWalk& walk) {
    ScanHeader header;
    if (!walk.frameSeen || !ReadSos(ReadPayload(*in_), walk.frame, header))
        return Fail(MessageCode::BadScanHeader, msg::kBadScanHeader);
    if (!walk.rotating) return true;
    const std::span<const uint8_t> file(in_->Data(), in_->Size());
    const size_t begin = in_->BytePosition();
    const size_t end = EntropyDataEnd(file, begin);
    if (end == file.size()) return Fail(MessageCode::NoEndOfImage, msg::kNoEOI);
    in_->SetBytePosition(end);
    TranscodeWalk::Scan& scan = walk.scans.emplace_back();
    walk.after.emplace_back();
    scan.header = header;
    scan.tables = walk.tables;
    InputScan& input = scan.input;
    input.script = header.script;
    input.dcTable = header.dcTable;
    input.acTable = header.acTable;
    input.restartInterval = walk.restartInterval;
    input.data = file.subspan(begin, end - begin);
    input.conditioning = walk.conditioning;
    for (int i = 0; i < 4; ++i) {
        input.huffman.dc[i] = scan.tables[i] ? &scan.tables[i]->decode : nullptr;
        input.huffman.ac[i] = scan.tables[4 + i] ? &scan.tables[4 + i]->decode : nullptr;
    }
    return true;
}

bool TJpegRotation::TranscodeScans(TranscodeWalk& walk) {
    const FrameGeometry frame = GeometryOf(walk.frame);
    std::vector<InputScan> scans;
    for (const TranscodeWalk::Scan& scan : walk.scans) scans.push_back(scan.input);
    const ScanThreads threads{ThreadBudget(MaxThreads), StartThread};
    if (OnProgressMax) OnProgressMax(3);  // decoding, encoding, writing: each position below the maximum
    Progress(0);
    stage_ = Stage::Scan;
    const auto fail = [this](const TranscodeResult& result) {
        if (result.outOfMemory) return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);
        if (result.scriptError != ScriptError::None)
            return Fail(MessageCode::BadScanScript, msg::kBadScanScript, static_cast<int64_t>(result.scanIndex));
        switch (result.scan.error) {
            case ScanError::Truncated: return Fail(MessageCode::TruncatedScan, msg::kScanTooShort, result.scan.mcuRow);
            case ScanError::MissingTable: return Fail(MessageCode::BadHuffmanTable, msg::kBadHuffmanTable);
            case ScanError::MissingCode: return Fail(MessageCode::MissingCode, msg::kMissingCode);
            default: return Fail(MessageCode::DamagedScan, msg::kBadBlock, result.scan.mcuRow);
        }
    };
    CoefficientImage image;
    const TranscodeResult decoded = DecodeScans(frame, scans, image, threads);
    if (!decoded.ok()) return fail(decoded);
    Progress(1);
    stage_ = Stage::Tail;
    if (verifyOnly_) return true;

    TransformedFrame turned = TransformFrame(frame, kind_, AllowAdjustMCU);
    CoefficientImage output;
    if (!std::move(image).Transform(kind_, turned.dropCols, turned.dropRows, output))
        return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);
    FrameGeometry& outFrame = turned.geometry;
    outFrame.arithmetic = OutputArithmetic(walk.frame, Coding);
    if (Coding != OutputCoding::AsInput) outFrame.progressive = Coding == OutputCoding::Progressive;
    const std::vector<InputScan> script = OutputScript(outFrame, Coding, scans);

    // The input's tables where they code the result, tables built for it otherwise. Where the
    // kind keeps every coefficient in place the input's tables are tried first, as they mostly
    // code the result; a quarter turn's runs differ, so its symbols are counted at once.
    std::vector<HuffmanTableSlots> keep;
    if (Coding == OutputCoding::AsInput && TablePolicy != HuffmanTablePolicy::Optimize) {
        for (const TranscodeWalk::Scan& scan : walk.scans) keep.push_back(scan.tables);
    }
    std::vector<HuffmanTableSlots> chosen;
    std::vector<OutputScan> encoded;
    const auto encode = [&] {
        std::vector<HuffmanEncodeTables> tables(script.size());
        for (size_t i = 0; i < chosen.size(); ++i) tables[i] = EncodeTablesOf(chosen[i]);
        return EncodeScans(outFrame, script, output, tables, HuffmanEncodeTables{}, encoded, threads);
    };
    TranscodeResult result;
    const bool tryKept = !outFrame.arithmetic && !keep.empty() && !SwapsAxes(kind_);
    if (tryKept) {
        chosen = keep;
        result = encode();
    }
    const bool tablesShort = result.scan.error == ScanError::MissingCode || result.scan.error == ScanError::MissingTable;
    if (outFrame.arithmetic) {
        result = encode();
    } else if (!tryKept || tablesShort) {
        if (!ChooseTables(outFrame, script, output, keep, threads, chosen)) return Fail(MessageCode::OutOfMemory, msg::kOutOfMemory);
        result = encode();
    }
    if (!result.ok()) return fail(result);
    Progress(2);

    // Each scan with the tables it needs that differ from those in force.
    std::array<const DefinedHuffmanTable*, 8> inForce{};
    const auto writeScan = [&](size_t i) {
        if (!outFrame.arithmetic) {
            std::vector<std::pair<int, const DefinedHuffmanTable*>> tables;
            for (int slot : TablesUsed(LayoutOf(outFrame, script[i]))) {
                const DefinedHuffmanTable* table = chosen[i][slot].get();
                if (inForce[slot] != nullptr && *inForce[slot] == *table) continue;
                inForce[slot] = table;
                tables.emplace_back(slot, table);
            }
            if (!tables.empty()) {
                const std::vector<uint8_t> dht = DhtSegment(tables);
                out_->WriteBytes(dht.data(), dht.size());
            }
        }
        const std::vector<uint8_t> sos = SosSegment(walk.frame, {script[i].script, script[i].dcTable, script[i].acTable});
        out_->WriteBytes(sos.data(), sos.size());
        out_->WriteBytes(encoded[i].data.data(), encoded[i].data.size());
    };
    if (Coding == OutputCoding::AsInput) {
        for (size_t i = 0; i < script.size(); ++i) {
            writeScan(i);
            out_->WriteBytes(walk.after[i].data(), walk.after[i].size());
        }
    } else {
        for (size_t i = 0; i < script.size(); ++i) writeScan(i);
        for (const std::vector<uint8_t>& segments : walk.after) out_->WriteBytes(segments.data(), segments.size());
    }
    out_->WriteWord(0xFFD9);
    const size_t tail = in_->Remaining();
    out_->WriteBytes(in_->Data() + in_->BytePosition(), tail);
    in_->SkipBytes(tail);
    return true;
}

}  // namespace pivotta
