#include "FileGathering.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "AppTexts.h"
#include "PathText.h"
#include "Platform.h"

namespace pivotta::app {

namespace {

bool IsSeparator(QChar c) { return c == u'\\' || c == u'/'; }

qsizetype LastSeparator(const QString& path)
{
    qsizetype last = path.size() - 1;
    while (last >= 0 && !IsSeparator(path[last])) --last;
    return last;
}

// "C:\" and "/" keep their separator; every other folder loses a trailing one.
bool IsRoot(const QString& folder)
{
    if (folder.size() == 1) return IsSeparator(folder[0]);
    return folder.size() == 3 && folder[1] == u':' && IsSeparator(folder[2]);
}

// The folder part of a file path, without a trailing separator except at a root.
QString FolderOf(const QString& filePath)
{
    QString folder = filePath.left(LastSeparator(filePath) + 1);
    if (folder.isEmpty()) return QDir::currentPath();  // a bare name lies in the current folder
    if (!IsRoot(folder)) folder.chop(1);
    return folder;
}

}  // namespace

namespace {

std::u16string_view TextOf(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())};
}

}  // namespace

QString JoinPath(const QString& folder, const QString& name)
{
    return QString::fromStdU16String(pivotta::paths::JoinPath(TextOf(folder), TextOf(name), pivotta::paths::kAnySeparator));
}

QString FileNameOf(const QString& path)
{
    return QString::fromStdU16String(pivotta::paths::FileNameOf(TextOf(path), pivotta::paths::kAnySeparator));
}

QStringList EnumerateJpegFiles(const QString& folder)
{
    // QDir's name filters ignore case; Files without Hidden and System leaves those out.
    QDir dir(folder);
    QStringList names = dir.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::NoSort);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int byName = a.compare(b, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a < b;
    });

    QStringList paths;
    paths.reserve(names.size());
    for (const QString& name : names) paths.append(JoinPath(folder, name));
    return paths;
}

QString ResultFolderFor(const QString& firstEntry, bool saveSameFolder, const QString& saveFolder,
                        const QString& desktopFolder)
{
    const QString folder = FolderOf(firstEntry);
    if (saveSameFolder) return JoinPath(folder, QStringLiteral("result"));
    const QString resultName = QStringLiteral("result_") + (IsRoot(folder) ? QString() : FileNameOf(folder));
    return JoinPath(saveFolder.isEmpty() ? desktopFolder : saveFolder, resultName);
}

QStringList GatherFromOpenDialog(Platform& platform, QWidget* parent)
{
    return platform.GetOpenFileNames(parent, texts::kJpegFilter);
}

QStringList GatherFromFolderChooser(Platform& platform, QWidget* parent)
{
    QString folder;
    if (!platform.ChooseFolder(parent, QString(), QStringLiteral("ﾃﾞｽｸﾄｯﾌﾟ"), folder)) return {};
    QStringList files = EnumerateJpegFiles(folder);
    if (files.isEmpty()) {
        platform.ShowMessage(parent, QStringLiteral("ファイルがありません"),
                             QStringLiteral("このフォルダにはJPEGファイルがありません。"), MessageIcon::Error,
                             MessageButtons::Ok);
    }
    return files;
}

QStringList GatherDroppedNames(const QStringList& names)
{
    QStringList files;
    for (const QString& name : names) {
        if (QFileInfo(name).isDir())
            files += EnumerateJpegFiles(name);
        else
            files.append(name);
    }
    return files;
}

QStringList GatherCommandLine(const QStringList& arguments, const PathExpander& expandLongPath)
{
    if (arguments.size() != 1) return {};
    const QFileInfo info(arguments.front());
    if (info.isFile()) return {expandLongPath(arguments.front())};
    if (info.isDir()) return EnumerateJpegFiles(expandLongPath(arguments.front()));
    return {};
}

}  // namespace pivotta::app
