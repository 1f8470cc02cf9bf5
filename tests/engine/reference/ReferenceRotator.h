// A plain reference of the lossless transformer, written as literally as the rules read:
// one byte or one bit per call, linear-search Huffman decoding, a header check and a marker
// walk, the whole coefficient image in memory, and re-encoding block by block. It handles
// well-formed baseline input only and exists to prove the fast engine byte for byte.
//
// It follows the engine's deliberate choices where those differ from the plainest reading:
// components sit in slots in frame order and an MCU follows the scan header's order; a
// one-component frame has one block per MCU; a table is full when it holds every symbol of
// its class; fill bytes before the markers after the scan and before restart markers are
// skipped, and a restart marker must be the expected RSTn; a dimension smaller than one
// MCU is never trimmed. APP1 is copied unchanged like any other APPn segment.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ReferenceBitStreams.h"
#include "ReferenceBlocks.h"
#include "ReferenceHuffman.h"
#include "TransformKind.h"

namespace pivotta::reference {

class RefRotator {
public:
    RefRotator();

    bool CheckJpeg(const std::vector<uint8_t>& input);
    bool RotateJpeg(const std::vector<uint8_t>& input, std::vector<uint8_t>& output, TransformKind kind);

    bool AllowAdjustMCU = false;
    std::function<void(const std::string& text, int level)> OnMessage;
    std::function<void()> OnDHTWarning;
    std::function<void(int)> OnProgressMax;
    std::function<void(int)> OnProgress;

private:
    static constexpr int kSlots = 4;

    bool Fail(const std::string& text);
    void Progress(int position) {
        if (OnProgress) OnProgress(position);
    }

    // Marker walk and segments (ReferenceRotator.cpp).
    bool RunWalk(const std::vector<uint8_t>& input, std::vector<uint8_t>& output, bool (RefRotator::*walk)());
    bool CheckWalk();
    bool RotateWalk();
    bool CopyVerbatim(uint16_t marker);
    bool CopyTail();
    void SkipSegment();
    void ProcessDQT();
    bool ProcessSOF();
    bool ProcessSOS();
    void ProcessDRI();
    void CheckMcuSize();
    void SettleOutputSize();

    // Scan (ReferenceScan.cpp).
    bool RestartDue(int r, int c);
    bool DecodeScan();
    bool DecodeBlock(int slot, RefBlock& block);
    bool EncodeScan();
    bool EncodeBlock(int slot, const RefBlock& block);
    bool EncodeDC(int id, int diff);
    bool EncodeAC(int id, int value, int run);
    int SizeCategory(int value) const;
    int ReadExtended(int t);

    RefInBitStream* in_ = nullptr;
    RefOutBitStream* out_ = nullptr;
    TransformKind Kind = TransformKind::NoRotation;
    RefHuffTables HuffTables;
    std::array<std::vector<RefBlock>, kSlots> Coefficients;
    int ComponentCount = 0;
    std::array<int, kSlots> ComponentId{};
    std::array<int, kSlots> ScanOrder{};  // slots in the order of the scan header
    int ScanCount = 0;
    std::array<int, kSlots> DcTableSel{};
    std::array<int, kSlots> AcTableSel{};
    int ImageWidth = 0;
    int ImageHeight = 0;
    std::array<int, kSlots> DCPred{};
    int McuCols = 0;
    int McuRows = 0;
    int MaxH = 1;
    int MaxV = 1;
    std::array<int, kSlots> CompH{};
    std::array<int, kSlots> CompV{};
    std::array<int, kSlots> CompTq{};
    bool RestartEnabled = false;
    int RestartInterval = 0;
    int RestartCounter = 0;
    int OutputHeight = 0;
    int OutputWidth = 0;
    std::array<int, 256> MagnitudeCategory{};  // [1..255]: bits of the value
};

}  // namespace pivotta::reference
