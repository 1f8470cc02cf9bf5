#include "FakePlatform.h"

namespace pivotta::app {

MessageAnswer FakePlatform::ShowMessage(QWidget*, const QString& caption, const QString& text,
                                        MessageIcon icon, MessageButtons buttons)
{
    messages.push_back(ShownMessage{caption, text, icon, buttons});
    if (onMessage) onMessage(messages.back());
    if (!messageAnswers.empty()) {
        const MessageAnswer answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::Yes: return MessageAnswer::Yes;
    case MessageButtons::YesNo: break;
    case MessageButtons::YesNoCancel: break;
    }
    return MessageAnswer::No;
}

QStringList FakePlatform::GetOpenFileNames(QWidget*, const QString& filter)
{
    openDialogFilters.push_back(filter);
    if (openAnswers.empty()) return {};
    QStringList answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

QString FakePlatform::GetSaveFileName(QWidget*, const QString& initialPath, const QString& filter,
                                      const QString& defaultSuffix)
{
    saveDialogCalls.push_back(SaveDialogCall{initialPath, filter, defaultSuffix});
    if (saveAnswers.empty()) return {};
    QString answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

bool FakePlatform::ChooseFolder(QWidget*, const QString& title, const QString&, QString& folder)
{
    folderChooserCalls.emplace_back(title, folder);
    if (folderAnswers.empty()) return false;
    const std::optional<QString> answer = folderAnswers.front();
    folderAnswers.pop_front();
    if (!answer) return false;
    folder = *answer;
    return true;
}

bool FakePlatform::SetCreationTime(const QString& path, const QDateTime& time)
{
    creationTimesSet.emplace_back(path, time);
    return QtPlatform::SetCreationTime(path, time);
}

bool FakePlatform::SetLastWriteTime(const QString& path, const QDateTime& time)
{
    lastWriteTimesSet.emplace_back(path, time);
    return QtPlatform::SetLastWriteTime(path, time);
}

uint32_t FakePlatform::TickCount()
{
    if (!ticks.empty()) {
        lastTick_ = ticks.front();
        ticks.pop_front();
    }
    return lastTick_;
}

}  // namespace pivotta::app
