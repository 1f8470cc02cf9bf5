// A transformed result that was not saved is never lost unasked: every way the picture on show
// gives way asks, and the answer saves, discards or keeps the picture.
#include <QDir>
#include <QtTest>

#include "AppTexts.h"
#include "MainWindowHarness.h"

using namespace pivotta::app;

using pivotta::TransformKind;

namespace {

enum class Leave { OpenDialog, Drop, FolderRun, CloseCommand, CloseWindow };

struct Scene {
    MainWindowHarness harness;
    std::vector<uint8_t> source = TestJpeg(128, 64);
    QString path;
    QString other;
    QString folder;

    Scene()
    {
        path = harness.WriteFile(QStringLiteral("a.jpg"), source);
        QDir().mkpath(harness.Path(QStringLiteral("run")));
        other = harness.WriteFile(QStringLiteral("run/b.jpg"), TestJpeg(64, 48, 2));
        harness.WriteFile(QStringLiteral("run/c.jpg"), TestJpeg(64, 48, 3));
        folder = harness.Path(QStringLiteral("run"));
        harness.Window().Settings.gFolderProcessInfo = false;
        harness.Window().Settings.gSaveResult = false;
    }

    TFm_Main& Window() { return harness.Window(); }

    void OpenAndTurn()
    {
        QVERIFY(Window().Uty_OpenJpegFile(path));
        Action(Window(), "tbn_90")->trigger();
    }

    // Does what the user does to leave the picture; true when it went.
    bool Leave(::Leave how)
    {
        switch (how) {
        case Leave::OpenDialog:
            harness.platform.openAnswers.push_back({other});
            Action(Window(), "mnu_FileOpen")->trigger();
            return Window().Document().Path() == other;
        case Leave::Drop:
            Window().WMDropFiles({other});
            return Window().Document().Path() == other;
        case Leave::FolderRun:
            harness.platform.folderAnswers.push_back(folder);
            Action(Window(), "mnu_FolderOpen")->trigger();
            return Window().Run().MultiFileMode();
        case Leave::CloseCommand:
            Action(Window(), "mnu_FileClose")->trigger();
            return Window().Document().Path().isEmpty();
        case Leave::CloseWindow:
            Window().show();
            return Window().close();
        }
        return false;
    }

    int Questions() const
    {
        int count = 0;
        for (const ShownMessage& message : harness.platform.messages) {
            if (message.text == texts::kSaveChangesQuestion) ++count;
        }
        return count;
    }
};

}  // namespace

class UnsavedResultTest : public QObject {
    Q_OBJECT

private slots:
    void EveryWayOutAsksAndFollowsTheAnswer_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("answer");
        const std::pair<const char*, ::Leave> ways[] = {
            {"open", Leave::OpenDialog},   {"drop", Leave::Drop},           {"folder", Leave::FolderRun},
            {"close", Leave::CloseCommand}, {"window", Leave::CloseWindow},
        };
        const std::pair<const char*, MessageAnswer> answers[] = {
            {"yes", MessageAnswer::Yes}, {"no", MessageAnswer::No}, {"cancel", MessageAnswer::Cancel}};
        for (const auto& [wayName, way] : ways) {
            for (const auto& [answerName, answer] : answers) {
                QTest::addRow("%s-%s", wayName, answerName) << static_cast<int>(way) << static_cast<int>(answer);
            }
        }
    }

    void EveryWayOutAsksAndFollowsTheAnswer()
    {
        QFETCH(int, how);
        QFETCH(int, answer);
        Scene scene;
        scene.OpenAndTurn();
        const std::vector<uint8_t> turned = EngineTransform(scene.source, TransformKind::Rotate90);
        scene.harness.platform.messageAnswers.push_back(static_cast<MessageAnswer>(answer));

        const bool left = scene.Leave(static_cast<Leave>(how));

        QCOMPARE(scene.Questions(), 1);
        const ShownMessage& question = scene.harness.platform.messages.front();
        QCOMPARE(question.buttons, MessageButtons::YesNoCancel);
        QCOMPARE(question.caption, texts::kAppTitle);
        QCOMPARE(left, static_cast<MessageAnswer>(answer) != MessageAnswer::Cancel);
        const bool saved = static_cast<MessageAnswer>(answer) == MessageAnswer::Yes;
        QCOMPARE(ReadBytes(scene.path), saved ? turned : scene.source);
        if (!left) {
            // Cancel keeps the picture and its result as they were.
            QCOMPARE(scene.Window().Document().Path(), scene.path);
            QCOMPARE(StreamBytes(scene.Window().Document().Result()), turned);
        }
    }

    void NothingToLoseAsksNothing_data()
    {
        QTest::addColumn<QString>("state");
        QTest::newRow("unturned") << "unturned";
        QTest::newRow("turned back") << "turned back";
        QTest::newRow("saved") << "saved";
        QTest::newRow("saved as") << "saved as";
        QTest::newRow("option off") << "option off";
        QTest::newRow("failed transform") << "failed";
    }

    void NothingToLoseAsksNothing()
    {
        QFETCH(QString, state);
        Scene scene;
        TFm_Main& window = scene.Window();
        if (state == "failed") {
            const QString cut = scene.harness.WriteFile(QStringLiteral("cut.jpg"), CutShortScan(scene.source));
            QVERIFY(window.Uty_OpenJpegFile(cut));
            Action(window, "tbn_90")->trigger();
        } else {
            QVERIFY(window.Uty_OpenJpegFile(scene.path));
            if (state != "unturned") Action(window, "tbn_180")->trigger();
        }
        if (state == "turned back") Action(window, "tbn_0")->trigger();
        if (state == "saved") {
            scene.harness.platform.messageAnswers.push_back(MessageAnswer::Yes);
            Action(window, "mnu_FileSave")->trigger();
        }
        if (state == "saved as") {
            scene.harness.platform.saveAnswers.push_back(scene.harness.Path(QStringLiteral("copy.jpg")));
            Action(window, "mnu_FileSaveAs")->trigger();
        }
        if (state == "option off") window.Settings.gConfirmUnsaved = false;
        scene.harness.platform.messages.clear();

        QVERIFY(scene.Leave(Leave::Drop));
        QCOMPARE(scene.Questions(), 0);
    }

    void ATurnAfterASaveIsUnsavedAgain()
    {
        Scene scene;
        scene.OpenAndTurn();
        scene.harness.platform.messageAnswers = {MessageAnswer::Yes, MessageAnswer::No};
        Action(scene.Window(), "mnu_FileSave")->trigger();
        Action(scene.Window(), "tbn_270")->trigger();
        QVERIFY(scene.Leave(Leave::Drop));
        QCOMPARE(scene.Questions(), 1);
    }

    void StepsOfARunNeverAsk()
    {
        Scene scene;
        TFm_Main& window = scene.Window();
        scene.harness.platform.folderAnswers.push_back(scene.folder);
        Action(window, "mnu_FolderOpen")->trigger();
        QVERIFY(window.Run().MultiFileMode());
        Action(window, "tbn_90")->trigger();
        Action(window, "tbn_Next")->trigger();
        Action(window, "tbn_90")->trigger();
        Action(window, "tbn_previous")->trigger();
        Action(window, "tbn_90")->trigger();
        QVERIFY(window.close());
        QCOMPARE(scene.Questions(), 0);
    }

    void FailedSaveKeepsThePictureOpen()
    {
        Scene scene;
        scene.OpenAndTurn();
        // A folder now stands where the opened file was: the save cannot replace it.
        QVERIFY(QFile::remove(scene.path));
        QVERIFY(QDir().mkpath(scene.path));
        scene.harness.platform.messageAnswers.push_back(MessageAnswer::Yes);

        QVERIFY(!scene.Leave(Leave::Drop));
        QCOMPARE(scene.Window().Document().Path(), scene.path);
        QCOMPARE(scene.harness.platform.messages.back().caption, texts::kAppTitle);
        QVERIFY(scene.harness.platform.messages.back().text.contains(QStringLiteral("を作成できません")));
    }
};

QTEST_MAIN(UnsavedResultTest)
#include "unsaved_result_test.moc"
