#include "MessageTexts.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace pivotta::cli {
namespace {

using enum MessageCode;

constexpr MessageCodeInfo kCodes[] = {
    {NotJpeg, "not-jpeg", "not a JPEG file: it does not start with the start-of-image marker (FFD8)",
     "not a JPEG file"},
    {FourComponents, "cmyk", "CMYK/4-component JPEG is not supported", "a CMYK or other four-component picture"},
    {Progressive, "progressive", "progressive JPEG is not supported (baseline only)", "a progressive JPEG"},
    {Arithmetic, "arithmetic", "arithmetic-coded JPEG is not supported", "an arithmetic-coded JPEG"},
    {Lossless, "lossless", "lossless JPEG is not supported (baseline only)", "a lossless JPEG"},
    {ExtendedSequential, "extended", "extended sequential JPEG (SOF1) is not supported (baseline only)",
     "an extended sequential JPEG (12-bit or four tables)"},
    {Hierarchical, "hierarchical", "hierarchical JPEG is not supported (baseline only)", "a hierarchical JPEG"},
    {UnknownMarker, "unknown-marker", "unexpected marker %X where a segment should start",
     "a marker that has no place before the scan"},
    {SixteenBitTables, "16-bit-tables", "16-bit quantization tables are not supported (8-bit only)",
     "quantization tables of 16-bit precision"},
    {BadQuantTable, "bad-dqt", "damaged quantization table (DQT) segment", "a damaged quantization table"},
    {BadHuffmanTable, "bad-dht", "damaged Huffman table (DHT) segment", "a damaged Huffman table"},
    {BadFrameHeader, "bad-sof",
     "damaged or unsupported frame header: 1 to 3 components of 8 bits, sampling factors 1 to 4 are accepted",
     "a frame header outside the baseline subset"},
    {BadScanHeader, "bad-sos", "unsupported scan header: one interleaved scan of every component is accepted",
     "a scan header outside the baseline subset"},
    {BadRestartSegment, "bad-dri", "damaged restart interval (DRI) segment", "a damaged restart interval"},
    {FrameChanged, "frame-changed", "the frame header differs from the one checked", "the file changed under the tool"},
    {TruncatedHeaders, "truncated", "file is truncated: it ends before the picture data",
     "the file ends too early"},
    {TruncatedScan, "truncated-scan", "file is truncated: the scan ends before the last block",
     "the picture data ends too early"},
    {ScanTooShort, "scan-too-short", "file is truncated: far too little picture data for the picture's size",
     "far too little picture data"},
    {DamagedScan, "damaged-scan", "damaged data in the scan at MCU row %d", "damaged picture data"},
    {MarkerInScan, "marker-in-scan", "damaged data in the scan: a marker interrupts it at MCU row %d",
     "a marker inside the picture data"},
    {NoEndOfImage, "no-eoi", "no end-of-image marker (FFD9) after the scan", "the end-of-image marker is missing"},
    {OutOfMemory, "out-of-memory", "not enough memory", "not enough memory"},
    {MissingCode, "missing-code", "a Huffman table lacks a code the result needs", "a Huffman table is incomplete"},
    {BadKind, "bad-kind", "invalid transform", "an invalid transform"},
    {WriteFailed, "write-failed", "the result cannot be held in memory", "the result could not be built"},
    {RaggedEdgeTrimmed, "trimmed", "the size is not a whole number of MCUs: the ragged edge is trimmed",
     "warning: the picture loses its ragged edge"},
    {RaggedEdgeKept, "ragged-edge",
     "the size is not a whole number of MCUs: a transform may move the edge's padding into the picture",
     "warning: a band of padding may show along one edge (--no-trim)"},
    {OptimizedTables, "optimized-tables",
     "the Huffman tables are optimized for this picture: the standard tables complete them",
     "warning: the tables are replaced by the standard ones"},
    {MultiPictureSet, "multi-picture-set",
     "a stereo pair, panorama or multi-angle set (MPO): turning one view of a set is refused",
     "a set of views (MPO)"},
    {DamagedPictureIndex, "bad-mpf", "the multi-picture index (MPF) does not match the file",
     "a damaged multi-picture index"},
    {GainMapGrid, "gain-map-grid",
     "the gain map cannot follow this transform losslessly: its MCU grid does not match the main picture's",
     "a gain map whose MCU grid does not allow the transform"},
    {SecondaryPictureFailed, "secondary-picture", "the gain map or preview picture in the file cannot be transformed",
     "a gain map or preview that cannot be transformed"},
    {ThumbnailKept, "thumbnail-kept", "the Exif thumbnail cannot be transformed: it is kept as it was",
     "warning: the Exif thumbnail stays unturned"},
    {HeightInDnl, "dnl", "the picture's height is given after its first scan (DNL segment): not supported",
     "a JPEG whose height comes after the first scan (DNL)"},
    {TooManyComponents, "too-many-components", "more than four components are not supported",
     "a picture of more than four components"},
    {BadScanScript, "bad-scan-script",
     "the scans do not form a sequence JPEG allows (a component twice, a refinement before its first scan, "
     "a band coded twice, or a component never coded)",
     "scans in an order JPEG does not allow"},
};

static_assert(std::size(kCodes) == kMessageCodeCount, "every code has its words");

const MessageCodeInfo& InfoOf(MessageCode code) {
    const auto* it = std::find_if(std::begin(kCodes), std::end(kCodes),
                                  [code](const MessageCodeInfo& info) { return info.code == code; });
    return it != std::end(kCodes) ? *it : kCodes[static_cast<int>(UnknownMarker)];
}

std::string EnglishText(const MessageCodeInfo& info, int64_t detail) {
    std::string text(info.english);
    for (std::string_view spec : {"%d", "%X"}) {
        const size_t at = text.find(spec);
        if (at == std::string::npos) continue;
        if (detail < 0) {
            // No detail known: drop the part that would state it (" at MCU row %d").
            const size_t cut = text.rfind(" at ", at);
            text.erase(cut == std::string::npos ? at : cut);
            break;
        }
        char number[24];
        std::snprintf(number, sizeof number, spec == "%d" ? "%lld" : "%llX", static_cast<long long>(detail));
        text.replace(at, spec.size(), number);
    }
    return text;
}

// The engine's texts were written for message boxes: a line break would break the line's form.
std::string OneLine(std::string text) {
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

std::span<const MessageCodeInfo> MessageCodeTable() {
    return kCodes;
}

std::string MessageLine(const EngineMessage& message, MessageLanguage language) {
    const MessageCodeInfo& info = InfoOf(message.code);
    std::string line = language == MessageLanguage::Japanese ? OneLine(message.text) : EnglishText(info, message.detail);
    line += " [";
    line += info.name;
    line += "]";
    return line;
}

MessageLanguage LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* locale = IsSet(lcAll) ? lcAll : IsSet(lcMessages) ? lcMessages : lang;
    const bool japanese = IsSet(locale) && locale[0] == 'j' && locale[1] == 'a';
    return japanese ? MessageLanguage::Japanese : MessageLanguage::English;
}

MessageLanguage LanguageFromEnvironment() {
    return LanguageFromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

}  // namespace pivotta::cli
