// Windows side of the file-system layer: wide-character Win32 calls on UTF-8 paths, atomic
// replacement through ReplaceFileW, FILETIME times, console text as UTF-16.
#include "FileSystem.h"

// windows.h first: shellapi.h builds on its types.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>

#include "AtomicReplace.h"
#include "FileTimes.h"
#include "LongPathWin32.h"
#include "TemporaryFiles.h"
#include "UniqueHandle.h"
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

uint64_t ToTicks(int64_t seconds, int64_t nanoseconds) {
    return static_cast<uint64_t>((seconds + kSecondsFrom1601To1970) * kTicksPerSecond + nanoseconds / 100);
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

// Reads handle to its end. sizeHint is the size of a disk file, 0 when unknown.
DWORD ReadToEnd(HANDLE handle, size_t sizeHint, ByteBuffer& bytes) {
    constexpr size_t kMinimumRoom = size_t{1} << 16;
    constexpr size_t kLargestRead = size_t{1} << 30;  // ReadFile counts in 32 bits
    bytes.clear();
    bytes.resize(std::max(sizeHint + 1, kMinimumRoom));
    size_t used = 0;
    for (;;) {
        if (used == bytes.size()) bytes.resize(used + std::max(kMinimumRoom, used / 2));
        DWORD got = 0;
        const DWORD room = static_cast<DWORD>(std::min(bytes.size() - used, kLargestRead));
        if (!ReadFile(handle, bytes.data() + used, room, &got, nullptr)) {
            const DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) break;  // the writer has finished
            return error;
        }
        if (got == 0) break;
        used += got;
    }
    bytes.resize(used);
    return 0;
}

DWORD WriteAll(HANDLE handle, std::span<const uint8_t> bytes) {
    return win32::WriteAll(handle, bytes.data(), bytes.size());
}

// "NUL", "CON", "\\.\COM1": names the system maps to a device, not to a file in a folder.
bool IsDevicePath(const std::wstring& full) {
    return full.starts_with(LR"(\\.\)");
}

void DeleteTemporary(const char* path) {
    // The writer holds its handle open with FILE_SHARE_DELETE: the file goes when it closes.
    DeleteFileW(WideFromUtf8(path).c_str());
}

// Runs on a thread of its own, while the workers go on: what they are writing is removed
// before the default handler ends the process.
BOOL WINAPI OnConsoleInterrupt(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT)
        ForEachRegisteredTemporary(DeleteTemporary);
    return FALSE;
}

std::optional<BY_HANDLE_FILE_INFORMATION> FileInformation(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.Valid() || !GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
    return info;
}

WriteResult Failed(DWORD error) {
    return {false, ErrorText(error)};
}

}  // namespace

ReadResult ReadWholeFile(const std::string& path) {
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
    if (DWORD error = ReadToEnd(file.Get(), static_cast<size_t>(size.QuadPart), result.bytes)) {
        result.error = ErrorText(error);
        return result;
    }
    if (onDisk && times) result.times = TimesOf(*times);
    result.ok = true;
    return result;
}

ReadResult ReadStandardInput() {
    ReadResult result;
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        result.ok = true;  // no standard input at all reads as empty
        return result;
    }
    const bool onDisk = GetFileType(input) == FILE_TYPE_DISK;
    LARGE_INTEGER size{};
    if (onDisk && !GetFileSizeEx(input, &size)) size.QuadPart = 0;
    if (DWORD error = ReadToEnd(input, static_cast<size_t>(size.QuadPart), result.bytes)) {
        result.error = ErrorText(error);
        return result;
    }
    if (onDisk) {
        if (const auto times = win32::ReadRawFileTimes(input)) result.times = TimesOf(*times);
    }
    result.ok = true;
    return result;
}

WriteResult WriteFileAtomically(const std::string& target, std::span<const uint8_t> bytes, const FileTimes* times) {
    const std::wstring full = win32::FullPath(WideFromUtf8(target));
    // A device takes the bytes as they come; there is nothing to replace.
    if (IsDevicePath(full)) return WriteIntoSpecialFile(target, bytes);

    uint64_t access = 0, write = 0;
    win32::AtomicWrite options;
    if (times) {
        access = ToTicks(times->accessSeconds, times->accessNanoseconds);
        write = ToTicks(times->writeSeconds, times->writeNanoseconds);
        options.lastAccess = &access;
        options.lastWrite = &write;
    }
    // Registered before it exists, so that no moment is left in which Ctrl-C would miss it.
    std::optional<RegisteredTemporary> registered;
    options.onTemporary = [&registered](const std::wstring& path) {
        registered.reset();
        if (!path.empty()) registered.emplace(Utf8FromWide(path));
    };
    // Whether a read-only target may go was settled by CheckReplaceable and --force.
    options.replaceReadOnly = true;
    if (DWORD error = win32::WriteFileAtomically(full, bytes.data(), bytes.size(), options)) return Failed(error);
    return {true, {}};
}

WriteResult WriteStandardOutput(std::span<const uint8_t> bytes) {
    std::fflush(stdout);
    if (DWORD error = WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), bytes)) return Failed(error);
    return {true, {}};
}

PathInfo InspectPath(const std::string& path) {
    const std::wstring full = ExtendedLengthPath(WideFromUtf8(path));
    PathInfo info;
    if (IsDevicePath(full)) {
        info.kind = PathKind::Special;
        return info;
    }
    const std::optional<BY_HANDLE_FILE_INFORMATION> file = FileInformation(full);
    if (!file) return info;
    info.kind = file->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Directory : PathKind::Regular;
    info.identity = {file->dwVolumeSerialNumber, uint64_t{file->nFileIndexHigh} << 32 | file->nFileIndexLow, true};
    return info;
}

bool NamesDeviceOrDescriptor(const std::string& path) {
    return IsDevicePath(win32::FullPath(WideFromUtf8(path)));
}

ReplaceVerdict CheckReplaceable(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(WideFromUtf8(path)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {};
    // The read-only attribute is Windows' write protection; a folder's ACL speaks only when
    // the replacement is tried, in the system's words.
    if (attributes & FILE_ATTRIBUTE_READONLY) return {ReplaceCheck::WriteProtected, ErrorText(ERROR_ACCESS_DENIED)};
    return {};
}

WriteResult WriteIntoSpecialFile(const std::string& path, std::span<const uint8_t> bytes) {
    UniqueHandle device(CreateFileW(win32::FullPath(WideFromUtf8(path)).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!device.Valid()) return Failed(GetLastError());
    if (DWORD error = WriteAll(device.Get(), bytes)) return Failed(error);
    return {true, {}};
}

void InstallInterruptCleanup() {
    SetConsoleCtrlHandler(OnConsoleInterrupt, TRUE);
}

std::string IdentityKey(const std::string& path) {
    const std::wstring full = ExtendedLengthPath(WideFromUtf8(path));
    // An existing file is known by its volume and file index, whatever the spelling: case,
    // 8.3 aliases, links.
    if (const auto info = FileInformation(full)) {
        return "file:" + std::to_string(info->dwVolumeSerialNumber) + ":" +
               std::to_string(uint64_t{info->nFileIndexHigh} << 32 | info->nFileIndexLow);
    }
    // A file still to be made: its long-name spelling, in one letter case as NTFS compares.
    std::wstring key = win32::ExpandLongPath(win32::FullPath(WideFromUtf8(path)));
    CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    return "path:" + Utf8FromWide(key);
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
