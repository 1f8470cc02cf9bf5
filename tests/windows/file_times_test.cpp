// Raw 100 ns file times, set one at a time through a FILE_WRITE_ATTRIBUTES handle.
#include <windows.h>

#include <gtest/gtest.h>

#include "FileTimes.h"
#include "WinTestSupport.h"

namespace pivotta::win32 {
namespace {

using wintest::ScratchFolder;

// 2021-03-03 14:46:07.1234567 and 1999-12-31 23:59:59.9999999 UTC: odd 100 ns counts that no
// millisecond or microsecond type could carry.
constexpr uint64_t kWriteTime = 132'592'563'671'234'567;
constexpr uint64_t kCreationTime = 125'911'583'999'999'999;

TEST(FileTimesTest, LastWriteTimeIsSetAloneTo100Nanoseconds) {
    ScratchFolder folder;
    const std::wstring path = folder / L"写真.jpg";
    wintest::WriteBytes(path, {1, 2, 3});
    const auto before = ReadRawFileTimes(path);
    ASSERT_TRUE(before);
    ASSERT_EQ(SetRawFileTimes(path, nullptr, nullptr, &kWriteTime), 0u);
    const auto after = ReadRawFileTimes(path);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->lastWrite, kWriteTime);
    // Wine reports a Unix file's last status change as its creation time.
    if (!wintest::RunningUnderWine()) {
        EXPECT_EQ(after->creation, before->creation);
    }
}

TEST(FileTimesTest, CreationTimeIsSetAlone) {
    if (wintest::RunningUnderWine())
        GTEST_SKIP() << "wine keeps files on a Unix file system, which has no creation time to set";
    ScratchFolder folder;
    const std::wstring path = folder / L"a.jpg";
    wintest::WriteBytes(path, {1});
    ASSERT_EQ(SetRawFileTimes(path, nullptr, nullptr, &kWriteTime), 0u);
    ASSERT_EQ(SetRawFileTimes(path, &kCreationTime, nullptr, nullptr), 0u);
    const auto after = ReadRawFileTimes(path);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->creation, kCreationTime);
    EXPECT_EQ(after->lastWrite, kWriteTime);
}

TEST(FileTimesTest, AFileOthersHaveOpenCanStillBeStamped) {
    ScratchFolder folder;
    const std::wstring path = folder / L"open.jpg";
    wintest::WriteBytes(path, {1});
    const HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetRawFileTimes(path, nullptr, nullptr, &kWriteTime), 0u);
    CloseHandle(reader);
    EXPECT_EQ(ReadRawFileTimes(path)->lastWrite, kWriteTime);
}

TEST(FileTimesTest, AMissingFileIsReportedNotStamped) {
    ScratchFolder folder;
    uint32_t error = 0;
    EXPECT_FALSE(ReadRawFileTimes(folder / L"missing.jpg", &error));
    EXPECT_EQ(error, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(SetRawFileTimes(folder / L"missing.jpg", nullptr, nullptr, &kWriteTime),
              static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(folder.Names().size(), 0u) << "stamping must not create the file";
}

TEST(FileTimesTest, PathsLongerThanMaxPathWork) {
    ScratchFolder folder;
    const std::wstring path = wintest::MakeDeepFolder(folder.Path()) + L"\\deep.jpg";
    ASSERT_GT(path.size(), static_cast<size_t>(MAX_PATH));
    wintest::WriteBytes(path, {1});
    ASSERT_EQ(SetRawFileTimes(path, nullptr, nullptr, &kWriteTime), 0u);
    EXPECT_EQ(ReadRawFileTimes(path)->lastWrite, kWriteTime);
}

TEST(FileTimesTest, TimesPassingAsMillisecondsComeBackWhole) {
    FileTimeMemory memory;
    const int64_t read = memory.Remember(kWriteTime);
    EXPECT_EQ(read, 1'614'782'767'123) << "2021-03-03 14:46:07.123 UTC";
    EXPECT_EQ(memory.Recall(read), kWriteTime);
    EXPECT_EQ(memory.Recall(read + 1), kWriteTime - 1'234'567 + 1'240'000) << "a time never read: its own ticks";
    EXPECT_EQ(memory.Recall(0), 116'444'736'000'000'000u) << "1970 in FILETIME";
}

}  // namespace
}  // namespace pivotta::win32
