// A platform seam for tests: records every box and dialog the program shows and answers
// from queues. File times go to the real file system (and are recorded too).
#pragma once

#include <QDateTime>
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "QtPlatform.h"

namespace pivotta::app {

using ShownMessage = MessageBoxSpec;

struct SaveDialogCall {
    QString initialPath;
    QString filter;
    QString defaultSuffix;
};

class FakePlatform : public QtPlatform {
public:
    MessageAnswer ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                              MessageIcon icon, MessageButtons buttons) override;
    QStringList GetOpenFileNames(QWidget* parent, const QString& filter) override;
    QString GetSaveFileName(QWidget* parent, const QString& initialPath, const QString& filter,
                            const QString& defaultSuffix) override;
    bool ChooseFolder(QWidget* parent, const QString& title, const QString& root, QString& folder) override;
    QString DesktopFolder() override { return desktopFolder; }
    bool HasDesktopFolder() override { return hasDesktop; }
    bool SetCreationTime(const QString& path, const QDateTime& time) override;
    bool SetLastWriteTime(const QString& path, const QDateTime& time) override;
    void OpenWithShell(const QString& path) override { shellOpened.push_back(path); }
    uint32_t TickCount() override;

    // Answers, taken from the front. An empty queue answers a question No (the safe side),
    // a one-button box with its button, a dialog with cancel.
    std::deque<MessageAnswer> messageAnswers;
    std::deque<QStringList> openAnswers;
    std::deque<QString> saveAnswers;               // returned as given: no suffix is added
    std::deque<std::optional<QString>> folderAnswers;  // nullopt: cancel
    QString desktopFolder;
    bool hasDesktop = true;  // false: desktopFolder stands in for a missing desktop
    // Clock readings; when empty the clock stands still at its last value.
    std::deque<uint32_t> ticks;

    // What happened.
    std::vector<ShownMessage> messages;
    std::vector<QString> openDialogFilters;
    std::vector<SaveDialogCall> saveDialogCalls;
    std::vector<std::pair<QString, QString>> folderChooserCalls;  // title, folder passed in
    std::vector<std::pair<QString, QDateTime>> creationTimesSet;
    std::vector<std::pair<QString, QDateTime>> lastWriteTimesSet;
    std::vector<QString> shellOpened;

    // Hooks run inside a shown message, e.g. to look at the window while a box is up.
    std::function<void(const ShownMessage&)> onMessage;

private:
    uint32_t lastTick_ = 0;
};

}  // namespace pivotta::app
