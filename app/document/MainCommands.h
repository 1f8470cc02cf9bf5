// The main window's command tables, and the one function that derives every command's
// enabled and checked state from the state of the document on show.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include <QtCore/qnamespace.h>

#include "TransformKind.h"

namespace pivotta::app {

// Indices into the toolbar's image list.
enum ImageIndex : int {
    kImageOpen = 0,
    kImageSave = 1,
    kImageUnturned = 2,
    kImage90 = 3,
    kImage180 = 4,
    kImage270 = 5,
    kImagePrevious = 6,
    kImageNext = 7,
    kImageMirrorLR = 8,
    kImageMirrorTB = 9,
    kImageAutoOrient = 10,
    kImageCount = 11,
};

// One row per transform command, in menu order: what it does, its toolbar button and menu
// item, its caption, picture and key (with Ctrl). The window's handlers come from these rows.
struct TransformCommand {
    pivotta::TransformKind kind;
    bool autoOrient;  // the kind is the one the file's Exif Orientation asks for, not kind
    const char* buttonName;
    const char* menuName;
    const char* caption;
    int image;
    Qt::Key key;
};

// The first is the unturned picture; auto-orient shares the radio group of the menu, and its
// button (not a toggle) leaves the applied kind's button down.
inline constexpr std::array<TransformCommand, 7> kTransformCommands{{
    {pivotta::TransformKind::NoRotation, false, "tbn_0", "mnu_0", "元に戻す (&1)", kImageUnturned, Qt::Key_1},
    {pivotta::TransformKind::Rotate90, false, "tbn_90", "mnu_90", "90度回転 (&2)", kImage90, Qt::Key_2},
    {pivotta::TransformKind::Rotate180, false, "tbn_180", "mnu_180", "180度回転 (&3)", kImage180, Qt::Key_3},
    {pivotta::TransformKind::Rotate270, false, "tbn_270", "mnu_270", "270度回転 (&4)", kImage270, Qt::Key_4},
    {pivotta::TransformKind::MirrorLR, false, "tbn_mirror_lr", "mnu_Mirror_LR", "鏡面 (左右)", kImageMirrorLR, Qt::Key_5},
    {pivotta::TransformKind::MirrorTB, false, "tbn_mirror_tb", "mnu_Mirror_TB", "鏡面 (上下)", kImageMirrorTB, Qt::Key_6},
    {pivotta::TransformKind::NoRotation, true, "tbn_AutoOrient", "mnu_AutoOrient", "Exifの向きに合わせる (&5)",
     kImageAutoOrient, Qt::Key_7},
}};

// Stepping through a run: the toolbar's buttons and their menu items, with two keys each.
struct RunCommand {
    int step;  // -1 Previous, +1 Next
    const char* buttonName;
    const char* menuName;
    const char* caption;
    int image;
    Qt::Key key;               // alone
    Qt::Key keyWithControl;
};

inline constexpr std::array<RunCommand, 2> kRunCommands{{
    {-1, "tbn_previous", "mnu_Previous", "前のファイル", kImagePrevious, Qt::Key_PageUp, Qt::Key_Left},
    {+1, "tbn_Next", "mnu_Next", "次のファイル", kImageNext, Qt::Key_PageDown, Qt::Key_Right},
}};

struct ViewCommand {
    const char* menuName;
    const char* popupName;
    const char* caption;
    int32_t numerator;  // 0 for the fitted view, which keeps the ratio
    int32_t denominator;
};

inline constexpr std::array<ViewCommand, 9> kViewCommands{{
    {"mnu_View20", "smu_20", "20%", 1, 5},
    {"mnu_View25", "smu_25", "25%", 1, 4},
    {"mnu_View33", "smu_33", "33%", 1, 3},
    {"mnu_View50", "smu_50", "50%", 1, 2},
    {"mnu_View75", "smu_75", "75%", 3, 4},
    {"mnu_View100", "smu_100", "100%", 1, 1},
    {"mnu_View150", "smu_150", "150%", 3, 2},
    {"mnu_View200", "smu_200", "200%", 2, 1},
    {"mnu_ViewProportional", "smu_Proportional", "ウインドウサイズにあわせる", 0, 0},
}};

inline constexpr int kView100 = 5;
inline constexpr int kViewProportional = 8;

struct DocumentState {
    bool fileAccepted = false;   // a file is on show and CheckJpeg accepted it
    bool resultSavable = false;  // ResultStream holds a whole picture, not a failed run's part
    pivotta::TransformKind selection = pivotta::TransformKind::NoRotation;
    bool autoOriented = false;   // the selection came from the auto-orient command
    uint32_t exifOrientation = 0;  // the file's Exif Orientation tag; 0 when it has none
    int view = kView100;         // index into kViewCommands
    bool multiFileMode = false;  // a run over several files is under way
};

struct CommandState {
    const char* name;  // the objectName of the command's action
    bool enabled;
    bool checked;
};

// The kind that makes the file on show upright, when its tag says it is not (2-8).
std::optional<pivotta::TransformKind> AutoOrientKind(const DocumentState& document);

// Every command whose state depends on the document, by name. Commands not listed (open,
// folder, options, exit, help) are always enabled.
std::vector<CommandState> DeriveCommandStates(const DocumentState& document);

}  // namespace pivotta::app
