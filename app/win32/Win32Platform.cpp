#include "Win32Platform.h"

#include "FileTimes.h"

namespace {

// FILETIME counts 100 ns from 1601; QDateTime milliseconds from 1970.
constexpr int64_t kTicksPerMillisecond = 10'000;
constexpr int64_t kMillisecondsFrom1601To1970 = 11'644'473'600'000;

QDateTime FromTicks(uint64_t ticks)
{
    if (ticks == 0) return {};
    const int64_t ms = static_cast<int64_t>(ticks / kTicksPerMillisecond) - kMillisecondsFrom1601To1970;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

uint64_t ToTicks(const QDateTime& time)
{
    return static_cast<uint64_t>(time.toMSecsSinceEpoch() + kMillisecondsFrom1601To1970) * kTicksPerMillisecond;
}

}  // namespace

FileTimes Win32Platform::ReadFileTimes(const QString& path)
{
    const auto raw = pivotta::win32::ReadRawFileTimes(path.toStdWString());
    if (!raw) return {};
    return {FromTicks(raw->creation), FromTicks(raw->lastWrite)};
}

bool Win32Platform::SetCreationTime(const QString& path, const QDateTime& time)
{
    if (!time.isValid()) return false;
    const uint64_t ticks = ToTicks(time);
    return pivotta::win32::SetRawFileTimes(path.toStdWString(), &ticks, nullptr, nullptr) == 0;
}

bool Win32Platform::SetLastWriteTime(const QString& path, const QDateTime& time)
{
    if (!time.isValid()) return false;
    const uint64_t ticks = ToTicks(time);
    return pivotta::win32::SetRawFileTimes(path.toStdWString(), nullptr, nullptr, &ticks) == 0;
}
