// Loading and saving the options and the main window's placement: read once at start,
// written once at exit, under one key of the per-user store.
#pragma once

#include <QSettings>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "AppSettings.h"

namespace pivotta::app {

// Stored window state: 0 normal, 1 minimized, 2 maximized.
enum class StoredWindowState : int32_t { Normal = 0, Minimized = 1, Maximized = 2 };

struct WindowPlacement {
    // The main window's designed bounds.
    int32_t top = 164;
    int32_t left = 216;
    int32_t height = 483;
    int32_t width = 692;
    StoredWindowState state = StoredWindowState::Normal;
};

// One key of a registry-like store. Typed reads give nullopt for a value of another type.
class SettingsKey {
public:
    virtual ~SettingsKey() = default;
    // Opens the key, creating it when it does not exist; false when that fails.
    virtual bool Open(bool forWriting) = 0;
    virtual bool HasValue(const QString& name) = 0;
    virtual std::optional<int32_t> ReadInteger(const QString& name) = 0;
    virtual std::optional<QString> ReadText(const QString& name) = 0;
    virtual void WriteInteger(const QString& name, int32_t value) = 0;
    virtual void WriteText(const QString& name, const QString& value) = 0;
    virtual void Close() = 0;
};

// The key over QSettings: the registry on Windows, an INI file elsewhere.
class QSettingsKey : public SettingsKey {
public:
    explicit QSettingsKey(std::unique_ptr<QSettings> settings);
    ~QSettingsKey() override;

    bool Open(bool forWriting) override;
    bool HasValue(const QString& name) override;
    std::optional<int32_t> ReadInteger(const QString& name) override;
    std::optional<QString> ReadText(const QString& name) override;
    void WriteInteger(const QString& name, int32_t value) override;
    void WriteText(const QString& name, const QString& value) override;
    void Close() override;

private:
    std::unique_ptr<QSettings> settings_;
};

// HKEY_CURRENT_USER\Software\Tollemark\Pivotta on Windows; Tollemark/Pivotta.conf in the
// user's configuration folder elsewhere.
std::unique_ptr<QSettings> OpenUserSettings();

// Sets every default, then applies each stored value in turn. A value of the wrong type
// keeps its default and loading goes on.
void LoadSettings(SettingsKey& key, AppSettings& settings, WindowPlacement& placement);

// Writes the window state, the bounds only when the state is normal, then every option.
void SaveSettings(SettingsKey& key, const AppSettings& settings, const WindowPlacement& placement);

}  // namespace pivotta::app
