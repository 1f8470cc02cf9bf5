// The form font of every window: "ＭＳ Ｐゴシック" 12 pixels high where it is installed,
// otherwise the Japanese fonts that stand in for it.
#pragma once

#include <QFont>

namespace pivotta::app {

QFont FormFont();

}  // namespace pivotta::app
