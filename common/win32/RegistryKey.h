// One key of the current user's registry hive, with the value encodings the settings use:
// REG_DWORD as signed 32-bit integers, REG_SZ written with its NUL, REG_SZ and REG_EXPAND_SZ
// both read, unexpanded, up to the first NUL.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pivotta::win32 {

inline constexpr wchar_t kPivottaKeyPath[] = LR"(\Software\Tollemark\Pivotta)";

class RegistryKey {
public:
    // path is taken from the root of HKEY_CURRENT_USER; a leading backslash is allowed.
    explicit RegistryKey(std::wstring path = kPivottaKeyPath);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens the key, creating it when it does not exist; false when that fails.
    bool Open(bool forWriting);
    bool HasValue(const std::wstring& name) const;
    // nullopt when the value is absent or of another type or size.
    std::optional<int32_t> ReadInteger(const std::wstring& name) const;
    std::optional<std::wstring> ReadText(const std::wstring& name) const;
    // Each returns false when the registry refuses.
    bool WriteInteger(const std::wstring& name, int32_t value);
    bool WriteText(const std::wstring& name, const std::wstring& value);
    void Close();

    // Removes the key and everything below it (for tests and uninstallers).
    static bool DeleteTree(const std::wstring& path);

private:
    std::wstring path_;
    void* key_ = nullptr;  // HKEY
};

}  // namespace pivotta::win32
