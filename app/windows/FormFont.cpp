#include "FormFont.h"

#include <QStringList>

namespace pivotta::app {

QFont FormFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"), QStringLiteral("Noto Sans CJK JP"),
                      QStringLiteral("Noto Sans JP"), QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic")});
    font.setPixelSize(12);
    return font;
}

}  // namespace pivotta::app
