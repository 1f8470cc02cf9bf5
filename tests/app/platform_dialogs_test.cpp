// Qt's own dialogs as the program shows them: はい is the overwrite question's default, the
// folder chooser's caption and starting folder, the file dialogs' size and Japanese dates.
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QLabel>
#include <QHeaderView>
#include <QTreeView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTexts.h"
#include "FileDialogs.h"
#include "FileGathering.h"
#include "ModalAnswerer.h"
#include "QtPlatform.h"
#include "QtTexts.h"

using namespace pivotta::app;

class PlatformDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void QtDialogsNameFoldersInJapanese()
    {
        JapaneseQtTexts japanese;
        QCoreApplication::installTranslator(&japanese);
        QTemporaryDir dir;
        // The type column of Qt's file dialogs.
        QCOMPARE(QFileIconProvider().type(QFileInfo(dir.path())), QStringLiteral("フォルダ"));
        // The folder chooser's own words.
        QFileDialog chooser(nullptr, QStringLiteral("フォルダの選択"), dir.path());
        chooser.setOption(QFileDialog::DontUseNativeDialog);
        chooser.setFileMode(QFileDialog::Directory);
        QStringList words;
        for (const QLabel* label : chooser.findChildren<QLabel*>()) words << label->text();
        for (const QWidget* widget : chooser.findChildren<QWidget*>()) words << widget->toolTip();
        QCoreApplication::removeTranslator(&japanese);
        QVERIFY2(!words.join(u' ').contains(QStringLiteral("ディレクトリ")), qPrintable(words.join(u' ')));
        QVERIFY(words.contains(QStringLiteral("フォルダ:")));
    }

    void QuestionDefaultsToYes()
    {
        const auto box = MakeMessageBox(nullptr, texts::kWarningCaption, texts::kOverwriteQuestion,
                                        MessageIcon::Warning, MessageButtons::YesNo);
        QVERIFY(box->defaultButton());
        QCOMPARE(box->defaultButton()->text(), QStringLiteral("はい(&Y)"));

        // Enter in the real box answers Yes; the close box still answers No.
        QtPlatform platform;
        ModalAnswerer answerer;
        answerer.Expect([](QDialog* shown) { QTest::keyClick(shown, Qt::Key_Return); });
        QCOMPARE(platform.ShowMessage(nullptr, texts::kWarningCaption, texts::kOverwriteQuestion, MessageIcon::Warning,
                                      MessageButtons::YesNo),
                 MessageAnswer::Yes);
        QCOMPARE(platform.ShowMessage(nullptr, texts::kWarningCaption, texts::kOverwriteQuestion, MessageIcon::Warning,
                                      MessageButtons::YesNo),
                 MessageAnswer::No);
    }

    void FolderChoosersShowTheirCaptionAndStartAtTheDesktop_data()
    {
        QTest::addColumn<bool>("folderCommand");
        QTest::newRow("フォルダを開く") << true;
        QTest::newRow("options' 参照") << false;
    }

    void FolderChoosersShowTheirCaptionAndStartAtTheDesktop()
    {
        QFETCH(bool, folderCommand);
        QtPlatform platform;
        ModalAnswerer answerer;
        QString caption;
        QString directory;
        answerer.Expect([&](QDialog* shown) {
            caption = shown->windowTitle();
            directory = static_cast<QFileDialog*>(shown)->directory().absolutePath();
            shown->reject();
        });
        if (folderCommand) {
            QVERIFY(GatherFromFolderChooser(platform, nullptr).isEmpty());
        } else {
            QString folder;
            QVERIFY(!platform.ChooseFolder(nullptr, QStringLiteral("フォルダの選択"), QStringLiteral("DESKTOP"), folder));
        }
        QCOMPARE(caption, folderCommand ? QStringLiteral("フォルダーの参照") : QStringLiteral("フォルダの選択"));
        QCOMPARE(directory, QDir(platform.DesktopFolder()).absolutePath());
    }

    void FileDialogsShowTheirColumnsAndKeepTheUsersSize()
    {
        FileDialogs dialogs;
        ModalAnswerer answerer;
        const auto first = dialogs.OpenDialog(nullptr, texts::kJpegFilter);
        QCOMPARE(first->size(), FileDialogs::kFirstSize);
        answerer.Expect([](QDialog* shown) {
            shown->resize(1000, 620);
            shown->reject();
        });
        QVERIFY(!dialogs.Run(*first));
        // The next dialog of any kind opens at the size the user gave the last one.
        QCOMPARE(dialogs.SaveDialog(nullptr, QString(), texts::kJpegFilter, texts::kDefaultExtension)->size(),
                 QSize(1000, 620));
        QCOMPARE(dialogs.FolderChooser(nullptr, QString(), QDir::homePath(), QString())->size(), QSize(1000, 620));
    }

    void FileDatesAreWrittenTheJapaneseWay()
    {
        QCOMPARE(JapaneseDateText(QDateTime(QDate(2026, 12, 8), QTime(9, 5))), QStringLiteral("2026/12/08 9:05"));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.jpg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        FileDialogs dialogs;
        const auto dialog = dialogs.OpenDialog(nullptr, texts::kJpegFilter);
        dialog->setDirectory(dir.path());
        QAbstractProxyModel* shown = dialog->proxyModel();
        QVERIFY(shown);
        auto* files = qobject_cast<QFileSystemModel*>(shown->sourceModel());
        QVERIFY(files);
        const auto dateShown = [&] { return shown->mapFromSource(files->index(path, 3)).data().toString(); };
        QTRY_COMPARE(dateShown(), JapaneseDateText(QFileInfo(path).lastModified()));

        // Shown, the details view gives the whole date its room, whatever the font.
        QFont large = dialog->font();
        large.setPixelSize(24);
        dialog->setFont(large);
        dialog->show();
        auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        QVERIFY(details);
        const int dateWidth = details->fontMetrics().horizontalAdvance(dateShown());
        QTRY_VERIFY(details->header()->sectionSize(3) > dateWidth);
        QVERIFY(details->header()->sectionSize(0) > details->header()->sectionSize(3));
        dialog->hide();
    }
};

QTEST_MAIN(PlatformDialogsTest)
#include "platform_dialogs_test.moc"
