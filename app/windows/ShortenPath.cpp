#include "ShortenPath.h"

#include <QFontMetrics>

namespace pivotta::app {

namespace {

bool IsSeparator(QChar c) { return c == u'\\' || c == u'/'; }

int FindSeparator(const QString& text, int from)
{
    for (int i = from; i < text.size(); ++i)
        if (IsSeparator(text[i])) return i;
    return -1;
}

bool StartsWithEllipsis(const QString& dir)
{
    return dir.size() >= 4 && dir.startsWith(u"...") && IsSeparator(dir[3]);
}

// "\...\" with either separator on each side.
bool IsBareEllipsis(const QString& dir)
{
    return dir.size() == 5 && IsSeparator(dir[0]) && dir.mid(1, 3) == u"..." && IsSeparator(dir[4]);
}

// Removes the first folder of dir and marks the cut with "...": "\a\b\" becomes "\...\b\".
QString CutFirstFolder(QString dir)
{
    if (dir.size() == 1 && IsSeparator(dir[0])) return QString();

    QString leading;
    if (!dir.isEmpty() && IsSeparator(dir[0])) {
        leading = dir.left(1);
        dir.remove(0, 1);
    }
    if (StartsWithEllipsis(dir)) dir.remove(0, 4);
    const int separator = FindSeparator(dir, 0);
    if (separator < 0) {
        dir.clear();
    } else {
        const QChar cutSeparator = dir[separator];
        dir = QStringLiteral("...") + cutSeparator + dir.mid(separator + 1);
    }
    return leading + dir;
}

}  // namespace

QString ShortenPath(const QString& path, const std::function<int(const QString&)>& width, int maxWidth)
{
    int lastSeparator = -1;
    for (int i = path.size() - 1; i >= 0; --i) {
        if (IsSeparator(path[i])) {
            lastSeparator = i;
            break;
        }
    }
    QString dir = path.left(lastSeparator + 1);
    const QString name = path.mid(lastSeparator + 1);
    QString drive;
    if (dir.size() >= 2 && dir[1] == u':') {
        drive = dir.left(2);
        dir.remove(0, 2);
    }

    QString result = path;
    while ((!dir.isEmpty() || !drive.isEmpty()) && width(result) > maxWidth) {
        if (IsBareEllipsis(dir)) {
            drive.clear();
            dir = dir.mid(1);
        } else if (dir.isEmpty()) {
            drive.clear();
        } else {
            dir = CutFirstFolder(dir);
        }
        result = drive + dir + name;
    }
    return result;
}

QString ShortenPath(const QString& path, const QFontMetrics& metrics, int maxWidth)
{
    return ShortenPath(path, [&metrics](const QString& text) { return metrics.horizontalAdvance(text); }, maxWidth);
}

}  // namespace pivotta::app
