// The program's windows in the order it creates them at start: the main window, then,
// hidden until asked for, the options, the multi-file information, the About box and the
// Huffman-table warning. Each dialog lives until exit and is wired to the main window.
#pragma once

#include <QStringList>

#include "TFm_DHTWarning.h"
#include "TFm_FolderProcessInfo.h"
#include "TFm_Help.h"
#include "TFm_Main.h"
#include "TFm_Options.h"

namespace pivotta::app {

class Platform;
class SettingsKey;

class ProgramWindows {
public:
    // arguments: the command line without the program's own path.
    ProgramWindows(Platform& platform, SettingsKey& settingsKey, QStringList arguments);

    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Declared in creation order; the dialogs are the main window's children.
    TFm_Main Main;
    TFm_Options Options;
    TFm_FolderProcessInfo FolderProcessInfo;
    TFm_Help Help;
    TFm_DHTWarning DHTWarning;
};

}  // namespace pivotta::app
