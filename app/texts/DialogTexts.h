// The dialogs' titles, labels and buttons: options, Huffman warning, run information, About.
#pragma once

#include <QString>

namespace pivotta::app {

namespace texts {

inline const QString kCloseButton = QStringLiteral("閉じる");

inline const QString kOptionsTitle = QStringLiteral("オプションの設定");
inline const QString kOptionsWarnDht = QStringLiteral("「最適化されたハフマンテーブル」の警告を表示する。");
inline const QString kOptionsShowRunInfo = QStringLiteral("「複数ファイルの処理」の情報を表示する。");
inline const QString kOptionsAllowAdjustMcu =
    QStringLiteral("画像サイズがMCUの単位でない場合、画像の端をトリミングしてMCU単位に調整する。");
inline const QString kOptionsAllowBreakDcf = QStringLiteral("サムネイル画像の横回転を許す。");
inline const QString kOptionsAllowBreakDcfNote = QStringLiteral(" (DCFの規格外になります。一般的に実害はありません)");
inline const QString kOptionsResetOrientation = QStringLiteral("回転・反転したとき、Exifの向き情報を「標準(1)」にする");
inline const QString kOptionsKeepCreationTime = QStringLiteral("画像ファイルを保存する際、元のファイルの作成日付をコピーする。");
inline const QString kOptionsKeepWriteTime = QStringLiteral("画像ファイルを保存する際、元のファイルの更新日付をコピーする。");
inline const QString kOptionsOptimizeHuffman = QStringLiteral("ハフマンテーブルを最適化して保存する");
// "保存する形式: [choice]", in the order of the stored value.
inline const QString kOptionsOutputCoding = QStringLiteral("保存する形式：");
inline const QString kOptionsCodingAsInput = QStringLiteral("元の画像と同じ (プログレッシブ・算術符号化などを保つ)");
inline const QString kOptionsCodingBaseline = QStringLiteral("ベースライン");
inline const QString kOptionsCodingProgressive = QStringLiteral("プログレッシブ");
inline const QString kOptionsConfirmUnsaved = QStringLiteral("保存していない結果を閉じるときに確認する");
// "ツールバー上の [picture] ボタンを押すと、 [choice]".
inline const QString kOptionsSaveButtonHead = QStringLiteral("ツールバー上の");
inline const QString kOptionsSaveButtonTail = QStringLiteral("ボタンを押すと、");
inline const QString kOptionsSaveButtonSavesAs = QStringLiteral("名前をつけて保存する");
inline const QString kOptionsSaveButtonOverwrites = QStringLiteral("上書き保存する");
inline const QString kOptionsToolbarButtonHint = QStringLiteral("Pivottaの画面の上部に横に並んでいるボタンです。");
// The run group's caption leaves room for the Next button's picture with three ideographic spaces.
inline const QString kOptionsRunCaptionHead = QStringLiteral("複数ファイル処理モード時の、");
inline const QString kOptionsRunCaptionGap = QStringLiteral("\u3000\u3000\u3000");
inline const QString kOptionsRunCaptionTail = QStringLiteral("ボタンを押したときの動作。");
inline const QString kOptionsRunButtonHint = QStringLiteral("フォルダや複数のファイルを処理する場合に表示されるボタンです。");
inline const QString kOptionsSaveResult = QStringLiteral("処理結果を保存する。");
inline const QString kOptionsForceSave = QStringLiteral("回転しない場合でも保存する。");
inline const QString kOptionsFolderGroup = QStringLiteral(" 保存する場所 ");
inline const QString kOptionsSameFolder = QStringLiteral("同じフォルダ");
inline const QString kOptionsOtherFolder = QStringLiteral("指定したフォルダ");
inline const QString kOptionsBrowse = QStringLiteral("参照");
inline const QString kOptionsFolderChooserTitle = QStringLiteral("フォルダの選択");
inline const QString kOptionsDesktopFolder = QStringLiteral("デスクトップ");
inline const QString kOptionsFolderNote = QStringLiteral("指定したフォルダの中に結果を保存するフォルダを作ります。");
inline const QString kOptionsOk = QStringLiteral("OK");
inline const QString kOptionsCancel = QStringLiteral("ｷｬﾝｾﾙ");

inline const QString kDhtWarningTitle = QStringLiteral("警告 - 最適化されたハフマンテーブル -");
inline const QString kDhtWarningHeadline = QStringLiteral("ハフマンテーブルが最適化されています。");
inline const QString kDhtWarningAction = QStringLiteral("ハフマンテーブルを補完します。");
inline const QString kDhtWarningExplanation = QStringLiteral(
    "画像ファイル内のハフマンテーブルが\n"
    "すべてのビットパターンを表現していません。\n"
    "すべてのパターンを補完します。\n"
    "\n"
    "元画像と比べて若干の情報が附加されますが\n"
    "画像には影響を与えません。");
inline const QString kDhtWarningShowNextTime = QStringLiteral("次回もこの警告を表示する。");

// "複数のファイルが選択されました。" and the lines around the Next button and the options link.
inline const QString kRunInfoTitle = QStringLiteral("情報 - 複数ファイルの処理 -");
inline const QString kRunInfoLine1 = QStringLiteral("複数のファイルが選択されました。");
inline const QString kRunInfoLine2 = QStringLiteral("ボタンを押すと次のファイルが表示されます。");
inline const QString kRunInfoLine3 = QStringLiteral("ボタンを押した時点で保存も同時に行うことができます。");
inline const QString kRunInfoLine4 = QStringLiteral("同時に行う動作については、");
inline const QString kRunInfoOptionsLink = QStringLiteral("オプション");
inline const QString kRunInfoLine5 = QStringLiteral("で設定できます。");
inline const QString kRunInfoShowNextTime = QStringLiteral("次回もこの画面を表示する。");

inline const QString kAboutTitle = QStringLiteral("Pivottaについて...");
inline const QString kAboutCopyright = QStringLiteral("© 2026 Tollemark Pivotta project");

}  // namespace texts

}  // namespace pivotta::app
