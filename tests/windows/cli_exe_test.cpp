// pivotta-cli.exe as a user starts it: Japanese file names through the wide command line,
// single-file, -o and --in-place, messages as UTF-8 when redirected.
#include <windows.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "FileTimes.h"
#include "JpegRotation.h"
#include "MemoryStream.h"
#include "WideText.h"
#include "WinTestSupport.h"

namespace pivotta {
namespace {

using wintest::ScratchFolder;

struct ExeResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out, err;
};

std::wstring CliExe() {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, length);
    return folder.substr(0, folder.rfind(L'\\')) + L"\\pivotta-cli.exe";
}

// Quotes one argument the way CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& arg) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

HANDLE InheritableFile(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition, 0, nullptr);
}

// stdinPath empty: NUL.
ExeResult RunCli(const ScratchFolder& folder, const std::vector<std::wstring>& args, const std::wstring& stdinPath = {}) {
    std::wstring commandLine = Quoted(CliExe());
    for (const std::wstring& arg : args) commandLine += L" " + Quoted(arg);
    const std::wstring outPath = folder.Path() + L".out", errPath = folder.Path() + L".err";
    const HANDLE in = InheritableFile(stdinPath.empty() ? L"NUL" : stdinPath, GENERIC_READ, OPEN_EXISTING);
    const HANDLE out = InheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE err = InheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    ExeResult result;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.Path().c_str(),
                       &startup, &process)) {
        WaitForSingleObject(process.hProcess, 120'000);
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start pivotta-cli.exe: " << win32::SystemMessage(GetLastError());
    }
    for (HANDLE h : {in, out, err}) CloseHandle(h);
    const auto text = [](const std::wstring& path) {
        const std::vector<uint8_t> bytes = wintest::ReadBytes(path);
        DeleteFileW(path.c_str());
        return std::string(bytes.begin(), bytes.end());
    };
    result.out = text(outPath);
    result.err = text(errPath);
    return result;
}

std::vector<uint8_t> Transformed(const std::vector<uint8_t>& jpeg, TransformKind kind) {
    TJpegRotation engine;
    const TMemoryStream input(jpeg);
    TMemoryStream output;
    EXPECT_TRUE(engine.CheckJpeg(input) && engine.RotateJpeg(input, output, kind));
    return output.Bytes();
}

TEST(CliExeTest, JapaneseNamesRoundTripSingleFileOutputFolderAndInPlace) {
    ScratchFolder folder;
    // Whole MCUs, so that the result does not hang on how a ragged edge is handled; the camera
    // files are compared with the Linux build by tools/windows-tests.sh.
    const std::vector<uint8_t> picture = wintest::SmallJpeg();
    const std::wstring input = L"京都の紅葉.jpg";
    wintest::WriteBytes(folder / input, picture);

    ExeResult single = RunCli(folder, {L"-r", L"90", input, L"回転済み.jpg"});
    EXPECT_EQ(single.exitCode, 0u) << single.err;
    EXPECT_EQ(wintest::ReadBytes(folder / L"回転済み.jpg"), Transformed(picture, TransformKind::Rotate90));

    ASSERT_TRUE(CreateDirectoryW((folder / L"結果フォルダ").c_str(), nullptr));
    ExeResult toFolder = RunCli(folder, {L"-m", L"lr", L"-o", L"結果フォルダ", input});
    EXPECT_EQ(toFolder.exitCode, 0u) << toFolder.err;
    EXPECT_EQ(wintest::ReadBytes(folder / L"結果フォルダ\\京都の紅葉.jpg"), Transformed(picture, TransformKind::MirrorLR));

    ExeResult inPlace = RunCli(folder, {L"--in-place", L"-r", L"180", folder / input});
    EXPECT_EQ(inPlace.exitCode, 0u) << inPlace.err;
    EXPECT_EQ(wintest::ReadBytes(folder / input), Transformed(picture, TransformKind::Rotate180));
    EXPECT_EQ(folder.Names(), (std::vector<std::wstring>{L"京都の紅葉.jpg", L"回転済み.jpg", L"結果フォルダ"}))
        << "no temporary file is left";
}

TEST(CliExeTest, KeptTimesCarry100NanosecondsAndLongPathsWork) {
    ScratchFolder folder;
    const std::wstring deep = wintest::MakeDeepFolder(folder.Path());
    const std::vector<uint8_t> picture = wintest::SmallJpeg();
    wintest::WriteBytes(deep + L"\\深い所の写真.jpg", picture);
    const uint64_t write = 132'592'563'671'234'567, access = 132'592'563'681'234'561;
    ASSERT_EQ(win32::SetRawFileTimes(deep + L"\\深い所の写真.jpg", nullptr, &access, &write), 0u);

    ExeResult run = RunCli(folder, {L"-p", L"-r", L"270", deep + L"\\深い所の写真.jpg", deep + L"\\回転.jpg"});
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(wintest::ReadBytes(deep + L"\\回転.jpg"), Transformed(picture, TransformKind::Rotate270));
    const auto times = win32::ReadRawFileTimes(win32::ExtendedLengthPath(deep + L"\\回転.jpg"));
    ASSERT_TRUE(times);
    EXPECT_EQ(times->lastWrite, write);
}

TEST(CliExeTest, StandardStreamsCarryBinaryBytes) {
    ScratchFolder folder;
    const std::vector<uint8_t> picture = wintest::SmallJpeg();
    wintest::WriteBytes(folder / L"in.jpg", picture);
    ExeResult run = RunCli(folder, {L"-m", L"tb", L"-", L"-"}, folder / L"in.jpg");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const std::vector<uint8_t> expected = Transformed(picture, TransformKind::MirrorTB);
    // Its quantization tables hold line feeds, carriage returns and 0x1A, which a text-mode
    // stream would alter.
    for (uint8_t byte : {0x0A, 0x0D, 0x1A}) ASSERT_NE(std::find(expected.begin(), expected.end(), byte), expected.end());
    EXPECT_EQ(std::vector<uint8_t>(run.out.begin(), run.out.end()), expected);
}

TEST(CliExeTest, OneFileNamedTwiceIsTransformedOnceWhateverTheSpelling) {
    ScratchFolder folder;
    const std::vector<uint8_t> picture = wintest::SmallJpeg();
    wintest::WriteBytes(folder / L"同じ写真.jpg", picture);
    std::vector<std::wstring> args = {L"--in-place", L"-r", L"90", L"同じ写真.jpg", L"同じ写真.JPG", folder / L"同じ写真.jpg"};
    wchar_t alias[MAX_PATH];
    const DWORD length = GetShortPathNameW((folder / L"同じ写真.jpg").c_str(), alias, MAX_PATH);
    if (length > 0 && length < MAX_PATH) args.emplace_back(alias, length);
    ExeResult run = RunCli(folder, args);
    EXPECT_EQ(run.exitCode, 1u) << "the repeats are refused";
    EXPECT_EQ(wintest::ReadBytes(folder / L"同じ写真.jpg"), Transformed(picture, TransformKind::Rotate90));
}

TEST(CliExeTest, ReadOnlyFilesAreKeptUnlessForced) {
    ScratchFolder folder;
    const std::vector<uint8_t> picture = wintest::SmallJpeg();
    wintest::WriteBytes(folder / L"保護された.jpg", picture);
    ASSERT_TRUE(SetFileAttributesW((folder / L"保護された.jpg").c_str(), FILE_ATTRIBUTE_READONLY));
    ExeResult kept = RunCli(folder, {L"--in-place", L"-r", L"90", L"保護された.jpg"});
    EXPECT_EQ(kept.exitCode, 1u) << kept.err;
    EXPECT_EQ(wintest::ReadBytes(folder / L"保護された.jpg"), picture);
    ExeResult forced = RunCli(folder, {L"--in-place", L"-f", L"-r", L"90", L"保護された.jpg"});
    EXPECT_EQ(forced.exitCode, 0u) << forced.err;
    EXPECT_EQ(wintest::ReadBytes(folder / L"保護された.jpg"), Transformed(picture, TransformKind::Rotate90));
    EXPECT_TRUE(GetFileAttributesW((folder / L"保護された.jpg").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"保護された.jpg"});
}

TEST(CliExeTest, MessagesNameJapaneseFilesInUtf8) {
    ScratchFolder folder;
    wintest::WriteBytes(folder / L"写真.jpg", wintest::SmallJpeg());
    wintest::WriteBytes(folder / L"壊れた.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'J', 'P', 'E', 'G'});
    ExeResult check = RunCli(folder, {L"--check", L"写真.jpg", L"壊れた.jpg"});
    EXPECT_EQ(check.exitCode, 1u);
    EXPECT_NE(check.out.find("写真.jpg: ok 16x16"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("壊れた.jpg: failed"), std::string::npos) << check.out;
    EXPECT_NE(check.err.find("pivotta-cli: 壊れた.jpg: error: "), std::string::npos) << check.err;

    ExeResult missing = RunCli(folder, {L"-r", L"90", L"ない.jpg", L"出力.jpg"});
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_NE(missing.err.find("ない.jpg"), std::string::npos) << missing.err;
    EXPECT_FALSE(wintest::Exists(folder / L"出力.jpg"));
}

TEST(CliExeTest, AFailedTransformLeavesTheInputAndNoTemporaryFile) {
    ScratchFolder folder;
    std::vector<uint8_t> cut = wintest::SmallJpeg();
    cut.resize(cut.size() - 6);  // the scan ends early: refused only while transforming
    wintest::WriteBytes(folder / L"途中まで.jpg", cut);
    ExeResult run = RunCli(folder, {L"--in-place", L"-r", L"90", L"途中まで.jpg"});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(wintest::ReadBytes(folder / L"途中まで.jpg"), cut);
    EXPECT_EQ(folder.Names(), std::vector<std::wstring>{L"途中まで.jpg"});
}

}  // namespace
}  // namespace pivotta
