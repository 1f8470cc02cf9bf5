// The settings key of the desktop program over the Win32 registry (Windows builds only).
#pragma once

#include "RegistryKey.h"
#include "SettingsStore.h"

namespace pivotta::app {

class RegistrySettingsKey : public SettingsKey {
public:
    RegistrySettingsKey() = default;

    bool Open(bool forWriting) override { return key_.Open(forWriting); }
    bool HasValue(const QString& name) override { return key_.HasValue(name.toStdWString()); }
    std::optional<int32_t> ReadInteger(const QString& name) override { return key_.ReadInteger(name.toStdWString()); }
    std::optional<QString> ReadText(const QString& name) override;
    void WriteInteger(const QString& name, int32_t value) override { key_.WriteInteger(name.toStdWString(), value); }
    void WriteText(const QString& name, const QString& value) override {
        key_.WriteText(name.toStdWString(), value.toStdWString());
    }
    void Close() override { key_.Close(); }

private:
    pivotta::win32::RegistryKey key_{pivotta::win32::kPivottaKeyPath};
};

}  // namespace pivotta::app
