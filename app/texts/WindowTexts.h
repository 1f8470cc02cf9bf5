// The texts the main window builds from its state: title and status panels.
#pragma once

#include <QString>
#include <cstdint>

namespace pivotta::app {

// The part of a path after its last separator (and, on Windows, after a drive's colon).
QString FileNamePart(const QString& path);

// "JPEGファイル回転プログラム - Pivotta - a.jpg", with " (3/12)" in multi-file mode.
QString MainWindowTitle(const QString& currentFileName, bool multiFileMode, int fileIndex, int fileCount);

// "D:\photo\a.jpg (1600*1200)".
QString OpenedFileStatus(const QString& path, int width, int height);

// " [Exif向き 6]" after the size text, for a tag that asks viewers to turn the picture (2-8);
// empty otherwise.
QString OrientationStatusSuffix(uint32_t orientation);

// "処理時間  125ミリ秒" for the time between two readings of a 32-bit millisecond clock.
QString ProcessingTimeText(uint32_t startTick, uint32_t endTick);

}  // namespace pivotta::app
