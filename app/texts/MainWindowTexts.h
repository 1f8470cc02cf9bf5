// The main window's menus, toolbar buttons and command captions.
#pragma once

#include <QString>

namespace pivotta::app {

namespace texts {

inline const QString kMenuFile = QStringLiteral("ﾌｧｲﾙ (&F)");
inline const QString kMenuFileOpen = QStringLiteral("ファイルを開く (&O)");
inline const QString kMenuFolderOpen = QStringLiteral("フォルダを開く");
inline const QString kMenuFileSaveAs = QStringLiteral("名前を付けて保存 (&A)...");
inline const QString kMenuFileSave = QStringLiteral("上書き保存 (&S)");
inline const QString kMenuFileClose = QStringLiteral("閉じる(&C)");
inline const QString kMenuFileOption = QStringLiteral("オプション ");
inline const QString kMenuFileExit = QStringLiteral("終了 (&X)");
inline const QString kMenuView = QStringLiteral("表示 (&V)");
inline const QString kMenuOperation = QStringLiteral("回転 (&O)");
inline const QString kMenuHelp = QStringLiteral("ヘルプ (&H)");
inline const QString kMenuHelpView = QStringLiteral("トピックの検索");
inline const QString kMenuHelpAbout = QStringLiteral("バージョン情報 (&A)");

// Tooltips of the toolbar's buttons that have no command row.
inline const QString kButtonFileOpen = QStringLiteral("ファイルを開く");
inline const QString kButtonFileSave = QStringLiteral("保存");

// The command tables' captions (UTF-8): menu items, tooltips and the status bar's "(…)".
inline constexpr char kCommandUnturned[] = "元に戻す (&1)";
inline constexpr char kCommandRotate90[] = "90度回転 (&2)";
inline constexpr char kCommandRotate180[] = "180度回転 (&3)";
inline constexpr char kCommandRotate270[] = "270度回転 (&4)";
inline constexpr char kCommandMirrorLR[] = "鏡面 (左右)";
inline constexpr char kCommandMirrorTB[] = "鏡面 (上下)";
inline constexpr char kCommandAutoOrient[] = "Exifの向きに合わせる (&5)";
inline constexpr char kCommandPrevious[] = "前のファイル";
inline constexpr char kCommandNext[] = "次のファイル";
inline constexpr char kCommandViewFitted[] = "ウインドウサイズにあわせる";

}  // namespace texts

}  // namespace pivotta::app
