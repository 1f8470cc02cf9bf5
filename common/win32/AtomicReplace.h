// Whole-file saves that never leave a truncated file: the bytes go to a temporary file in
// the target's folder, which then takes the target's place in one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "FileTimes.h"

namespace pivotta::win32 {

struct AtomicWrite {
    // Times given the new file before it takes the target's place; a null pointer keeps what
    // the file system gives it (creation: the replaced file's).
    const uint64_t* creation = nullptr;
    const uint64_t* lastAccess = nullptr;
    const uint64_t* lastWrite = nullptr;
    // Told the temporary file's path just before it is created and again (with an empty path)
    // once it is gone or has become the target, so that an interrupt handler can remove it.
    std::function<void(const std::wstring&)> onTemporary;
    // A read-only target is refused with ERROR_ACCESS_DENIED unless this is set; then it is
    // replaced and the new file is read-only in its turn.
    bool replaceReadOnly = false;
};

// Replaces an existing target with ReplaceFileW, which keeps its creation time, attributes
// and ACL; a new target is moved in with MoveFileExW(MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH). Returns 0 or the Win32 error code; on failure the target is
// untouched and no temporary file is left. A device name is refused (ERROR_INVALID_NAME).
[[nodiscard]] uint32_t WriteFileAtomically(const std::wstring& target, const void* data, size_t size,
                                           const AtomicWrite& options = {});

}  // namespace pivotta::win32
