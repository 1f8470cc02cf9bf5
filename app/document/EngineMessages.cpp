#include "EngineMessages.h"

#include "AppTexts.h"

namespace pivotta::app {

std::optional<MessageBoxSpec> EngineMessageBox(const QString& text, int level)
{
    switch (level) {
    case 0:
        return MessageBoxSpec{texts::kAppTitle, text, MessageIcon::None, MessageButtons::Ok};
    case 1:
        return MessageBoxSpec{texts::kWarningCaption, text, MessageIcon::Warning, MessageButtons::Yes};
    case 2:
        return MessageBoxSpec{texts::kErrorCaption, text + u'\r' + texts::kCannotProcess, MessageIcon::Error,
                              MessageButtons::Yes};
    default:
        return std::nullopt;
    }
}

}  // namespace pivotta::app
