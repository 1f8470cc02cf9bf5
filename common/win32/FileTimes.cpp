#include "FileTimes.h"

#include <windows.h>

#include "UniqueHandle.h"
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

std::optional<RawFileTimes> ReadRawFileTimes(void* handle, uint32_t* error) {
    FILETIME creation, access, write;
    if (!GetFileTime(handle, &creation, &access, &write)) {
        if (error) *error = GetLastError();
        return std::nullopt;
    }
    return RawFileTimes{FromFileTime(creation), FromFileTime(access), FromFileTime(write)};
}

std::optional<RawFileTimes> ReadRawFileTimes(const std::wstring& path, uint32_t* error) {
    const UniqueHandle file(OpenForAttributes(path, FILE_READ_ATTRIBUTES));
    if (!file.Valid()) {
        if (error) *error = GetLastError();
        return std::nullopt;
    }
    return ReadRawFileTimes(file.Get(), error);
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
    const UniqueHandle file(OpenForAttributes(path, FILE_WRITE_ATTRIBUTES));
    if (!file.Valid()) return GetLastError();
    return SetRawFileTimes(file.Get(), creation, lastAccess, lastWrite);
}

namespace {

constexpr int64_t kTicksPerMillisecond = 10'000;
constexpr int64_t kMillisecondsFrom1601To1970 = 11'644'473'600'000;

}  // namespace

int64_t FileTimeMemory::Remember(uint64_t ticks) {
    const int64_t milliseconds = static_cast<int64_t>(ticks / kTicksPerMillisecond) - kMillisecondsFrom1601To1970;
    ticks_[milliseconds] = ticks;
    return milliseconds;
}

uint64_t FileTimeMemory::Recall(int64_t milliseconds) const {
    if (const auto found = ticks_.find(milliseconds); found != ticks_.end()) return found->second;
    return static_cast<uint64_t>(milliseconds + kMillisecondsFrom1601To1970) * kTicksPerMillisecond;
}

}  // namespace pivotta::win32
