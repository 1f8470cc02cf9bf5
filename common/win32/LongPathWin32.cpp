#include "LongPathWin32.h"

#include <windows.h>

#include "WideText.h"

namespace pivotta::win32 {
namespace {

// A search for "*" or "?" would report some other file's name in the component's place.
bool HasWildcard(std::wstring_view name) {
    return name.find_first_of(L"*?") != std::wstring_view::npos;
}

}  // namespace

std::wstring ExpandLongPath(const std::wstring& path) {
    std::wstring head = FullPath(path);
    std::wstring tail;
    // The last backslash at index 2 or later: "C:\x" and "\\server\x" stop at their root.
    for (size_t cut = head.rfind(L'\\'); cut != std::wstring::npos && cut >= 2; cut = head.rfind(L'\\')) {
        std::wstring name = head.substr(cut + 1);
        if (!HasWildcard(head)) {
            WIN32_FIND_DATAW found;
            const HANDLE search = FindFirstFileW(ExtendedLengthPath(head).c_str(), &found);
            if (search != INVALID_HANDLE_VALUE) {
                FindClose(search);
                name = found.cFileName;
            }
        }
        tail = L'\\' + name + tail;
        head.resize(cut);
    }
    return head + tail;
}

}  // namespace pivotta::win32
