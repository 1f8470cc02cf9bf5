// The atomic save shared by the desktop program and pivotta-cli.
#include <windows.h>

#include <gtest/gtest.h>

#include "AtomicReplace.h"
#include "FileTimes.h"
#include "WideText.h"
#include "WinTestSupport.h"

namespace pivotta::win32 {
namespace {

using wintest::ScratchFolder;

const std::vector<uint8_t> kOld = {1, 2, 3, 4, 5, 6, 7, 8};
const std::vector<uint8_t> kNew = {9, 8, 7};

uint32_t Save(const std::wstring& path, const std::vector<uint8_t>& bytes, const AtomicWrite& options = {}) {
    return WriteFileAtomically(path, bytes.data(), bytes.size(), options);
}

TEST(AtomicReplaceTest, NewAndReplacedFilesHoldTheBytesAndNoTemporaryIsLeft) {
    ScratchFolder folder;
    const std::wstring path = folder / L"回転した写真.jpg";
    std::wstring seen;
    AtomicWrite options;
    options.onTemporary = [&seen](const std::wstring& temporary) {
        if (!temporary.empty()) seen = temporary;
    };
    ASSERT_EQ(Save(path, kOld, options), 0u);
    EXPECT_EQ(wintest::ReadBytes(path), kOld);
    ASSERT_EQ(Save(path, kNew, options), 0u);
    EXPECT_EQ(wintest::ReadBytes(path), kNew);
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"回転した写真.jpg"});
    EXPECT_NE(seen.find(folder.Path()), std::wstring::npos) << "the temporary lies in the target's folder";
    EXPECT_FALSE(wintest::Exists(seen));
}

TEST(AtomicReplaceTest, RelativeAndLongTargetsWork) {
    ScratchFolder folder;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.Path().c_str()));
    const uint32_t bare = Save(L"bare.jpg", kOld);  // ReplaceFileW itself refuses bare names
    const uint32_t bareAgain = Save(L"bare.jpg", kNew);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(bare, 0u);
    EXPECT_EQ(bareAgain, 0u);
    EXPECT_EQ(wintest::ReadBytes(folder / L"bare.jpg"), kNew);

    const std::wstring deep = wintest::MakeDeepFolder(folder.Path()) + L"\\deep.jpg";
    ASSERT_EQ(Save(deep, kOld), 0u);
    ASSERT_EQ(Save(deep, kNew), 0u);
    EXPECT_EQ(wintest::ReadBytes(deep), kNew);
}

TEST(AtomicReplaceTest, TimesAreGivenBeforeTheFileTakesTheTargetsPlace) {
    ScratchFolder folder;
    const std::wstring path = folder / L"stamped.jpg";
    const uint64_t write = 132'592'563'671'234'567, access = 132'592'563'681'234'567;
    AtomicWrite options;
    options.lastWrite = &write;
    options.lastAccess = &access;
    ASSERT_EQ(Save(path, kOld, options), 0u);
    EXPECT_EQ(ReadRawFileTimes(path)->lastWrite, write);
    ASSERT_EQ(Save(path, kNew, options), 0u);
    EXPECT_EQ(ReadRawFileTimes(path)->lastWrite, write);
}

TEST(AtomicReplaceTest, AReplacedFileKeepsItsCreationTime) {
    if (wintest::RunningUnderWine())
        GTEST_SKIP() << "wine keeps files on a Unix file system, which has no creation time to keep";
    ScratchFolder folder;
    const std::wstring path = folder / L"kept.jpg";
    wintest::WriteBytes(path, kOld);
    const uint64_t creation = 125'911'583'999'999'999;
    ASSERT_EQ(SetRawFileTimes(path, &creation, nullptr, nullptr), 0u);
    ASSERT_EQ(Save(path, kNew), 0u);
    EXPECT_EQ(ReadRawFileTimes(path)->creation, creation);
}

TEST(AtomicReplaceTest, ReadOnlyTargetsAreRefusedUnlessAskedAndStayReadOnly) {
    ScratchFolder folder;
    const std::wstring path = folder / L"protected.jpg";
    wintest::WriteBytes(path, kOld);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Save(path, kNew), static_cast<uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(wintest::ReadBytes(path), kOld);
    AtomicWrite force;
    force.replaceReadOnly = true;
    ASSERT_EQ(Save(path, kNew, force), 0u);
    EXPECT_EQ(wintest::ReadBytes(path), kNew);
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(folder.Names().size(), 1u);
}

TEST(AtomicReplaceTest, FailuresLeaveTheTargetAndNoTemporary) {
    ScratchFolder folder;
    ASSERT_TRUE(CreateDirectoryW((folder / L"a folder").c_str(), nullptr));
    EXPECT_EQ(Save(folder / L"a folder", kNew), kErrorIsFolder);
    EXPECT_NE(Save(folder / L"no such folder\\x.jpg", kNew), 0u);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.Path().c_str()));
    const uint32_t device = Save(L"NUL", kNew);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(device, static_cast<uint32_t>(ERROR_INVALID_NAME));
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"a folder"});

    // A target held open without delete sharing cannot be replaced: it keeps its bytes.
    const std::wstring busy = folder / L"busy.jpg";
    wintest::WriteBytes(busy, kOld);
    const HANDLE holder = CreateFileW(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const uint32_t error = Save(busy, kNew);
    CloseHandle(holder);
    if (error != 0 || !wintest::RunningUnderWine()) {
        EXPECT_NE(error, 0u);
        EXPECT_EQ(wintest::ReadBytes(busy), kOld);
    }
    std::vector<std::wstring> names = folder.Names();
    // Wine's ReplaceFileW leaves a backup of its own ("rfNNNN.tmp") when it fails; Windows does not.
    if (wintest::RunningUnderWine())
        std::erase_if(names, [](const std::wstring& name) { return name.starts_with(L"rf") && name.ends_with(L".tmp"); });
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a folder", L"busy.jpg"})) << "no temporary file is left";
}

}  // namespace
}  // namespace pivotta::win32
