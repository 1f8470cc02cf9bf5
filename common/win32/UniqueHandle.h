// A Win32 handle closed when it goes out of scope.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace pivotta::win32 {

class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    // Closes now, so that a late write error is seen; false (GetLastError) when closing fails.
    bool Close() {
        const bool ok = !Valid() || CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

// Writes every byte, in pieces WriteFile can count; 0 or the Win32 error code.
inline DWORD WriteAll(HANDLE handle, const uint8_t* data, size_t size) {
    constexpr size_t kLargestWrite = size_t{1} << 30;
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, data, static_cast<DWORD>(std::min(size, kLargestWrite)), &written, nullptr))
            return GetLastError();
        data += written;
        size -= written;
    }
    return 0;
}

}  // namespace pivotta::win32
