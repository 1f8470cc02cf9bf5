// Qt's own file dialogs and message box as the program shows them: the file dialogs open at
// a size that shows every column (then at the size the user last gave one, for the run),
// write dates the Japanese way, and the folder chooser starts at the desktop with a caption
// of the program's language.
#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>
#include <memory>

#include "Platform.h"

class QFileDialog;
class QMessageBox;
class QWidget;

namespace pivotta::app {

// "2026/12/08 9:05", as the Japanese file dialogs of the desktop write a file's date.
QString JapaneseDateText(const QDateTime& time);

// The box ShowMessage runs; its default button is the first one, as the platform's box has it.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& caption, const QString& text,
                                            MessageIcon icon, MessageButtons buttons);

class FileDialogs {
public:
    static constexpr QSize kFirstSize{880, 540};
    // The caption of a folder chooser that was given no title of its own.
    static inline const QString kFolderChooserCaption = QStringLiteral("フォルダーの参照");

    std::unique_ptr<QFileDialog> OpenDialog(QWidget* parent, const QString& filter) const;
    std::unique_ptr<QFileDialog> SaveDialog(QWidget* parent, const QString& initialPath, const QString& filter,
                                            const QString& defaultSuffix) const;
    // Starts on folder when it is not empty, else on desktop, which heads the side bar.
    std::unique_ptr<QFileDialog> FolderChooser(QWidget* parent, const QString& title, const QString& desktop,
                                               const QString& folder) const;

    // Runs the dialog modally; the size it is left at is the next dialog's size.
    bool Run(QFileDialog& dialog);
    QSize NextSize() const { return size_; }

private:
    std::unique_ptr<QFileDialog> Prepared(QWidget* parent, const QString& caption) const;

    QSize size_ = kFirstSize;
};

}  // namespace pivotta::app
