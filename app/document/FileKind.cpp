#include "FileKind.h"

#include "AppTexts.h"

namespace pivotta::app {

QString RefusedKindLine(pivotta::MessageCode code)
{
    using pivotta::MessageCode;
    switch (code) {
    case MessageCode::NotJpeg: return texts::kNotJpegKind;
    case MessageCode::FourComponents: return texts::kFourComponentKind;
    case MessageCode::Progressive: return texts::kProgressiveKind;
    case MessageCode::Arithmetic: return texts::kArithmeticKind;
    case MessageCode::Lossless: return texts::kLosslessKind;
    case MessageCode::ExtendedSequential: return texts::kExtendedKind;
    case MessageCode::Hierarchical: return texts::kHierarchicalKind;
    case MessageCode::SixteenBitTables: return texts::kSixteenBitTablesKind;
    default: return {};
    }
}

QString UndecodableKindLine(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8) return texts::kNotJpegKind;
    size_t at = 2;
    // Marker segments up to the first frame header; fill bytes (FF FF ...) are skipped.
    while (at + 4 <= bytes.size()) {
        if (bytes[at] != 0xFF) return {};
        const uint8_t marker = bytes[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return {};
        const size_t length = (size_t{bytes[at + 2]} << 8) | bytes[at + 3];
        switch (marker) {
        case 0xC3: case 0xC7: case 0xCB: case 0xCF: return texts::kLosslessKind;
        case 0xC5: case 0xC6: case 0xCD: case 0xCE: return texts::kHierarchicalKind;
        case 0xC0: case 0xC1: case 0xC2: case 0xC9: case 0xCA:
            if (at + 4 < bytes.size() && bytes[at + 4] != 8) return texts::kTwelveBitKind;
            return {};
        default: break;
        }
        at += 2 + length;
    }
    return {};
}

}  // namespace pivotta::app
