// File times as the file system keeps them: 64-bit counts of 100 ns since 1601 (FILETIME),
// never rounded through a calendar type.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace pivotta::win32 {

struct RawFileTimes {
    uint64_t creation = 0;
    uint64_t lastAccess = 0;
    uint64_t lastWrite = 0;
};

// Reads the times without opening the file for data; nullopt (and *error) when it cannot.
std::optional<RawFileTimes> ReadRawFileTimes(const std::wstring& path, uint32_t* error = nullptr);
// Same on a handle the caller holds open.
std::optional<RawFileTimes> ReadRawFileTimes(void* handle, uint32_t* error = nullptr);

// Sets the times given and leaves the others alone, through a handle opened only for
// FILE_WRITE_ATTRIBUTES (so a file others have open for reading can still be stamped).
// Returns 0 or the Win32 error code.
[[nodiscard]] uint32_t SetRawFileTimes(const std::wstring& path, const uint64_t* creation, const uint64_t* lastAccess,
                                       const uint64_t* lastWrite);

// Same on a handle the caller holds open with FILE_WRITE_ATTRIBUTES.
[[nodiscard]] uint32_t SetRawFileTimes(void* handle, const uint64_t* creation, const uint64_t* lastAccess,
                                       const uint64_t* lastWrite);

// The desktop program's seam carries file times as milliseconds since 1970. A time read
// through it is remembered with its full 100 ns value, so that setting it again gives the
// file exactly the time it was read as.
class FileTimeMemory {
public:
    // The time in milliseconds since 1970 (rounded down), remembered.
    int64_t Remember(uint64_t ticks);
    // The ticks a remembered time was read as; otherwise the milliseconds' own ticks.
    uint64_t Recall(int64_t milliseconds) const;

private:
    std::unordered_map<int64_t, uint64_t> ticks_;
};

}  // namespace pivotta::win32
