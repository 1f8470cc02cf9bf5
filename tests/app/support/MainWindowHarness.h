// The program's windows over a fake platform and a settings file of its own, with helpers
// that make the JPEG files the tests open.
#pragma once

#include <QString>
#include <QStringList>
#include <QAction>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "FakePlatform.h"
#include "ProgramWindows.h"
#include "SettingsStore.h"
#include "TFm_Main.h"
#include "TransformKind.h"

namespace pivotta::app {

class MainWindowHarness {
public:
    explicit MainWindowHarness(const QStringList& arguments = {});
    ~MainWindowHarness();

    TFm_Main& Window() { return windows_->Main; }
    ProgramWindows& Windows() { return *windows_; }
    FakePlatform platform;

    // The INI file that stands in for the registry key.
    QString SettingsPath() const;
    // Closes the window as the user would (its settings are written) and starts a new one.
    void Restart(const QStringList& arguments = {});
    // A new window without closing the old one (nothing written).
    void Recreate(const QStringList& arguments = {});

    QString Path(const QString& name) const;
    QString WriteFile(const QString& name, const std::vector<uint8_t>& bytes) const;

private:
    QTemporaryDir dir_;
    std::unique_ptr<QSettingsKey> key_;
    std::unique_ptr<ProgramWindows> windows_;
};

// A named part of a window, as a test looks it up; null when there is none.
template <typename Widget>
Widget* Part(QObject& window, const char* name)
{
    return window.findChild<Widget*>(QString::fromLatin1(name));
}

// A command of the main window (menu item, popup item or toolbar button) by its name.
inline QAction* Action(QObject& window, const char* name)
{
    auto* action = window.findChild<QAction*>(QString::fromLatin1(name));
    if (!action) qFatal("no command %s", name);
    return action;
}

// A baseline photo-like JPEG (4:2:0) of the given size.
std::vector<uint8_t> TestJpeg(int width, int height, uint32_t seed = 1);
std::vector<uint8_t> OptimizedJpeg(int width, int height);
// Headers intact, entropy-coded data cut after a few bytes and closed with EOI: the check
// accepts it, a transform fails.
std::vector<uint8_t> CutShortScan(const std::vector<uint8_t>& jpeg);
// The frame header names a quantization table that is never defined: the header reads
// fine, decoding for display fails.
std::vector<uint8_t> UndefinedQuantTable(const std::vector<uint8_t>& jpeg);

// What a fresh engine makes of jpeg under kind.
std::vector<uint8_t> EngineTransform(const std::vector<uint8_t>& jpeg, pivotta::TransformKind kind);

std::vector<uint8_t> ReadBytes(const QString& path);
std::vector<uint8_t> StreamBytes(const pivotta::TMemoryStream& stream);

}  // namespace pivotta::app
