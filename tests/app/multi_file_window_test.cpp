// A run over several files through the real main window and its real dialogs: the four open
// actions, the information dialog, Next with its save decision, Previous, the end of a run,
// and the files a run leaves in its result folder.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <QtTest>

#include "AppTexts.h"
#include "MainWindowHarness.h"
#include "ModalAnswerer.h"
#include "ExifBuilder.h"
#include "TransformKind.h"

using namespace pivotta::app;

using pivotta::TransformKind;

namespace {

const QString kEndText = QStringLiteral("すべてのファイルの処理を終了しました");
const QString kNoJpegText = QStringLiteral("このフォルダにはJPEGファイルがありません。");

template <typename Widget>
Widget* Find(QWidget* dialog, const char* name)
{
    auto* widget = dialog->findChild<Widget*>(QString::fromLatin1(name));
    if (!widget) qFatal("no control %s", name);
    return widget;
}

void ClickLabel(QLabel* label)
{
    const QPointF at(label->width() / 2.0, label->height() / 2.0);
    QMouseEvent release(QEvent::MouseButtonRelease, at, label->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(label, &release);
}

// Drops names on the window as the desktop's file manager would, and lets the window open them.
void Drop(TFm_Main& window, const QStringList& names)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& name : names) urls.append(QUrl::fromLocalFile(name));
    data.setUrls(urls);
    // The application hands a drop only to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    QCoreApplication::processEvents();
}

// A folder "trip" of photos and a desktop, beside the program's settings.
class Trip {
public:
    explicit Trip(int count, bool showInfo = false)
    {
        QDir().mkpath(harness.platform.desktopFolder);
        QDir().mkpath(harness.Path(QStringLiteral("trip")));
        for (int i = 0; i < count; ++i) {
            jpegs.push_back(TestJpeg(64 + 16 * i, 48, static_cast<uint32_t>(i + 1)));
            files.append(harness.WriteFile(QStringLiteral("trip/p%1.jpg").arg(i + 1), jpegs.back()));
        }
        Window().Settings.gFolderProcessInfo = showInfo;
    }

    TFm_Main& Window() { return harness.Window(); }
    FakePlatform& Platform() { return harness.platform; }

    void OpenWithDialog(const QStringList& chosen)
    {
        Platform().openAnswers.push_back(chosen);
        Action(Window(), "mnu_FileOpen")->trigger();
    }
    void Start() { OpenWithDialog(files); }

    QString ResultFolder() const { return harness.platform.desktopFolder + QStringLiteral("/result_trip"); }
    QString ResultPath(int index) const { return ResultFolder() + QStringLiteral("/p%1.jpg").arg(index + 1); }
    QStringList ResultNames() const { return QDir(ResultFolder()).entryList(QDir::Files, QDir::Name); }

    QStringList MessageTexts()
    {
        QStringList texts;
        for (const ShownMessage& message : Platform().messages) texts.append(message.text);
        return texts;
    }

    MainWindowHarness harness;
    QStringList files;
    std::vector<std::vector<uint8_t>> jpegs;
};

}  // namespace

class MultiFileWindowTest : public QObject {
    Q_OBJECT
private slots:
    void windowsAreCreatedInOrderAndHidden();
    void folderAndTwoFilesDroppedTogether();
    void oneFileOpensWithoutARun();
    void cancelledDialogsEndARunSilently();
    void folderWithoutMatches();
    void commandLineFolderStartsARun();
    void nextSavesByTheDecisionRule_data();
    void nextSavesByTheDecisionRule();
    void optionsChangedDuringARunDoNotApply();
    void lastNextSavesThenEnds();
    void previousGoesBackAndNextSavesAgain();
    void autoOrientedFileIsSavedAsATurnedOne();
    void existingResultFolderIsReportedOnceAtTheStart();
    void resultFolderFollowsTheOptions();
    void failedWriteStaysOnTheFileUntilItWorks();
    void failedTransformIsNotSavedOverAGoodResult();
    void closedFileIsSteppedOverWithoutSaving();
    void infoDialogFlagIsKeptInTheSettings();
    void runShowsWhereNextSaves();
    void keysStepThroughARun();
    void optionLinkChangesTheRunThatStarts();
    void desktopFolderFallsBackToHome();
};

void MultiFileWindowTest::windowsAreCreatedInOrderAndHidden()
{
    MainWindowHarness harness;
    QStringList dialogs;
    for (const QObject* child : harness.Window().children()) {
        if (const auto* dialog = qobject_cast<const QDialog*>(child)) {
            dialogs.append(dialog->objectName());
            QVERIFY(!dialog->isVisible());
        }
    }
    QCOMPARE(dialogs, (QStringList{"TFm_Options", "TFm_FolderProcessInfo", "TFm_Help", "TFm_DHTWarning"}));
}

void MultiFileWindowTest::folderAndTwoFilesDroppedTogether()
{
    Trip trip(0);
    MainWindowHarness& harness = trip.harness;
    const QString folder = harness.Path(QStringLiteral("dropped"));
    QDir().mkpath(folder + QStringLiteral("/sub"));
    harness.WriteFile(QStringLiteral("dropped/b.jpg"), TestJpeg(32, 32, 2));
    harness.WriteFile(QStringLiteral("dropped/A.JPG"), TestJpeg(32, 32, 3));
    harness.WriteFile(QStringLiteral("dropped/c.jpeg"), TestJpeg(32, 32, 4));
    harness.WriteFile(QStringLiteral("dropped/.hidden.jpg"), TestJpeg(32, 32, 4));
    harness.WriteFile(QStringLiteral("dropped/sub/d.jpg"), TestJpeg(32, 32, 5));
    const QString first = harness.WriteFile(QStringLiteral("first.jpg"), TestJpeg(48, 32, 6));
    const QString last = harness.WriteFile(QStringLiteral("last.png"), TestJpeg(48, 32, 7));

    TFm_Main& window = trip.Window();
    Drop(window, {first, folder, last});

    // In the order dropped; the folder stands for its own *.jpg files, sorted by name.
    QCOMPARE(window.Run().FileList(), (QStringList{first, folder + QStringLiteral("/A.JPG"),
                                             folder + QStringLiteral("/b.jpg"), last}));
    QVERIFY(window.Run().MultiFileMode());
    QVERIFY(Action(window, "tbn_Next")->isVisible());
    QVERIFY(Action(window, "tbn_previous")->isVisible());
    QCOMPARE(window.Document().Path(), first);
    QCOMPARE(window.windowTitle(), QStringLiteral("JPEGファイル回転プログラム - Pivotta - first.jpg (1/4)"));
    Action(window, "tbn_Next")->trigger();
    QCOMPARE(window.windowTitle(), QStringLiteral("JPEGファイル回転プログラム - Pivotta - A.JPG (2/4)"));
}

void MultiFileWindowTest::oneFileOpensWithoutARun()
{
    Trip trip(2);
    TFm_Main& window = trip.Window();
    trip.OpenWithDialog({trip.files[1]});
    QCOMPARE(window.Document().Path(), trip.files[1]);
    QVERIFY(!window.Run().MultiFileMode());
    QVERIFY(!Action(window, "tbn_Next")->isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("JPEGファイル回転プログラム - Pivotta - p2.jpg"));

    const QString single = trip.harness.Path(QStringLiteral("single"));
    QDir().mkpath(single);
    const QString only = trip.harness.WriteFile(QStringLiteral("single/only.jpg"), TestJpeg(32, 32));
    trip.Platform().folderAnswers.push_back(single);
    Action(window, "mnu_FolderOpen")->trigger();
    QCOMPARE(window.Document().Path(), only);
    QVERIFY(!window.Run().MultiFileMode());

    Drop(window, {trip.files[0]});
    QCOMPARE(window.Document().Path(), trip.files[0]);
    QVERIFY(!window.Run().MultiFileMode());
    QVERIFY(!Action(window, "tbn_previous")->isVisible());
    QVERIFY(trip.Platform().messages.empty());
}

void MultiFileWindowTest::cancelledDialogsEndARunSilently()
{
    Trip trip(3);
    TFm_Main& window = trip.Window();
    window.Settings.gSaveResult = false;
    trip.Start();
    Action(window, "tbn_Next")->trigger();
    QVERIFY(window.Run().MultiFileMode());

    Action(window, "mnu_FileOpen")->trigger();  // the open dialog is cancelled
    QVERIFY(!window.Run().MultiFileMode());
    QVERIFY(!Action(window, "tbn_Next")->isVisible());
    QVERIFY(!Action(window, "tbn_previous")->isVisible());
    QCOMPARE(window.Document().Path(), trip.files[1]);
    QCOMPARE(window.windowTitle(), QStringLiteral("JPEGファイル回転プログラム - Pivotta - p2.jpg"));

    trip.Start();
    QVERIFY(window.Run().MultiFileMode());
    Action(window, "mnu_FolderOpen")->trigger();  // the folder chooser is cancelled
    QVERIFY(!window.Run().MultiFileMode());
    QCOMPARE(window.Document().Path(), trip.files[0]);
    QCOMPARE(trip.Platform().folderChooserCalls.back(), (std::pair{QString(), QString()}));
    QVERIFY(trip.Platform().messages.empty());
}

void MultiFileWindowTest::folderWithoutMatches()
{
    Trip trip(2);
    TFm_Main& window = trip.Window();
    const QString empty = trip.harness.Path(QStringLiteral("nothing"));
    QDir().mkpath(empty);
    trip.harness.WriteFile(QStringLiteral("nothing/photo.jpeg"), TestJpeg(32, 32));

    trip.Start();
    trip.Platform().folderAnswers.push_back(empty);
    Action(window, "mnu_FolderOpen")->trigger();
    QCOMPARE(trip.Platform().messages.size(), size_t{1});
    const ShownMessage& shown = trip.Platform().messages[0];
    QCOMPARE(shown.caption, QStringLiteral("ファイルがありません"));
    QCOMPARE(shown.text, kNoJpegText);
    QCOMPARE(shown.icon, MessageIcon::Error);
    QCOMPARE(shown.buttons, MessageButtons::Ok);
    QVERIFY(!window.Run().MultiFileMode());
    QCOMPARE(window.Document().Path(), trip.files[0]);

    // Dropped, the same folder ends the run without a word.
    trip.Start();
    Drop(window, {empty});
    QVERIFY(!window.Run().MultiFileMode());
    QCOMPARE(trip.Platform().messages.size(), size_t{1});
}

void MultiFileWindowTest::commandLineFolderStartsARun()
{
    Trip trip(3, true);
    trip.harness.Restart({trip.harness.Path(QStringLiteral("trip"))});
    ModalAnswerer answerer;
    TFm_Main& window = trip.Window();
    window.show();
    QTRY_VERIFY(window.Run().MultiFileMode());
    QCOMPARE(answerer.seen, QStringList{"TFm_FolderProcessInfo"});
    QCOMPARE(window.Run().FileList().size(), 3);
    QTRY_COMPARE(window.windowTitle(), QStringLiteral("JPEGファイル回転プログラム - Pivotta - p1.jpg (1/3)"));
}

void MultiFileWindowTest::nextSavesByTheDecisionRule_data()
{
    QTest::addColumn<bool>("saveResult");
    QTest::addColumn<bool>("forceSave");
    QTest::addColumn<bool>("turn");
    QTest::newRow("forced, not transformed") << true << true << false;
    QTest::newRow("forced, transformed") << true << true << true;
    QTest::newRow("transformed") << true << false << true;
    QTest::newRow("not transformed") << true << false << false;
    QTest::newRow("saving off") << false << true << true;
}

void MultiFileWindowTest::nextSavesByTheDecisionRule()
{
    QFETCH(bool, saveResult);
    QFETCH(bool, forceSave);
    QFETCH(bool, turn);
    Trip trip(3);
    TFm_Main& window = trip.Window();
    window.Settings.gSaveResult = saveResult;
    window.Settings.gForceSave = forceSave;
    trip.Start();
    if (turn) Action(window, "tbn_90")->trigger();
    Action(window, "tbn_Next")->trigger();

    QCOMPARE(window.Run().FileIndex(), 1);
    QCOMPARE(window.Document().Path(), trip.files[1]);
    const bool saved = saveResult && (forceSave || turn);
    QCOMPARE(QFileInfo::exists(trip.ResultPath(0)), saved);
    if (saved) {
        // The exact result of the shown file: its own bytes when untouched.
        const std::vector<uint8_t> expected = turn ? EngineTransform(trip.jpegs[0], TransformKind::Rotate90)
                                                   : trip.jpegs[0];
        QVERIFY(!expected.empty());
        QVERIFY(ReadBytes(trip.ResultPath(0)) == expected);
    }
    QCOMPARE(trip.ResultNames().size(), saved ? 1 : 0);
}

void MultiFileWindowTest::optionsChangedDuringARunDoNotApply()
{
    Trip trip(3);
    TFm_Main& window = trip.Window();
    trip.Start();
    ModalAnswerer answerer;
    answerer.Expect([](QDialog* options) {
        Find<QCheckBox>(options, "chk_SaveResult")->setChecked(false);
        Find<QCheckBox>(options, "chk_KeepTimeStamp_Write")->setChecked(true);
        Find<QPushButton>(options, "Btn_OK")->click();
    });
    Action(window, "mnu_FileOption")->trigger();
    QCOMPARE(answerer.seen, QStringList{"TFm_Options"});
    QVERIFY(!window.Settings.gSaveResult);

    Action(window, "tbn_Next")->trigger();
    QVERIFY(ReadBytes(trip.ResultPath(0)) == trip.jpegs[0]);
    // The time options are read at each save, so that one applies at once.
    QCOMPARE(trip.Platform().lastWriteTimesSet.size(), size_t{1});
    QCOMPARE(trip.Platform().lastWriteTimesSet[0].first, trip.ResultPath(0));

    // The next run takes the options anew.
    trip.Start();
    Action(window, "tbn_Next")->trigger();
    QCOMPARE(trip.ResultNames(), QStringList{"p1.jpg"});
    QCOMPARE(trip.Platform().lastWriteTimesSet.size(), size_t{1});
}

void MultiFileWindowTest::lastNextSavesThenEnds()
{
    Trip trip(2);
    TFm_Main& window = trip.Window();
    bool savedBeforeTheEnd = false;
    trip.Platform().onMessage = [&](const ShownMessage& message) {
        if (message.text.startsWith(kEndText)) savedBeforeTheEnd = QFileInfo::exists(trip.ResultPath(1));
    };
    trip.Start();
    Action(window, "tbn_Next")->trigger();
    Action(window, "tbn_mirror_lr")->trigger();
    QVERIFY(trip.Platform().messages.empty());
    Action(window, "tbn_Next")->trigger();

    QCOMPARE(trip.MessageTexts(),
             QStringList{kEndText + QStringLiteral("\r保存先: ") + QDir::toNativeSeparators(trip.ResultFolder())});
    const ShownMessage& end = trip.Platform().messages[0];
    QCOMPARE(end.caption, texts::kAppTitle);
    QCOMPARE(end.icon, MessageIcon::None);
    QCOMPARE(end.buttons, MessageButtons::Ok);
    QVERIFY(savedBeforeTheEnd);
    QVERIFY(ReadBytes(trip.ResultPath(1)) == EngineTransform(trip.jpegs[1], TransformKind::MirrorLR));

    QVERIFY(!window.Run().MultiFileMode());
    QVERIFY(!Action(window, "tbn_Next")->isVisible());
    QVERIFY(!Action(window, "tbn_previous")->isVisible());
    QCOMPARE(window.Run().FileIndex(), 2);
    QCOMPARE(window.Document().Path(), trip.files[1]);
    QVERIFY(!window.Document().Unturned());  // the last result stays on show
    QCOMPARE(window.windowTitle(), QStringLiteral("JPEGファイル回転プログラム - Pivotta - p2.jpg"));
}

void MultiFileWindowTest::autoOrientedFileIsSavedAsATurnedOne()
{
    Trip trip(2);
    pivotta::test::ExifBuilder exif(false);
    exif.Ifd0().Short(pivotta::test::exif_tag::Orientation, 3);
    trip.jpegs[0] = pivotta::test::WithApp1(trip.jpegs[0], exif.Build());
    trip.harness.WriteFile(QStringLiteral("trip/p1.jpg"), trip.jpegs[0]);
    TFm_Main& window = trip.Window();
    window.Settings.gForceSave = false;  // only turned files are saved
    trip.Start();
    QVERIFY(Action(window, "mnu_AutoOrient")->isEnabled());
    Action(window, "mnu_AutoOrient")->trigger();
    Action(window, "tbn_Next")->trigger();
    QVERIFY(ReadBytes(trip.ResultPath(0)) == EngineTransform(trip.jpegs[0], TransformKind::Rotate180));
    // The next file has no tag: the command is off, and unchecked with the unturned state.
    QCOMPARE(window.Document().Path(), trip.files[1]);
    QVERIFY(!Action(window, "mnu_AutoOrient")->isEnabled());
    QVERIFY(!Action(window, "mnu_AutoOrient")->isChecked());
    QVERIFY(window.Document().Unturned());
}

void MultiFileWindowTest::previousGoesBackAndNextSavesAgain()
{
    Trip trip(3);
    TFm_Main& window = trip.Window();
    trip.Start();
    Action(window, "tbn_previous")->trigger();  // at the first file: nothing
    QCOMPARE(window.Run().FileIndex(), 0);
    QCOMPARE(window.Document().Path(), trip.files[0]);

    Action(window, "tbn_Next")->trigger();
    Action(window, "tbn_Next")->trigger();
    QCOMPARE(window.windowTitle(), QStringLiteral("JPEGファイル回転プログラム - Pivotta - p3.jpg (3/3)"));
    Action(window, "tbn_90")->trigger();
    Action(window, "tbn_previous")->trigger();
    QCOMPARE(window.Run().FileIndex(), 1);
    QCOMPARE(window.Document().Path(), trip.files[1]);
    QVERIFY(window.Document().Unturned());
    QCOMPARE(window.windowTitle(), QStringLiteral("JPEGファイル回転プログラム - Pivotta - p2.jpg (2/3)"));
    QCOMPARE(trip.ResultNames(), (QStringList{"p1.jpg", "p2.jpg"}));  // Previous saved nothing

    Action(window, "tbn_180")->trigger();
    Action(window, "tbn_Next")->trigger();
    QVERIFY(ReadBytes(trip.ResultPath(1)) == EngineTransform(trip.jpegs[1], TransformKind::Rotate180));
    QCOMPARE(window.Document().Path(), trip.files[2]);
    QVERIFY(trip.Platform().messages.empty());
}

void MultiFileWindowTest::existingResultFolderIsReportedOnceAtTheStart()
{
    Trip trip(3);
    QDir().mkpath(trip.ResultFolder());
    trip.harness.WriteFile(QStringLiteral("desktop/result_trip/p1.jpg"), {1, 2, 3});
    TFm_Main& window = trip.Window();
    bool firstFileShown = true;
    trip.Platform().onMessage = [&](const ShownMessage&) { firstFileShown = !window.Document().Path().isEmpty(); };
    trip.Start();

    QCOMPARE(trip.Platform().messages.size(), size_t{1});
    const ShownMessage& shown = trip.Platform().messages[0];
    QCOMPARE(shown.caption, QStringLiteral("情報"));
    QCOMPARE(shown.icon, MessageIcon::Information);
    QCOMPARE(shown.buttons, MessageButtons::Ok);
    QCOMPARE(shown.text, QStringLiteral("フォルダ \"") + QDir::toNativeSeparators(trip.ResultFolder()) +
                             QStringLiteral("\"はすでに存在します。\r自動保存を行うと同名のファイルは上書きされます"));
    QVERIFY2(!firstFileShown, "the message comes before the first file is opened");

    Action(window, "tbn_Next")->trigger();
    Action(window, "tbn_Next")->trigger();
    QCOMPARE(trip.Platform().messages.size(), size_t{1});
    QVERIFY(ReadBytes(trip.ResultPath(0)) == trip.jpegs[0]);  // the old file of that name is replaced
}

void MultiFileWindowTest::resultFolderFollowsTheOptions()
{
    Trip trip(2);
    TFm_Main& window = trip.Window();
    trip.Start();
    QCOMPARE(window.Run().ResultFolder(), trip.ResultFolder());

    window.Settings.gSaveSameFolder = true;
    trip.Start();
    Action(window, "tbn_Next")->trigger();
    const QString same = trip.harness.Path(QStringLiteral("trip/result"));
    QCOMPARE(window.Run().ResultFolder(), same);
    QVERIFY(ReadBytes(same + QStringLiteral("/p1.jpg")) == trip.jpegs[0]);

    const QString base = trip.harness.Path(QStringLiteral("results"));
    QDir().mkpath(base);
    window.Settings.gSaveSameFolder = false;
    window.Settings.gSaveFolder = base;
    trip.Start();
    Action(window, "tbn_Next")->trigger();
    QVERIFY(ReadBytes(base + QStringLiteral("/result_trip/p1.jpg")) == trip.jpegs[0]);
    QVERIFY(!QFileInfo::exists(trip.ResultFolder()));
}

void MultiFileWindowTest::failedWriteStaysOnTheFileUntilItWorks()
{
    Trip trip(2);
    TFm_Main& window = trip.Window();
    // A plain file where the result folder belongs: the folder cannot be made, nor the file.
    trip.harness.WriteFile(QStringLiteral("desktop/result_trip"), {0});
    trip.Start();
    trip.Platform().messages.clear();
    Action(window, "tbn_90")->trigger();
    Action(window, "tbn_Next")->trigger();

    QCOMPARE(trip.MessageTexts(), QStringList{QStringLiteral("ファイル %1 を作成できません")
                                                  .arg(QDir::toNativeSeparators(trip.ResultPath(0)))});
    QCOMPARE(window.Run().FileIndex(), 0);
    QCOMPARE(window.Document().Path(), trip.files[0]);
    QVERIFY(!window.Document().Unturned());  // the turned result is still there to retry with

    QFile::remove(trip.ResultFolder());
    Action(window, "tbn_Next")->trigger();
    QVERIFY(ReadBytes(trip.ResultPath(0)) == EngineTransform(trip.jpegs[0], TransformKind::Rotate90));
    QCOMPARE(window.Run().FileIndex(), 1);
}

void MultiFileWindowTest::failedTransformIsNotSavedOverAGoodResult()
{
    Trip trip(0);
    MainWindowHarness& harness = trip.harness;
    QDir().mkpath(harness.Path(QStringLiteral("trip")));
    QDir().mkpath(harness.Path(QStringLiteral("damaged")));
    const std::vector<uint8_t> good = TestJpeg(64, 48);
    const QString first = harness.WriteFile(QStringLiteral("trip/x.jpg"), good);
    const QString cut = harness.WriteFile(QStringLiteral("damaged/x.jpg"), CutShortScan(TestJpeg(64, 48, 9)));
    const QString after = harness.WriteFile(QStringLiteral("trip/y.jpg"), TestJpeg(64, 48, 3));
    TFm_Main& window = trip.Window();
    trip.OpenWithDialog({first, cut, after});

    Action(window, "tbn_Next")->trigger();
    const QString result = trip.ResultFolder() + QStringLiteral("/x.jpg");
    QVERIFY(ReadBytes(result) == good);
    Action(window, "tbn_270")->trigger();  // the engine reports its error
    QVERIFY(!trip.Platform().messages.empty());
    trip.Platform().messages.clear();
    Action(window, "tbn_Next")->trigger();

    QCOMPARE(trip.Platform().messages.size(), size_t{1});
    QCOMPARE(trip.Platform().messages[0].caption, QStringLiteral("警告"));
    QVERIFY(trip.Platform().messages[0].text.contains(QDir::toNativeSeparators(cut)));
    QVERIFY(ReadBytes(result) == good);
    QCOMPARE(window.Document().Path(), after);
}

void MultiFileWindowTest::closedFileIsSteppedOverWithoutSaving()
{
    Trip trip(3);
    TFm_Main& window = trip.Window();
    trip.Start();
    Action(window, "mnu_FileClose")->trigger();
    QVERIFY(window.Run().MultiFileMode());  // closing does not end the run
    QVERIFY(Action(window, "tbn_Next")->isVisible());
    Action(window, "tbn_Next")->trigger();
    QCOMPARE(window.Document().Path(), trip.files[1]);
    QVERIFY(!QFileInfo::exists(trip.ResultFolder()));
    QVERIFY(trip.Platform().messages.empty());
}

void MultiFileWindowTest::infoDialogFlagIsKeptInTheSettings()
{
    Trip trip(2, true);
    TFm_Main& window = trip.Window();
    ModalAnswerer answerer;
    bool preset = false;
    const auto closeWith = [&](bool showNextTime) {
        return [&preset, showNextTime](QDialog* info) {
            auto* box = Find<QCheckBox>(info, "Chk_NextShow");
            preset = box->isChecked();
            box->setChecked(showNextTime);
            Find<QPushButton>(info, "Btn_Close")->click();
        };
    };
    answerer.Expect(closeWith(true));
    trip.Start();
    QCOMPARE(answerer.seen, QStringList{"TFm_FolderProcessInfo"});
    QVERIFY(preset);
    QVERIFY(window.Settings.gFolderProcessInfo);
    QVERIFY2(window.Document().Path() == trip.files[0], "the first file opens after the dialog");

    answerer.Expect(closeWith(false));
    trip.Start();
    QCOMPARE(answerer.seen.size(), 2);
    QVERIFY(!window.Settings.gFolderProcessInfo);
    trip.Start();
    QCOMPARE(answerer.seen.size(), 2);
    QVERIFY(window.Run().MultiFileMode());

    trip.harness.Restart();
    QCOMPARE(QSettings(trip.harness.SettingsPath(), QSettings::IniFormat).value("gFolderProcessInfo").toInt(), 0);
    QVERIFY(!trip.Window().Settings.gFolderProcessInfo);
    trip.Start();
    QCOMPARE(answerer.seen.size(), 2);
}

void MultiFileWindowTest::keysStepThroughARun()
{
    Trip trip(3);
    TFm_Main& window = trip.Window();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    trip.Platform().messageAnswers = {};
    QTest::keyClick(&window, Qt::Key_PageDown);  // no run: the view's own key
    QVERIFY(window.Document().Path().isEmpty());
    trip.Start();
    const std::pair<QKeyCombination, int> steps[] = {
        {Qt::Key_PageDown, 1}, {Qt::CTRL | Qt::Key_Right, 2}, {Qt::Key_PageUp, 1}, {Qt::CTRL | Qt::Key_Left, 0}};
    for (const auto& [key, index] : steps) {
        QTest::keyClick(&window, key.key(), key.keyboardModifiers());
        QCOMPARE(window.Run().FileIndex(), index);
        QCOMPARE(window.Document().Path(), trip.files[index]);
    }
    QVERIFY(Action(window, "mnu_Next")->isEnabled());
    QTest::keyClick(&window, Qt::Key_PageDown);
    QTest::keyClick(&window, Qt::Key_PageDown);
    QTest::keyClick(&window, Qt::Key_PageDown);  // the last Next ends the run
    QVERIFY(!window.Run().MultiFileMode());
    QVERIFY(!Action(window, "mnu_Next")->isEnabled());
    QVERIFY(!Action(window, "mnu_Previous")->isEnabled());
}

void MultiFileWindowTest::runShowsWhereNextSaves()
{
    Trip trip(2, true);
    TFm_Main& window = trip.Window();
    ModalAnswerer answerer;
    QString shown;
    answerer.Expect([&](QDialog* info) {
        auto* line = Find<QLabel>(info, "Lbl_ResultFolder");
        shown = line->isVisible() ? line->toolTip() : QString();
        Find<QPushButton>(info, "Btn_Close")->click();
    });
    trip.Start();
    const QString folder = QDir::toNativeSeparators(trip.ResultFolder());
    QCOMPARE(shown, folder);  // named before it exists
    QVERIFY(!QFileInfo::exists(trip.ResultFolder()));
    auto* status = Part<QWidget>(window, "StatusBar");
    QCOMPARE(status->toolTip(), QStringLiteral("保存先: ") + folder);
    Action(window, "tbn_Next")->trigger();
    Action(window, "tbn_Next")->trigger();
    QVERIFY(!window.Run().MultiFileMode());
    QCOMPARE(status->toolTip(), QString());  // the hint goes with the run
}

void MultiFileWindowTest::optionLinkChangesTheRunThatStarts()
{
    Trip trip(2, true);
    TFm_Main& window = trip.Window();
    ModalAnswerer answerer;
    answerer.Expect([](QDialog* info) { ClickLabel(Find<QLabel>(info, "Lbl_Option")); });
    answerer.Expect([&](QDialog* options) {
        QVERIFY(trip.harness.Windows().FolderProcessInfo.isVisible());
        Find<QCheckBox>(options, "chk_ForceSave")->setChecked(false);
        Find<QPushButton>(options, "Btn_OK")->click();
        // Back on the information dialog, which the user then closes.
        QTimer::singleShot(0, [&] { trip.harness.Windows().FolderProcessInfo.accept(); });
    });
    trip.Start();

    QCOMPARE(answerer.seen, (QStringList{"TFm_FolderProcessInfo", "TFm_Options"}));
    QVERIFY(!window.Settings.gForceSave);
    QVERIFY(!window.Run().RunForceSave());
    Action(window, "tbn_Next")->trigger();  // untouched and no longer forced: not saved
    QVERIFY(!QFileInfo::exists(trip.ResultFolder()));
}

void MultiFileWindowTest::desktopFolderFallsBackToHome()
{
#ifndef Q_OS_LINUX
    QSKIP("the desktop folder is the user dirs' one only on Linux");
#else
    QTemporaryDir home;
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    QtPlatform platform;
    const QString withoutDesktop = platform.DesktopFolder();
    QDir().mkpath(home.path() + QStringLiteral("/Desktop"));
    const QString withDesktop = platform.DesktopFolder();
    qputenv("HOME", savedHome);
    if (!savedConfig.isEmpty()) qputenv("XDG_CONFIG_HOME", savedConfig);

    // A run's results must land in a folder that exists, or every Next would fail.
    QCOMPARE(withoutDesktop, home.path());
    QCOMPARE(withDesktop, home.path() + QStringLiteral("/Desktop"));
#endif
}

QTEST_MAIN(MultiFileWindowTest)
#include "multi_file_window_test.moc"
