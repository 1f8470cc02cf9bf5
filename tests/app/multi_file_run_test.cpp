// Stepping through several files: when a run starts, what Next saves, Previous, the end.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "FakePlatform.h"
#include "MultiFileRun.h"

using namespace pivotta::app;

namespace {

// A window and its document that show files by name and record what they were asked to do.
class FakeHost : public MultiFileHost, public ShownDocument {
public:
    void OpenFile(const QString& path) override
    {
        opened.append(path);
        shown = path;
        transformApplied = false;
        transformFailed = false;
    }
    void RunModeChanged() override { ++modeChanges; }
    bool ShowFolderProcessInfo(bool showNextTime, const std::function<QString()>& resultFolder) override
    {
        ++infoShown;
        infoFolders.append(resultFolder());
        if (duringInfo) duringInfo();
        infoFolders.append(resultFolder());
        return showNextTime && keepInfo;
    }
    void ReportError(const QString& text) override { errors.append(text); }

    const QString& Path() const override { return shown; }
    bool Unturned() const override { return !transformApplied; }
    bool ResultSavable() const override { return !transformFailed; }
    bool Save(const QString& target, QString* error) const override
    {
        saveTargets.append(target);
        if (!saveSucceeds) *error = QStringLiteral("ファイル %1 を作成できません").arg(target);
        return saveSucceeds;
    }

    QString shown;
    bool transformApplied = false;
    bool transformFailed = false;
    bool saveSucceeds = true;
    bool keepInfo = true;
    std::function<void()> duringInfo;

    QStringList opened;
    mutable QStringList saveTargets;
    QStringList errors;
    int modeChanges = 0;
    int infoShown = 0;
    QStringList infoFolders;  // what the dialog showed when it opened and after its options link
};

const QString kEndText = QStringLiteral("すべてのファイルの処理を終了しました");

QStringList Files(int count)
{
    QStringList files;
    for (int i = 1; i <= count; ++i) files.append(QStringLiteral("/photos/trip/p%1.jpg").arg(i));
    return files;
}

}  // namespace

class MultiFileRunTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void oneFileOpensWithoutARun();
    void emptyListEndsARunAndKeepsTheShownFile();
    void twoFilesStartARun();
    void infoDialogShowsWhereNextWillSave();
    void runThatSavedNothingNamesNoFolder();
    void infoDialogFollowsItsSetting();
    void optionsChangedInTheInfoDialogApplyToTheRun();
    void nextSavesByTheDecisionRule_data();
    void nextSavesByTheDecisionRule();
    void optionsChangedDuringARunDoNotApply();
    void nextSavesIntoTheResultFolderCreatingIt();
    void lastNextSavesThenEnds();
    void previousGoesBackWithoutSaving();
    void existingResultFolderIsReportedOnceAtTheStart();
    void noExistenceCheckWhenSavingIsOff();
    void nextWithNoFileOnShowStepsOn();
    void failedTransformIsNotSaved();
    void failedWriteStaysOnTheFile();
    void indexFollowsTheRun();

private:
    QTemporaryDir desktop_;
    FakePlatform platform_;
    AppSettings settings_;
    FakeHost host_;
};

void MultiFileRunTest::init()
{
    platform_ = FakePlatform();
    platform_.desktopFolder = desktop_.path();
    settings_ = AppSettings();
    host_ = FakeHost();
    QDir(desktop_.path()).removeRecursively();
    QDir().mkpath(desktop_.path());
}

void MultiFileRunTest::oneFileOpensWithoutARun()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList({QStringLiteral("/photos/one.jpg")});
    QVERIFY(!run.MultiFileMode());
    QCOMPARE(host_.modeChanges, 1);
    QCOMPARE(host_.opened, QStringList{QStringLiteral("/photos/one.jpg")});
    QCOMPARE(host_.infoShown, 0);
    run.Next();  // the button is hidden; nothing steps
    QCOMPARE(host_.opened.size(), 1);
    QVERIFY(host_.saveTargets.isEmpty());
}

void MultiFileRunTest::emptyListEndsARunAndKeepsTheShownFile()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(3));
    run.Next();
    run.StartFileList({});  // e.g. the open dialog was cancelled
    QVERIFY(!run.MultiFileMode());
    QCOMPARE(host_.modeChanges, 2);
    QCOMPARE(host_.shown, Files(3)[1]);
    QCOMPARE(host_.opened.size(), 2);
    QVERIFY(platform_.messages.empty());
}

void MultiFileRunTest::twoFilesStartARun()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(2));
    QVERIFY(run.MultiFileMode());
    QCOMPARE(host_.modeChanges, 1);
    QCOMPARE(run.FileIndex(), 0);
    QCOMPARE(host_.opened, QStringList{Files(2)[0]});
    QCOMPARE(run.ResultFolder(), desktop_.path() + QStringLiteral("/result_trip"));
    QVERIFY2(!QFileInfo::exists(run.ResultFolder()), "the folder is made at the first save, not at the start");
}

void MultiFileRunTest::infoDialogShowsWhereNextWillSave()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    // The options link may change where results go: the dialog shows the new place.
    host_.duringInfo = [this] { settings_.gSaveSameFolder = true; };
    run.StartFileList(Files(2));
    const QString onDesktop = desktop_.path() + QStringLiteral("/result_trip");
    QCOMPARE(host_.infoFolders, (QStringList{onDesktop, QStringLiteral("/photos/trip/result")}));
    QVERIFY(!QFileInfo::exists(onDesktop));
    QCOMPARE(run.ResultFolder(), QStringLiteral("/photos/trip/result"));

    host_.duringInfo = [this] { settings_.gSaveResult = false; };
    run.StartFileList(Files(2));
    QCOMPARE(host_.infoFolders.last(), QString());  // nothing is saved, no folder named
}

void MultiFileRunTest::runThatSavedNothingNamesNoFolder()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    settings_.gForceSave = false;  // unturned files are not saved: no folder is made
    run.StartFileList(Files(2));
    run.Next();
    run.Next();
    QCOMPARE(platform_.messages.back().text, kEndText);
}

void MultiFileRunTest::infoDialogFollowsItsSetting()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(2));
    run.StartFileList(Files(2));
    QCOMPARE(host_.infoShown, 2);  // at every start while kept on
    QVERIFY(settings_.gFolderProcessInfo);

    host_.keepInfo = false;  // the user unticks "次回もこの画面を表示する。"
    run.StartFileList(Files(2));
    QCOMPARE(host_.infoShown, 3);
    QVERIFY(!settings_.gFolderProcessInfo);
    run.StartFileList(Files(2));
    QCOMPARE(host_.infoShown, 3);
}

void MultiFileRunTest::optionsChangedInTheInfoDialogApplyToTheRun()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    host_.duringInfo = [this] {
        settings_.gForceSave = false;
        settings_.gSaveSameFolder = true;
    };
    run.StartFileList(Files(2));
    QVERIFY(run.RunSaveResult());
    QVERIFY(!run.RunForceSave());
    QCOMPARE(run.ResultFolder(), QStringLiteral("/photos/trip/result"));
}

void MultiFileRunTest::nextSavesByTheDecisionRule_data()
{
    QTest::addColumn<bool>("saveResult");
    QTest::addColumn<bool>("forceSave");
    QTest::addColumn<bool>("transformed");
    QTest::addColumn<bool>("saved");
    QTest::newRow("forced, not transformed") << true << true << false << true;
    QTest::newRow("forced, transformed") << true << true << true << true;
    QTest::newRow("transformed") << true << false << true << true;
    QTest::newRow("not transformed") << true << false << false << false;
    QTest::newRow("saving off") << false << true << true << false;
}

void MultiFileRunTest::nextSavesByTheDecisionRule()
{
    QFETCH(bool, saveResult);
    QFETCH(bool, forceSave);
    QFETCH(bool, transformed);
    QFETCH(bool, saved);
    settings_.gSaveResult = saveResult;
    settings_.gForceSave = forceSave;
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(3));
    host_.transformApplied = transformed;
    run.Next();
    QCOMPARE(host_.saveTargets.size(), saved ? 1 : 0);
    QCOMPARE(run.FileIndex(), 1);
    QCOMPARE(host_.shown, Files(3)[1]);
}

void MultiFileRunTest::optionsChangedDuringARunDoNotApply()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(3));
    settings_.gSaveResult = false;
    settings_.gSaveSameFolder = true;
    run.Next();
    QCOMPARE(host_.saveTargets, QStringList{desktop_.path() + QStringLiteral("/result_trip/p1.jpg")});

    settings_.gSaveResult = true;
    settings_.gForceSave = false;
    settings_.gSaveSameFolder = false;
    run.StartFileList(Files(3));  // a new run takes the options anew
    settings_.gForceSave = true;
    run.Next();
    QCOMPARE(host_.saveTargets.size(), 1);
}

void MultiFileRunTest::nextSavesIntoTheResultFolderCreatingIt()
{
    QTemporaryDir base;
    settings_.gSaveFolder = base.path();
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList({QStringLiteral("/a/trip/x.jpg"), QStringLiteral("/b/other/x.jpg")});
    const QString folder = base.path() + QStringLiteral("/result_trip");
    QCOMPARE(run.ResultFolder(), folder);
    run.Next();
    QVERIFY(QFileInfo(folder).isDir());
    // Every file of the run goes to the one folder, whatever folder it came from.
    run.Next();
    QCOMPARE(host_.saveTargets, (QStringList{folder + QStringLiteral("/x.jpg"), folder + QStringLiteral("/x.jpg")}));
}

void MultiFileRunTest::lastNextSavesThenEnds()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    platform_.onMessage = [this](const ShownMessage& message) {
        if (message.text == kEndText) QCOMPARE(host_.saveTargets.size(), 2);
    };
    run.StartFileList(Files(2));
    run.Next();
    QVERIFY(platform_.messages.empty());
    run.Next();

    QCOMPARE(platform_.messages.size(), size_t(1));
    QCOMPARE(platform_.messages[0].caption, QStringLiteral("JPEGファイル回転プログラム - Pivotta -"));
    // The end names the folder the results went into.
    QCOMPARE(platform_.messages[0].text,
             kEndText + QStringLiteral("\r保存先: ") + QDir::toNativeSeparators(run.ResultFolder()));
    QCOMPARE(platform_.messages[0].buttons, MessageButtons::Ok);
    QVERIFY(!run.MultiFileMode());
    QCOMPARE(host_.modeChanges, 2);
    QCOMPARE(run.FileIndex(), 2);
    QCOMPARE(host_.shown, Files(2)[1]);  // the last file stays on show
    QCOMPARE(host_.opened.size(), 2);
}

void MultiFileRunTest::previousGoesBackWithoutSaving()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(3));
    run.Previous();  // at the first file: nothing
    QCOMPARE(host_.opened.size(), 1);
    QCOMPARE(run.FileIndex(), 0);

    run.Next();
    run.Next();
    run.Previous();
    QCOMPARE(run.FileIndex(), 1);
    QCOMPARE(host_.shown, Files(3)[1]);
    QCOMPARE(host_.saveTargets.size(), 2);

    run.Next();  // forward again saves the file again
    QCOMPARE(host_.saveTargets.size(), 3);
    QCOMPARE(host_.saveTargets[2], host_.saveTargets[1]);
}

void MultiFileRunTest::existingResultFolderIsReportedOnceAtTheStart()
{
    QVERIFY(QDir(desktop_.path()).mkdir(QStringLiteral("result_trip")));
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(3));
    QCOMPARE(platform_.messages.size(), size_t(1));
    const ShownMessage& message = platform_.messages[0];
    QCOMPARE(message.caption, QStringLiteral("情報"));
    QCOMPARE(message.icon, MessageIcon::Information);
    QCOMPARE(message.buttons, MessageButtons::Ok);
    QCOMPARE(message.text, QStringLiteral("フォルダ \"") + QDir::toNativeSeparators(run.ResultFolder()) +
                               QStringLiteral("\"はすでに存在します。\r自動保存を行うと同名のファイルは上書きされます"));
    QCOMPARE(host_.opened.size(), 1);

    run.Next();
    run.Next();
    QCOMPARE(platform_.messages.size(), size_t(1));
    QCOMPARE(host_.saveTargets.size(), 2);
}

void MultiFileRunTest::noExistenceCheckWhenSavingIsOff()
{
    QVERIFY(QDir(desktop_.path()).mkdir(QStringLiteral("result_trip")));
    settings_.gSaveResult = false;
    settings_.gSaveFolder = QStringLiteral("/kept/as/is");
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(2));
    QVERIFY(platform_.messages.empty());
    QCOMPARE(run.ResultFolder(), QStringLiteral("/kept/as/is"));
}

void MultiFileRunTest::nextWithNoFileOnShowStepsOn()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(3));
    host_.shown.clear();  // the user closed the file
    run.Next();
    QVERIFY(host_.saveTargets.isEmpty());
    QCOMPARE(run.FileIndex(), 1);
    QCOMPARE(host_.shown, Files(3)[1]);
}

void MultiFileRunTest::failedTransformIsNotSaved()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(3));
    host_.transformApplied = true;
    host_.transformFailed = true;
    run.Next();
    QVERIFY(host_.saveTargets.isEmpty());
    QCOMPARE(platform_.messages.size(), size_t(1));
    QCOMPARE(platform_.messages[0].caption, QStringLiteral("警告"));
    QCOMPARE(platform_.messages[0].icon, MessageIcon::Warning);
    QVERIFY(platform_.messages[0].text.contains(QDir::toNativeSeparators(Files(3)[0])));
    QCOMPARE(run.FileIndex(), 1);
    QCOMPARE(host_.shown, Files(3)[1]);
}

void MultiFileRunTest::failedWriteStaysOnTheFile()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(2));
    host_.saveSucceeds = false;
    run.Next();
    QCOMPARE(host_.errors, QStringList{QStringLiteral("ファイル %1 を作成できません").arg(host_.saveTargets[0])});
    QCOMPARE(run.FileIndex(), 0);
    QCOMPARE(host_.opened.size(), 1);
    QVERIFY(run.MultiFileMode());

    host_.saveSucceeds = true;
    run.Next();  // Next retries
    QCOMPARE(host_.saveTargets.size(), 2);
    QCOMPARE(run.FileIndex(), 1);
}

void MultiFileRunTest::indexFollowsTheRun()
{
    MultiFileRun run(host_, host_, platform_, settings_);
    run.StartFileList(Files(12));
    QCOMPARE(run.FileIndex(), 0);
    for (int i = 0; i < 9; ++i) run.Next();
    QCOMPARE(run.FileIndex(), 9);
    QCOMPARE(host_.shown, Files(12)[9]);
    run.Previous();
    QCOMPARE(run.FileIndex(), 8);
    QCOMPARE(host_.shown, Files(12)[8]);
    run.StartFileList({QStringLiteral("/one.jpg")});
    QVERIFY(!run.MultiFileMode());
    QCOMPARE(run.FileIndex(), 0);
}

QTEST_MAIN(MultiFileRunTest)
#include "multi_file_run_test.moc"
