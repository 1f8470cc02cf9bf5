// The reference's scan: decoding into the coefficient store, then transforming and
// re-encoding block by block in output order.
#include <cstdlib>
#include <utility>

#include "BitStreamFile.h"
#include "Messages.h"
#include "ReferenceRotator.h"

namespace pivotta::reference {

// Counts MCU (r, c) of the grid; true when a restart interval ends after it, never after the
// grid's last MCU. The DC predictors then start again from 0.
bool RefRotator::RestartDue(int r, int c) {
    if (!RestartEnabled) return false;
    ++RestartCounter;
    const bool last = r == McuRows - 1 && c == McuCols - 1;
    if (last || RestartCounter != RestartInterval) return false;
    DCPred.fill(0);
    RestartCounter = 0;
    return true;
}

// ---------------------------------------------------------------- Decoding

// EXTEND of ITU T.81 F.2.2.1 on t extra bits.
int RefRotator::ReadExtended(int t) {
    if (t == 0) return 0;
    const int d = static_cast<int>(in_->ReadBits(t));
    return d < (1 << (t - 1)) ? d - (1 << t) + 1 : d;
}

bool RefRotator::DecodeBlock(int slot, RefBlock& block) {
    const int t = HuffTables.DecodeSymbol(*in_, 0, DcTableSel[slot]);
    if (t < 0 || t > 16) return false;
    block[0] = static_cast<int16_t>(ReadExtended(t) + DCPred[slot]);
    DCPred[slot] = block[0];
    int k = 1;
    for (;;) {
        const int rs = HuffTables.DecodeSymbol(*in_, 1, AcTableSel[slot]);
        if (rs < 0) return false;
        if (rs == 0) {
            while (k <= 63) block[k++] = 0;
            return true;
        }
        const int r = rs / 16, z = rs % 16;
        for (int i = 0; i < r; ++i) {
            if (k > 63) return false;
            block[k++] = 0;
        }
        const int v = ReadExtended(z);
        if (k > 63) return false;
        block[k] = static_cast<int16_t>(v);
        ++k;
        if (k == 64) return true;
    }
}

bool RefRotator::DecodeScan() {
    DCPred.fill(0);
    RestartCounter = 0;
    int expectedRestart = 0;
    for (int slot = 0; slot < ComponentCount; ++slot) {
        Coefficients[slot].assign(static_cast<size_t>(McuCols) * CompH[slot] * McuRows * CompV[slot], RefBlock{});
    }
    for (int r = 0; r < McuRows; ++r) {
        Progress(r);
        for (int c = 0; c < McuCols; ++c) {
            for (int i = 0; i < ScanCount; ++i) {
                const int s = ScanOrder[i];
                const int H = CompH[s], V = CompV[s], W = McuCols * H;
                for (int v = 0; v < V; ++v) {
                    for (int h = 0; h < H; ++h) {
                        RefBlock& block = Coefficients[s][static_cast<size_t>(r * V + v) * W + c * H + h];
                        if (!DecodeBlock(s, block)) return Fail(msg::kBadBlock);
                        if (in_->MarkersInData() > 0) return Fail(kMarkerInScanMessage);
                    }
                }
            }
            if (RestartDue(r, c)) {
                if (in_->ReadMarker() != 0xFFD0 + expectedRestart) return Fail(msg::kBadBlock);
                expectedRestart = (expectedRestart + 1) % 8;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------- Encoding

int RefRotator::SizeCategory(int value) const {
    const int magnitude = std::abs(value);
    return magnitude <= 255 ? MagnitudeCategory[magnitude] : 8 + MagnitudeCategory[magnitude / 256];
}

bool RefRotator::EncodeDC(int id, int diff) {
    if (diff == 0) return HuffTables.WriteSymbol(*out_, 0, id, 0);
    const int t = SizeCategory(diff);
    if (!HuffTables.WriteSymbol(*out_, 0, id, t)) return false;
    out_->WriteBits(static_cast<uint32_t>(diff < 0 ? diff - 1 : diff), t);
    return true;
}

bool RefRotator::EncodeAC(int id, int value, int run) {
    if (value == 0) return HuffTables.WriteSymbol(*out_, 1, id, run * 16);
    const int t = SizeCategory(value);
    if (t > 15 || !HuffTables.WriteSymbol(*out_, 1, id, run * 16 + t)) return false;
    out_->WriteBits(static_cast<uint32_t>(value < 0 ? value - 1 : value), t);
    return true;
}

bool RefRotator::EncodeBlock(int slot, const RefBlock& block) {
    if (!EncodeDC(DcTableSel[slot], block[0] - DCPred[slot])) return false;
    DCPred[slot] = block[0];
    int run = 0;
    for (int k = 1; k <= 63; ++k) {
        if (block[k] == 0) {
            ++run;
            continue;
        }
        while (run > 15) {
            if (!EncodeAC(AcTableSel[slot], 0, 15)) return false;
            run -= 16;
        }
        if (!EncodeAC(AcTableSel[slot], block[k], run)) return false;
        run = 0;
    }
    return run == 0 || EncodeAC(AcTableSel[slot], 0, 0);
}

bool RefRotator::EncodeScan() {
    DCPred.fill(0);
    RestartCounter = 0;
    int n = 0;
    const int progressBase = McuRows;
    int skipColumn = OutputWidth != ImageWidth ? 1 : 0;
    int skipRow = OutputHeight != ImageHeight ? 1 : 0;
    const TransformFacts& facts = Facts(Kind);
    const bool quarter = facts.swapsAxes;
    if (quarter) {
        std::swap(McuCols, McuRows);
        std::swap(CompH, CompV);
        std::swap(skipColumn, skipRow);
    }
    for (int r = skipRow; r < McuRows; ++r) {
        Progress(progressBase + r);
        for (int c = skipColumn; c < McuCols; ++c) {
            for (int i = 0; i < ScanCount; ++i) {
                const int s = ScanOrder[i];
                const int H = CompH[s], V = CompV[s];
                const int W = McuCols * H, R = McuRows * V;
                const int Wi = quarter ? R : W;  // the input grid's width
                for (int v = 0; v < V; ++v) {
                    for (int h = 0; h < H; ++h) {
                        const int x = c * H + h, y = r * V + v;
                        const int alongX = facts.reversesX ? W - 1 - x : x;
                        const int alongY = facts.reversesY ? R - 1 - y : y;
                        const int X = quarter ? alongY : alongX, Y = quarter ? alongX : alongY;
                        RefBlock& block = Coefficients[s][static_cast<size_t>(Y) * Wi + X];
                        TransformBlock(Kind, block);
                        if (!EncodeBlock(s, block)) return Fail(msg::kMissingCode);
                    }
                }
            }
            if (RestartDue(r, c)) {
                out_->WriteWord(static_cast<uint16_t>(0xFFD0 + n));
                n = (n + 1) % 8;
            }
        }
    }
    return true;
}

}  // namespace pivotta::reference
