#include "QtPlatform.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <memory>
#include <QStandardPaths>
#include <QUrl>
#include <chrono>

namespace pivotta::app {

namespace {

bool SetFileTime(const QString& path, const QDateTime& time, QFileDevice::FileTime which)
{
    if (!time.isValid()) return false;
    // Append keeps the content: only the time is to change.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    return file.setFileTime(time, which);
}

}  // namespace

QString ToQtNameFilter(const QString& filter)
{
    const qsizetype bar = filter.indexOf(u'|');
    if (bar < 0) return filter;
    QStringList patterns = filter.mid(bar + 1).split(u';', Qt::SkipEmptyParts);
    const QStringList given = patterns;
    for (const QString& pattern : given) {
        if (!patterns.contains(pattern.toLower())) patterns.append(pattern.toLower());
    }
    return filter.left(bar) + QStringLiteral(" (") + patterns.join(u' ') + u')';
}

QString WithDefaultSuffix(const QString& path, const QString& defaultSuffix)
{
    if (path.isEmpty() || defaultSuffix.isEmpty()) return path;
    const QString name = QFileInfo(path).fileName();
    if (name.contains(u'.')) return path;
    return path + u'.' + defaultSuffix;
}

MessageAnswer QtPlatform::ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                                      MessageIcon icon, MessageButtons buttons)
{
    const std::unique_ptr<QMessageBox> box = MakeMessageBox(parent, caption, text, icon, buttons);
    // A box shown while a command holds the busy cursor still wants the ordinary pointer.
    const bool busy = QGuiApplication::overrideCursor() != nullptr;
    if (busy) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int clicked = box->exec();
    if (busy) QGuiApplication::restoreOverrideCursor();
    switch (clicked) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    default: break;
    }
    // A box closed by its close button answers as its safest button.
    switch (buttons) {
    case MessageButtons::YesNoCancel: return MessageAnswer::Cancel;
    case MessageButtons::YesNo: return MessageAnswer::No;
    case MessageButtons::Yes: return MessageAnswer::Yes;
    case MessageButtons::Ok: break;
    }
    return MessageAnswer::Ok;
}

QStringList QtPlatform::GetOpenFileNames(QWidget* parent, const QString& filter)
{
    const auto dialog = dialogs_.OpenDialog(parent, filter);
    if (!dialogs_.Run(*dialog)) return {};
    return dialog->selectedFiles();
}

QString QtPlatform::GetSaveFileName(QWidget* parent, const QString& initialPath, const QString& filter,
                                    const QString& defaultSuffix)
{
    const auto dialog = dialogs_.SaveDialog(parent, initialPath, filter, defaultSuffix);
    if (!dialogs_.Run(*dialog)) return {};
    return WithDefaultSuffix(dialog->selectedFiles().first(), defaultSuffix);
}

bool QtPlatform::ChooseFolder(QWidget* parent, const QString& title, const QString& root, QString& folder)
{
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) folder.clear();
    // Both callers root the chooser at the desktop, by path or by its shown name.
    const QString top = QFileInfo(root).isDir() ? root : DesktopFolder();
    const auto dialog = dialogs_.FolderChooser(parent, title, top, folder);
    if (!dialogs_.Run(*dialog)) return false;
    folder = QDir::toNativeSeparators(dialog->selectedFiles().first());
    return true;
}

QString QtPlatform::DesktopFolder()
{
    // Windows always has one; a Linux home may lack the folder its user dirs name, and the
    // results of a run must still land where the user finds them.
    return HasDesktopFolder() ? QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) : QDir::homePath();
}

bool QtPlatform::HasDesktopFolder()
{
    return QFileInfo(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)).isDir();
}

FileTimes QtPlatform::ReadFileTimes(const QString& path)
{
    const QFileInfo info(path);
    return FileTimes{info.birthTime(), info.lastModified()};
}

bool QtPlatform::SetCreationTime(const QString& path, const QDateTime& time)
{
    // Only Windows lets a program set a file's creation time; elsewhere this refuses.
    return SetFileTime(path, time, QFileDevice::FileBirthTime);
}

bool QtPlatform::SetLastWriteTime(const QString& path, const QDateTime& time)
{
    return SetFileTime(path, time, QFileDevice::FileModificationTime);
}

void QtPlatform::OpenWithShell(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

uint32_t QtPlatform::TickCount()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

}  // namespace pivotta::app
