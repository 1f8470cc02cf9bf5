// The transform commands and saving: every run starts from the opened bytes, the progress and
// the time it took are shown, saves write exactly the result (atomically) with the kept file
// times, and a failed run can never be saved.
#include <QApplication>
#include <QFile>
#include <QProgressBar>
#include <QToolButton>
#include <QtTest>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "AppTexts.h"
#include "ExifBuilder.h"
#include "MainWindowHarness.h"
#include "PictureView.h"
#include "StatusPanels.h"

using namespace pivotta::app;

namespace {

using pivotta::TransformKind;

QStringList Checked(TFm_Main& window, bool buttons)
{
    QStringList checked;
    for (const TransformCommand& command : kTransformCommands) {
        const char* name = buttons ? command.buttonName : command.menuName;
        if (Action(window, name)->isChecked()) checked << name;
    }
    return checked;
}

bool SaveCommandsEnabled(TFm_Main& window)
{
    return Action(window, "tbn_FileSave")->isEnabled() && Action(window, "mnu_FileSave")->isEnabled() && Action(window, "mnu_FileSaveAs")->isEnabled();
}

bool SaveCommandsDisabled(TFm_Main& window)
{
    return !Action(window, "tbn_FileSave")->isEnabled() && !Action(window, "mnu_FileSave")->isEnabled() &&
           !Action(window, "mnu_FileSaveAs")->isEnabled();
}

void SetModificationTime(const QString& path, const QDateTime& time)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

// A whole-number-of-MCU picture opens without warnings.
constexpr int kWidth = 128;
constexpr int kHeight = 64;

std::vector<uint8_t> WithOrientation(const std::vector<uint8_t>& jpeg, uint16_t orientation)
{
    pivotta::test::ExifBuilder exif(true);
    exif.Ifd0().Short(pivotta::test::exif_tag::Orientation, orientation);
    return pivotta::test::WithApp1(jpeg, exif.Build());
}

std::optional<uint32_t> OrientationOf(const std::vector<uint8_t>& jpeg)
{
    pivotta::TJpegRotation engine;
    if (!engine.CheckJpeg(pivotta::TMemoryStream(jpeg))) return std::nullopt;
    return engine.Orientation();
}

}  // namespace

class TransformCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void EveryTransformStartsFromTheOpenedBytes()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const std::vector<uint8_t> source = TestJpeg(kWidth, kHeight);
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("a.jpg", source)));
        harness.platform.ticks = {100, 150, 1000, 1125};

        Action(window, "tbn_90")->trigger();
        QCOMPARE(StreamBytes(window.Document().Result()), EngineTransform(source, TransformKind::Rotate90));
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(0), QStringLiteral("処理時間  50ミリ秒"));
        Action(window, "tbn_180")->trigger();
        QCOMPARE(StreamBytes(window.Document().Result()), EngineTransform(source, TransformKind::Rotate180));
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(0), QStringLiteral("処理時間  125ミリ秒"));
        QCOMPARE(Checked(window, true), QStringList{"tbn_180"});
        QCOMPARE(Checked(window, false), QStringList{"mnu_180"});
        QCOMPARE(StreamBytes(window.Document().Source()), source);

        // The same command twice shows the same single turn, with its button still down.
        Action(window, "tbn_mirror_lr")->trigger();
        Action(window, "tbn_mirror_lr")->trigger();
        QCOMPARE(StreamBytes(window.Document().Result()), EngineTransform(source, TransformKind::MirrorLR));
        QCOMPARE(Checked(window, true), QStringList{"tbn_mirror_lr"});

        // The menu items run the same commands.
        Action(window, "mnu_270")->trigger();
        QCOMPARE(StreamBytes(window.Document().Result()), EngineTransform(source, TransformKind::Rotate270));
        QCOMPARE(Checked(window, true), QStringList{"tbn_270"});
        Action(window, "tbn_mirror_tb")->trigger();
        QCOMPARE(StreamBytes(window.Document().Result()), EngineTransform(source, TransformKind::MirrorTB));
        QCOMPARE(Checked(window, false), QStringList{"mnu_Mirror_TB"});
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void AutoOrientTurnsByTheTagAndSavesItUpright()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const std::vector<uint8_t> plain = TestJpeg(kWidth, kHeight);
        // No tag, or tag 1: nothing to do, and nothing said about it.
        for (const auto& [name, bytes] : {std::pair{"plain.jpg", plain}, {"one.jpg", WithOrientation(plain, 1)}}) {
            const QString path = harness.WriteFile(name, bytes);
            QVERIFY(window.Uty_OpenJpegFile(path));
            QVERIFY(!Action(window, "mnu_AutoOrient")->isEnabled());
            QVERIFY(!Action(window, "tbn_AutoOrient")->isEnabled());
            QVERIFY(!Part<StatusPanels>(window, "StatusBar")->PanelText(0).contains(QStringLiteral("Exif")));
        }

        const std::vector<uint8_t> source = WithOrientation(plain, 6);
        const QString path = harness.WriteFile("six.jpg", source);
        QVERIFY(window.Uty_OpenJpegFile(path));
        QVERIFY(Action(window, "mnu_AutoOrient")->isEnabled());
        QVERIFY(Action(window, "tbn_AutoOrient")->isEnabled());
        QVERIFY(Part<StatusPanels>(window, "StatusBar")->PanelText(0).endsWith(QStringLiteral("(128*64) [Exif向き 6]")));
        Action(window, "mnu_AutoOrient")->trigger();
        QCOMPARE(StreamBytes(window.Document().Result()), EngineTransform(source, TransformKind::Rotate90));
        QCOMPARE(OrientationOf(StreamBytes(window.Document().Result())), 1u);
        // The menu names the command, the toolbar the kind it applied.
        QCOMPARE(Checked(window, false), QStringList{"mnu_AutoOrient"});
        QCOMPARE(Checked(window, true), QStringList{"tbn_90"});
        QVERIFY(!window.Document().Unturned());
        harness.platform.messageAnswers = {MessageAnswer::Yes};
        Action(window, "mnu_FileSave")->trigger();
        QCOMPARE(ReadBytes(path), EngineTransform(source, TransformKind::Rotate90));

        // The unturned state and the other commands leave the group's check to themselves.
        Action(window, "tbn_0")->trigger();
        QVERIFY(!Action(window, "mnu_AutoOrient")->isChecked());
        QCOMPARE(Checked(window, false), QStringList{"mnu_0"});
        Action(window, "tbn_AutoOrient")->trigger();
        QCOMPARE(Checked(window, false), QStringList{"mnu_AutoOrient"});
        Action(window, "tbn_180")->trigger();
        QVERIFY(!Action(window, "mnu_AutoOrient")->isChecked());
        QCOMPARE(Checked(window, true), QStringList{"tbn_180"});
    }

    void TransformsAreOnCtrlAndTheirMenuNumber()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const std::vector<uint8_t> source = WithOrientation(TestJpeg(kWidth, kHeight), 3);
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("three.jpg", source)));
        const std::pair<Qt::Key, const char*> keys[] = {
            {Qt::Key_2, "tbn_90"},        {Qt::Key_3, "tbn_180"},       {Qt::Key_4, "tbn_270"},
            {Qt::Key_5, "tbn_mirror_lr"}, {Qt::Key_6, "tbn_mirror_tb"}, {Qt::Key_1, "tbn_0"},
            {Qt::Key_7, "tbn_180"},  // auto-orient: tag 3 asks for a half turn
        };
        for (const auto& [key, button] : keys) {
            QTest::keyClick(&window, key, Qt::ControlModifier);
            QCOMPARE(Checked(window, true), QStringList{button});
        }
        QVERIFY(Action(window, "mnu_AutoOrient")->isChecked());
        QCOMPARE(StreamBytes(window.Document().Result()), EngineTransform(source, TransformKind::Rotate180));
    }

    void ResetOrientationOptionReachesTheEngine()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const std::vector<uint8_t> source = WithOrientation(TestJpeg(kWidth, kHeight), 8);
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("eight.jpg", source)));
        QVERIFY(window.Settings.gResetOrientation);
        Action(window, "tbn_90")->trigger();
        QCOMPARE(OrientationOf(StreamBytes(window.Document().Result())), 1u);
        window.Settings.gResetOrientation = false;
        Action(window, "tbn_90")->trigger();
        QCOMPARE(OrientationOf(StreamBytes(window.Document().Result())), 8u);
        // Turning by the tag and keeping it would turn the picture twice in every viewer.
        Action(window, "mnu_AutoOrient")->trigger();
        QCOMPARE(StreamBytes(window.Document().Result()), EngineTransform(source, TransformKind::Rotate270));
        QCOMPARE(OrientationOf(StreamBytes(window.Document().Result())), 1u);
    }

    void ClickingTheButtonThatIsDownRunsItAgain()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const std::vector<uint8_t> source = TestJpeg(kWidth, kHeight);
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("a.jpg", source)));
        auto* button = window.findChild<QToolButton*>("tbn_180");
        QVERIFY(button);
        harness.platform.ticks = {0, 7, 10, 19};
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(0), QStringLiteral("処理時間  7ミリ秒"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(0), QStringLiteral("処理時間  9ミリ秒"));
        QVERIFY(button->isChecked());
        QCOMPARE(Checked(window, true), QStringList{"tbn_180"});
        QCOMPARE(StreamBytes(window.Document().Result()), EngineTransform(source, TransformKind::Rotate180));
    }

    void ClockStandsStillWhileAnEngineBoxIsUp_data()
    {
        QTest::addColumn<bool>("huffmanWarning");
        QTest::newRow("error box of a failed run") << false;
        QTest::newRow("optimized-table warning") << true;
    }

    // The time a user spends reading a box the engine opened is not processing time.
    void ClockStandsStillWhileAnEngineBoxIsUp()
    {
        QFETCH(bool, huffmanWarning);
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const std::vector<uint8_t> whole = TestJpeg(kWidth, kHeight);
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("a.jpg", huffmanWarning ? whole : CutShortScan(whole))));
        if (huffmanWarning) {
            // The warning's dialog, raised from inside the run by the engine's hook.
            window.Document().Engine().OnProgressMax = [&](int) { window.Document().Engine().OnDHTWarning(); };
            window.DHTWarningDialog = [&](bool keep) { return keep; };
            window.Settings.gDHTWarning = true;
        }
        harness.platform.ticks = {1000, 1010, 6010, 6030};
        Action(window, "tbn_90")->trigger();
        QVERIFY(harness.platform.ticks.empty());
        QCOMPARE(window.Document().ResultSavable(), huffmanWarning);
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(0), QStringLiteral("処理時間  30ミリ秒"));
    }

    void UnturnedCommandRestoresTheSourceBytes()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const std::vector<uint8_t> source = TestJpeg(kWidth, kHeight);
        const QString path = harness.WriteFile("a.jpg", source);
        QVERIFY(window.Uty_OpenJpegFile(path));
        Action(window, "tbn_90")->trigger();
        harness.platform.ticks = {0xFFFFFFF0u, 0x10u};
        Action(window, "tbn_0")->trigger();
        QCOMPARE(StreamBytes(window.Document().Result()), source);
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(0), QStringLiteral("処理時間  32ミリ秒"));  // across the clock's wrap
        QVERIFY(window.Document().Unturned());
        QCOMPARE(Checked(window, false), QStringList{"mnu_0"});
        QCOMPARE(Part<PictureView>(window, "Image")->size(), QSize(kWidth, kHeight));

        harness.platform.messageAnswers = {MessageAnswer::Yes};
        Action(window, "mnu_FileSave")->trigger();
        QCOMPARE(ReadBytes(path), source);
    }

    void QuarterTurnExchangesThePictureControlsSides()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("wide.jpg", TestJpeg(1200, 800))));
        Action(window, "mnu_View50")->trigger();
        Action(window, "tbn_90")->trigger();
        QCOMPARE(Part<PictureView>(window, "Image")->size(), QSize(400, 600));
        QCOMPARE(Part<PictureView>(window, "Image")->Picture().Size(), QSize(800, 1200));
    }

    void DefaultSettingsTrimARaggedEdgeInsteadOfTurningItIn()
    {
        // 480x360 in 16x16 MCUs: the bottom 8 rows are a partial MCU that a quarter turn would
        // move to the left edge as a band of padding.
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("ragged.jpg", TestJpeg(480, 360))));
        QCOMPARE(harness.platform.messages.size(), size_t{1});  // the must-be-trimmed warning stays
        QCOMPARE(harness.platform.messages.front().caption, QStringLiteral("警告"));
        Action(window, "tbn_90")->trigger();
        QCOMPARE(Part<PictureView>(window, "Image")->Picture().Size(), QSize(352, 480));
        window.Settings.gAllowAdjustMCU = false;  // the user's own choice still holds
        Action(window, "tbn_270")->trigger();
        QCOMPARE(Part<PictureView>(window, "Image")->Picture().Size(), QSize(360, 480));
    }

    void ProgressBarStandsInForTheStatusBarWhileTheEngineRuns()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("a.jpg", TestJpeg(kWidth, kHeight))));
        window.Settings.gAllowAdjustMCU = true;
        window.Settings.gAllowBreakDCF = true;

        int maximum = -1;
        std::vector<int> positions;
        bool barShown = true;
        bool busy = true;
        const auto setMaximum = window.Document().Engine().OnProgressMax;
        const auto setPosition = window.Document().Engine().OnProgress;
        window.Document().Engine().OnProgressMax = [&](int value) {
            setMaximum(value);
            maximum = Part<QProgressBar>(window, "ProgressBar")->maximum();
            barShown = barShown && Part<QProgressBar>(window, "ProgressBar")->isVisible() && !Part<StatusPanels>(window, "StatusBar")->isVisible();
        };
        window.Document().Engine().OnProgress = [&](int value) {
            setPosition(value);
            positions.push_back(Part<QProgressBar>(window, "ProgressBar")->value());
            busy = busy && QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        };
        Action(window, "tbn_270")->trigger();

        QVERIFY(maximum > 0);
        QVERIFY(!positions.empty());
        QVERIFY(std::is_sorted(positions.begin(), positions.end()));
        QVERIFY(positions.front() >= 0 && positions.back() <= maximum);
        QVERIFY(barShown);
        QVERIFY(busy);
        QVERIFY(window.Document().Engine().AllowAdjustMCU);
        QVERIFY(window.Document().Engine().AllowBreakDCF);
        QVERIFY(!Part<QProgressBar>(window, "ProgressBar")->isVisible());
        QVERIFY(Part<StatusPanels>(window, "StatusBar")->isVisible());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void SaveAsksBeforeOverwriting()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const std::vector<uint8_t> source = TestJpeg(kWidth, kHeight);
        const QString path = harness.WriteFile("a.jpg", source);
        QVERIFY(window.Uty_OpenJpegFile(path));
        Action(window, "tbn_90")->trigger();

        harness.platform.messageAnswers = {MessageAnswer::No};
        Action(window, "mnu_FileSave")->trigger();
        QCOMPARE(harness.platform.messages.size(), size_t{1});
        const ShownMessage& question = harness.platform.messages[0];
        QCOMPARE(question.text, QStringLiteral("上書き保存します。よろしいですか？"));
        QCOMPARE(question.caption, QStringLiteral("警告"));
        QCOMPARE(question.icon, MessageIcon::Warning);
        QCOMPARE(question.buttons, MessageButtons::YesNo);
        QCOMPARE(ReadBytes(path), source);

        harness.platform.messageAnswers = {MessageAnswer::Yes};
        Action(window, "mnu_FileSave")->trigger();
        const std::vector<uint8_t> turned = EngineTransform(source, TransformKind::Rotate90);
        QCOMPARE(ReadBytes(path), turned);
        // The window goes on from the bytes it opened: saving again after 180 does not compound.
        QCOMPARE(StreamBytes(window.Document().Source()), source);
        Action(window, "tbn_180")->trigger();
        harness.platform.messageAnswers = {MessageAnswer::Yes};
        Action(window, "mnu_FileSave")->trigger();
        QCOMPARE(ReadBytes(path), EngineTransform(source, TransformKind::Rotate180));
        QVERIFY(!QFileInfo::exists(path + QStringLiteral(".JPG")));
    }

    void SaveAsAddsTheExtensionAndLeavesTheOpenedFileCurrent()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const std::vector<uint8_t> source = TestJpeg(kWidth, kHeight);
        const QString path = harness.WriteFile("a.jpg", source);
        const QString existing = harness.WriteFile("b.JPG", {'o', 'l', 'd'});
        QVERIFY(window.Uty_OpenJpegFile(path));
        Action(window, "tbn_90")->trigger();

        harness.platform.saveAnswers = {harness.Path("b")};
        Action(window, "mnu_FileSaveAs")->trigger();
        QCOMPARE(harness.platform.saveDialogCalls.size(), size_t{1});
        QCOMPARE(harness.platform.saveDialogCalls[0].initialPath, path);
        QCOMPARE(harness.platform.saveDialogCalls[0].filter, QStringLiteral("JPEGファイル|*.JPG;*.JPEG"));
        QCOMPARE(harness.platform.saveDialogCalls[0].defaultSuffix, QStringLiteral("JPG"));
        QVERIFY(harness.platform.messages.empty());  // replaced without a question
        QCOMPARE(ReadBytes(existing), EngineTransform(source, TransformKind::Rotate90));
        QCOMPARE(window.Document().Path(), path);
        QCOMPARE(window.windowTitle(), texts::kTitlePrefix + QStringLiteral("a.jpg"));

        // Save after Save As writes the opened file; a later Save As starts from it again.
        Action(window, "tbn_180")->trigger();
        harness.platform.messageAnswers = {MessageAnswer::Yes};
        Action(window, "mnu_FileSave")->trigger();
        QCOMPARE(ReadBytes(path), EngineTransform(source, TransformKind::Rotate180));
        QCOMPARE(ReadBytes(existing), EngineTransform(source, TransformKind::Rotate90));
        Action(window, "mnu_FileSaveAs")->trigger();  // cancelled
        QCOMPARE(harness.platform.saveDialogCalls.back().initialPath, path);

        // A name with an extension of its own keeps it.
        harness.platform.saveAnswers = {harness.Path("c.jpeg")};
        Action(window, "mnu_FileSaveAs")->trigger();
        QVERIFY(QFileInfo::exists(harness.Path("c.jpeg")));
        QVERIFY(!QFileInfo::exists(harness.Path("c.jpeg.JPG")));
    }

    void ToolbarSaveRunsTheCommandTheOptionNames()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("a.jpg", TestJpeg(kWidth, kHeight))));
        Action(window, "tbn_FileSave")->trigger();
        QCOMPARE(harness.platform.saveDialogCalls.size(), size_t{1});
        QVERIFY(harness.platform.messages.empty());

        window.Settings.gToolBarSaveButtonIsSaveAs = false;
        Action(window, "tbn_FileSave")->trigger();
        QCOMPARE(harness.platform.saveDialogCalls.size(), size_t{1});
        QCOMPARE(harness.platform.messages.size(), size_t{1});
        QCOMPARE(harness.platform.messages[0].text, texts::kOverwriteQuestion);
    }

    void KeptTimesComeFromTheOpenedFile()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const QString path = harness.WriteFile("a.jpg", TestJpeg(kWidth, kHeight));
        const QDateTime written(QDate(2009, 4, 5), QTime(6, 7, 8, 900));
        SetModificationTime(path, written);
        QVERIFY(window.Uty_OpenJpegFile(path));
        // Changes after opening do not count: the times are those read when it was opened.
        SetModificationTime(path, QDateTime(QDate(2020, 1, 1), QTime(0, 0)));
        window.Settings.gKeepTimeStamp_Create = true;
        window.Settings.gKeepTimeStamp_Write = true;
        Action(window, "tbn_90")->trigger();
        harness.platform.saveAnswers = {harness.Path("copy.jpg")};
        Action(window, "mnu_FileSaveAs")->trigger();
        QCOMPARE(QFileInfo(harness.Path("copy.jpg")).lastModified(), written);
        QCOMPARE(harness.platform.creationTimesSet.size(), size_t{1});
        QCOMPARE(harness.platform.creationTimesSet[0].first, harness.Path("copy.jpg"));
        QCOMPARE(harness.platform.creationTimesSet[0].second, window.Document().CreationTime());

        harness.platform.messageAnswers = {MessageAnswer::Yes};
        Action(window, "mnu_FileSave")->trigger();
        QCOMPARE(QFileInfo(path).lastModified(), written);

        // Options off: the platform's fresh times stand.
        window.Settings.gKeepTimeStamp_Create = false;
        window.Settings.gKeepTimeStamp_Write = false;
        const QDateTime before = QDateTime::currentDateTime().addSecs(-60);
        harness.platform.saveAnswers = {harness.Path("fresh.jpg")};
        Action(window, "mnu_FileSaveAs")->trigger();
        QVERIFY(QFileInfo(harness.Path("fresh.jpg")).lastModified() > before);
        QCOMPARE(harness.platform.creationTimesSet.size(), size_t{2});
        QCOMPARE(harness.platform.lastWriteTimesSet.size(), size_t{2});
    }

    void FailedTransformCannotBeSaved()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const std::vector<uint8_t> broken = CutShortScan(TestJpeg(kWidth, kHeight));
        const QString path = harness.WriteFile("broken.jpg", broken);
        QVERIFY(window.Uty_OpenJpegFile(path));
        QVERIFY(window.Document().Accepted());
        harness.platform.messages.clear();

        Action(window, "tbn_90")->trigger();
        QVERIFY(!harness.platform.messages.empty());
        QCOMPARE(harness.platform.messages[0].caption, QStringLiteral("エラー"));
        QCOMPARE(Checked(window, true), QStringList{"tbn_90"});
        QVERIFY(!window.Document().ResultSavable());
        QVERIFY(SaveCommandsDisabled(window));
        QVERIFY(Action(window, "mnu_FileClose")->isEnabled());
        QVERIFY(Action(window, "tbn_180")->isEnabled());
        QVERIFY(Part<PictureView>(window, "Image")->Picture().IsEmpty());
        QCOMPARE(Part<PictureView>(window, "Image")->size(), QSize(0, 0));
        QVERIFY(Part<StatusPanels>(window, "StatusBar")->PanelText(0).startsWith(texts::kProcessingTime));

        // Even called directly, the commands write nothing.
        harness.platform.messages.clear();
        harness.platform.messageAnswers = {MessageAnswer::Yes};
        harness.platform.saveAnswers = {harness.Path("out.jpg")};
        Action(window, "mnu_FileSave")->trigger();
        Action(window, "mnu_FileSaveAs")->trigger();
        Action(window, "tbn_FileSave")->trigger();
        QVERIFY(harness.platform.messages.empty());
        QVERIFY(harness.platform.saveDialogCalls.empty());
        QCOMPARE(ReadBytes(path), broken);
        QVERIFY(!QFileInfo::exists(harness.Path("out.jpg")));

        // The unturned command brings back something whole to save.
        Action(window, "tbn_0")->trigger();
        QVERIFY(SaveCommandsEnabled(window));
        QCOMPARE(StreamBytes(window.Document().Result()), broken);
    }

    void ErrorInsideTheEngineRunReturnsTheWindowToNormal()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("a.jpg", TestJpeg(kWidth, kHeight))));
        bool boxShownWhileNormal = false;
        harness.platform.onMessage = [&](const ShownMessage&) {
            boxShownWhileNormal = !Part<QProgressBar>(window, "ProgressBar")->isVisible() && Part<StatusPanels>(window, "StatusBar")->isVisible() &&
                                  QApplication::overrideCursor() == nullptr;
        };
        // The engine reports its own stream errors; anything else comes through to the window.
        window.Document().Engine().OnProgressMax = [](int) { throw std::runtime_error("想定外のエラー"); };
        Action(window, "tbn_90")->trigger();

        QCOMPARE(harness.platform.messages.size(), size_t{1});
        QCOMPARE(harness.platform.messages[0].text, QStringLiteral("想定外のエラー"));
        QCOMPARE(harness.platform.messages[0].icon, MessageIcon::Error);
        QVERIFY(boxShownWhileNormal);
        QVERIFY(!Part<QProgressBar>(window, "ProgressBar")->isVisible());
        QVERIFY(Part<StatusPanels>(window, "StatusBar")->isVisible());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(SaveCommandsDisabled(window));
        QVERIFY(Part<PictureView>(window, "Image")->Picture().IsEmpty());
    }

    void FailedWriteKeepsTheOldFile()
    {
#ifdef Q_OS_UNIX
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const std::vector<uint8_t> source = TestJpeg(256, 256);
        const QString path = harness.WriteFile("a.jpg", source);
        QVERIFY(window.Uty_OpenJpegFile(path));
        Action(window, "tbn_90")->trigger();
        window.Settings.gKeepTimeStamp_Write = true;

        // A file-size limit makes the write fail part-way, as a full disk would; root too.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = 1000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        harness.platform.messageAnswers = {MessageAnswer::Yes};
        const bool saved_ok = window.Uty_SaveOutputJpegFile(window.Document().Result(), path);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY2(!saved_ok, qPrintable(QString::number(window.Document().Result().Size())));
        QCOMPARE(ReadBytes(path), source);
        QCOMPARE(QDir(harness.Path(".")).entryList({"a.jpg*"}, QDir::Files), QStringList{"a.jpg"});
        QCOMPARE(harness.platform.messages.size(), size_t{1});
        QCOMPARE(harness.platform.messages[0].text,
                 QStringLiteral("ファイル %1 を作成できません").arg(QDir::toNativeSeparators(path)));
        QVERIFY(harness.platform.lastWriteTimesSet.empty());
#else
        QSKIP("needs a file-size limit to make a write fail part-way");
#endif
    }

    void SavesKeepTheCommandLineToolsRules()
    {
        // The command-line tool's save: a write-protected file is refused and stays as it was,
        // a writable one keeps its mode.
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const std::vector<uint8_t> source = TestJpeg(kWidth, kHeight);
        const QString locked = harness.WriteFile("locked.jpg", source);
        const QString open = harness.WriteFile("open.jpg", source);
        const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup;
        const auto groupWritable = readOnly | QFileDevice::WriteOwner | QFileDevice::WriteGroup;
        QVERIFY(QFile::setPermissions(locked, readOnly));
        QVERIFY(QFile::setPermissions(open, groupWritable));
        for (const QString& path : {locked, open}) {
            QVERIFY(window.Uty_OpenJpegFile(path));
            Action(window, "tbn_90")->trigger();
            harness.platform.messageAnswers = {MessageAnswer::Yes};
            Action(window, "mnu_FileSave")->trigger();
        }
        QCOMPARE(ReadBytes(locked), source);
        QCOMPARE(harness.platform.messages.at(1).text,  // after the overwrite question
                 QStringLiteral("ファイル %1 を作成できません").arg(QDir::toNativeSeparators(locked)));
        QCOMPARE(ReadBytes(open), EngineTransform(source, TransformKind::Rotate90));
#ifndef Q_OS_WIN  // Windows files have no group or other modes to keep
        QCOMPARE(QFile::permissions(open) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), groupWritable);
#endif
        QCOMPARE(QDir(harness.Path(".")).entryList(QDir::Files).size(), 2);  // no temporary left
    }

    void WriteIntoAMissingFolderFailsCleanly()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("a.jpg", TestJpeg(kWidth, kHeight))));
        const QString target = harness.Path("no/such/folder/b.jpg");
        harness.platform.saveAnswers = {target};
        Action(window, "mnu_FileSaveAs")->trigger();
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(harness.platform.messages.size(), size_t{1});
        QCOMPARE(harness.platform.messages[0].text,
                 QStringLiteral("ファイル %1 を作成できません").arg(QDir::toNativeSeparators(target)));
    }
};

QTEST_MAIN(TransformCommandsTest)
#include "transform_commands_test.moc"
