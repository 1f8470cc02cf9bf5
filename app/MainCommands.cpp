#include "MainCommands.h"

namespace pivotta::app {

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
    for (const TransformCommand& command : kTransformCommands) {
        const bool down = command.kind == document.selection;
        states.push_back({command.buttonName, document.fileAccepted, down});
        // The menu's items follow the menu, which is enabled and disabled as a whole.
        states.push_back({command.menuName, true, down});
    }
    for (int view = 0; view < static_cast<int>(kViewCommands.size()); ++view) {
        const bool checked = view == document.view;
        states.push_back({kViewCommands[view].menuName, true, checked});
        states.push_back({kViewCommands[view].popupName, true, checked});
    }
    return states;
}

}  // namespace pivotta::app
