#include "RegistrySettingsKey.h"

namespace pivotta::app {

std::optional<QString> RegistrySettingsKey::ReadText(const QString& name)
{
    const std::optional<std::wstring> text = key_.ReadText(name.toStdWString());
    if (!text) return std::nullopt;
    return QString::fromStdWString(*text);
}

}  // namespace pivotta::app
