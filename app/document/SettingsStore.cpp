#include "SettingsStore.h"

#include <QSettings>
#include <QStandardPaths>
#include <array>
#include <variant>

namespace pivotta::app {

namespace {

using BoolField = bool AppSettings::*;
using TextField = QString AppSettings::*;
// An integer that names one of `choices` values, 0 to choices - 1; any other reads as 0.
struct ChoiceField {
    int AppSettings::*field;
    int choices;
};

struct OptionEntry {
    const char* name;
    std::variant<BoolField, TextField, ChoiceField> field;
};

// Reading and writing order alike.
const std::array<OptionEntry, 16> kOptions{{
    {"gDHTWarning", &AppSettings::gDHTWarning},
    {"gFolderProcessInfo", &AppSettings::gFolderProcessInfo},
    {"gSaveResult", &AppSettings::gSaveResult},
    {"gForceSave", &AppSettings::gForceSave},
    {"gSaveSameFolder", &AppSettings::gSaveSameFolder},
    {"gSaveFolder", &AppSettings::gSaveFolder},
    {"gKeepTimeStamp_Create", &AppSettings::gKeepTimeStamp_Create},
    {"gKeepTimeStamp_Write", &AppSettings::gKeepTimeStamp_Write},
    {"gToolBarSaveButtonIsSaveAs", &AppSettings::gToolBarSaveButtonIsSaveAs},
    {"gViewProportional", &AppSettings::gViewProportional},
    {"gAllowBreakDCF", &AppSettings::gAllowBreakDCF},
    {"gAllowAdjustMCU", &AppSettings::gAllowAdjustMCU},
    {"gResetOrientation", &AppSettings::gResetOrientation},
    {"gConfirmUnsaved", &AppSettings::gConfirmUnsaved},
    {"gOptimizeHuffman", &AppSettings::gOptimizeHuffman},
    {"gOutputCoding", ChoiceField{&AppSettings::gOutputCoding, 3}},
}};

void ReadInteger(SettingsKey& key, const char* name, int32_t& target)
{
    const QString valueName = QString::fromLatin1(name);
    if (!key.HasValue(valueName)) return;
    if (const auto value = key.ReadInteger(valueName)) target = *value;
}

StoredWindowState ToWindowState(int32_t stored)
{
    switch (stored) {
    case 1: return StoredWindowState::Minimized;
    case 2: return StoredWindowState::Maximized;
    default: return StoredWindowState::Normal;  // 0, and values with no meaning
    }
}

void ReadOption(SettingsKey& key, const OptionEntry& option, AppSettings& settings)
{
    const QString valueName = QString::fromLatin1(option.name);
    if (!key.HasValue(valueName)) return;
    if (const auto* boolField = std::get_if<BoolField>(&option.field)) {
        if (const auto value = key.ReadInteger(valueName)) settings.*(*boolField) = *value != 0;
    } else if (const auto* choice = std::get_if<ChoiceField>(&option.field)) {
        if (const auto value = key.ReadInteger(valueName))
            settings.*(choice->field) = *value >= 0 && *value < choice->choices ? *value : 0;
    } else if (const auto value = key.ReadText(valueName)) {
        settings.*std::get<TextField>(option.field) = *value;
    }
}

void WriteOption(SettingsKey& key, const OptionEntry& option, const AppSettings& settings)
{
    const QString valueName = QString::fromLatin1(option.name);
    if (const auto* boolField = std::get_if<BoolField>(&option.field)) {
        key.WriteInteger(valueName, settings.*(*boolField) ? 1 : 0);
    } else if (const auto* choice = std::get_if<ChoiceField>(&option.field)) {
        key.WriteInteger(valueName, settings.*(choice->field));
    } else {
        key.WriteText(valueName, settings.*std::get<TextField>(option.field));
    }
}

}  // namespace

QSettingsKey::QSettingsKey(std::unique_ptr<QSettings> settings) : settings_(std::move(settings)) {}

QSettingsKey::~QSettingsKey() = default;

bool QSettingsKey::Open(bool forWriting)
{
    if (settings_->status() != QSettings::NoError) return false;
    return !forWriting || settings_->isWritable();
}

bool QSettingsKey::HasValue(const QString& name)
{
    return settings_->contains(name);
}

std::optional<int32_t> QSettingsKey::ReadInteger(const QString& name)
{
    const QVariant value = settings_->value(name);
    switch (value.typeId()) {
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::UInt:  // a DWORD above 2^31 reads as a negative signed value
        return static_cast<int32_t>(value.toUInt());
    case QMetaType::QString: {
        // INI files hold every value as text.
        bool ok = false;
        const int32_t number = value.toString().toInt(&ok, 10);
        if (ok) return number;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QString> QSettingsKey::ReadText(const QString& name)
{
    const QVariant value = settings_->value(name);
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    QString text = value.toString();
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0) text.truncate(nul);
    return text;
}

void QSettingsKey::WriteInteger(const QString& name, int32_t value)
{
    settings_->setValue(name, static_cast<int>(value));
}

void QSettingsKey::WriteText(const QString& name, const QString& value)
{
    settings_->setValue(name, value);
}

void QSettingsKey::Close()
{
    settings_->sync();
}

std::unique_ptr<QSettings> OpenUserSettings()
{
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\Tollemark\\Pivotta"),
                                       QSettings::NativeFormat);
#else
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::make_unique<QSettings>(folder + QStringLiteral("/Tollemark/Pivotta.conf"), QSettings::IniFormat);
#endif
}

void LoadSettings(SettingsKey& key, AppSettings& settings, WindowPlacement& placement)
{
    settings = AppSettings{};
    placement = WindowPlacement{};
    if (!key.Open(false)) return;
    ReadInteger(key, "App_Top", placement.top);
    ReadInteger(key, "App_Left", placement.left);
    ReadInteger(key, "App_Height", placement.height);
    ReadInteger(key, "App_Width", placement.width);
    int32_t state = static_cast<int32_t>(placement.state);
    ReadInteger(key, "App_WindowState", state);
    placement.state = ToWindowState(state);
    for (const OptionEntry& option : kOptions) ReadOption(key, option, settings);
    key.Close();
}

void SaveSettings(SettingsKey& key, const AppSettings& settings, const WindowPlacement& placement)
{
    if (!key.Open(true)) return;
    key.WriteInteger(QStringLiteral("App_WindowState"), static_cast<int32_t>(placement.state));
    if (placement.state == StoredWindowState::Normal) {
        key.WriteInteger(QStringLiteral("App_Top"), placement.top);
        key.WriteInteger(QStringLiteral("App_Left"), placement.left);
        key.WriteInteger(QStringLiteral("App_Height"), placement.height);
        key.WriteInteger(QStringLiteral("App_Width"), placement.width);
    }
    for (const OptionEntry& option : kOptions) WriteOption(key, option, settings);
    key.Close();
}

}  // namespace pivotta::app
