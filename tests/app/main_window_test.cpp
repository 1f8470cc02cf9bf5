// The main window: its elements and captions at start, opening and closing files, the title,
// the view scales and the fitted view, the status bar, the wheel, the command line, and
// the display of the engine's messages.
#include <QDir>
#include <algorithm>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

#include "AppTexts.h"
#include "LongPath.h"
#include "MainWindowHarness.h"
#include "PictureView.h"
#include "StatusPanels.h"
#include "ViewArea.h"
#include "ViewGeometry.h"
#include "WindowTexts.h"

using namespace pivotta::app;

namespace {
constexpr uint8_t kSof0[] = {0xFF, 0xC0};
}

namespace {

const QStringList kDocumentCommands{"tbn_FileSave", "mnu_FileSaveAs", "mnu_FileSave", "mnu_FileClose",
                                    "tbn_0",        "tbn_90",         "tbn_180",      "tbn_270",
                                    "tbn_mirror_lr", "tbn_mirror_tb", "mnu_Operation"};

// Captions of a menu's items, "-" for a separator.
QStringList Captions(const QMenu* menu)
{
    QStringList captions;
    for (const QAction* action : menu->actions()) captions << (action->isSeparator() ? "-" : action->text());
    return captions;
}

QStringList Names(const QList<QAction*>& actions)
{
    QStringList names;
    for (const QAction* action : actions) names << (action->isSeparator() ? "-" : action->objectName());
    return names;
}

QStringList EnabledDocumentCommands(TFm_Main& window)
{
    QStringList enabled;
    for (const QString& name : kDocumentCommands) {
        if (Action(window, name.toLatin1().constData())->isEnabled()) enabled << name;
    }
    return enabled;
}

bool UnturnedState(TFm_Main& window)
{
    for (const TransformCommand& command : kTransformCommands) {
        const bool down = !command.autoOrient && command.kind == pivotta::TransformKind::NoRotation;
        if (Action(window, command.buttonName)->isChecked() != down) return false;
        if (Action(window, command.menuName)->isChecked() != down) return false;
    }
    return true;
}

// Mean absolute difference per channel of two pictures of one size.
double MeanDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

// The picture with its quantization tables written at 16-bit precision under a baseline
// frame: libjpeg shows it, the engine refuses it.
std::vector<uint8_t> WithWideTables(const std::vector<uint8_t>& jpeg)
{
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    for (size_t at = 2; at + 4 <= jpeg.size();) {
        const size_t length = size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
        if (jpeg[at + 1] == 0xDA) {
            out.insert(out.end(), jpeg.begin() + static_cast<long>(at), jpeg.end());
            break;
        }
        if (jpeg[at + 1] != 0xDB) {
            out.insert(out.end(), jpeg.begin() + static_cast<long>(at), jpeg.begin() + static_cast<long>(at + 2 + length));
        } else {
            std::vector<uint8_t> body;
            for (size_t p = at + 4; p + 65 <= at + 2 + length; p += 65) {
                body.push_back(static_cast<uint8_t>(0x10 | (jpeg[p] & 15)));
                for (int k = 1; k <= 64; ++k) body.insert(body.end(), {0, jpeg[p + k]});
            }
            out.insert(out.end(), {0xFF, 0xDB, static_cast<uint8_t>((body.size() + 2) >> 8), static_cast<uint8_t>(body.size() + 2)});
            out.insert(out.end(), body.begin(), body.end());
        }
        at += 2 + length;
    }
    return out;
}

void SendWheel(QWidget* target, int delta)
{
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &event);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void StartsEmptyWithEveryElementNamedAndCaptioned()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        QCOMPARE(window.windowTitle(), QStringLiteral("JPEGファイル回転プログラム - Pivotta -"));
        QCOMPARE(window.width(), 692);
        QCOMPARE(window.height(), 483);

        QStringList menus;
        for (const QAction* action : Part<QMenuBar>(window, "MainMenu")->actions()) menus << action->text();
        QCOMPARE(menus, QStringList({"ﾌｧｲﾙ (&F)", "表示 (&V)", "回転 (&O)", "ヘルプ (&H)"}));
        QCOMPARE(Captions(Part<QMenu>(window, "mnu_File")),
                 QStringList({"ファイルを開く (&O)", "フォルダを開く", "名前を付けて保存 (&A)...", "上書き保存 (&S)",
                              "閉じる(&C)", "-", "前のファイル", "次のファイル", "-", "オプション ", "-", "終了 (&X)"}));
        QCOMPARE(Captions(Part<QMenu>(window, "mnu_View")),
                 QStringList({"20%", "25%", "33%", "50%", "75%", "100%", "150%", "200%", "ウインドウサイズにあわせる"}));
        QCOMPARE(Captions(Part<QMenu>(window, "PopupMenu")), Captions(Part<QMenu>(window, "mnu_View")));
        QCOMPARE(Names(Part<QMenu>(window, "PopupMenu")->actions()),
                 QStringList({"smu_20", "smu_25", "smu_33", "smu_50", "smu_75", "smu_100", "smu_150", "smu_200",
                              "smu_Proportional"}));
        QCOMPARE(Captions(Part<QMenu>(window, "mnu_Operation")),
                 QStringList({"元に戻す (&1)", "90度回転 (&2)", "180度回転 (&3)", "270度回転 (&4)", "-", "鏡面 (左右)",
                              "鏡面 (上下)", "-", "Exifの向きに合わせる (&5)"}));
        QCOMPARE(Names(Part<QMenu>(window, "mnu_Operation")->actions()),
                 QStringList({"mnu_0", "mnu_90", "mnu_180", "mnu_270", "-", "mnu_Mirror_LR", "mnu_Mirror_TB", "-",
                              "mnu_AutoOrient"}));
        QVERIFY(!Action(window, "mnu_AutoOrient")->isEnabled());
        QCOMPARE(Captions(Part<QMenu>(window, "mnu_Help")), QStringList({"トピックの検索", "-", "バージョン情報 (&A)"}));
        QCOMPARE(Action(window, "mnu_FileOpen")->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
        QCOMPARE(Action(window, "mnu_FileSave")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        QVERIFY(!Action(window, "mnu_FileOpen")->icon().isNull());
        QVERIFY(!Action(window, "mnu_FileSaveAs")->icon().isNull());

        QCOMPARE(Names(Part<QToolBar>(window, "ToolBar1")->actions()),
                 QStringList({"-", "tbn_FileOpen", "tbn_FileSave", "-", "tbn_0", "tbn_90", "tbn_180", "tbn_270", "-",
                              "tbn_mirror_lr", "tbn_mirror_tb", "-", "tbn_AutoOrient", "-", "tbn_previous",
                              "tbn_Next"}));
        for (const QAction* button : Part<QToolBar>(window, "ToolBar1")->actions()) {
            if (!button->isSeparator()) QVERIFY(!button->icon().pixmap(20, 20).isNull());
        }
        QVERIFY(!Action(window, "tbn_previous")->isVisible());
        QVERIFY(!Action(window, "tbn_Next")->isVisible());
        QVERIFY(window.findChild<QToolButton*>("tbn_90"));

        for (const char* name : {"MainMenu", "ToolBar1", "ScrollBox", "Image", "lbl_StartInfo", "Panel_Under",
                                 "ProgressBar", "StatusBar", "PopupMenu", "mnu_File", "mnu_View", "mnu_Operation",
                                 "mnu_Help"}) {
            QVERIFY2(window.findChild<QObject*>(name), name);
        }

        QVERIFY(EnabledDocumentCommands(window).isEmpty());
        QVERIFY(Action(window, "mnu_FileOpen")->isEnabled() && Action(window, "mnu_FolderOpen")->isEnabled());
        QVERIFY(Action(window, "mnu_FileOption")->isEnabled() && Action(window, "mnu_FileExit")->isEnabled());
        QVERIFY(UnturnedState(window));
        QVERIFY(Action(window, "mnu_View100")->isChecked());
        QVERIFY(Action(window, "smu_100")->isChecked());
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(0), QString());
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(1), QStringLiteral("(100%)"));
        QCOMPARE(Part<QLabel>(window, "lbl_StartInfo")->text(), QStringLiteral("ファイルやフォルダをドロップすると処理をはじめます。"));

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(Part<QLabel>(window, "lbl_StartInfo")->isVisible());
        QVERIFY(!Part<PictureView>(window, "Image")->isVisible());
        QVERIFY(!Part<QProgressBar>(window, "ProgressBar")->isVisible());
        QVERIFY(Part<StatusPanels>(window, "StatusBar")->isVisible());
        QCOMPARE(Part<QWidget>(window, "Panel_Under")->height(), 20);
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->width(), Part<QWidget>(window, "Panel_Under")->width());
        QVERIFY(window.acceptDrops());
    }

    void OpeningAnAcceptedFileShowsItAndEnablesItsCommands()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const std::vector<uint8_t> jpeg = TestJpeg(160, 128);
        const QString path = harness.WriteFile("photo.jpg", jpeg);
        window.show();
        QVERIFY(window.Uty_OpenJpegFile(path));

        QCOMPARE(window.Document().Path(), path);
        QCOMPARE(window.windowTitle(), QStringLiteral("JPEGファイル回転プログラム - Pivotta - photo.jpg"));
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(0), QDir::toNativeSeparators(path) + QStringLiteral(" (160*128)"));
        QCOMPARE(EnabledDocumentCommands(window), kDocumentCommands);
        QVERIFY(UnturnedState(window));
        QCOMPARE(StreamBytes(window.Document().Source()), jpeg);
        QCOMPARE(StreamBytes(window.Document().Result()), jpeg);
        QVERIFY(Part<PictureView>(window, "Image")->isVisible());
        QVERIFY(!Part<QLabel>(window, "lbl_StartInfo")->isVisible());
        QCOMPARE(Part<PictureView>(window, "Image")->size(), QSize(160, 128));
        QCOMPARE(window.Document().LastWriteTime(), QFileInfo(path).lastModified());
        QCOMPARE(harness.platform.messages.size(), size_t{0});
    }

    void RefusedFileIsShownWithItsCommandsDisabled()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        // An accepted file first: nothing of it may stay enabled.
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("good.jpg", TestJpeg(64, 48))));
        const QString path = harness.WriteFile("wide.jpg", WithWideTables(TestJpeg(96, 64)));
        QVERIFY(window.Uty_OpenJpegFile(path));

        QCOMPARE(harness.platform.messages.size(), size_t{1});
        const ShownMessage& shown = harness.platform.messages[0];
        QCOMPARE(shown.caption, QStringLiteral("エラー"));
        QCOMPARE(shown.icon, MessageIcon::Error);
        QCOMPARE(shown.buttons, MessageButtons::Yes);
        QVERIFY(shown.text.endsWith(QStringLiteral("\r処理を行うことが出来ません。")));

        QCOMPARE(window.windowTitle(), QStringLiteral("JPEGファイル回転プログラム - Pivotta - wide.jpg"));
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(0), QDir::toNativeSeparators(path) + QStringLiteral(" (96*64)"));
        QVERIFY(EnabledDocumentCommands(window).isEmpty());
        QVERIFY(Part<PictureView>(window, "Image")->isVisible());
        QCOMPARE(Part<PictureView>(window, "Image")->size(), QSize(96, 64));
        QVERIFY(Action(window, "mnu_FileOpen")->isEnabled());
    }

    void FailedOpenLeavesTheWindowAsAfterClosing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("expectedStart");
        QTest::newRow("not a JPEG") << "notes.jpg" << true
                                    << "JPEG エラー #53\rNot a JPEG file: starts with 0x68 0x65";
        QTest::newRow("missing") << "gone.jpg" << false << "ファイル ";
    }

    void FailedOpenLeavesTheWindowAsAfterClosing()
    {
        QFETCH(QString, name);
        QFETCH(bool, exists);
        QFETCH(QString, expectedStart);
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("good.jpg", TestJpeg(64, 48))));
        Action(window, "tbn_90")->trigger();
        harness.platform.messages.clear();

        const QString path = exists ? harness.WriteFile(name, {'h', 'e', 'l', 'l', 'o'}) : harness.Path(name);
        QVERIFY(!window.Uty_OpenJpegFile(path));
        QCOMPARE(harness.platform.messages.size(), size_t{1});
        QVERIFY2(harness.platform.messages[0].text.startsWith(expectedStart),
                 qPrintable(harness.platform.messages[0].text));
        QCOMPARE(harness.platform.messages[0].icon, MessageIcon::Error);
        QCOMPARE(window.windowTitle(), texts::kAppTitle);
        QVERIFY(window.Document().Path().isEmpty());
        QVERIFY(EnabledDocumentCommands(window).isEmpty());
        QVERIFY(Part<QLabel>(window, "lbl_StartInfo")->isVisible());
        QVERIFY(!Part<PictureView>(window, "Image")->isVisible());
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(0), QString());
        // The previous file's result is gone: nothing can write it under the new name.
        QVERIFY(!window.Document().ResultSavable());
        QCOMPARE(window.Document().Result().Size(), size_t{0});
        Action(window, "mnu_FileSave")->trigger();
        QVERIFY(!QFileInfo::exists(harness.Path("gone.jpg")));
        if (exists) QCOMPARE(ReadBytes(path).size(), size_t{5});
    }

    void ClosingKeepsTheScaleAndEmptiesTheWindow()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("a.jpg", TestJpeg(64, 48))));
        Action(window, "mnu_View50")->trigger();
        Action(window, "mnu_FileClose")->trigger();
        QCOMPARE(window.windowTitle(), texts::kAppTitle);
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(0), QString());
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(1), QStringLiteral("(50%)"));
        QVERIFY(window.Document().Path().isEmpty());
        QVERIFY(EnabledDocumentCommands(window).isEmpty());
        QVERIFY(UnturnedState(window));
        QVERIFY(Part<QLabel>(window, "lbl_StartInfo")->isVisible());
        QVERIFY(!Part<PictureView>(window, "Image")->isVisible());
        QVERIFY(!Part<ViewArea>(window, "ScrollBox")->horizontalScrollBar()->isVisible());
        // A view command still works, and rebuilds the title with the prefix's blank.
        Action(window, "mnu_View200")->trigger();
        QCOMPARE(window.windowTitle(), texts::kTitlePrefix);
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(1), QStringLiteral("(200%)"));
    }

    void ViewCommandsSetTheirExactRatios()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("odd.jpg", TestJpeg(1001, 999))));

        const std::vector<std::tuple<const char*, const char*, QSize>> cases{
            {"mnu_View20", "20%", {200, 199}},   {"mnu_View25", "25%", {250, 249}},
            {"mnu_View33", "33%", {333, 333}},   {"mnu_View50", "50%", {500, 499}},
            {"mnu_View75", "75%", {750, 749}},   {"mnu_View100", "100%", {1001, 999}},
            {"mnu_View150", "150%", {1501, 1498}}, {"mnu_View200", "200%", {2002, 1998}},
        };
        for (const auto& [command, caption, size] : cases) {
            Action(window, command)->trigger();
            QCOMPARE(Part<PictureView>(window, "Image")->size(), size);
            QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(1), u'(' + QString::fromUtf8(caption) + u')');
            QVERIFY(!window.Settings.gViewProportional);
            int checked = 0;
            for (const ViewCommand& view : kViewCommands) {
                const bool isThis = QString::fromUtf8(view.caption) == QString::fromUtf8(caption);
                QCOMPARE(Action(window, view.menuName)->isChecked(), isThis);
                QCOMPARE(Action(window, view.popupName)->isChecked(), isThis);
                checked += isThis;
            }
            QCOMPARE(checked, 1);
        }
        QCOMPARE(ScaledPictureSize({1600, 1200}, 1, 3).width(), 533);
    }

    void PictureIsDrawnAtTheChosenScale()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("a.jpg", TestJpeg(64, 48))));
        const QImage decoded = JpegPicture(Part<PictureView>(window, "Image")->Picture()).Decoded({64, 48}).convertToFormat(QImage::Format_RGB32);
        const auto drawn = [&] { return Part<PictureView>(window, "Image")->grab().toImage().convertToFormat(QImage::Format_RGB32); };
        QCOMPARE(drawn(), decoded);
        Action(window, "mnu_View200")->trigger();
        const QImage enlarged = drawn();
        QCOMPARE(enlarged.size(), QSize(128, 96));
        QVERIFY(MeanDifference(enlarged.scaled(64, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), decoded) < 8);
        Action(window, "mnu_View50")->trigger();
        const QImage reduced = drawn();
        QCOMPARE(reduced.size(), QSize(32, 24));
        QVERIFY(MeanDifference(reduced, decoded.scaled(32, 24, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)) < 8);
        // A wrong picture is far off: the measure can tell.
        QVERIFY(MeanDifference(reduced, reduced.mirrored(true, true)) > 8);
    }

    void ScaleCarriesOverToTheNextFile()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        Action(window, "mnu_View50")->trigger();
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("first.jpg", TestJpeg(200, 100))));
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("second.jpg", TestJpeg(320, 240))));
        QCOMPARE(Part<PictureView>(window, "Image")->size(), QSize(160, 120));
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(1), QStringLiteral("(50%)"));
    }

    void FittedViewShrinksButNeverEnlarges()
    {
        QCOMPARE(FittedPictureSize({4000, 3000}, {800, 500}), QSize(666, 500));
        QCOMPARE(FittedPictureSize({300, 200}, {800, 500}), QSize(300, 200));
        QCOMPARE(FittedPictureSize({3000, 4000}, {800, 500}), QSize(375, 500));
        QCOMPARE(FittedPictureSize({2000, 1000}, {500, 800}), QSize(500, 250));
        QCOMPARE(FittedPictureSize({1000, 3000}, {800, 300}), QSize(100, 300));
        QCOMPARE(FittedPictureSize({0, 0}, {800, 500}), QSize(0, 0));

        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.resize(900, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Action(window, "mnu_ViewProportional")->trigger();
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("big.jpg", TestJpeg(4000, 3000))));
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelText(1), QStringLiteral("(AutoSize)"));
        QVERIFY(window.Settings.gViewProportional);
        QVERIFY(Action(window, "mnu_ViewProportional")->isChecked());
        QVERIFY(Action(window, "smu_Proportional")->isChecked());
        QVERIFY(!Action(window, "mnu_View100")->isChecked());
        const QSize area = Part<ViewArea>(window, "ScrollBox")->viewport()->size();
        QCOMPARE(Part<PictureView>(window, "Image")->size(), area);
        QCOMPARE(Part<PictureView>(window, "Image")->DrawnRect(), QRect(QPoint(0, 0), FittedPictureSize({4000, 3000}, area)));
        QVERIFY(!Part<ViewArea>(window, "ScrollBox")->verticalScrollBar()->isVisible());

        // A drawing at a quarter of the size or less decodes at a reduced scale, once.
        Part<PictureView>(window, "Image")->grab();
        Part<PictureView>(window, "Image")->grab();
        QCOMPARE(Part<PictureView>(window, "Image")->Picture().DecodeCount(), 1);
        QVERIFY(JpegPicture(Part<PictureView>(window, "Image")->Picture()).Decoded(Part<PictureView>(window, "Image")->DrawnRect().size()).width() < 4000);

        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("small.jpg", TestJpeg(300, 200))));
        QCOMPARE(Part<PictureView>(window, "Image")->DrawnRect(), QRect(0, 0, 300, 200));
    }

    void TitleCountsTheFilesOfAMultiFileRun()
    {
        // The window builds its title this way; multi_file_window_test drives a real run.
        QCOMPARE(MainWindowTitle(QStringLiteral("/photos/a.jpg"), true, 2, 12),
                 QStringLiteral("JPEGファイル回転プログラム - Pivotta - a.jpg (3/12)"));
        QCOMPARE(MainWindowTitle(QStringLiteral("/photos/a.jpg"), false, 2, 12),
                 QStringLiteral("JPEGファイル回転プログラム - Pivotta - a.jpg"));
        QCOMPARE(FileNamePart(QStringLiteral("/a/b/c.JPG")), QStringLiteral("c.JPG"));
    }

    void StatusBarKeepsRoomForTheScale()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(800, 500);
        QCoreApplication::processEvents();
        const int room = QFontMetrics(Part<StatusPanels>(window, "StatusBar")->font()).horizontalAdvance(QStringLiteral("  (AutoSize)  "));
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelWidth(0), Part<StatusPanels>(window, "StatusBar")->width() - room);
        QCOMPARE(Part<StatusPanels>(window, "StatusBar")->PanelWidth(1), room);
    }

    void WheelMovesTheViewByATenthOfAPage()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.resize(600, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.Uty_OpenJpegFile(harness.WriteFile("tall.jpg", TestJpeg(400, 1600))));
        QCoreApplication::processEvents();
        QScrollBar* bar = Part<ViewArea>(window, "ScrollBox")->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        const int step = WheelIncrement(Part<ViewArea>(window, "ScrollBox")->viewport()->height());
        QCOMPARE(step, Part<ViewArea>(window, "ScrollBox")->viewport()->height() * 9 / 10 / 10);
        bar->setValue(500);
        const int horizontal = Part<ViewArea>(window, "ScrollBox")->horizontalScrollBar()->value();

        SendWheel(Part<ViewArea>(window, "ScrollBox")->viewport(), -120);  // toward the user: down the picture
        QCOMPARE(bar->value(), 500 + step);
        SendWheel(Part<ViewArea>(window, "ScrollBox")->viewport(), 120);  // away from the user: up
        QCOMPARE(bar->value(), 500);
        SendWheel(Part<ViewArea>(window, "ScrollBox")->viewport(), 60);  // half a notch does nothing yet
        QCOMPARE(bar->value(), 500);
        SendWheel(Part<ViewArea>(window, "ScrollBox")->viewport(), 60);
        QCOMPARE(bar->value(), 500 - step);
        QCOMPARE(Part<ViewArea>(window, "ScrollBox")->horizontalScrollBar()->value(), horizontal);

        bar->setValue(1);
        emit Part<ViewArea>(window, "ScrollBox")->WheelAwayFromUser();
        QCOMPARE(bar->value(), 0);
        bar->setValue(bar->maximum());
        emit Part<ViewArea>(window, "ScrollBox")->WheelTowardUser();
        QCOMPARE(bar->value(), bar->maximum());
    }

    void CommandLineIsLookedAtOnceAtTheFirstShowing()
    {
        MainWindowHarness harness;
        const QString path = harness.WriteFile("arg.jpg", TestJpeg(64, 48));
        harness.Recreate({path});
        TFm_Main& window = harness.Window();
        QVERIFY(window.Document().Path().isEmpty());  // not before the window shows
        window.show();
        QTRY_COMPARE(window.Document().Path(), ExpandLongPath(path));
        QVERIFY(window.Document().Accepted());

        window.Uty_CloseJpegFile();
        window.hide();
        window.show();
        QCoreApplication::processEvents();
        QVERIFY(window.Document().Path().isEmpty());

        harness.Recreate({path, path});
        harness.Window().show();
        QCoreApplication::processEvents();
        QVERIFY(harness.Window().Document().Path().isEmpty());
    }

    void DroppedFileIsOpened()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const QString path = harness.WriteFile("dropped.jpg", TestJpeg(64, 48));
        window.WMDropFiles({path});
        QCOMPARE(window.Document().Path(), path);
        QVERIFY(!window.Run().MultiFileMode());
        QVERIFY(!Action(window, "tbn_Next")->isVisible());
    }

    void ExpandLongPathGivesTheAbsoluteFormAndKeepsUnknownParts()
    {
        const QString current = QDir::currentPath();
        QCOMPARE(ExpandLongPath(QStringLiteral("no_such_dir/x.jpg")),
                 QDir::toNativeSeparators(current + QStringLiteral("/no_such_dir/x.jpg")));
        QCOMPARE(ExpandLongPath(QDir::rootPath()), QDir::toNativeSeparators(QDir::rootPath()));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("写真.jpg"));
        QFile(file).open(QIODevice::WriteOnly);
        QCOMPARE(ExpandLongPath(file), QDir::toNativeSeparators(file));
    }

    void EngineMessagesAreShownByLevel()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        const auto send = [&](const char* text, int level) {
            window.Document().Engine().OnCodedMessage({pivotta::MessageCode::BadKind, level, text});
        };
        send("zero", 0);
        send("one", 1);
        send("two", 2);
        send("three", 3);
        const auto& shown = harness.platform.messages;
        QCOMPARE(shown.size(), size_t{3});
        QCOMPARE(shown[0].caption, texts::kAppTitle);
        QCOMPARE(shown[0].text, QStringLiteral("zero"));
        QCOMPARE(shown[0].buttons, MessageButtons::Ok);
        QCOMPARE(shown[1].caption, QStringLiteral("警告"));
        QCOMPARE(shown[1].icon, MessageIcon::Warning);
        QCOMPARE(shown[1].buttons, MessageButtons::Yes);
        QCOMPARE(shown[1].text, QStringLiteral("one"));
        QCOMPARE(shown[2].caption, QStringLiteral("エラー"));
        QCOMPARE(shown[2].icon, MessageIcon::Error);
        QCOMPARE(shown[2].text, QStringLiteral("two\r処理を行うことが出来ません。"));
    }

    void RefusalSaysWhatTheFileIs_data()
    {
        QTest::addColumn<int>("frameMarker");
        QTest::addColumn<int>("precision");
        QTest::addColumn<QString>("kind");
        QTest::newRow("lossless") << 0xC3 << 8 << texts::kLosslessKind;
        QTest::newRow("hierarchical") << 0xC5 << 8 << texts::kHierarchicalKind;
        QTest::newRow("12-bit") << 0xC1 << 12 << texts::kTwelveBitKind;
    }

    void RefusalSaysWhatTheFileIs()
    {
        QFETCH(int, frameMarker);
        QFETCH(int, precision);
        QFETCH(QString, kind);
        MainWindowHarness harness;
        std::vector<uint8_t> bytes = TestJpeg(64, 48);
        const auto sof = std::search(bytes.begin(), bytes.end(), kSof0, kSof0 + 2);
        QVERIFY(sof != bytes.end());
        sof[1] = static_cast<uint8_t>(frameMarker);
        sof[4] = static_cast<uint8_t>(precision);
        QVERIFY(!harness.Window().Uty_OpenJpegFile(harness.WriteFile("refused.jpg", bytes)));
        QCOMPARE(harness.platform.messages.size(), size_t{1});
        // The display decoder's number stays; its English words give way to the kind.
        const QStringList lines = harness.platform.messages.front().text.split(u'\r');
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith(QStringLiteral("JPEG エラー #")));
        QCOMPARE(lines[1], kind);
    }

    void EngineRefusalSaysWhatTheFileIs()
    {
        MainWindowHarness harness;
        const auto send = [&](pivotta::MessageCode code) {
            harness.Window().Document().Engine().OnCodedMessage({code, 2, "ヘッダ($FFC3)を認識できませんでした。"});
            return harness.platform.messages.back().text;
        };
        QCOMPARE(send(pivotta::MessageCode::Lossless),
                 QStringLiteral("ヘッダ($FFC3)を認識できませんでした。\rロスレスJPEGには対応していません\r処理を行うことが出来ません。"));
        QCOMPARE(send(pivotta::MessageCode::Progressive).split(u'\r')[1], texts::kProgressiveKind);
        // Damage is no kind: the message stays as the engine gave it.
        QCOMPARE(send(pivotta::MessageCode::DamagedScan).count(u'\r'), 1);
    }

    void OptimizedTablesWarnOncePerOpenUntilUnticked()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        int shown = 0;
        bool answer = true;
        window.DHTWarningDialog = [&](bool showNextTime) {
            ++shown;
            [&] { QVERIFY(showNextTime); }();
            return answer;
        };
        const QString optimized = harness.WriteFile("optimized.jpg", OptimizedJpeg(64, 48));
        const QString plain = harness.WriteFile("plain.jpg", TestJpeg(64, 48));
        QVERIFY(window.Uty_OpenJpegFile(plain));
        QCOMPARE(shown, 0);
        QVERIFY(window.Uty_OpenJpegFile(optimized));
        QCOMPARE(shown, 1);
        Action(window, "tbn_90")->trigger();
        QCOMPARE(shown, 1);
        answer = false;
        QVERIFY(window.Uty_OpenJpegFile(optimized));
        QCOMPARE(shown, 2);
        QVERIFY(!window.Settings.gDHTWarning);
        QVERIFY(window.Uty_OpenJpegFile(optimized));
        QCOMPARE(shown, 2);
    }

    void PictureTheDecoderRefusesWhileDrawingIsReportedOnce()
    {
        MainWindowHarness harness;
        TFm_Main& window = harness.Window();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString path = harness.WriteFile("broken.jpg", UndefinedQuantTable(TestJpeg(64, 48)));
        window.Uty_OpenJpegFile(path);
        harness.platform.messages.clear();
        Part<PictureView>(window, "Image")->repaint();
        QCoreApplication::processEvents();
        Part<PictureView>(window, "Image")->repaint();
        Action(window, "mnu_View200")->trigger();
        Part<PictureView>(window, "Image")->repaint();
        QCoreApplication::processEvents();
        QCOMPARE(harness.platform.messages.size(), size_t{1});
        QVERIFY(harness.platform.messages[0].text.startsWith(QStringLiteral("JPEG エラー #")));
    }

    void HelpOpensTheReadmeBesideTheProgram()
    {
        MainWindowHarness harness;
        Action(harness.Window(), "mnu_HelpView")->trigger();
        QCOMPARE(harness.platform.shellOpened.size(), size_t{1});
        QCOMPARE(harness.platform.shellOpened[0], QCoreApplication::applicationDirPath() + "/readme.txt");
        QVERIFY(harness.platform.messages.empty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
