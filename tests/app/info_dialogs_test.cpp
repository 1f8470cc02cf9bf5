// The information dialogs: their show-next-time boxes and what those do to the settings,
// the link to the options, the About box and the help command.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "FakePlatform.h"
#include "TFm_DHTWarning.h"
#include "TFm_FolderProcessInfo.h"
#include "TFm_Help.h"
#include "TFm_Options.h"

using namespace pivotta::app;

namespace {

template <typename Widget>
Widget* Find(QWidget* dialog, const char* name)
{
    auto* widget = dialog->findChild<Widget*>(QString::fromLatin1(name));
    if (!widget) qFatal("no control %s", name);
    return widget;
}

// Runs action on the modal dialog once it is up; the dialog shown next must be closed by it.
void WhenModal(std::function<void(QWidget*)> action)
{
    QTimer::singleShot(0, [action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        action(modal);
    });
}

// Closes the dialog with its close button, first setting its show-next-time box.
std::function<void(QWidget*)> CloseWith(const char* closeButton, std::optional<bool> showNextTime,
                                        bool* presetSeen = nullptr)
{
    return [=](QWidget* dialog) {
        auto* box = Find<QCheckBox>(dialog, "Chk_NextShow");
        if (presetSeen) *presetSeen = box->isChecked();
        if (showNextTime) box->setChecked(*showNextTime);
        Find<QPushButton>(dialog, closeButton)->click();
    };
}

}  // namespace

class InfoDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void folderInfoReturnsItsBox();
    void folderInfoBoxIsPresetEveryTime();
    void folderInfoClosedByTheCloseBoxStillAnswers();
    void optionLinkOpensTheOptionsOverIt();
    void dhtWarningReturnsItsBox();
    void dhtWarningShowsItsExplanation();
    void aboutBoxShowsVersionAndCredit();
};

void InfoDialogsTest::folderInfoReturnsItsBox()
{
    TFm_FolderProcessInfo dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("情報 - 複数ファイルの処理 -"));
    WhenModal(CloseWith("Btn_Close", std::nullopt));
    QVERIFY(dialog.ShowDialog(true));
    WhenModal(CloseWith("Btn_Close", false));
    QVERIFY(!dialog.ShowDialog(true));
    WhenModal(CloseWith("Btn_Close", true));
    QVERIFY(dialog.ShowDialog(false));
}

void InfoDialogsTest::folderInfoBoxIsPresetEveryTime()
{
    TFm_FolderProcessInfo dialog(nullptr);
    bool preset = false;
    WhenModal(CloseWith("Btn_Close", false));
    QVERIFY(!dialog.ShowDialog(true));
    WhenModal(CloseWith("Btn_Close", std::nullopt, &preset));
    QVERIFY(dialog.ShowDialog(true));
    QVERIFY(preset);
    WhenModal(CloseWith("Btn_Close", std::nullopt, &preset));
    QVERIFY(!dialog.ShowDialog(false));
    QVERIFY(!preset);
}

void InfoDialogsTest::folderInfoClosedByTheCloseBoxStillAnswers()
{
    TFm_FolderProcessInfo dialog(nullptr);
    WhenModal([](QWidget* modal) {
        Find<QCheckBox>(modal, "Chk_NextShow")->setChecked(false);
        modal->close();
    });
    QVERIFY(!dialog.ShowDialog(true));
    WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    QVERIFY(dialog.ShowDialog(true));
}

void InfoDialogsTest::optionLinkOpensTheOptionsOverIt()
{
    FakePlatform platform;
    AppSettings settings;
    TFm_Options options(settings, platform);
    TFm_FolderProcessInfo dialog(&options);

    bool optionsShown = false;
    WhenModal([&](QWidget* info) {
        QCOMPARE(info, static_cast<QWidget*>(&dialog));
        WhenModal([&](QWidget* modal) {
            optionsShown = modal == &options;
            Find<QCheckBox>(modal, "chk_SaveResult")->setChecked(false);
            Find<QPushButton>(modal, "Btn_OK")->click();
            WhenModal(CloseWith("Btn_Close", std::nullopt));
        });
        QTest::mouseClick(Find<QLabel>(info, "Lbl_Option"), Qt::LeftButton);
    });
    QVERIFY(dialog.ShowDialog(true));
    QVERIFY(optionsShown);
    QVERIFY(!settings.gSaveResult);
}

void InfoDialogsTest::dhtWarningReturnsItsBox()
{
    TFm_DHTWarning dialog;
    bool preset = false;
    WhenModal(CloseWith("btn_Close", std::nullopt, &preset));
    QVERIFY(dialog.ShowDialog(true));
    QVERIFY(preset);
    WhenModal(CloseWith("btn_Close", false));
    QVERIFY(!dialog.ShowDialog(true));
    WhenModal(CloseWith("btn_Close", std::nullopt, &preset));
    QVERIFY(dialog.ShowDialog(true));  // preset again, whatever was left in it
    QVERIFY(preset);
    WhenModal([](QWidget* modal) {
        Find<QCheckBox>(modal, "Chk_NextShow")->setChecked(false);
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    QVERIFY(!dialog.ShowDialog(true));
}

void InfoDialogsTest::dhtWarningShowsItsExplanation()
{
    TFm_DHTWarning dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("警告 - 最適化されたハフマンテーブル -"));
    QVERIFY(Find<QCheckBox>(&dialog, "Chk_NextShow")->isChecked());
    auto* memo = Find<QPlainTextEdit>(&dialog, "Memo");
    QVERIFY(memo->isReadOnly());
    QCOMPARE(memo->focusPolicy(), Qt::NoFocus);
    const QStringList lines = memo->toPlainText().split(u'\n');
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines[0], QStringLiteral("画像ファイル内のハフマンテーブルが"));
    QCOMPARE(lines[3], QString());
    QCOMPARE(lines[5], QStringLiteral("画像には影響を与えません。"));
}

void InfoDialogsTest::aboutBoxShowsVersionAndCredit()
{
    TFm_Help dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Pivottaについて..."));
    QCOMPARE(Find<QLabel>(&dialog, "Lbl_01")->text(), QStringLiteral("JPEGファイル回転プログラム - Pivotta -"));
    QCOMPARE(Find<QLabel>(&dialog, "Lbl_02")->text(), QStringLiteral("Version 1.09"));
    QVERIFY(!Find<QLabel>(&dialog, "lbl_03")->text().isEmpty());
    WhenModal([](QWidget* modal) { Find<QPushButton>(modal, "btn_close")->click(); });
    dialog.exec();
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(InfoDialogsTest)
#include "info_dialogs_test.moc"
