// The main window's command tables, and the one function that derives every command's
// enabled and checked state from the state of the document on show.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

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
    kImageCount = 10,
};

struct TransformCommand {
    pivotta::TransformKind kind;
    const char* buttonName;
    const char* menuName;
    const char* caption;
    int image;
};

// In menu order; the first is the unturned picture.
inline constexpr std::array<TransformCommand, 6> kTransformCommands{{
    {pivotta::TransformKind::NoRotation, "tbn_0", "mnu_0", "元に戻す (&1)", kImageUnturned},
    {pivotta::TransformKind::Rotate90, "tbn_90", "mnu_90", "90度回転 (&2)", kImage90},
    {pivotta::TransformKind::Rotate180, "tbn_180", "mnu_180", "180度回転 (&3)", kImage180},
    {pivotta::TransformKind::Rotate270, "tbn_270", "mnu_270", "270度回転 (&4)", kImage270},
    {pivotta::TransformKind::MirrorLR, "tbn_mirror_lr", "mnu_Mirror_LR", "鏡面 (左右)", kImageMirrorLR},
    {pivotta::TransformKind::MirrorTB, "tbn_mirror_tb", "mnu_Mirror_TB", "鏡面 (上下)", kImageMirrorTB},
}};

// Applies the kind that the opened file's Exif Orientation tag asks for; one radio group with
// the transform commands, and no toolbar button.
inline constexpr const char* kAutoOrientMenuName = "mnu_AutoOrient";
inline constexpr const char* kAutoOrientCaption = "Exifの向きに合わせる (&5)";

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
