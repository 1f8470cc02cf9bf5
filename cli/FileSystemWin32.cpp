// Windows side of pivotta-cli's own file services: wide-character Win32 calls on UTF-8 paths,
// FILETIME times, console text as UTF-16. The atomic save lives in common/.
#include "FileSystem.h"

// windows.h first: shellapi.h builds on its types.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>

#include "FileTimes.h"
#include "LongPathWin32.h"
#include "UniqueHandle.h"
#include "WholeRead.h"
#include "WideText.h"

namespace pivotta::cli {
namespace {

using win32::ExtendedLengthPath;
using win32::kErrorIsFolder;
using win32::UniqueHandle;
using win32::Utf8FromWide;
using win32::WideFromUtf8;

// FILETIME counts 100 ns from 1601; FileTimes counts from 1970.
constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

void ToUnixTime(uint64_t ticks, int64_t& seconds, int64_t& nanoseconds) {
    const int64_t fromUnixEpoch = static_cast<int64_t>(ticks) - kSecondsFrom1601To1970 * kTicksPerSecond;
    seconds = fromUnixEpoch / kTicksPerSecond;
    int64_t rest = fromUnixEpoch % kTicksPerSecond;
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    nanoseconds = rest * 100;
}

FileTimes TimesOf(const win32::RawFileTimes& raw) {
    FileTimes times;
    ToUnixTime(raw.lastAccess, times.accessSeconds, times.accessNanoseconds);
    ToUnixTime(raw.lastWrite, times.writeSeconds, times.writeNanoseconds);
    return times;
}

std::string ErrorText(DWORD error) {
    return win32::SystemMessage(error);
}

// Reads handle to its end; 0 or the error of a failed read.
constexpr size_t kLargestRead = size_t{1} << 30;  // ReadFile counts in 32 bits

DWORD ReadToEnd(HANDLE handle, size_t sizeHint, size_t limit, ReadResult& result) {
    DWORD error = 0;
    auto readChunk = [handle, &error](uint8_t* at, size_t room) -> std::optional<size_t> {
        DWORD got = 0;
        if (ReadFile(handle, at, static_cast<DWORD>(std::min(room, kLargestRead)), &got, nullptr)) return got;
        error = GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {  // the writer has finished
            error = 0;
            return 0;
        }
        return std::nullopt;
    };
    result.tooLarge = ReadWhole(readChunk, sizeHint, limit, result.bytes) == WholeRead::TooLarge;
    return error;
}

// A size past the limit stays past it, even where size_t is narrower than the file size.
size_t SizeHint(const LARGE_INTEGER& size, size_t limit) {
    return static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(size.QuadPart), uint64_t{limit} + 1));
}

DWORD WriteAll(HANDLE handle, std::span<const uint8_t> bytes) {
    return win32::WriteAll(handle, bytes.data(), bytes.size());
}

}  // namespace

ReadResult ReadWholeFile(const std::string& path, size_t limit) {
    ReadResult result;
    const std::wstring wide = ExtendedLengthPath(WideFromUtf8(path));
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        result.error = ErrorText(kErrorIsFolder);
        return result;
    }
    // Before the file is opened for data, so that reading cannot touch the access time first.
    const std::optional<win32::RawFileTimes> times = win32::ReadRawFileTimes(wide);
    UniqueHandle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid()) {
        result.error = ErrorText(GetLastError());
        return result;
    }
    const bool onDisk = GetFileType(file.Get()) == FILE_TYPE_DISK;
    LARGE_INTEGER size{};
    if (onDisk && !GetFileSizeEx(file.Get(), &size)) size.QuadPart = 0;
    if (DWORD error = ReadToEnd(file.Get(), SizeHint(size, limit), limit, result)) {
        result.error = ErrorText(error);
        return result;
    }
    if (onDisk && times) result.times = TimesOf(*times);
    result.ok = !result.tooLarge;
    return result;
}

ReadResult ReadStandardInput(size_t limit) {
    ReadResult result;
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        result.ok = true;  // no standard input at all reads as empty
        return result;
    }
    const bool onDisk = GetFileType(input) == FILE_TYPE_DISK;
    LARGE_INTEGER size{};
    if (onDisk && !GetFileSizeEx(input, &size)) size.QuadPart = 0;
    if (DWORD error = ReadToEnd(input, SizeHint(size, limit), limit, result)) {
        result.error = ErrorText(error);
        return result;
    }
    if (onDisk) {
        if (const auto times = win32::ReadRawFileTimes(input)) result.times = TimesOf(*times);
    }
    result.ok = !result.tooLarge;
    return result;
}

std::optional<uint64_t> RegularFileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const std::wstring wide = ExtendedLengthPath(WideFromUtf8(path));
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return std::nullopt;
    return uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
}

WriteResult WriteStandardOutput(std::span<const uint8_t> bytes) {
    std::fflush(stdout);
    if (DWORD error = WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), bytes)) return {false, ErrorText(error)};
    return {true, {}};
}

std::string IdentityKey(const std::string& path) {
    // An existing file is known by its volume and file index, whatever the spelling: case,
    // 8.3 aliases, links.
    if (const FileIdentity id = InspectPath(path).identity; id.known) {
        return "file:" + std::to_string(id.device) + ":" + std::to_string(id.file);
    }
    // A file still to be made: its long-name spelling, in one letter case as NTFS compares.
    std::wstring key = win32::ExpandLongPath(win32::FullPath(WideFromUtf8(path)));
    CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return "path:" + Utf8FromWide(key);
}

bool StandardOutputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void PrepareStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::vector<std::string> CommandLineArguments(int, char**) {
    // The narrow argv is in the ANSI code page and loses every name outside it.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i) args.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

void WriteText(std::FILE* stream, std::string_view text) {
    std::fflush(stream);
    const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        // A console shows UTF-16 as text whatever its code page; bytes would come out garbled.
        const std::wstring wide = WideFromUtf8(text);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace pivotta::cli
