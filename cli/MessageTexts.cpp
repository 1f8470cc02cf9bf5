#include "MessageTexts.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace pivotta::cli {
namespace {

using enum MessageCode;

constexpr MessageCodeInfo kCodes[] = {
    {NotJpeg, "not-jpeg", "not a JPEG file: it does not start with the start-of-image marker (FFD8)",
     "JPEGファイルではありません: 開始マーカー(FFD8)で始まっていません",
     "not a JPEG file"},
    {FourComponents, "cmyk", "CMYK/4-component JPEG is not supported",
     "CMYK/4成分のJPEGには対応していません", "a CMYK or other four-component picture"},
    {Progressive, "progressive", "progressive JPEG is not supported (baseline only)",
     "プログレッシブJPEGには対応していません(ベースラインのみ)", "a progressive JPEG"},
    {Arithmetic, "arithmetic", "arithmetic-coded JPEG is not supported",
     "算術符号化のJPEGには対応していません", "an arithmetic-coded JPEG"},
    {Lossless, "lossless", "lossless JPEG is not supported (baseline only)",
     "ロスレスJPEGには対応していません(ベースラインのみ)", "a lossless JPEG"},
    {ExtendedSequential, "extended", "extended sequential JPEG (SOF1) is not supported (baseline only)",
     "拡張シーケンシャルJPEG(SOF1)には対応していません(ベースラインのみ)",
     "an extended sequential JPEG (12-bit or four tables)"},
    {Hierarchical, "hierarchical", "hierarchical JPEG is not supported (baseline only)",
     "階層型JPEGには対応していません(ベースラインのみ)", "a hierarchical JPEG"},
    {UnknownMarker, "unknown-marker", "unexpected marker[[ %X]] where a segment should start",
     "セグメントの始まるべき位置に予期しないマーカー[[ %X]]があります",
     "a marker that has no place before the scan"},
    {SixteenBitTables, "16-bit-tables", "16-bit quantization tables are not supported (8-bit only)",
     "16ビット精度の量子化テーブルには対応していません(8ビットのみ)",
     "quantization tables of 16-bit precision"},
    {BadQuantTable, "bad-dqt", "damaged quantization table (DQT) segment",
     "量子化テーブル(DQT)のセグメントが壊れています", "a damaged quantization table"},
    {BadHuffmanTable, "bad-dht", "damaged Huffman table (DHT) segment",
     "ハフマンテーブル(DHT)のセグメントが壊れています", "a damaged Huffman table"},
    {UndefinedHuffmanTable, "undefined-table", "the scan uses a Huffman table that the file does not define",
     "スキャンが使うハフマンテーブルがファイルに定義されていません", "a Huffman table the scan needs is missing from the file"},
    {BadFrameHeader, "bad-sof",
     "damaged or unsupported frame header: 1 to 3 components of 8 bits, sampling factors 1 to 4 are accepted",
     "フレームヘッダが壊れているか対応外です: 8ビットの1～3成分、サンプリング係数1～4に対応しています",
     "a frame header outside the baseline subset"},
    {BadScanHeader, "bad-sos", "unsupported scan header: one interleaved scan of every component is accepted",
     "対応外のスキャンヘッダです: 全成分をまとめた1つのインターリーブスキャンに対応しています",
     "a scan header outside the baseline subset"},
    {BadRestartSegment, "bad-dri", "damaged restart interval (DRI) segment",
     "リスタート間隔(DRI)のセグメントが壊れています", "a damaged restart interval"},
    {FrameChanged, "frame-changed", "the frame header differs from the one checked",
     "フレームヘッダが検査したときのものと異なります", "the file changed under the tool"},
    {TruncatedHeaders, "truncated", "file is truncated: it ends before the picture data",
     "ファイルが途中で切れています: 画像データの前で終わっています",
     "the file ends too early"},
    {TruncatedScan, "truncated-scan", "file is truncated: the scan ends before the last block",
     "ファイルが途中で切れています: 最後のブロックの前でスキャンが終わっています",
     "the picture data ends too early"},
    {ScanTooShort, "scan-too-short", "file is truncated: far too little picture data for the picture's size",
     "ファイルが途中で切れています: 画像のサイズに対して画像データが少なすぎます",
     "far too little picture data"},
    {DamagedScan, "damaged-scan", "damaged data in the scan[[ at MCU row %d]]",
     "スキャンのデータが壊れています[[(MCU行 %d)]]", "damaged picture data"},
    {MarkerInScan, "marker-in-scan", "damaged data in the scan: a marker interrupts it[[ at MCU row %d]]",
     "スキャンのデータが壊れています: マーカーがスキャンを中断しています[[(MCU行 %d)]]",
     "a marker inside the picture data"},
    {NoEndOfImage, "no-eoi", "no end-of-image marker (FFD9) after the scan",
     "スキャンの後に終了マーカー(FFD9)がありません", "the end-of-image marker is missing"},
    {OutOfMemory, "out-of-memory", "not enough memory",
     "メモリが足りません", "not enough memory"},
    {MissingCode, "missing-code", "a Huffman table lacks a code the result needs",
     "ハフマンテーブルに結果が必要とする符号がありません", "a Huffman table is incomplete"},
    {BadKind, "bad-kind", "invalid transform",
     "無効な変換です", "an invalid transform"},
    {WriteFailed, "write-failed", "the result cannot be held in memory",
     "結果をメモリに保持できません", "the result could not be built"},
    {RaggedEdgeTrimmed, "trimmed", "the size is not a whole number of MCUs: the ragged edge is trimmed",
     "サイズがMCUの整数倍ではありません: はみ出した端を切り取ります",
     "warning: the picture loses its ragged edge"},
    {RaggedEdgeKept, "ragged-edge",
     "the size is not a whole number of MCUs: a transform may move the edge's padding into the picture",
     "サイズがMCUの整数倍ではありません: 変換によって端の埋め草が画像の中に移ることがあります",
     "warning: a band of padding may show along one edge (--no-trim)"},
    {OptimizedTables, "optimized-tables",
     "the Huffman tables are optimized for this picture: the standard tables complete them",
     "ハフマンテーブルがこの画像向けに最適化されています: 標準のテーブルで補います",
     "warning: the tables are replaced by the standard ones"},
    {MultiPictureSet, "multi-picture-set",
     "a stereo pair, panorama or multi-angle set (MPO): turning one view of a set is refused",
     "ステレオペア、パノラマまたは多視点のセット(MPO)です: セットの1枚だけを変換することはしません",
     "a set of views (MPO)"},
    {DamagedPictureIndex, "bad-mpf", "the multi-picture index (MPF) does not match the file",
     "マルチピクチャのインデックス(MPF)がファイルと一致しません",
     "a damaged multi-picture index"},
    {GainMapGrid, "gain-map-grid",
     "the gain map cannot follow this transform losslessly: its MCU grid does not match the main picture's",
     "ゲインマップはこの変換に可逆では追従できません: MCUの格子が主画像と合いません",
     "a gain map whose MCU grid does not allow the transform"},
    {SecondaryPictureFailed, "secondary-picture", "the gain map or preview picture in the file cannot be transformed",
     "ファイル内のゲインマップまたはプレビュー画像を変換できません",
     "a gain map or preview that cannot be transformed"},
    {ThumbnailKept, "thumbnail-kept", "the Exif thumbnail cannot be transformed: it is kept as it was",
     "Exifのサムネイルを変換できません: 元のまま残します",
     "warning: the Exif thumbnail stays unturned"},
    {HeightInDnl, "dnl", "the picture's height is given after its first scan (DNL segment): not supported",
     "画像の高さが最初のスキャンの後(DNLセグメント)で与えられています: 対応していません",
     "a JPEG whose height comes after the first scan (DNL)"},
    {TooManyComponents, "too-many-components", "more than four components are not supported",
     "5つ以上の成分を持つ画像には対応していません",
     "a picture of more than four components"},
    {BadScanScript, "bad-scan-script",
     "the scans do not form a sequence JPEG allows (a component twice, a refinement before its first scan, "
     "a band coded twice, or a component never coded)",
     "スキャンの並びがJPEGで許されない形です(同じ成分が2回、最初のスキャンより前の精細化、同じ帯域が2回、"
     "または一度も符号化されない成分)",
     "scans in an order JPEG does not allow"},
};

static_assert(std::size(kCodes) == kMessageCodeCount, "every code has its words");

constexpr ToolCodeInfo kToolCodes[] = {
    {kNeedsTrimCode, "refused by --perfect: the transform would need trimming"},
    {kCannotTrimCode, "warning: the picture is smaller than one MCU across its ragged edge, which stays"},
    {kTooLargeCode, "larger than 2 GiB, the largest file pivotta-cli accepts: not read"},
    {kBadOrientationCode, "--auto-orient: an Exif Orientation outside 1-8; the file is taken as upright"},
};

const MessageCodeInfo& InfoOf(MessageCode code) {
    const auto* it = std::find_if(std::begin(kCodes), std::end(kCodes),
                                  [code](const MessageCodeInfo& info) { return info.code == code; });
    return it != std::end(kCodes) ? *it : kCodes[static_cast<int>(UnknownMarker)];
}

// The template with its detail: "%d" in decimal, "%X" in hexadecimal. The part in [[...]]
// states the detail, and is left out when there is none.
std::string Filled(std::string_view pattern, int64_t detail) {
    std::string text(pattern);
    const size_t open = text.find("[["), close = text.find("]]");
    if (open != std::string::npos && close != std::string::npos) {
        if (detail < 0) {
            text.erase(open, close + 2 - open);
            return text;
        }
        text.erase(close, 2);
        text.erase(open, 2);
    }
    for (std::string_view spec : {"%d", "%X"}) {
        const size_t at = text.find(spec);
        if (at == std::string::npos) continue;
        char number[24];
        std::snprintf(number, sizeof number, spec == "%d" ? "%lld" : "%llX", static_cast<long long>(detail));
        text.replace(at, spec.size(), number);
    }
    return text;
}

static_assert(std::all_of(std::begin(kCodes), std::end(kCodes),
                          [](const MessageCodeInfo& info) { return !info.english.empty() && !info.japanese.empty(); }),
              "every code has its words in both languages");

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

std::span<const MessageCodeInfo> MessageCodeTable() {
    return kCodes;
}

std::span<const ToolCodeInfo> ToolCodeTable() {
    return kToolCodes;
}

std::string MessageLine(const EngineMessage& message, MessageLanguage language) {
    const MessageCodeInfo& info = InfoOf(message.code);
    std::string line = Filled(language == MessageLanguage::Japanese ? info.japanese : info.english, message.detail);
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
