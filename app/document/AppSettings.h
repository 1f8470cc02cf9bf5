// The persisted options, named like their stored values, with their first-run defaults.
#pragma once

#include <QString>

namespace pivotta::app {

struct AppSettings {
    bool gDHTWarning = true;
    bool gFolderProcessInfo = true;
    bool gSaveResult = true;
    bool gForceSave = true;
    bool gSaveSameFolder = false;
    QString gSaveFolder;  // empty: the desktop
    bool gKeepTimeStamp_Create = false;
    bool gKeepTimeStamp_Write = false;
    bool gToolBarSaveButtonIsSaveAs = true;
    bool gViewProportional = false;
    bool gAllowBreakDCF = false;
    bool gAllowAdjustMCU = true;    // trim a ragged edge rather than move it into the picture
    bool gResetOrientation = true;  // a transform sets the Exif Orientation tag to 1
    bool gConfirmUnsaved = true;    // ask before an unsaved result is closed
    bool gOptimizeHuffman = false;  // results get Huffman tables built for them, and no table warning
    int gOutputCoding = 0;          // 0 the input's coding, 1 baseline, 2 progressive

    friend bool operator==(const AppSettings&, const AppSettings&) = default;
};

}  // namespace pivotta::app
