#include "LongPath.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include "LongPathWin32.h"
#endif

namespace pivotta::app {

#ifdef Q_OS_WIN

QString ExpandLongPath(const QString& path)
{
    return QString::fromStdWString(pivotta::win32::ExpandLongPath(QDir::toNativeSeparators(path).toStdWString()));
}

#else

namespace {

// The name the file system reports for the last component of path, or empty when there
// is no such entry.
QString ReportedName(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink() ? info.fileName() : QString();
}

// Position of the separator before the last component below "/"; -1 when only "/" is left.
qsizetype LastComponentSeparator(const QString& path)
{
    return path.size() > 1 ? path.lastIndexOf(QDir::separator()) : -1;
}

}  // namespace

QString ExpandLongPath(const QString& path)
{
    QString head = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    QString tail;
    for (qsizetype cut = LastComponentSeparator(head); cut >= 0; cut = LastComponentSeparator(head)) {
        const QString reported = ReportedName(head);
        tail = QDir::separator() + (reported.isEmpty() ? head.mid(cut + 1) : reported) + tail;
        head.truncate(cut);
    }
    return head + tail;
}

#endif

}  // namespace pivotta::app
