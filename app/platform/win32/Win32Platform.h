// Qt's platform seam with the file times done by Win32 itself (Windows builds only): Qt
// cannot set a creation time alone, opens the file for writing to set any time, and rounds
// times to milliseconds.
#pragma once

#include "FileTimes.h"
#include "QtPlatform.h"

namespace pivotta::app {

class Win32Platform : public QtPlatform {
public:
    FileTimes ReadFileTimes(const QString& path) override;
    bool SetCreationTime(const QString& path, const QDateTime& time) override;
    bool SetLastWriteTime(const QString& path, const QDateTime& time) override;

private:
    QDateTime Remembered(uint64_t ticks);
    pivotta::win32::FileTimeMemory memory_;
};

}  // namespace pivotta::app
