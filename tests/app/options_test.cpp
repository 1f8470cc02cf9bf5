// The options dialog: what a showing loads, what OK stores and Cancel throws away, the
// folder chooser behind "参照", and the controls that enable one another.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "FakePlatform.h"
#include "ShortenPath.h"
#include "TFm_Options.h"

using namespace pivotta::app;

namespace {

// The real chooser empties a folder that no longer exists before it starts.
class ChooserPlatform : public FakePlatform {
public:
    bool ChooseFolder(QWidget* parent, const QString& title, const QString& root, QString& folder) override
    {
        if (!folder.isEmpty() && !QFileInfo(folder).isDir()) folder.clear();
        return FakePlatform::ChooseFolder(parent, title, root, folder);
    }
};

AppSettings Inverted()
{
    AppSettings s;
    s.gDHTWarning = !s.gDHTWarning;
    s.gFolderProcessInfo = !s.gFolderProcessInfo;
    s.gSaveResult = !s.gSaveResult;
    s.gForceSave = !s.gForceSave;
    s.gSaveSameFolder = !s.gSaveSameFolder;
    s.gSaveFolder = QStringLiteral("/somewhere");
    s.gKeepTimeStamp_Create = !s.gKeepTimeStamp_Create;
    s.gKeepTimeStamp_Write = !s.gKeepTimeStamp_Write;
    s.gToolBarSaveButtonIsSaveAs = !s.gToolBarSaveButtonIsSaveAs;
    s.gViewProportional = !s.gViewProportional;
    s.gAllowBreakDCF = !s.gAllowBreakDCF;
    s.gAllowAdjustMCU = !s.gAllowAdjustMCU;
    s.gResetOrientation = !s.gResetOrientation;
    s.gConfirmUnsaved = !s.gConfirmUnsaved;
    s.gOptimizeHuffman = !s.gOptimizeHuffman;
    s.gOutputCoding = 2;
    return s;
}

}  // namespace

class OptionsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void showingLoadsEverySetting_data();
    void showingLoadsEverySetting();
    void okStoresEveryControl();
    void cancelAndCloseBoxDiscard();
    void emptyFolderReadsDesktop();
    void browseChoosesAFolder();
    void browseCancelledKeepsAnExistingFolder();
    void browseCancelledOnAVanishedFolderEmptiesIt();
    void browseThenCancelDiscardsTheFolder();
    void sameFolderDisablesTheFolderButKeepsIt();
    void saveResultGreysOutForceSaveWithoutClearingIt();
    void reopeningAfterCancelShowsTheStoredRadio();
    void longFolderIsShortenedToTheLabel();
    void pictureButtonsExplainThemselves();

private:
    template <typename Widget>
    Widget* Find(const char* name)
    {
        auto* widget = dialog_->findChild<Widget*>(QString::fromLatin1(name));
        if (!widget) qFatal("no control %s", name);
        return widget;
    }
    QString FolderLabel() { return Find<QLabel>("lbl_FolderName")->text(); }

    ChooserPlatform platform_;
    AppSettings settings_;
    TFm_Options* dialog_ = nullptr;
};

void OptionsTest::init()
{
    platform_ = ChooserPlatform();
    settings_ = AppSettings();
    dialog_ = new TFm_Options(settings_, platform_);
}

void OptionsTest::cleanup()
{
    delete dialog_;
    dialog_ = nullptr;
}

void OptionsTest::showingLoadsEverySetting_data()
{
    QTest::addColumn<bool>("inverted");
    QTest::newRow("defaults") << false;
    QTest::newRow("every option turned") << true;
}

void OptionsTest::showingLoadsEverySetting()
{
    QFETCH(bool, inverted);
    if (inverted) settings_ = Inverted();
    dialog_->show();
    const AppSettings& s = settings_;
    QCOMPARE(Find<QCheckBox>("chk_WaringDHT")->isChecked(), s.gDHTWarning);
    QCOMPARE(Find<QCheckBox>("chk_FolderProcessInfo")->isChecked(), s.gFolderProcessInfo);
    QCOMPARE(Find<QCheckBox>("chk_ConfirmUnsaved")->isChecked(), s.gConfirmUnsaved);
    QCOMPARE(Find<QCheckBox>("chk_OptimizeHuffman")->isChecked(), s.gOptimizeHuffman);
    QCOMPARE(Find<QComboBox>("cbo_OutputCoding")->currentIndex(), s.gOutputCoding);
    QCOMPARE(Find<QCheckBox>("chk_AllowAdjustMCU")->isChecked(), s.gAllowAdjustMCU);
    QCOMPARE(Find<QCheckBox>("chk_AllowBreakDCF")->isChecked(), s.gAllowBreakDCF);
    QCOMPARE(Find<QCheckBox>("chk_ResetOrientation")->isChecked(), s.gResetOrientation);
    QCOMPARE(Find<QCheckBox>("chk_KeepTimeStamp_Create")->isChecked(), s.gKeepTimeStamp_Create);
    QCOMPARE(Find<QCheckBox>("chk_KeepTimeStamp_Write")->isChecked(), s.gKeepTimeStamp_Write);
    QCOMPARE(Find<QComboBox>("cbo_gToolBarSaveButtonIsSaveAs")->currentIndex(), s.gToolBarSaveButtonIsSaveAs ? 0 : 1);
    QCOMPARE(Find<QCheckBox>("chk_SaveResult")->isChecked(), s.gSaveResult);
    QCOMPARE(Find<QCheckBox>("chk_ForceSave")->isChecked(), s.gForceSave);
    QCOMPARE(Find<QCheckBox>("chk_ForceSave")->isEnabled(), s.gSaveResult);
    QCOMPARE(Find<QRadioButton>("rdo_SameFolder")->isChecked(), s.gSaveSameFolder);
    QCOMPARE(Find<QRadioButton>("rdo_OtherFolder")->isChecked(), !s.gSaveSameFolder);
    QCOMPARE(Find<QPushButton>("Btn_Folder")->isEnabled(), !s.gSaveSameFolder);
    QCOMPARE(Find<QLabel>("lbl_FolderName")->isEnabled(), !s.gSaveSameFolder);
    QCOMPARE(dialog_->EditedSaveFolder(), s.gSaveFolder);
}

void OptionsTest::okStoresEveryControl()
{
    dialog_->show();
    for (const char* name : {"chk_WaringDHT", "chk_AllowAdjustMCU", "chk_AllowBreakDCF", "chk_KeepTimeStamp_Create",
                             "chk_KeepTimeStamp_Write", "chk_SaveResult", "chk_ForceSave", "chk_ResetOrientation",
                             "chk_FolderProcessInfo", "chk_ConfirmUnsaved", "chk_OptimizeHuffman"})
        Find<QCheckBox>(name)->toggle();
    Find<QComboBox>("cbo_gToolBarSaveButtonIsSaveAs")->setCurrentIndex(1);
    Find<QComboBox>("cbo_OutputCoding")->setCurrentIndex(2);
    Find<QRadioButton>("rdo_SameFolder")->setChecked(true);
    platform_.folderAnswers = {QStringLiteral("/somewhere")};
    Find<QPushButton>("Btn_Folder")->setEnabled(true);
    Find<QPushButton>("Btn_Folder")->click();

    Find<QPushButton>("Btn_OK")->click();
    QVERIFY(!dialog_->isVisible());
    QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    AppSettings expected = Inverted();
    expected.gViewProportional = false;  // set by the View menu only
    QVERIFY(settings_ == expected);
}

void OptionsTest::cancelAndCloseBoxDiscard()
{
    for (const bool byCloseBox : {false, true}) {
        dialog_->show();
        Find<QCheckBox>("chk_WaringDHT")->toggle();
        Find<QCheckBox>("chk_SaveResult")->toggle();
        Find<QComboBox>("cbo_gToolBarSaveButtonIsSaveAs")->setCurrentIndex(1);
        Find<QRadioButton>("rdo_SameFolder")->setChecked(true);
        if (byCloseBox)
            dialog_->close();
        else
            Find<QPushButton>("Btn_Cancel")->click();
        QVERIFY(!dialog_->isVisible());
        QVERIFY(settings_ == AppSettings());
    }
}

void OptionsTest::emptyFolderReadsDesktop()
{
    dialog_->show();
    QCOMPARE(FolderLabel(), QStringLiteral("デスクトップ"));

    // Without a desktop the results go to the folder standing in for it: the label says which.
    const QString home = QStringLiteral("/home/user/とても長い名前のフォルダ/もっと長い名前のフォルダ/ユーザーのホーム");
    platform_.hasDesktop = false;
    platform_.desktopFolder = home;
    dialog_->hide();
    dialog_->show();
    auto* label = Find<QLabel>("lbl_FolderName");
    QCOMPARE(FolderLabel(), ShortenPath(QDir::toNativeSeparators(home), label->fontMetrics(), TFm_Options::kFolderLabelWidth));
    QVERIFY(FolderLabel() != QDir::toNativeSeparators(home));
    QCOMPARE(label->toolTip(), QDir::toNativeSeparators(home));
}

void OptionsTest::browseChoosesAFolder()
{
    QTemporaryDir chosen;
    platform_.folderAnswers = {chosen.path()};
    dialog_->show();
    Find<QPushButton>("Btn_Folder")->click();
    QCOMPARE(platform_.folderChooserCalls.size(), size_t(1));
    QCOMPARE(platform_.folderChooserCalls[0].first, QStringLiteral("フォルダの選択"));
    QCOMPARE(FolderLabel(), QDir::toNativeSeparators(chosen.path()));
    Find<QPushButton>("Btn_OK")->click();
    QCOMPARE(settings_.gSaveFolder, chosen.path());
}

void OptionsTest::browseCancelledKeepsAnExistingFolder()
{
    QTemporaryDir existing;
    settings_.gSaveFolder = existing.path();
    dialog_->show();
    Find<QPushButton>("Btn_Folder")->click();  // the fake cancels
    QCOMPARE(platform_.folderChooserCalls[0].second, existing.path());  // starts on it
    QCOMPARE(dialog_->EditedSaveFolder(), existing.path());
    QCOMPARE(FolderLabel(), QDir::toNativeSeparators(existing.path()));
}

void OptionsTest::browseCancelledOnAVanishedFolderEmptiesIt()
{
    QTemporaryDir parent;
    settings_.gSaveFolder = parent.filePath(QStringLiteral("removed"));
    dialog_->show();
    QCOMPARE(FolderLabel(), QDir::toNativeSeparators(settings_.gSaveFolder));
    Find<QPushButton>("Btn_Folder")->click();
    QCOMPARE(dialog_->EditedSaveFolder(), QString());
    QCOMPARE(FolderLabel(), QString());  // not "デスクトップ" until the next showing
    Find<QPushButton>("Btn_OK")->click();
    QCOMPARE(settings_.gSaveFolder, QString());
    dialog_->show();
    QCOMPARE(FolderLabel(), QStringLiteral("デスクトップ"));
}

void OptionsTest::browseThenCancelDiscardsTheFolder()
{
    QTemporaryDir chosen;
    platform_.folderAnswers = {chosen.path()};
    dialog_->show();
    Find<QPushButton>("Btn_Folder")->click();
    Find<QPushButton>("Btn_Cancel")->click();
    QCOMPARE(settings_.gSaveFolder, QString());
    dialog_->show();
    QCOMPARE(dialog_->EditedSaveFolder(), QString());
    QCOMPARE(FolderLabel(), QStringLiteral("デスクトップ"));
}

void OptionsTest::sameFolderDisablesTheFolderButKeepsIt()
{
    settings_.gSaveFolder = QStringLiteral("/kept");
    dialog_->show();
    Find<QRadioButton>("rdo_SameFolder")->click();
    QVERIFY(!Find<QPushButton>("Btn_Folder")->isEnabled());
    QVERIFY(!Find<QLabel>("lbl_FolderName")->isEnabled());
    Find<QPushButton>("Btn_OK")->click();
    QVERIFY(settings_.gSaveSameFolder);
    QCOMPARE(settings_.gSaveFolder, QStringLiteral("/kept"));

    dialog_->show();
    QVERIFY(!Find<QPushButton>("Btn_Folder")->isEnabled());
    Find<QRadioButton>("rdo_OtherFolder")->click();
    QVERIFY(Find<QPushButton>("Btn_Folder")->isEnabled());
    QVERIFY(Find<QLabel>("lbl_FolderName")->isEnabled());
}

void OptionsTest::saveResultGreysOutForceSaveWithoutClearingIt()
{
    dialog_->show();
    auto* saveResult = Find<QCheckBox>("chk_SaveResult");
    auto* forceSave = Find<QCheckBox>("chk_ForceSave");
    saveResult->click();
    QVERIFY(!forceSave->isEnabled());
    QVERIFY(forceSave->isChecked());
    QVERIFY(Find<QPushButton>("Btn_Folder")->isEnabled());  // the folder group stays usable
    Find<QPushButton>("Btn_OK")->click();
    QVERIFY(!settings_.gSaveResult);
    QVERIFY(settings_.gForceSave);

    dialog_->show();
    QVERIFY(!forceSave->isEnabled());
    saveResult->click();
    QVERIFY(forceSave->isEnabled());
}

void OptionsTest::reopeningAfterCancelShowsTheStoredRadio()
{
    dialog_->show();
    Find<QRadioButton>("rdo_SameFolder")->click();
    Find<QPushButton>("Btn_Cancel")->click();
    dialog_->show();
    QVERIFY(Find<QRadioButton>("rdo_OtherFolder")->isChecked());
    QVERIFY(Find<QPushButton>("Btn_Folder")->isEnabled());
}

void OptionsTest::longFolderIsShortenedToTheLabel()
{
    const QString deep = QDir::toNativeSeparators(QStringLiteral("/home/user/写真/2024年/北海道旅行/札幌の雪まつり/大通公園の会場/夜の部"));
    settings_.gSaveFolder = deep;
    dialog_->show();
    auto* label = Find<QLabel>("lbl_FolderName");
    QCOMPARE(label->width(), TFm_Options::kFolderLabelWidth);
    const QFontMetrics metrics(label->font());
    QVERIFY(metrics.horizontalAdvance(deep) > TFm_Options::kFolderLabelWidth);
    QCOMPARE(label->text(), ShortenPath(deep, metrics, TFm_Options::kFolderLabelWidth));
    QVERIFY(label->text().startsWith(QDir::toNativeSeparators(QStringLiteral("/.../"))));
    QVERIFY(metrics.horizontalAdvance(label->text()) <= TFm_Options::kFolderLabelWidth);

    settings_.gSaveFolder = QStringLiteral("/home/user/写真");
    dialog_->hide();
    dialog_->show();
    QCOMPARE(label->text(), QDir::toNativeSeparators(QStringLiteral("/home/user/写真")));
}

void OptionsTest::pictureButtonsExplainThemselves()
{
    dialog_->show();
    Find<QToolButton>("sbn_gToolBarSaveButtonIsSaveAs")->click();
    Find<QToolButton>("sbn_NextOpen")->click();
    QCOMPARE(platform_.messages.size(), size_t(2));
    QCOMPARE(platform_.messages[0].text, QStringLiteral("Pivottaの画面の上部に横に並んでいるボタンです。"));
    QCOMPARE(platform_.messages[1].text, QStringLiteral("フォルダや複数のファイルを処理する場合に表示されるボタンです。"));
    for (const ShownMessage& message : platform_.messages) {
        QCOMPARE(message.caption, QStringLiteral("JPEGファイル回転プログラム - Pivotta -"));
        QCOMPARE(message.buttons, MessageButtons::Ok);
    }
    QVERIFY(settings_ == AppSettings());
}

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
