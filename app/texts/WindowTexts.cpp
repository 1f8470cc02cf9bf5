#include "WindowTexts.h"

#include <QDir>

#include "AppTexts.h"

namespace pivotta::app {

namespace {

bool EndsFileName(QChar c)
{
#ifdef Q_OS_WIN
    return c == u'\\' || c == u'/' || c == u':';
#else
    return c == u'/';
#endif
}

}  // namespace

QString FileNamePart(const QString& path)
{
    qsizetype start = path.size();
    while (start > 0 && !EndsFileName(path[start - 1])) --start;
    return path.mid(start);
}

QString MainWindowTitle(const QString& currentFileName, bool multiFileMode, int fileIndex, int fileCount)
{
    QString title = texts::kTitlePrefix + FileNamePart(currentFileName);
    if (multiFileMode) title += QStringLiteral(" (%1/%2)").arg(fileIndex + 1).arg(fileCount);
    return title;
}

QString OpenedFileStatus(const QString& path, int width, int height)
{
    return QStringLiteral("%1 (%2*%3)").arg(QDir::toNativeSeparators(path)).arg(width).arg(height);
}

QString OrientationStatusSuffix(uint32_t orientation)
{
    if (orientation < 2 || orientation > 8) return {};
    return QStringLiteral(" [Exif向き %1]").arg(orientation);
}

QString ProcessingTimeText(uint32_t startTick, uint32_t endTick)
{
    // Unsigned subtraction stays right across a wrap of the clock.
    const uint32_t elapsed = endTick - startTick;
    return texts::kProcessingTime + QString::number(elapsed) + texts::kMilliseconds;
}

}  // namespace pivotta::app
