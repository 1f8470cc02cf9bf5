#include "FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>

#include "QtPlatform.h"

namespace pivotta::app {

namespace {

// The column QFileDialog's detail view shows a file's last-modified time in.
constexpr int kDateColumn = 3;

// QFileSystemModel writes dates in the system locale's words ("Dec 8, 2026"), whatever
// language the program speaks.
class JapaneseDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole && index.column() == kDateColumn) {
            if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel())) {
                return JapaneseDateText(files->lastModified(mapToSource(index)));
            }
        }
        return QIdentityProxyModel::data(index, role);
    }
};

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

// The name takes what room is left once size, kind and date show whole.
void ShowWholeColumns(QFileDialog& dialog)
{
    auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!details) return;
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column <= kDateColumn; ++column) {
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
}

}  // namespace

QString JapaneseDateText(const QDateTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy/MM/dd H:mm")) : QString();
}

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& caption, const QString& text,
                                            MessageIcon icon, MessageButtons buttons)
{
    auto box = std::make_unique<QMessageBox>(ToQtIcon(icon), caption, WithQtLineBreaks(text), QMessageBox::NoButton,
                                             parent);
    switch (buttons) {
    case MessageButtons::Ok:
        box->addButton(QMessageBox::Ok)->setText(QStringLiteral("OK"));
        break;
    case MessageButtons::Yes:
        box->addButton(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        break;
    case MessageButtons::YesNo:
        box->setDefaultButton(box->addButton(QMessageBox::Yes));
        box->button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        box->addButton(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
        break;
    case MessageButtons::YesNoCancel:
        box->setDefaultButton(box->addButton(QMessageBox::Yes));
        box->button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        box->addButton(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
        box->setEscapeButton(box->addButton(QMessageBox::Cancel));
        box->button(QMessageBox::Cancel)->setText(QStringLiteral("キャンセル"));
        break;
    }
    return box;
}

std::unique_ptr<QFileDialog> FileDialogs::Prepared(QWidget* parent, const QString& caption) const
{
    auto dialog = std::make_unique<QFileDialog>(parent, caption);
    dialog->setSizeGripEnabled(true);
    // Both take effect only where Qt's own dialog is shown; a native one speaks for itself.
    dialog->setProxyModel(new JapaneseDates(dialog.get()));
    dialog->resize(size_);
    ShowWholeColumns(*dialog);
    return dialog;
}

std::unique_ptr<QFileDialog> FileDialogs::OpenDialog(QWidget* parent, const QString& filter) const
{
    auto dialog = Prepared(parent, QString());
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilter(ToQtNameFilter(filter));
    return dialog;
}

std::unique_ptr<QFileDialog> FileDialogs::SaveDialog(QWidget* parent, const QString& initialPath,
                                                     const QString& filter, const QString& defaultSuffix) const
{
    auto dialog = Prepared(parent, QString());
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(ToQtNameFilter(filter));
    dialog->setDefaultSuffix(defaultSuffix);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    if (!initialPath.isEmpty()) {
        const QFileInfo initial(initialPath);
        dialog->setDirectory(initial.absolutePath());
        dialog->selectFile(initial.fileName());
    }
    return dialog;
}

std::unique_ptr<QFileDialog> FileDialogs::FolderChooser(QWidget* parent, const QString& title,
                                                        const QString& desktop, const QString& folder) const
{
    auto dialog = Prepared(parent, title.isEmpty() ? kFolderChooserCaption : title);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setDirectory(folder.isEmpty() ? desktop : folder);
    QList<QUrl> places{QUrl::fromLocalFile(desktop)};
    if (!folder.isEmpty()) places.append(QUrl::fromLocalFile(folder));
    dialog->setSidebarUrls(places);
    return dialog;
}

bool FileDialogs::Run(QFileDialog& dialog)
{
    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    size_ = dialog.size();
    return accepted;
}

}  // namespace pivotta::app
