// The registry store's encodings, checked against what the registry itself holds.
#include <windows.h>

#include <gtest/gtest.h>

#include "RegistryKey.h"
#include "WinTestSupport.h"

namespace pivotta::win32 {
namespace {

// A key of the tests' own, so that a run on a real machine leaves the user's settings alone.
constexpr wchar_t kTestKey[] = LR"(\Software\Tollemark\PivottaTest)";
constexpr wchar_t kTestKeyRelative[] = LR"(Software\Tollemark\PivottaTest)";

class RegistryKeyTest : public testing::Test {
protected:
    void SetUp() override { RegistryKey::DeleteTree(kTestKey); }
    void TearDown() override { RegistryKey::DeleteTree(kTestKey); }

    static void PutRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        wintest::PutRawValue(kTestKeyRelative, name, type, data, size);
    }
    static std::pair<DWORD, std::vector<uint8_t>> GetRaw(const wchar_t* name) {
        return wintest::GetRawValue(kTestKeyRelative, name);
    }
};

TEST_F(RegistryKeyTest, OpeningCreatesTheKeyAndAbsentValuesReadAsNothing) {
    RegistryKey key(kTestKey);
    ASSERT_TRUE(key.Open(false));
    EXPECT_FALSE(key.HasValue(L"App_Top"));
    EXPECT_EQ(key.ReadInteger(L"App_Top"), std::nullopt);
    EXPECT_EQ(key.ReadText(L"gSaveFolder"), std::nullopt);
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTestKeyRelative, 0, KEY_READ, &opened), ERROR_SUCCESS);
    RegCloseKey(opened);
}

TEST_F(RegistryKeyTest, IntegersAreSigned32BitDwords) {
    RegistryKey key(kTestKey);
    ASSERT_TRUE(key.Open(true));
    for (int32_t value : {0, 1, 5, -1, -216, INT32_MIN, INT32_MAX}) {
        ASSERT_TRUE(key.WriteInteger(L"App_Left", value));
        EXPECT_EQ(key.ReadInteger(L"App_Left"), value);
        const auto [type, data] = GetRaw(L"App_Left");
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        ASSERT_EQ(data.size(), 4u);
    }
}

TEST_F(RegistryKeyTest, TextIsRegSzWithItsNulAndReadsUpToTheFirstNul) {
    RegistryKey key(kTestKey);
    ASSERT_TRUE(key.Open(true));
    const std::wstring folder = L"D:\\写真\\結果";
    ASSERT_TRUE(key.WriteText(L"gSaveFolder", folder));
    const auto [type, data] = GetRaw(L"gSaveFolder");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data.size(), (folder.size() + 1) * sizeof(wchar_t)) << "the terminating NUL is stored";
    EXPECT_EQ(key.ReadText(L"gSaveFolder"), folder);
    ASSERT_TRUE(key.WriteText(L"gSaveFolder", L""));
    EXPECT_EQ(key.ReadText(L"gSaveFolder"), std::wstring());

    const wchar_t embedded[] = L"C:\\first\0second";
    PutRaw(L"gSaveFolder", REG_SZ, embedded, sizeof embedded);
    EXPECT_EQ(key.ReadText(L"gSaveFolder"), L"C:\\first");
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    PutRaw(L"gSaveFolder", REG_SZ, unterminated, sizeof unterminated);
    EXPECT_EQ(key.ReadText(L"gSaveFolder"), L"abc");
}

TEST_F(RegistryKeyTest, ExpandableTextIsReadUnexpanded) {
    const wchar_t text[] = L"%USERPROFILE%\\Pictures";
    PutRaw(L"gSaveFolder", REG_EXPAND_SZ, text, sizeof text);
    RegistryKey key(kTestKey);
    ASSERT_TRUE(key.Open(false));
    EXPECT_EQ(key.ReadText(L"gSaveFolder"), text);
}

TEST_F(RegistryKeyTest, ValuesOfAnotherTypeOrSizeAreRefusedByTheTypedReads) {
    const wchar_t text[] = L"12";
    const uint64_t wide = 12;
    const uint32_t dword = 12;
    const uint8_t two[] = {12, 0};
    PutRaw(L"AsText", REG_SZ, text, sizeof text);
    PutRaw(L"AsQword", REG_QWORD, &wide, sizeof wide);
    PutRaw(L"AsBinary", REG_BINARY, &dword, sizeof dword);
    PutRaw(L"AsShortDword", REG_DWORD, two, 0);
    PutRaw(L"AsDword", REG_DWORD, &dword, sizeof dword);
    RegistryKey key(kTestKey);
    ASSERT_TRUE(key.Open(false));
    for (const wchar_t* name : {L"AsText", L"AsQword", L"AsBinary", L"AsShortDword"}) {
        EXPECT_TRUE(key.HasValue(name));
        EXPECT_EQ(key.ReadInteger(name), std::nullopt) << "value " << static_cast<const void*>(name);
    }
    EXPECT_EQ(key.ReadText(L"AsDword"), std::nullopt);
    EXPECT_EQ(key.ReadText(L"AsBinary"), std::nullopt);
    EXPECT_EQ(key.ReadInteger(L"AsDword"), 12);
}

TEST_F(RegistryKeyTest, ThePathsLetterCaseAndLeadingBackslashDoNotMatter) {
    {
        RegistryKey key(kTestKey);
        ASSERT_TRUE(key.Open(true));
        ASSERT_TRUE(key.WriteInteger(L"App_WindowState", 2));
    }
    RegistryKey other(LR"(software\TOLLEMARK\pivottatest)");
    ASSERT_TRUE(other.Open(false));
    EXPECT_EQ(other.ReadInteger(L"app_windowstate"), 2);
}

TEST_F(RegistryKeyTest, AClosedKeyReadsNothingAndRefusesWrites) {
    RegistryKey key(kTestKey);
    EXPECT_FALSE(key.WriteInteger(L"App_Top", 1));
    ASSERT_TRUE(key.Open(true));
    key.Close();
    EXPECT_FALSE(key.HasValue(L"App_Top"));
    EXPECT_FALSE(key.WriteText(L"gSaveFolder", L"x"));
}

}  // namespace
}  // namespace pivotta::win32
