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

    friend bool operator==(const AppSettings&, const AppSettings&) = default;
};

}  // namespace pivotta::app
