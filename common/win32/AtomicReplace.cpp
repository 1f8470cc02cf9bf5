#include "AtomicReplace.h"

#include <windows.h>

#include <algorithm>
#include <random>

#include "UniqueHandle.h"
#include "WideText.h"

namespace pivotta::win32 {
namespace {

std::wstring TemporaryName(const std::wstring& folder, const std::wstring& name) {
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::random_device entropy;
    std::wstring suffix;
    for (int i = 0; i < 3; ++i) {
        for (uint32_t v = entropy(), k = 0; k < 4; ++k, v >>= 8) {
            suffix += kHex[v >> 4 & 15];
            suffix += kHex[v & 15];
        }
    }
    // Within the 255-character limit however long the target's name is.
    return folder + L"\\." + name.substr(0, 200) + L".pivotta-" + suffix + L".tmp";
}

}  // namespace

uint32_t WriteFileAtomically(const std::wstring& target, const void* data, size_t size, const AtomicWrite& options) {
    // ReplaceFileW refuses bare names; the temporary must lie on the target's volume.
    const std::wstring full = ExtendedLengthPath(target);
    // A device ("NUL", "COM1") has no folder for a temporary file: callers write into it.
    if (full.starts_with(LR"(\\.\)")) return ERROR_INVALID_NAME;
    const size_t cut = full.rfind(L'\\');
    if (cut == std::wstring::npos || cut + 1 == full.size()) return kErrorIsFolder;
    const std::wstring folder = full.substr(0, cut), name = full.substr(cut + 1);

    const DWORD attributes = GetFileAttributesW(full.c_str());
    bool replacing = attributes != INVALID_FILE_ATTRIBUTES;
    if (replacing && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return kErrorIsFolder;
    const bool readOnly = replacing && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly && !options.replaceReadOnly) return ERROR_ACCESS_DENIED;

    std::wstring temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = TemporaryName(folder, name);
        if (options.onTemporary) options.onTemporary(temporary);
        // FILE_SHARE_DELETE lets an interrupt handler remove the file while it is written.
        created = CreateFileW(temporary.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (created == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (options.onTemporary) options.onTemporary({});
        return error;
    }
    UniqueHandle file(created);

    DWORD error = WriteAll(file.Get(), static_cast<const uint8_t*>(data), size);
    if (!error && (options.creation || options.lastAccess || options.lastWrite))
        error = SetRawFileTimes(file.Get(), options.creation, options.lastAccess, options.lastWrite);
    // A replaced file's data must be on disk before the replacement makes it the only copy.
    if (!error && replacing && !FlushFileBuffers(file.Get())) error = GetLastError();
    if (!file.Close() && !error) error = GetLastError();
    // ReplaceFileW refuses a read-only target; the attribute comes back on the new file.
    if (!error && readOnly && !SetFileAttributesW(full.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
        error = GetLastError();
    if (!error && replacing &&
        !ReplaceFileW(full.c_str(), temporary.c_str(), nullptr,
                      REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr)) {
        error = GetLastError();
        // The target went away meanwhile: the new file simply takes its name.
        if (error == ERROR_FILE_NOT_FOUND) {
            replacing = false;
            error = 0;
        }
    }
    if (!error && !replacing &&
        !MoveFileExW(temporary.c_str(), full.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (readOnly) SetFileAttributesW(full.c_str(), attributes);
    if (error) DeleteFileW(temporary.c_str());
    if (options.onTemporary) options.onTemporary({});
    return error;
}

}  // namespace pivotta::win32
