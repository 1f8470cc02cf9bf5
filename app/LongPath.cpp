#include "LongPath.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace pivotta::app {

namespace {

// The name the file system reports for the last component of path, or empty when there
// is no such entry.
QString ReportedName(const QString& path)
{
#ifdef Q_OS_WIN
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(reinterpret_cast<const wchar_t*>(path.utf16()), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    FindClose(search);
    return QString::fromWCharArray(found.cFileName);
#else
    const QFileInfo info(path);
    return info.exists() || info.isSymLink() ? info.fileName() : QString();
#endif
}

// Position of the separator before the last component that is not a root (a drive "C:",
// a server "\\server", or "/" itself); -1 when only the root is left.
qsizetype LastComponentSeparator(const QString& path)
{
    const qsizetype last = path.lastIndexOf(QDir::separator());
#ifdef Q_OS_WIN
    return last >= 2 ? last : -1;  // "C:\x" and "\\server\x" stop at the root
#else
    return path.size() > 1 ? last : -1;  // every component below "/"
#endif
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

}  // namespace pivotta::app
