// The engine's message texts. Level-1 texts are warnings; all others are sent at level 2.
#pragma once

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
inline constexpr const char* kBadQuantTable = "量子化テーブルが正しくありません。";
inline constexpr const char* kBadFrameHeader = "フレームヘッダが正しくありません。";
inline constexpr const char* kBadScanHeader = "スキャンヘッダが正しくありません。";
inline constexpr const char* kBadRestartSegment = "リスタートインターバルの指定が正しくありません。";
inline constexpr const char* kFrameChanged = "画像のヘッダが確認したときと一致しません。";
inline constexpr const char* kScanTooShort = "画像データが画像のサイズに対して不足しています。";
inline constexpr const char* kOutOfMemory = "メモリが不足しているため処理できません。";
inline constexpr const char* kMissingCode = "ハフマンテーブルに必要な符号がないため符号化できません。";
inline constexpr const char* kBadKind = "変換の種類が正しくありません。";

}  // namespace pivotta::msg
