// The program's pictures (toolbar icons, program icon) compiled into the application library.
#pragma once

namespace pivotta::app {

// Registers them; a static library's resources do not register themselves. Safe to repeat.
void InitAppResources();

}  // namespace pivotta::app
