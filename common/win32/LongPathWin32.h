// A path with every component spelt as the file system lists it.
#pragma once

#include <string>

namespace pivotta::win32 {

// The absolute form of path with each existing component replaced by the name a directory
// search reports for it (a short 8.3 alias becomes the long name); components that cannot
// be found, and any holding a wildcard, stay as written. Stops at the drive ("C:") and at
// the server of a network path ("\\server").
std::wstring ExpandLongPath(const std::wstring& path);

}  // namespace pivotta::win32
