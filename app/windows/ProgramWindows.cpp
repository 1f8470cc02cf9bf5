#include "ProgramWindows.h"

namespace pivotta::app {

ProgramWindows::ProgramWindows(Platform& platform, SettingsKey& settingsKey, QStringList arguments)
    : Main(platform, settingsKey, std::move(arguments)),
      Options(Main.Settings, platform, &Main),
      FolderProcessInfo(&Options, &Main),
      Help(&Main),
      DHTWarning(&Main)
{
    Main.OptionsDialog = [this] { Options.exec(); };
    Main.AboutBox = [this] { Help.exec(); };
    Main.DHTWarningDialog = [this](bool showNextTime) { return DHTWarning.ShowDialog(showNextTime); };
    Main.FolderProcessInfoDialog = [this](bool showNextTime, const std::function<QString()>& resultFolder) {
        return FolderProcessInfo.ShowDialog(showNextTime, resultFolder);
    };
}

}  // namespace pivotta::app
