// The program's own fixed texts, shared by its windows and messages.
#pragma once

#include <QString>

namespace pivotta::app {

namespace texts {

inline const QString kAppTitle = QStringLiteral("JPEGファイル回転プログラム - Pivotta -");
// The title of a window with a file on show: the prefix ends with a blank.
inline const QString kTitlePrefix = kAppTitle + u' ';
inline const QString kStartInfo = QStringLiteral("ファイルやフォルダをドロップすると処理をはじめます。");
inline const QString kOverwriteQuestion = QStringLiteral("上書き保存します。よろしいですか？");
inline const QString kSaveChangesQuestion = QStringLiteral("変更を保存しますか？");
inline const QString kCannotCreateFile = QStringLiteral("ファイル %1 を作成できません");
inline const QString kCannotOpenFile = QStringLiteral("ファイル %1 を開けません");
inline const QString kJpegError = QStringLiteral("JPEG エラー #%1");
inline const QString kProcessingTime = QStringLiteral("処理時間  ");
inline const QString kMilliseconds = QStringLiteral("ミリ秒");
inline const QString kCannotProcess = QStringLiteral("処理を行うことが出来ません。");
inline const QString kWarningCaption = QStringLiteral("警告");
inline const QString kErrorCaption = QStringLiteral("エラー");
inline const QString kInformationCaption = QStringLiteral("情報");
inline const QString kAutoSize = QStringLiteral("(AutoSize)");
inline const QString kJpegFilter = QStringLiteral("JPEGファイル|*.JPG;*.JPEG");
inline const QString kDefaultExtension = QStringLiteral("JPG");
inline const QString kRunFinished = QStringLiteral("すべてのファイルの処理を終了しました");
// Where Next saves, as the run shows it: the folder in native form follows.
inline const QString kResultFolderLine = QStringLiteral("保存先: ");
inline const QString kResultsNotSaved = QStringLiteral("処理結果は保存しません。");
// The second line of a refusal: what the file is.
inline const QString kNotJpegKind = QStringLiteral("JPEGファイルではありません");
inline const QString kFourComponentKind = QStringLiteral("CMYKなど4成分のJPEGには対応していません");
inline const QString kProgressiveKind = QStringLiteral("プログレッシブJPEGには対応していません");
inline const QString kArithmeticKind = QStringLiteral("算術符号化のJPEGには対応していません");
inline const QString kLosslessKind = QStringLiteral("ロスレスJPEGには対応していません");
inline const QString kExtendedKind = QStringLiteral("拡張シーケンシャルJPEGには対応していません");
inline const QString kHierarchicalKind = QStringLiteral("階層型JPEGには対応していません");
inline const QString kSixteenBitTablesKind = QStringLiteral("16ビット精度の量子化テーブルには対応していません");
inline const QString kTwelveBitKind = QStringLiteral("8ビット以外の精度のJPEGには対応していません");
inline const QString kVersion = QStringLiteral("Version 1.09");

}  // namespace texts

}  // namespace pivotta::app
