#include "AppResources.h"

#include <QtGlobal>

void InitAppResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(pivotta);
        return true;
    }();
    (void)registered;
}
