#include "RegistryKey.h"

#include <windows.h>

#include <vector>

namespace pivotta::win32 {
namespace {

// The registry takes key paths without the leading backslash the settings are written with.
std::wstring RelativeToRoot(const std::wstring& path) {
    size_t skip = 0;
    while (skip < path.size() && path[skip] == L'\\') ++skip;
    return path.substr(skip);
}

HKEY AsKey(void* key) {
    return static_cast<HKEY>(key);
}

}  // namespace

RegistryKey::RegistryKey(std::wstring path) : path_(RelativeToRoot(path)) {}

RegistryKey::~RegistryKey() {
    Close();
}

bool RegistryKey::Open(bool forWriting) {
    Close();
    const REGSAM access = forWriting ? KEY_QUERY_VALUE | KEY_SET_VALUE : KEY_QUERY_VALUE;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    key_ = key;
    return true;
}

bool RegistryKey::HasValue(const std::wstring& name) const {
    if (!key_) return false;
    return RegQueryValueExW(AsKey(key_), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::optional<int32_t> RegistryKey::ReadInteger(const std::wstring& name) const {
    if (!key_) return std::nullopt;
    DWORD type = 0, value = 0, size = sizeof value;
    const LSTATUS status =
        RegQueryValueExW(AsKey(key_), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return std::nullopt;
    return static_cast<int32_t>(value);
}

std::optional<std::wstring> RegistryKey::ReadText(const std::wstring& name) const {
    if (!key_) return std::nullopt;
    // The value may grow between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(AsKey(key_), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
        // Room for an odd byte count and for a missing terminator.
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
        DWORD got = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        const LSTATUS status =
            RegQueryValueExW(AsKey(key_), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
        const std::wstring_view text(buffer.data(), got / sizeof(wchar_t));
        return std::wstring(text.substr(0, text.find(L'\0')));
    }
    return std::nullopt;
}

bool RegistryKey::WriteInteger(const std::wstring& name, int32_t value) {
    if (!key_) return false;
    const DWORD stored = static_cast<DWORD>(value);
    return RegSetValueExW(AsKey(key_), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored),
                          sizeof stored) == ERROR_SUCCESS;
}

bool RegistryKey::WriteText(const std::wstring& name, const std::wstring& value) {
    if (!key_) return false;
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));  // with the NUL
    return RegSetValueExW(AsKey(key_), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          bytes) == ERROR_SUCCESS;
}

void RegistryKey::Close() {
    if (key_) RegCloseKey(AsKey(key_));
    key_ = nullptr;
}

bool RegistryKey::DeleteTree(const std::wstring& path) {
    const std::wstring relative = RelativeToRoot(path);
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, relative.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return false;
    return RegDeleteKeyW(HKEY_CURRENT_USER, relative.c_str()) == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace pivotta::win32
