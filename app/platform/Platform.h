// The one seam between the desktop program and its platform: message boxes, file dialogs,
// the folder chooser, file times, the desktop folder, the shell and the clock. Tests replace
// it to read what was shown and to answer.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class QWidget;

namespace pivotta::app {

enum class MessageIcon { None, Information, Warning, Error };
enum class MessageButtons { Ok, Yes, YesNo, YesNoCancel };   // Yes is the single "はい(&Y)" button
enum class MessageAnswer { Ok, Yes, No, Cancel };

// One message box as the user sees it.
struct MessageBoxSpec {
    QString caption;
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

struct FileTimes {
    QDateTime creation;   // invalid when the platform does not report it
    QDateTime lastWrite;
};

class Platform {
public:
    virtual ~Platform() = default;

    virtual MessageAnswer ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                                      MessageIcon icon, MessageButtons buttons) = 0;
    // Empty list when cancelled.
    virtual QStringList GetOpenFileNames(QWidget* parent, const QString& filter) = 0;
    // Empty string when cancelled. defaultSuffix is appended when the typed name has none.
    virtual QString GetSaveFileName(QWidget* parent, const QString& initialPath, const QString& filter,
                                    const QString& defaultSuffix) = 0;
    // folder is in/out: emptied first when it names no existing folder; kept on cancel.
    virtual bool ChooseFolder(QWidget* parent, const QString& title, const QString& root, QString& folder) = 0;

    // The user's desktop folder; the home folder where the desktop has none.
    virtual QString DesktopFolder() = 0;
    // False when DesktopFolder names the home folder standing in for a missing desktop.
    virtual bool HasDesktopFolder() { return true; }
    virtual FileTimes ReadFileTimes(const QString& path) = 0;
    // Each returns false when the platform refuses; callers do not examine it.
    virtual bool SetCreationTime(const QString& path, const QDateTime& time) = 0;
    virtual bool SetLastWriteTime(const QString& path, const QDateTime& time) = 0;
    virtual void OpenWithShell(const QString& path) = 0;
    // A 32-bit millisecond clock; differences are taken modulo 2^32.
    virtual uint32_t TickCount() = 0;
};

}  // namespace pivotta::app
