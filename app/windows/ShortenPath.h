// Fits a path into a label's width by replacing its leading folders with "...".
#pragma once

#include <QString>
#include <functional>

class QFontMetrics;

namespace pivotta::app {

// Cuts the leading folders one at a time, so the result runs through the whole path, the
// drive with "\...\" and the trailing folders that fit, the drive with "\...\" and the last
// name, "...\" and the last name, and the last name alone. Both "\" and "/" separate
// folders; the ellipsis takes the separator of the folder it replaces.
QString ShortenPath(const QString& path, const std::function<int(const QString&)>& width, int maxWidth);

// Widths in pixels in the given font.
QString ShortenPath(const QString& path, const QFontMetrics& metrics, int maxWidth);

}  // namespace pivotta::app
