// How the engine's messages are shown: level 0 a plain box, 1 a warning, 2 an error that
// says the work cannot be done.
#pragma once

#include <QString>
#include <optional>

#include "Platform.h"

namespace pivotta::app {

// The box for an engine message, or nothing for a level without one.
std::optional<MessageBoxSpec> EngineMessageBox(const QString& text, int level);

}  // namespace pivotta::app
