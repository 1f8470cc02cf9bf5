#include "QtPlatform.h"

#include <QPushButton>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>
#include <chrono>

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// Message texts break lines with a lone carriage return, as the Windows message box does;
// Qt's labels need a line feed for it.
QString WithQtLineBreaks(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

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
    QMessageBox box(ToQtIcon(icon), caption, WithQtLineBreaks(text), QMessageBox::NoButton, parent);
    switch (buttons) {
    case MessageButtons::Ok:
        box.addButton(QMessageBox::Ok)->setText(QStringLiteral("OK"));
        break;
    case MessageButtons::Yes:
        box.addButton(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        break;
    case MessageButtons::YesNo:
        box.addButton(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        box.setDefaultButton(box.addButton(QMessageBox::No));
        box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
        break;
    }
    // A box shown while a command holds the busy cursor still wants the ordinary pointer.
    const bool busy = QGuiApplication::overrideCursor() != nullptr;
    if (busy) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int clicked = box.exec();
    if (busy) QGuiApplication::restoreOverrideCursor();
    switch (clicked) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    default: break;
    }
    // A box closed by its close button answers as its safest button.
    return buttons == MessageButtons::YesNo ? MessageAnswer::No
           : buttons == MessageButtons::Yes ? MessageAnswer::Yes
                                            : MessageAnswer::Ok;
}

QStringList QtPlatform::GetOpenFileNames(QWidget* parent, const QString& filter)
{
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(ToQtNameFilter(filter));
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

QString QtPlatform::GetSaveFileName(QWidget* parent, const QString& initialPath, const QString& filter,
                                    const QString& defaultSuffix)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(ToQtNameFilter(filter));
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setSizeGripEnabled(true);
    if (!initialPath.isEmpty()) {
        const QFileInfo initial(initialPath);
        dialog.setDirectory(initial.absolutePath());
        dialog.selectFile(initial.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return WithDefaultSuffix(dialog.selectedFiles().first(), defaultSuffix);
}

bool QtPlatform::ChooseFolder(QWidget* parent, const QString& title, const QString& root, QString& folder)
{
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) folder.clear();
    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    // Both callers root the chooser at the desktop, by path or by its shown name.
    const QString top = QFileInfo(root).isDir() ? root : DesktopFolder();
    dialog.setDirectory(folder.isEmpty() ? top : folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    folder = QDir::toNativeSeparators(dialog.selectedFiles().first());
    return true;
}

QString QtPlatform::DesktopFolder()
{
    // Windows always has one; a Linux home may lack the folder its user dirs name, and the
    // results of a run must still land where the user finds them.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
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
