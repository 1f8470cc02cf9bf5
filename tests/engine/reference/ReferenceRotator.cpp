#include "ReferenceRotator.h"

#include <algorithm>
#include <cstdio>

#include "Messages.h"

namespace pivotta::reference {

namespace {

std::string Hex(uint16_t marker) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", marker);
    return text;
}

}  // namespace

RefRotator::RefRotator() {
    for (int v = 1; v <= 255; ++v) {
        int bits = 0;
        for (int rest = v; rest > 0; rest /= 2) ++bits;
        MagnitudeCategory[v] = bits;
    }
}

bool RefRotator::Fail(const std::string& text) {
    if (OnMessage) OnMessage(text, 2);
    return false;
}

// ---------------------------------------------------------------- CheckJpeg

// Runs a walk with streams over input and output; a read past the end fails the walk.
bool RefRotator::RunWalk(const std::vector<uint8_t>& input, std::vector<uint8_t>& output,
                         bool (RefRotator::*walk)()) {
    RefInBitStream in(input);
    RefOutBitStream out(output);
    in_ = &in;
    out_ = &out;
    bool ok;
    try {
        ok = (this->*walk)();
    } catch (const ReadPastEnd& error) {
        ok = Fail(error.what());
    }
    in_ = nullptr;
    out_ = nullptr;
    return ok;
}

bool RefRotator::CheckJpeg(const std::vector<uint8_t>& input) {
    MaxH = 1;
    MaxV = 1;
    std::vector<uint8_t> scratch;  // what the segment handlers write is not wanted here
    return RunWalk(input, scratch, &RefRotator::CheckWalk);
}

bool RefRotator::CheckWalk() {
    if (in_->ReadWord() != 0xFFD8) return Fail(msg::kCheckNoSOI);
    bool warned = false;
    for (;;) {
        const uint16_t marker = in_->ReadWord();
        if (marker == 0xFFC0) {
            if (!ProcessSOF()) return false;
        } else if (marker == 0xFFC4) {
            bool malformed;
            const bool allFull = HuffTables.ProcessDHT(*in_, *out_, &malformed);
            if (malformed) return Fail("malformed DHT segment");
            if (!allFull && !warned) {
                warned = true;
                if (OnDHTWarning) OnDHTWarning();
            }
        } else if (marker == 0xFFDA) {
            if (!ProcessSOS()) return false;
            CheckMcuSize();
            return true;
        } else if (marker == 0xFFDB) {
            ProcessDQT();
        } else if (marker == 0xFFDD) {
            ProcessDRI();
        } else if ((marker >= 0xFFE0 && marker <= 0xFFEF) || marker == 0xFFFE) {
            SkipSegment();
        } else {
            return Fail(msg::kCheckUnknownMarkerPrefix + Hex(marker) + msg::kCheckUnknownMarkerSuffix);
        }
    }
}

// ---------------------------------------------------------------- RotateJpeg

bool RefRotator::RotateJpeg(const std::vector<uint8_t>& input, std::vector<uint8_t>& output, TransformKind kind) {
    Kind = kind;
    output.clear();
    SettleOutputSize();
    RestartEnabled = false;
    CompH.fill(0);
    CompV.fill(0);
    return RunWalk(input, output, &RefRotator::RotateWalk);
}

bool RefRotator::RotateWalk() {
    if (in_->ReadWord() != 0xFFD8) return Fail(msg::kRotateNoSOI);
    out_->WriteWord(0xFFD8);
    uint16_t marker;
    do {
        marker = in_->ReadWord();
        if (marker == 0xFFC0) {
            if (!ProcessSOF()) return false;
        } else if (marker == 0xFFDB) {
            ProcessDQT();
        } else if (marker == 0xFFC4) {
            bool malformed;
            HuffTables.ProcessDHT(*in_, *out_, &malformed);
            if (malformed) return Fail("malformed DHT segment");
        } else if (!CopyVerbatim(marker)) {
            return false;
        }
    } while (marker != 0xFFDA);

    McuCols = (ImageWidth + 8 * MaxH - 1) / (8 * MaxH);
    McuRows = (ImageHeight + 8 * MaxV - 1) / (8 * MaxV);
    const int outputRows = SwapsAxes(Kind) ? McuCols : McuRows;
    if (OnProgressMax) OnProgressMax(McuRows + outputRows);
    Progress(0);
    if (!DecodeScan()) return false;
    HuffTables.CompleteTables();
    HuffTables.BuildEncodeIndex();
    return EncodeScan() && CopyTail();
}

// Writes the marker, lets the segment's parser consume it, then copies exactly the bytes
// it consumed from the mark on.
bool RefRotator::CopyVerbatim(uint16_t marker) {
    in_->MarkPosition();
    out_->WriteWord(marker);
    if (marker == 0xFFDA) {
        if (!ProcessSOS()) return false;
    } else if (marker == 0xFFDD) {
        ProcessDRI();
    } else if ((marker >= 0xFFE0 && marker <= 0xFFEF) || marker == 0xFFFE) {
        SkipSegment();
    } else {
        return Fail(msg::kRotateUnknownMarkerPrefix + Hex(marker) + msg::kRotateUnknownMarkerSuffix);
    }
    const size_t n = in_->BytesSinceMark();
    in_->ReturnToMark();
    std::vector<uint8_t> buffer(n);
    in_->ReadBytes(buffer.data(), n);
    out_->WriteBytes(buffer.data(), n);
    return true;
}

bool RefRotator::CopyTail() {
    uint16_t marker = in_->ReadMarker();
    while (marker >= 0xFFD0 && marker <= 0xFFD7) {
        out_->WriteWord(marker);
        marker = in_->ReadMarker();
    }
    if (marker != 0xFFD9) return Fail(msg::kNoEOI);
    out_->WriteWord(0xFFD9);
    while (in_->Position() < in_->Size()) out_->WriteByte(in_->ReadByte());
    return true;
}

// ---------------------------------------------------------------- Segments

void RefRotator::SkipSegment() {
    const int length = in_->ReadWord();
    for (int i = 0; i < length - 2; ++i) in_->ReadByte();
}

void RefRotator::ProcessDQT() {
    out_->WriteWord(0xFFDB);
    const uint16_t length = in_->ReadWord();
    out_->WriteWord(length);
    const int tables = (length - 2) / 65;
    for (int n = 0; n < tables; ++n) {
        out_->WriteByte(in_->ReadByte());
        RefBlock table;
        for (int16_t& q : table) q = in_->ReadByte();
        if (SwapsAxes(Kind)) TransposeBlock(table);
        for (const int16_t q : table) out_->WriteByte(static_cast<uint8_t>(q & 0xFF));
    }
}

bool RefRotator::ProcessSOF() {
    out_->WriteWord(0xFFC0);
    out_->WriteWord(in_->ReadWord());
    out_->WriteByte(in_->ReadByte());
    ImageHeight = in_->ReadWord();
    ImageWidth = in_->ReadWord();
    if (SwapsAxes(Kind)) {
        out_->WriteWord(static_cast<uint16_t>(OutputWidth));
        out_->WriteWord(static_cast<uint16_t>(OutputHeight));
    } else {
        out_->WriteWord(static_cast<uint16_t>(OutputHeight));
        out_->WriteWord(static_cast<uint16_t>(OutputWidth));
    }
    const int nf = in_->ReadByte();
    if (nf == 4) return Fail(msg::kNotYCbCr);
    if (nf < 1 || nf > 3) return Fail("unsupported component count");
    out_->WriteByte(static_cast<uint8_t>(nf));
    ComponentCount = nf;
    for (int slot = 0; slot < nf; ++slot) {
        ComponentId[slot] = in_->ReadByte();
        out_->WriteByte(static_cast<uint8_t>(ComponentId[slot]));
        const int sampling = in_->ReadByte();
        const int h = sampling / 16, v = sampling % 16;
        out_->WriteByte(static_cast<uint8_t>(SwapsAxes(Kind) ? v * 16 + h : sampling));
        // One component: one block per MCU whatever its factors say (ITU T.81 A.2.2).
        CompH[slot] = nf == 1 ? 1 : h;
        CompV[slot] = nf == 1 ? 1 : v;
        CompTq[slot] = in_->ReadByte();
        out_->WriteByte(static_cast<uint8_t>(CompTq[slot]));
        MaxH = std::max(MaxH, CompH[slot]);
        MaxV = std::max(MaxV, CompV[slot]);
    }
    return true;
}

bool RefRotator::ProcessSOS() {
    in_->ReadWord();
    ScanCount = in_->ReadByte();
    if (ScanCount != ComponentCount) return Fail("the scan does not hold every component");
    for (int i = 0; i < ScanCount; ++i) {
        const int cs = in_->ReadByte();
        const int tables = in_->ReadByte();
        int slot = 0;
        while (slot < ComponentCount && ComponentId[slot] != cs) ++slot;
        if (slot == ComponentCount) return Fail("scan component not in the frame");
        ScanOrder[i] = slot;
        DcTableSel[slot] = tables / 16;
        AcTableSel[slot] = tables % 16;
    }
    for (int i = 0; i < 3; ++i) in_->ReadByte();
    return true;
}

void RefRotator::ProcessDRI() {
    RestartEnabled = true;
    in_->ReadWord();
    RestartInterval = in_->ReadWord();
}

void RefRotator::CheckMcuSize() {
    if (ImageHeight % (8 * MaxV) != 0 || ImageWidth % (8 * MaxH) != 0) {
        if (OnMessage) OnMessage(AllowAdjustMCU ? msg::kMcuTrim : msg::kMcuRagged, 1);
    }
}

void RefRotator::SettleOutputSize() {
    if (AllowAdjustMCU) {
        OutputHeight = (8 * MaxV) * (ImageHeight / (8 * MaxV));
        OutputWidth = (8 * MaxH) * (ImageWidth / (8 * MaxH));
        // A picture smaller than one MCU keeps that dimension: trimming would leave nothing.
        if (OutputHeight == 0) OutputHeight = ImageHeight;
        if (OutputWidth == 0) OutputWidth = ImageWidth;
    } else {
        OutputHeight = ImageHeight;
        OutputWidth = ImageWidth;
    }
    if (!TrimsRightEdge(Kind)) OutputWidth = ImageWidth;
    if (!TrimsBottomEdge(Kind)) OutputHeight = ImageHeight;
}

}  // namespace pivotta::reference
