// How the open actions turn what the user picked into the list of files to step through,
// and where a run over that list puts its results.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace pivotta::app {

class Platform;

// folder + separator + name, with the separator the folder already uses ("/" when it has
// none) and none added after one that ends it; "\" and "/" both separate.
QString JoinPath(const QString& folder, const QString& name);
// The last name of a path, after its last "\" or "/".
QString FileNameOf(const QString& path);

// The "*.jpg" files directly inside folder (any letter case; ".jpeg" is not matched),
// hidden and system files left out, sorted by name ignoring case as a file manager shows them.
QStringList EnumerateJpegFiles(const QString& folder);

// The result folder of a run whose first file is firstEntry:
//   saveSameFolder        D/result
//   saveFolder empty      desktopFolder/result_N
//   otherwise             saveFolder/result_N
// D is firstEntry's folder and N that folder's name (empty when D is a root). A base folder
// that already ends with a separator (C:\ or /) is joined without doubling it.
QString ResultFolderFor(const QString& firstEntry, bool saveSameFolder, const QString& saveFolder,
                        const QString& desktopFolder);

// "ファイルを開く": the chosen files in the dialog's order; empty when cancelled.
QStringList GatherFromOpenDialog(Platform& platform, QWidget* parent);

// "フォルダを開く": the chosen folder's JPEG files; empty when cancelled, and empty after an
// error box when the folder holds none.
QStringList GatherFromFolderChooser(Platform& platform, QWidget* parent);

// Dropped names in the order given: a folder stands for its JPEG files (silently none),
// anything else is taken as it is. Names of any length are kept whole.
QStringList GatherDroppedNames(const QStringList& names);

using PathExpander = std::function<QString(const QString&)>;

// The program's arguments (its own path not included): only a single argument counts. A file
// gives its expanded form, a folder the JPEG files of its expanded form, anything else nothing.
QStringList GatherCommandLine(const QStringList& arguments, const PathExpander& expandLongPath);

}  // namespace pivotta::app
