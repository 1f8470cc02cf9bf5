#include "Win32Platform.h"

namespace pivotta::app {

QDateTime Win32Platform::Remembered(uint64_t ticks)
{
    if (ticks == 0) return {};
    return QDateTime::fromMSecsSinceEpoch(memory_.Remember(ticks), Qt::UTC);
}

FileTimes Win32Platform::ReadFileTimes(const QString& path)
{
    const auto raw = pivotta::win32::ReadRawFileTimes(path.toStdWString());
    if (!raw) return {};
    return {Remembered(raw->creation), Remembered(raw->lastWrite)};
}

bool Win32Platform::SetCreationTime(const QString& path, const QDateTime& time)
{
    if (!time.isValid()) return false;
    const uint64_t ticks = memory_.Recall(time.toMSecsSinceEpoch());
    return pivotta::win32::SetRawFileTimes(path.toStdWString(), &ticks, nullptr, nullptr) == 0;
}

bool Win32Platform::SetLastWriteTime(const QString& path, const QDateTime& time)
{
    if (!time.isValid()) return false;
    const uint64_t ticks = memory_.Recall(time.toMSecsSinceEpoch());
    return pivotta::win32::SetRawFileTimes(path.toStdWString(), nullptr, nullptr, &ticks) == 0;
}

}  // namespace pivotta::app
