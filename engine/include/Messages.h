// The engine's message texts and codes. Level-1 texts are warnings; all others are sent at
// level 2.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pivotta {

// What a message is about, for front ends that word it in their own language. The values are
// stable: scripts may rely on them through the front ends' names for them.
enum class MessageCode : uint8_t {
    NotJpeg,               // no start-of-image marker
    FourComponents,        // CMYK or another four-component picture
    Progressive,           // SOF2, SOF6
    Arithmetic,            // SOF9-11, SOF13-15, DAC
    Lossless,              // SOF3, SOF7
    ExtendedSequential,    // SOF1
    Hierarchical,          // SOF5, DHP, EXP
    UnknownMarker,         // any other marker the walk does not know
    SixteenBitTables,      // quantization tables of 16-bit precision
    BadQuantTable,
    BadHuffmanTable,
    BadFrameHeader,
    BadScanHeader,
    BadRestartSegment,
    FrameChanged,          // the frame differs from the one read ahead of the walk
    TruncatedHeaders,      // the data ends before the scan
    TruncatedScan,         // the scan ends before its last block
    ScanTooShort,          // far too little scan data for the picture's size
    DamagedScan,           // a bad code or a wrong restart marker; detail: the MCU row
    MarkerInScan,          // a marker inside entropy-coded data; detail: the MCU row, or -1
    NoEndOfImage,
    OutOfMemory,
    MissingCode,           // a table lacks a code the result needs
    BadKind,
    WriteFailed,
    RaggedEdgeTrimmed,     // warning: the size is not whole MCUs, the edge will be cut
    RaggedEdgeKept,        // warning: the size is not whole MCUs, the edge will move inside
    OptimizedTables,       // warning: tables completed with the standard ones
    MultiPictureSet,       // a stereo pair, panorama or multi-angle set (MPF)
    DamagedPictureIndex,   // an MP index that does not match the file
    GainMapGrid,           // the gain map cannot follow the main picture's turn losslessly
    SecondaryPictureFailed,  // a gain map or preview the engine cannot transform
    ThumbnailKept,         // warning: the Exif thumbnail cannot be turned and stays as it was
    UndefinedHuffmanTable,  // the scan selects a Huffman table its stream does not define
    HeightInDnl,           // the height comes in a DNL segment after the first scan
    TooManyComponents,     // more than four components
    BadScanScript,         // scans that T.81 does not allow in that order or form
};
inline constexpr int kMessageCodeCount = static_cast<int>(MessageCode::BadScanScript) + 1;

// What the bit reader says of a marker inside entropy-coded data.
inline constexpr const char* kMarkerInScanMessage = "ビットストリームが正しく読みとれませんでした。";

// Engine message hook: text and level (1 warning, 2 error).
using MessageHook = std::function<void(const std::string& text, int level)>;

struct EngineMessage {
    MessageCode code;
    int level;          // 1 warning, 2 error
    std::string text;   // the Japanese text that OnMessage gets
    int64_t detail = -1;
};
using CodedMessageHook = std::function<void(const EngineMessage&)>;

}  // namespace pivotta

namespace pivotta::msg {

inline constexpr const char* kCheckNoSOI = "JPEGファイルの開始のヘッダ($FFD8)を認識できません";
inline constexpr const char* kRotateNoSOI = "致命的エラー : JPEGファイルの開始のヘッダ($FFD8)を認識できません";
inline constexpr const char* kNotYCbCr = "この画像はYCbCr色空間の情報でないようです。";
inline constexpr const char* kCheckUnknownMarkerPrefix = "ヘッダ($";
inline constexpr const char* kCheckUnknownMarkerSuffix = ")を認識できませんでした。";
inline constexpr const char* kRotateUnknownMarkerPrefix = "致命的エラー : ヘッダ($";
inline constexpr const char* kRotateUnknownMarkerSuffix = ")を認識できません";
inline constexpr const char* kNoEOI = "致命的エラー : JPEGファイルの終了のヘッダ($FFD9)を認識できません";
inline constexpr const char* kMcuTrim =
    "画像のサイズがMCUの単位になっていません。回転処理を行うと、画像の端を切り取ります。";
inline constexpr const char* kMcuRagged =
    "画像のサイズがMCUの単位になっていません。回転処理を行うと、画像の端が正しく処理されません";
inline constexpr const char* kBadBlock = "ハフマンブロックが正しく読み出せませんでした。\r処理を終了します";

// Refusals of input outside the supported subset, so that nothing goes out of step silently.
inline constexpr const char* kBadHuffmanTable = "ハフマンテーブルが正しくありません。";
inline constexpr const char* kUndefinedHuffmanTable = "スキャンが使うハフマンテーブルがファイルに定義されていません。";
inline constexpr const char* kBadQuantTable = "量子化テーブルが正しくありません。";
inline constexpr const char* kBadFrameHeader = "フレームヘッダが正しくありません。";
inline constexpr const char* kBadScanHeader = "スキャンヘッダが正しくありません。";
inline constexpr const char* kBadRestartSegment = "リスタートインターバルの指定が正しくありません。";
inline constexpr const char* kFrameChanged = "画像のヘッダが確認したときと一致しません。";
inline constexpr const char* kScanTooShort = "画像データが画像のサイズに対して不足しています。";
inline constexpr const char* kOutOfMemory = "メモリが不足しているため処理できません。";
inline constexpr const char* kMissingCode = "ハフマンテーブルに必要な符号がないため符号化できません。";
inline constexpr const char* kBadKind = "変換の種類が正しくありません。";
inline constexpr const char* kMultiPictureSet =
    "立体写真やパノラマなど、複数の視点の画像をまとめたファイルは回転できません。";
inline constexpr const char* kDamagedPictureIndex = "マルチピクチャ形式の画像の索引が正しくありません。";
inline constexpr const char* kGainMapGrid =
    "ゲインマップのMCUの単位が主画像と合わないため、ゲインマップを劣化なしで回転できません。";
inline constexpr const char* kSecondaryPictureFailed = "ファイル内のゲインマップまたはプレビュー画像を変換できません。";
inline constexpr const char* kHeightInDnl = "画像の高さを後からDNLセグメントで指定するファイルには対応していません。";
inline constexpr const char* kTooManyComponents = "5つ以上の色成分を持つ画像には対応していません。";
inline constexpr const char* kBadScanScript = "スキャンの構成が正しくありません。";
inline constexpr const char* kThumbnailKept = "サムネイル画像を変換できないため、元のまま残します。";
inline constexpr const char* kOptimizedTables = "ハフマンテーブルが最適化されています。標準のテーブルで補完します。";

}  // namespace pivotta::msg
