// UTF-8 inside, UTF-16 at the Win32 calls: the conversions, the long-path form and the
// system's own error texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pivotta::win32 {

// ERROR_DIRECTORY_NOT_SUPPORTED, which MinGW's headers lack: a folder where a file was expected.
inline constexpr uint32_t kErrorIsFolder = 336;

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

// The absolute form of path (relative to the current folder), separators as backslashes.
std::wstring FullPath(const std::wstring& path);
// FullPath, with the "\\?\" prefix when it is too long for the plain Win32 calls.
std::wstring ExtendedLengthPath(const std::wstring& path);

// The system's text for a Win32 error code, in UTF-8, without the trailing line break.
std::string SystemMessage(uint32_t error);

}  // namespace pivotta::win32
