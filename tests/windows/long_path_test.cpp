// ExpandLongPath: every component as the file system lists it.
#include <windows.h>

#include <gtest/gtest.h>

#include "LongPathWin32.h"
#include "WideText.h"
#include "WinTestSupport.h"

namespace pivotta::win32 {
namespace {

using wintest::ScratchFolder;

std::string Narrow(const std::wstring& text) {
    return Utf8FromWide(text);
}

TEST(ExpandLongPathTest, ExistingComponentsTakeTheirListedSpelling) {
    ScratchFolder folder;
    ASSERT_TRUE(CreateDirectoryW((folder / L"Photos 2024").c_str(), nullptr));
    wintest::WriteBytes(folder / L"Photos 2024\\旅行の写真.JPG", {1});
    std::wstring typed = folder / L"PHOTOS 2024\\旅行の写真.jpg";
    EXPECT_EQ(Narrow(ExpandLongPath(typed)), Narrow(folder / L"Photos 2024\\旅行の写真.JPG"));
}

TEST(ExpandLongPathTest, ComponentsThatCannotBeFoundStayAsWritten) {
    ScratchFolder folder;
    ASSERT_TRUE(CreateDirectoryW((folder / L"Exists").c_str(), nullptr));
    EXPECT_EQ(Narrow(ExpandLongPath(folder / L"EXISTS\\Not There\\x.JPG")),
              Narrow(folder / L"Exists\\Not There\\x.JPG"));
    // A wildcard would make the search report some other file's name.
    wintest::WriteBytes(folder / L"Exists\\other.jpg", {1});
    EXPECT_EQ(Narrow(ExpandLongPath(folder / L"Exists\\*.jpg")), Narrow(folder / L"Exists\\*.jpg"));
}

TEST(ExpandLongPathTest, ShortAliasesBecomeLongNames) {
    ScratchFolder folder;
    const std::wstring longName = folder / L"A rather long folder name";
    ASSERT_TRUE(CreateDirectoryW(longName.c_str(), nullptr));
    wintest::WriteBytes(longName + L"\\picture with spaces.jpeg", {1});
    wchar_t shortPath[MAX_PATH];
    const DWORD length = GetShortPathNameW((longName + L"\\picture with spaces.jpeg").c_str(), shortPath, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::wstring alias(shortPath, length);
    if (alias.find(L'~') == std::wstring::npos) GTEST_SKIP() << "this volume makes no 8.3 aliases";
    EXPECT_EQ(Narrow(ExpandLongPath(alias)), Narrow(ExpandLongPath(longName + L"\\picture with spaces.jpeg")));
    EXPECT_NE(ExpandLongPath(alias).find(L"picture with spaces.jpeg"), std::wstring::npos);
}

TEST(ExpandLongPathTest, RelativePathsAreTakenFromTheCurrentFolder) {
    ScratchFolder folder;
    wintest::WriteBytes(folder / L"Here.jpg", {1});
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.Path().c_str()));
    const std::wstring expanded = ExpandLongPath(L"here.jpg");
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(Narrow(expanded), Narrow(ExpandLongPath(folder / L"Here.jpg")));
}

TEST(ExpandLongPathTest, StopsAtTheDriveAndTheServer) {
    EXPECT_EQ(ExpandLongPath(L"C:\\"), L"C:\\");
    EXPECT_EQ(ExpandLongPath(LR"(\\nosuchserver\share\dir\a.jpg)"), LR"(\\nosuchserver\share\dir\a.jpg)");
}

TEST(ExpandLongPathTest, PathsLongerThanMaxPathAreExpandedToo) {
    ScratchFolder folder;
    const std::wstring deep = wintest::MakeDeepFolder(folder.Path());
    wintest::WriteBytes(deep + L"\\Deep.jpg", {1});
    std::wstring typed = deep + L"\\DEEP.JPG";
    EXPECT_EQ(Narrow(ExpandLongPath(typed)), Narrow(deep + L"\\Deep.jpg"));
}

}  // namespace
}  // namespace pivotta::win32
