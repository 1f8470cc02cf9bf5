#include "AppResources.h"

#include <QtGlobal>

// Resource registration names a function of the global namespace.
static void RegisterProgramResources()
{
    Q_INIT_RESOURCE(pivotta);
}

namespace pivotta::app {

void InitAppResources()
{
    static const bool registered = [] {
        RegisterProgramResources();
        return true;
    }();
    (void)registered;
}

}  // namespace pivotta::app
