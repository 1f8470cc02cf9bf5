#include "MainCommands.h"

namespace pivotta::app {

std::optional<pivotta::TransformKind> AutoOrientKind(const DocumentState& document)
{
    if (!document.fileAccepted) return std::nullopt;
    const std::optional<pivotta::TransformKind> kind = pivotta::UprightKind(document.exifOrientation);
    if (kind == pivotta::TransformKind::NoRotation) return std::nullopt;
    return kind;
}

std::vector<CommandState> DeriveCommandStates(const DocumentState& document)
{
    const bool canSave = document.fileAccepted && document.resultSavable;
    std::vector<CommandState> states{
        {"tbn_FileSave", canSave, false},
        {"mnu_FileSaveAs", canSave, false},
        {"mnu_FileSave", canSave, false},
        {"mnu_FileClose", document.fileAccepted, false},
        {"mnu_Operation", document.fileAccepted, false},
    };
    const bool canAutoOrient = AutoOrientKind(document).has_value();
    for (const TransformCommand& command : kTransformCommands) {
        if (command.autoOrient) {
            states.push_back({command.buttonName, canAutoOrient, false});
            states.push_back({command.menuName, canAutoOrient, document.autoOriented});
            continue;
        }
        const bool applied = command.kind == document.selection;
        // The button shows the picture's state, the auto-oriented one too.
        states.push_back({command.buttonName, document.fileAccepted, applied});
        // The menu's items follow the menu, which is enabled and disabled as a whole.
        states.push_back({command.menuName, true, applied && !document.autoOriented});
    }
    for (const RunCommand& command : kRunCommands) states.push_back({command.menuName, document.multiFileMode, false});
    for (int view = 0; view < static_cast<int>(kViewCommands.size()); ++view) {
        const bool checked = view == document.view;
        states.push_back({kViewCommands[view].menuName, true, checked});
        states.push_back({kViewCommands[view].popupName, true, checked});
    }
    return states;
}

}  // namespace pivotta::app
