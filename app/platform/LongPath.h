// Paths in the form the file system reports them.
#pragma once

#include <QString>

namespace pivotta::app {

// The absolute form of path with every component that exists spelt as the file system
// lists it (on Windows a short 8.3 alias becomes the long name); components that cannot be
// found stay as written.
QString ExpandLongPath(const QString& path);

}  // namespace pivotta::app
