// The program's pictures (toolbar icons, program icon) compiled into the application library.
#pragma once

// Registers them; a static library's resources do not register themselves. Safe to repeat.
void InitAppResources();
