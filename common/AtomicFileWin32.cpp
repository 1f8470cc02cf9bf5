// Windows side of the atomic save: ReplaceFileW through the Win32 layer, FILETIME times,
// device names, the read-only attribute and the console interrupt cleanup.
#include <windows.h>

#include <optional>

#include "AtomicFile.h"
#include "AtomicReplace.h"
#include "FileTimes.h"
#include "LongPathWin32.h"
#include "TemporaryFiles.h"
#include "UniqueHandle.h"
#include "WideText.h"

namespace pivotta::files {
namespace {

using win32::ExtendedLengthPath;
using win32::UniqueHandle;
using win32::Utf8FromWide;
using win32::WideFromUtf8;

// FILETIME counts 100 ns from 1601; FileTimes counts from 1970.
constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

uint64_t ToTicks(int64_t seconds, int64_t nanoseconds) {
    return static_cast<uint64_t>((seconds + kSecondsFrom1601To1970) * kTicksPerSecond + nanoseconds / 100);
}

WriteResult Failed(DWORD error) {
    return {false, win32::SystemMessage(error)};
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

}  // namespace

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
    // Whether a read-only target may go was settled by CheckReplaceable before.
    options.replaceReadOnly = true;
    if (DWORD error = win32::WriteFileAtomically(full, bytes.data(), bytes.size(), options)) return Failed(error);
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
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        return {ReplaceCheck::WriteProtected, win32::SystemMessage(ERROR_ACCESS_DENIED)};
    }
    return {};
}

WriteResult WriteIntoSpecialFile(const std::string& path, std::span<const uint8_t> bytes) {
    UniqueHandle device(CreateFileW(win32::FullPath(WideFromUtf8(path)).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!device.Valid()) return Failed(GetLastError());
    if (DWORD error = win32::WriteAll(device.Get(), bytes.data(), bytes.size())) return Failed(error);
    return {true, {}};
}

StaleCleanup RemoveStaleTemporaries(const std::string&) {
    // The Win32 layer's temporary names carry no process id to tell a stale one by.
    return {};
}

void InstallInterruptCleanup() {
    SetConsoleCtrlHandler(OnConsoleInterrupt, TRUE);
}

}  // namespace pivotta::files
