// The platform seam as Qt provides it on every desktop.
#pragma once

#include "FileDialogs.h"
#include "Platform.h"

namespace pivotta::app {

class QtPlatform : public Platform {
public:
    MessageAnswer ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                              MessageIcon icon, MessageButtons buttons) override;
    QStringList GetOpenFileNames(QWidget* parent, const QString& filter) override;
    QString GetSaveFileName(QWidget* parent, const QString& initialPath, const QString& filter,
                            const QString& defaultSuffix) override;
    bool ChooseFolder(QWidget* parent, const QString& title, const QString& root, QString& folder) override;

    QString DesktopFolder() override;
    bool HasDesktopFolder() override;
    FileTimes ReadFileTimes(const QString& path) override;
    bool SetCreationTime(const QString& path, const QDateTime& time) override;
    bool SetLastWriteTime(const QString& path, const QDateTime& time) override;
    void OpenWithShell(const QString& path) override;
    uint32_t TickCount() override;

private:
    FileDialogs dialogs_;
};

// "JPEGファイル|*.JPG;*.JPEG" as Qt's file dialogs spell it, lower-case patterns added so that
// case-sensitive file systems list both spellings.
QString ToQtNameFilter(const QString& filter);

// The path with defaultSuffix appended when its file name has no extension of its own.
QString WithDefaultSuffix(const QString& path, const QString& defaultSuffix);

}  // namespace pivotta::app
