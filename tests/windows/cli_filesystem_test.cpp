// pivotta-cli's Win32 file-system layer: UTF-8 paths, FILETIME times, identities, devices.
#include <windows.h>

#include <gtest/gtest.h>

#include "FileSystem.h"
#include "FileTimes.h"
#include "WideText.h"
#include "WinTestSupport.h"

namespace pivotta::cli {
namespace {

using win32::Utf8FromWide;
using wintest::ScratchFolder;

const std::vector<uint8_t> kBytes = {0xFF, 0xD8, 0xFF, 0xD9};

TEST(CliFileSystemWin32Test, JapaneseAndLongPathsReadAndWriteWithTheirTimes) {
    ScratchFolder folder;
    const std::wstring deep = wintest::MakeDeepFolder(folder.Path());
    for (const std::wstring& wide : {folder / L"桜の写真.jpg", deep + L"\\深い.jpg"}) {
        const std::string path = Utf8FromWide(wide);
        const uint64_t write = 132'592'563'671'234'567, access = 132'592'563'681'234'561;
        wintest::WriteBytes(wide, kBytes);
        ASSERT_EQ(win32::SetRawFileTimes(wide, nullptr, &access, &write), 0u);

        const ReadResult read = ReadWholeFile(path);
        ASSERT_TRUE(read.ok) << read.error;
        EXPECT_EQ(std::vector<uint8_t>(read.bytes.begin(), read.bytes.end()), kBytes);
        ASSERT_TRUE(read.times);
        EXPECT_EQ(read.times->writeNanoseconds % 1000, 700) << "100 ns survive the conversion";

        const std::string copy = path.substr(0, path.size() - 4) + "_コピー.jpg";
        const WriteResult written = WriteFileAtomically(copy, read.bytes, &*read.times);
        ASSERT_TRUE(written.ok) << written.error;
        const auto times = win32::ReadRawFileTimes(win32::WideFromUtf8(copy));
        ASSERT_TRUE(times);
        EXPECT_EQ(times->lastWrite, write);
        EXPECT_EQ(times->lastAccess, access);
    }
}

TEST(CliFileSystemWin32Test, FoldersAndMissingFilesAreRefusedWithTheSystemsWords) {
    ScratchFolder folder;
    const ReadResult missing = ReadWholeFile(Utf8FromWide(folder / L"ない.jpg"));
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.empty());
    EXPECT_EQ(missing.error.find("error "), std::string::npos) << "a system text, not a bare number";
    const ReadResult directory = ReadWholeFile(Utf8FromWide(folder.Path()));
    EXPECT_FALSE(directory.ok);
    const WriteResult intoFolder = WriteFileAtomically(Utf8FromWide(folder.Path()), kBytes, nullptr);
    EXPECT_FALSE(intoFolder.ok);
    EXPECT_TRUE(folder.Names().empty());
}

TEST(CliFileSystemWin32Test, TheNulDeviceTakesWritesAndReadsEmpty) {
    ScratchFolder folder;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.Path().c_str()));
    const WriteResult written = WriteFileAtomically("NUL", kBytes, nullptr);
    const WriteResult lower = WriteFileAtomically("nul", kBytes, nullptr);
    const ReadResult read = ReadWholeFile("NUL");
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(written.ok) << written.error;
    EXPECT_TRUE(lower.ok) << lower.error;
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(read.bytes.empty());
    EXPECT_FALSE(read.times) << "a device has no file times to keep";
    EXPECT_TRUE(folder.Names().empty()) << "no file named NUL and no temporary file";
}

TEST(CliFileSystemWin32Test, OneFileHasOneIdentityWhateverItsSpelling) {
    ScratchFolder folder;
    ASSERT_TRUE(CreateDirectoryW((folder / L"Long folder name").c_str(), nullptr));
    const std::wstring file = folder / L"Long folder name\\Picture.jpg";
    wintest::WriteBytes(file, kBytes);
    const std::string key = IdentityKey(Utf8FromWide(file));
    EXPECT_EQ(IdentityKey(Utf8FromWide(folder / L"LONG FOLDER NAME\\picture.JPG")), key);
    EXPECT_EQ(IdentityKey(Utf8FromWide(folder / L"Long folder name\\.\\..\\Long folder name\\Picture.jpg")), key);
    wchar_t alias[MAX_PATH];
    const DWORD length = GetShortPathNameW(file.c_str(), alias, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        EXPECT_EQ(IdentityKey(Utf8FromWide(std::wstring(alias, length))), key);
    }

    EXPECT_NE(IdentityKey(Utf8FromWide(folder / L"Long folder name\\Other.jpg")), key);
    // Files still to be made compare by their spelling, letter case aside.
    EXPECT_EQ(IdentityKey(Utf8FromWide(folder / L"long FOLDER name\\New.jpg")),
              IdentityKey(Utf8FromWide(folder / L"Long folder name\\new.JPG")));
}

TEST(CliFileSystemWin32Test, PathsAreInspectedAsTheirKindWithTheirIdentity) {
    ScratchFolder folder;
    const std::wstring file = folder / L"Photo.jpg";
    wintest::WriteBytes(file, kBytes);
    EXPECT_EQ(InspectPath(Utf8FromWide(file)).kind, PathKind::Regular);
    EXPECT_EQ(InspectPath(Utf8FromWide(folder.Path())).kind, PathKind::Directory);
    EXPECT_EQ(InspectPath(Utf8FromWide(folder / L"none.jpg")).kind, PathKind::Missing);
    EXPECT_EQ(InspectPath("NUL").kind, PathKind::Special);
    EXPECT_EQ(InspectPath("CON").kind, PathKind::Special);
    EXPECT_TRUE(InspectPath(Utf8FromWide(file)).identity == InspectPath(Utf8FromWide(folder / L"PHOTO.JPG")).identity);
    EXPECT_FALSE(InspectPath(Utf8FromWide(file)).identity == InspectPath(Utf8FromWide(folder.Path())).identity);

    const WriteResult intoDevice = WriteIntoSpecialFile("NUL", kBytes);
    EXPECT_TRUE(intoDevice.ok) << intoDevice.error;
}

TEST(CliFileSystemWin32Test, ReadOnlyFilesAreWriteProtectedAndReplacedOnlyWhenAsked) {
    ScratchFolder folder;
    const std::wstring file = folder / L"保護.jpg";
    wintest::WriteBytes(file, {1, 2});
    EXPECT_EQ(CheckReplaceable(Utf8FromWide(file)).check, ReplaceCheck::Allowed);
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    const ReplaceVerdict verdict = CheckReplaceable(Utf8FromWide(file));
    EXPECT_EQ(verdict.check, ReplaceCheck::WriteProtected);
    EXPECT_FALSE(verdict.reason.empty());
    // The caller has settled it (--force): the file is replaced and stays read-only.
    const WriteResult forced = WriteFileAtomically(Utf8FromWide(file), kBytes, nullptr);
    ASSERT_TRUE(forced.ok) << forced.error;
    EXPECT_EQ(wintest::ReadBytes(file), kBytes);
    EXPECT_TRUE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(CheckReplaceable(Utf8FromWide(folder / L"new.jpg")).check, ReplaceCheck::Allowed);
}

TEST(CliFileSystemWin32Test, PathsAreUtf8ThroughTheirPortableHelpers) {
    ScratchFolder folder;
    const std::string dir = Utf8FromWide(folder / L"結果");
    ASSERT_TRUE(CreateDirectoryW(win32::WideFromUtf8(dir).c_str(), nullptr));
    EXPECT_TRUE(IsDirectory(dir));
    EXPECT_EQ(FileNameOf(dir + "\\写真.jpg"), "写真.jpg");
    EXPECT_EQ(JoinPath(dir, "写真.jpg"), dir + "\\写真.jpg");
}

}  // namespace
}  // namespace pivotta::cli
