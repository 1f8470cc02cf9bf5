#include "FileTimes.h"

#include <windows.h>

#include "WideText.h"

namespace pivotta::win32 {
namespace {

uint64_t FromFileTime(const FILETIME& time) {
    return uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
}

FILETIME ToFileTime(uint64_t time) {
    return {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
}

// FILE_FLAG_BACKUP_SEMANTICS lets the same calls stamp folders.
HANDLE OpenForAttributes(const std::wstring& path, DWORD access) {
    return CreateFileW(ExtendedLengthPath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

std::optional<RawFileTimes> ReadRawFileTimes(const std::wstring& path, uint32_t* error) {
    const HANDLE file = OpenForAttributes(path, FILE_READ_ATTRIBUTES);
    if (file == INVALID_HANDLE_VALUE) {
        if (error) *error = GetLastError();
        return std::nullopt;
    }
    FILETIME creation, access, write;
    const bool ok = GetFileTime(file, &creation, &access, &write);
    const DWORD failure = GetLastError();
    CloseHandle(file);
    if (!ok) {
        if (error) *error = failure;
        return std::nullopt;
    }
    return RawFileTimes{FromFileTime(creation), FromFileTime(access), FromFileTime(write)};
}

uint32_t SetRawFileTimes(void* handle, const uint64_t* creation, const uint64_t* lastAccess,
                         const uint64_t* lastWrite) {
    FILETIME c{}, a{}, w{};
    if (creation) c = ToFileTime(*creation);
    if (lastAccess) a = ToFileTime(*lastAccess);
    if (lastWrite) w = ToFileTime(*lastWrite);
    // A null pointer leaves that time as it is.
    if (!SetFileTime(handle, creation ? &c : nullptr, lastAccess ? &a : nullptr, lastWrite ? &w : nullptr))
        return GetLastError();
    return 0;
}

uint32_t SetRawFileTimes(const std::wstring& path, const uint64_t* creation, const uint64_t* lastAccess,
                         const uint64_t* lastWrite) {
    const HANDLE file = OpenForAttributes(path, FILE_WRITE_ATTRIBUTES);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    const uint32_t error = SetRawFileTimes(file, creation, lastAccess, lastWrite);
    CloseHandle(file);
    return error;
}

}  // namespace pivotta::win32
