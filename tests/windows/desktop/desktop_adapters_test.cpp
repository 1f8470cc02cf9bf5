// The desktop program's Win32 adapters with Qt's types on one side and the real registry and
// file system on the other: the settings store loaded from and saved to a registry key, and
// the kept file times carried whole from one file to another through the window's seam.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "FileTimes.h"
#include "RegistryKey.h"
#include "RegistrySettingsKey.h"
#include "SettingsStore.h"
#include "WideText.h"
#include "Win32Platform.h"
#include "WinTestSupport.h"

namespace pivotta::app {
namespace {

// A key of the tests' own, so that a run on a real machine leaves the user's settings alone.
constexpr wchar_t kTestKey[] = LR"(\Software\Tollemark\PivottaDesktopTest)";
constexpr wchar_t kTestKeyRelative[] = LR"(Software\Tollemark\PivottaDesktopTest)";

const std::set<std::wstring> kIntegerValues{
    L"App_Top", L"App_Left", L"App_Height", L"App_Width", L"App_WindowState", L"gDHTWarning", L"gFolderProcessInfo",
    L"gSaveResult", L"gForceSave", L"gSaveSameFolder", L"gKeepTimeStamp_Create", L"gKeepTimeStamp_Write",
    L"gToolBarSaveButtonIsSaveAs", L"gViewProportional", L"gAllowBreakDCF", L"gAllowAdjustMCU",
    L"gResetOrientation"};

int32_t StoredInteger(const wchar_t* name) {
    const auto [type, data] = wintest::GetRawValue(kTestKeyRelative, name);
    EXPECT_EQ(type, static_cast<unsigned long>(REG_DWORD)) << win32::Utf8FromWide(name);
    int32_t value = 0;
    if (data.size() == sizeof value) memcpy(&value, data.data(), sizeof value);
    return value;
}

std::wstring StoredText(const wchar_t* name) {
    const auto [type, data] = wintest::GetRawValue(kTestKeyRelative, name);
    EXPECT_EQ(type, static_cast<unsigned long>(REG_SZ));
    EXPECT_EQ(data.size() % sizeof(wchar_t), 0u);
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    memcpy(text.data(), data.data(), data.size());
    // Written with its terminating NUL.
    EXPECT_TRUE(!text.empty() && text.back() == L'\0');
    if (!text.empty()) text.pop_back();
    return text;
}

std::set<std::wstring> StoredNames() {
    std::set<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kTestKeyRelative, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.insert(name);
    }
    RegCloseKey(key);
    return names;
}

class RegistrySettingsTest : public testing::Test {
protected:
    void SetUp() override { win32::RegistryKey::DeleteTree(kTestKey); }
    void TearDown() override { win32::RegistryKey::DeleteTree(kTestKey); }
};

TEST_F(RegistrySettingsTest, FirstRunCreatesTheKeyAndTheFirstCloseWritesEveryValue) {
    AppSettings settings;
    settings.gDHTWarning = false;
    WindowPlacement placement{1, 2, 3, 4, StoredWindowState::Minimized};
    {
        RegistrySettingsKey key(kTestKey);
        LoadSettings(key, settings, placement);
    }
    HKEY created = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTestKeyRelative, 0, KEY_READ, &created), ERROR_SUCCESS);
    RegCloseKey(created);
    EXPECT_TRUE(StoredNames().empty());
    EXPECT_TRUE(settings.gDHTWarning);
    EXPECT_EQ(placement.left, 216);

    {
        RegistrySettingsKey key(kTestKey);
        SaveSettings(key, settings, placement);
    }
    // Every value, each a REG_DWORD but the one text; options added later are integers too.
    const std::set<std::wstring> stored = StoredNames();
    EXPECT_TRUE(stored.count(L"gSaveFolder"));
    for (const std::wstring& name : kIntegerValues) EXPECT_TRUE(stored.count(name)) << win32::Utf8FromWide(name);
    for (const std::wstring& name : stored) {
        if (name != L"gSaveFolder") StoredInteger(name.c_str());
    }
    EXPECT_EQ(StoredInteger(L"App_Top"), 164);
    EXPECT_EQ(StoredInteger(L"App_Width"), 692);
    EXPECT_EQ(StoredInteger(L"gDHTWarning"), 1);
    EXPECT_EQ(StoredInteger(L"gSaveSameFolder"), 0);
    EXPECT_EQ(StoredText(L"gSaveFolder"), L"");
}

TEST_F(RegistrySettingsTest, EveryValueSurvivesARoundTripAsTheRegistryHoldsIt) {
    AppSettings written;
    written.gDHTWarning = false;
    written.gSaveSameFolder = true;
    written.gKeepTimeStamp_Create = true;
    written.gAllowAdjustMCU = true;
    // Japanese, and a character beyond the BMP (a surrogate pair in UTF-16).
    written.gSaveFolder = QStringLiteral(u"C:\\写真\\𠮷野家の結果");
    const WindowPlacement placement{-40, -3000, 111, 222, StoredWindowState::Normal};
    {
        RegistrySettingsKey key(kTestKey);
        SaveSettings(key, written, placement);
    }
    EXPECT_EQ(StoredText(L"gSaveFolder"), L"C:\\写真\\\U00020BB7野家の結果");
    EXPECT_EQ(StoredInteger(L"App_Left"), -3000);

    AppSettings read;
    WindowPlacement readPlacement;
    RegistrySettingsKey key(kTestKey);
    LoadSettings(key, read, readPlacement);
    EXPECT_EQ(read.gSaveFolder, written.gSaveFolder);
    EXPECT_FALSE(read.gDHTWarning);
    EXPECT_TRUE(read.gSaveSameFolder && read.gKeepTimeStamp_Create && read.gAllowAdjustMCU);
    EXPECT_FALSE(read.gAllowBreakDCF);
    EXPECT_EQ(readPlacement.top, -40);
    EXPECT_EQ(readPlacement.left, -3000);
    EXPECT_EQ(readPlacement.height, 111);
    EXPECT_EQ(readPlacement.width, 222);
}

TEST_F(RegistrySettingsTest, ValuesStoredByOthersReadAsTheirEncodingsSay) {
    const wchar_t top[] = L"300";
    const DWORD five = 5;
    const uint64_t wide = 700;
    const wchar_t expandable[] = L"%USERPROFILE%\\結果";
    wintest::PutRawValue(kTestKeyRelative, L"App_Top", REG_SZ, top, sizeof top);
    wintest::PutRawValue(kTestKeyRelative, L"App_Width", REG_QWORD, &wide, sizeof wide);
    wintest::PutRawValue(kTestKeyRelative, L"gDHTWarning", REG_DWORD, &five, sizeof five);
    wintest::PutRawValue(kTestKeyRelative, L"gSaveSameFolder", REG_DWORD, &five, sizeof five);
    wintest::PutRawValue(kTestKeyRelative, L"gSaveFolder", REG_EXPAND_SZ, expandable, sizeof expandable);

    AppSettings settings;
    settings.gDHTWarning = false;
    WindowPlacement placement;
    {
        RegistrySettingsKey key(kTestKey);
        LoadSettings(key, settings, placement);
    }
    // Values of another type keep their defaults, and loading goes on past them.
    EXPECT_EQ(placement.top, 164);
    EXPECT_EQ(placement.width, 692);
    EXPECT_TRUE(settings.gDHTWarning);
    EXPECT_TRUE(settings.gSaveSameFolder);
    EXPECT_EQ(settings.gSaveFolder, QStringLiteral("%USERPROFILE%\\結果"));

    {
        RegistrySettingsKey key(kTestKey);
        SaveSettings(key, settings, placement);
    }
    EXPECT_EQ(StoredInteger(L"gSaveSameFolder"), 1);
    EXPECT_EQ(StoredInteger(L"App_Top"), 164);
    EXPECT_EQ(StoredInteger(L"App_Width"), 692);
    EXPECT_EQ(StoredText(L"gSaveFolder"), L"%USERPROFILE%\\結果");
}

// 2021-03-03 14:46:07.1234567 and 1999-12-31 23:59:59.9999999 UTC: 100 ns counts that the
// window's millisecond seam cannot carry by itself.
constexpr uint64_t kWriteTime = 132'592'563'671'234'567;
constexpr uint64_t kCreationTime = 125'911'583'999'999'999;

TEST(Win32PlatformTest, KeptTimesReachTheSavedFileToThe100Nanoseconds) {
    wintest::ScratchFolder folder;
    const std::wstring opened = folder / L"開いた写真.jpg";
    const std::wstring saved = folder / L"保存した写真.jpg";
    wintest::WriteBytes(opened, {1, 2, 3});
    wintest::WriteBytes(saved, {4, 5, 6});
    const bool creationTimes = !wintest::RunningUnderWine();
    ASSERT_EQ(win32::SetRawFileTimes(opened, creationTimes ? &kCreationTime : nullptr, nullptr, &kWriteTime), 0u);
    const auto before = win32::ReadRawFileTimes(saved);
    ASSERT_TRUE(before);

    Win32Platform platform;
    const FileTimes times = platform.ReadFileTimes(QString::fromStdWString(opened));
    ASSERT_TRUE(times.lastWrite.isValid());
    EXPECT_EQ(times.lastWrite.toMSecsSinceEpoch(), (kWriteTime - 116'444'736'000'000'000) / 10'000);
    ASSERT_TRUE(platform.SetLastWriteTime(QString::fromStdWString(saved), times.lastWrite));
    auto after = win32::ReadRawFileTimes(saved);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->lastWrite, kWriteTime);
    if (!creationTimes) {
        GTEST_LOG_(INFO) << "wine keeps files on a Unix file system, which has no creation time to set";
        return;
    }
    EXPECT_EQ(after->creation, before->creation);
    ASSERT_TRUE(platform.SetCreationTime(QString::fromStdWString(saved), times.creation));
    after = win32::ReadRawFileTimes(saved);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->creation, kCreationTime);
    EXPECT_EQ(after->lastWrite, kWriteTime);
}

TEST(Win32PlatformTest, MissingFilesHaveNoTimesAndTakeNone) {
    wintest::ScratchFolder folder;
    const QString missing = QString::fromStdWString(folder / L"ない.jpg");
    Win32Platform platform;
    const FileTimes times = platform.ReadFileTimes(missing);
    EXPECT_FALSE(times.lastWrite.isValid());
    EXPECT_FALSE(times.creation.isValid());
    EXPECT_FALSE(platform.SetLastWriteTime(missing, QDateTime::currentDateTimeUtc()));
    EXPECT_FALSE(platform.SetCreationTime(missing, QDateTime::currentDateTimeUtc()));
    EXPECT_FALSE(wintest::Exists(folder / L"ない.jpg"));
}

}  // namespace
}  // namespace pivotta::app
