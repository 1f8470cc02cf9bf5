// The photo document without any window: reading and checking, transforms that always start
// from the opened bytes, failures that leave nothing to save, the engine's hooks, and saves
// that are atomic and keep the opened file's times. No widget is constructed here.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <stdexcept>

#include "FakePlatform.h"
#include "JpegFixtures.h"
#include "MainWindowHarness.h"
#include "PhotoDocument.h"

using namespace pivotta::app;

namespace {

using pivotta::TransformKind;

struct RecordedEvents : DocumentEvents {
    void EngineMessage(const QString& text, int level) override { messages.append({text, level}); }
    void HuffmanTablesReplaced() override { ++tableWarnings; }
    void ProgressMaximum(int maximum) override { progress.append(-maximum); }
    void ProgressPosition(int position) override { progress.append(position); }

    QList<QPair<QString, int>> messages;
    int tableWarnings = 0;
    QList<int> progress;  // maxima negated, positions as they are
};

std::vector<uint8_t> Bytes(std::span<const uint8_t> span) { return {span.begin(), span.end()}; }

}  // namespace

class PhotoDocumentTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    FakePlatform platform_;
    AppSettings settings_;
    RecordedEvents events_;

    QString Write(const QString& name, const std::vector<uint8_t>& bytes)
    {
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write a fixture");
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path;
    }

private slots:
    void init()
    {
        settings_ = AppSettings();
        events_ = RecordedEvents();
        platform_ = FakePlatform();
    }

    void OpenedFileIsCheckedAndItsResultIsItsOwnBytes()
    {
        PhotoDocument document(platform_, settings_, events_);
        const std::vector<uint8_t> jpeg = TestJpeg(64, 48);
        const QString path = Write("a.jpg", jpeg);
        QString error;
        QVERIFY(document.Read(path, &error));
        QVERIFY(document.Check(&error));
        QVERIFY(error.isEmpty());
        QCOMPARE(document.Path(), path);
        QVERIFY(document.Accepted() && document.ResultSavable() && document.Unturned());
        QCOMPARE(StreamBytes(document.Source()), jpeg);
        QCOMPARE(Bytes(document.ResultPicture()), jpeg);
        QCOMPARE(document.LastWriteTime(), QFileInfo(path).lastModified());
        QVERIFY(events_.messages.isEmpty());

        document.Close();
        QVERIFY(!document.IsOpen() && !document.Accepted() && !document.ResultSavable());
        QVERIFY(document.ResultPicture().empty());
        QCOMPARE(document.Source().Size(), size_t{0});
    }

    void UnreadableFileLeavesNothingOfThePreviousOne()
    {
        PhotoDocument document(platform_, settings_, events_);
        QString error;
        QVERIFY(document.Read(Write("a.jpg", TestJpeg(64, 48)), &error));
        document.Check(&error);
        const QString missing = dir_.filePath("missing.jpg");
        QVERIFY(!document.Read(missing, &error));
        QCOMPARE(error, QStringLiteral("ファイル %1 を開けません").arg(QDir::toNativeSeparators(missing)));
        QVERIFY(!document.IsOpen() && !document.Accepted() && !document.ResultSavable());
        QCOMPARE(document.Source().Size(), size_t{0});
        QCOMPARE(document.Result().Size(), size_t{0});
        QVERIFY(!document.LastWriteTime().isValid());
    }

    void TransformsStartFromTheOpenedBytes_data()
    {
        QTest::addColumn<TransformKind>("first");
        QTest::addColumn<TransformKind>("second");
        QTest::newRow("90 twice") << TransformKind::Rotate90 << TransformKind::Rotate90;
        QTest::newRow("90 then 180") << TransformKind::Rotate90 << TransformKind::Rotate180;
        QTest::newRow("270 then mirror") << TransformKind::Rotate270 << TransformKind::MirrorLR;
        QTest::newRow("mirror then unturned") << TransformKind::MirrorTB << TransformKind::NoRotation;
    }

    void TransformsStartFromTheOpenedBytes()
    {
        QFETCH(TransformKind, first);
        QFETCH(TransformKind, second);
        PhotoDocument document(platform_, settings_, events_);
        const std::vector<uint8_t> jpeg = TestJpeg(48, 32);
        QString error;
        QVERIFY(document.Read(Write("a.jpg", jpeg), &error));
        QVERIFY(document.Check(&error));
        for (TransformKind kind : {first, second}) {
            document.SelectTransform(kind);
            QVERIFY(document.RunSelectedTransform(&error));
        }
        const std::vector<uint8_t> expected =
            second == TransformKind::NoRotation ? jpeg : EngineTransform(jpeg, second);
        QCOMPARE(StreamBytes(document.Result()), expected);
        QCOMPARE(Bytes(document.ResultPicture()), expected);
        QCOMPARE(document.Unturned(), second == TransformKind::NoRotation);
        QCOMPARE(StreamBytes(document.Source()), jpeg);
    }

    void FailedTransformLeavesNothingToShowOrSave()
    {
        PhotoDocument document(platform_, settings_, events_);
        QString error;
        QVERIFY(document.Read(Write("cut.jpg", CutShortScan(TestJpeg(64, 64))), &error));
        QVERIFY(document.Check(&error));
        document.SelectTransform(TransformKind::Rotate90);
        QVERIFY(!document.RunSelectedTransform(&error));
        QVERIFY(error.isEmpty());  // the engine said it through its hook
        QCOMPARE(events_.messages.size(), 1);
        QCOMPARE(events_.messages[0].second, 2);
        QVERIFY(!document.ResultSavable());
        QVERIFY(document.ResultPicture().empty());
        QCOMPARE(document.Selection(), TransformKind::Rotate90);

        // An error raised inside the engine comes back as text; the result is not savable either.
        document.Engine().OnProgressMax = [](int) { throw std::runtime_error("想定外のエラー"); };
        QVERIFY(document.Read(Write("a.jpg", TestJpeg(64, 64)), &error));
        QVERIFY(document.Check(&error));
        document.SelectTransform(TransformKind::Rotate180);
        QVERIFY(!document.RunSelectedTransform(&error));
        QCOMPARE(error, QStringLiteral("想定外のエラー"));
        QVERIFY(!document.ResultSavable());
    }

    void EngineHooksAndFlagsComeFromTheOwner()
    {
        PhotoDocument document(platform_, settings_, events_);
        QString error;
        QVERIFY(document.Read(Write("opt.jpg", OptimizedJpeg(64, 64)), &error));
        document.Check(&error);
        QCOMPARE(events_.tableWarnings, 1);

        // The options are read at each run, not at opening.
        settings_.gAllowBreakDCF = true;
        settings_.gAllowAdjustMCU = true;
        document.SelectTransform(TransformKind::Rotate270);
        QVERIFY(document.RunSelectedTransform(&error));
        QVERIFY(document.Engine().AllowBreakDCF && document.Engine().AllowAdjustMCU);
        QVERIFY(!events_.progress.isEmpty());
        QVERIFY(events_.progress.front() < 0);  // the maximum first, then positions
        QVERIFY(events_.progress.back() > 0 && events_.progress.back() <= -events_.progress.front());
    }

    // Off: the standard tables replace the file's, with the warning; on: tables built for the
    // result, a smaller file, and no warning.
    void OptimizeOptionChoosesTheTablesAndTheWarning()
    {
        const QString path = Write("opt.jpg", OptimizedJpeg(64, 64));
        size_t sizes[2] = {};
        for (const bool optimize : {false, true}) {
            settings_.gOptimizeHuffman = optimize;
            events_ = RecordedEvents();
            PhotoDocument document(platform_, settings_, events_);
            QString error;
            QVERIFY(document.Read(path, &error));
            document.Check(&error);
            document.SelectTransform(TransformKind::Rotate90);
            QVERIFY(document.RunSelectedTransform(&error));
            QCOMPARE(events_.tableWarnings, optimize ? 0 : 1);
            sizes[optimize] = document.Result().Size();
        }
        QVERIFY(sizes[1] < sizes[0]);
    }

    // Progressive, arithmetic-coded and CMYK files open, check and turn; the saved coding is
    // the input's by default, or the one the options choose.
    void OtherProcessesTurnInTheCodingChosen()
    {
        using pivotta::test::FixtureSpec;
        const struct {
            const char* name;
            FixtureSpec spec;
            int marker;  // of the file as made
        } files[] = {
            {"progressive.jpg", {.width = 48, .height = 32, .progressive = true}, 0xC2},
            {"arithmetic.jpg", {.width = 40, .height = 24, .arithmetic = true}, 0xC9},
            {"cmyk.jpg", {.width = 24, .height = 16, .components = 4, .hSamp = 1, .vSamp = 1}, 0xC0},
        };
        const auto frameMarker = [](const pivotta::TMemoryStream& jpeg) {
            const uint8_t* bytes = jpeg.Memory();
            for (size_t at = 2; at + 4 <= jpeg.Size() && bytes[at + 1] != 0xDA;) {
                if (bytes[at + 1] >= 0xC0 && bytes[at + 1] <= 0xCA && bytes[at + 1] != 0xC4) return int{bytes[at + 1]};
                at += 2 + (size_t{bytes[at + 2]} << 8 | bytes[at + 3]);
            }
            return 0;
        };
        for (const auto& file : files) {
            const QString path = Write(QString::fromLatin1(file.name), pivotta::test::MakeJpeg(file.spec));
            for (const int coding : {0, 1, 2}) {
                settings_.gOutputCoding = coding;
                PhotoDocument document(platform_, settings_, events_);
                QString error;
                QVERIFY(document.Read(path, &error));
                QVERIFY2(document.Check(&error), qPrintable(error));
                document.SelectTransform(TransformKind::Rotate90);
                QVERIFY2(document.RunSelectedTransform(&error), qPrintable(error));
                QCOMPARE(frameMarker(document.Result()), coding == 0 ? file.marker : coding == 1 ? 0xC0 : 0xC2);
            }
        }
    }

    void SaveWritesTheResultWithTheOpenedFilesTimes_data()
    {
        QTest::addColumn<bool>("keepCreate");
        QTest::addColumn<bool>("keepWrite");
        QTest::newRow("neither") << false << false;
        QTest::newRow("creation") << true << false;
        QTest::newRow("last write") << false << true;
        QTest::newRow("both") << true << true;
    }

    void SaveWritesTheResultWithTheOpenedFilesTimes()
    {
        QFETCH(bool, keepCreate);
        QFETCH(bool, keepWrite);
        const QString path = Write("a.jpg", TestJpeg(64, 48));
        const QDateTime old = QDateTime::currentDateTime().addDays(-30);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        PhotoDocument document(platform_, settings_, events_);
        QString error;
        QVERIFY(document.Read(path, &error));
        document.Check(&error);
        document.SelectTransform(TransformKind::Rotate90);
        QVERIFY(document.RunSelectedTransform(&error));

        settings_.gKeepTimeStamp_Create = keepCreate;
        settings_.gKeepTimeStamp_Write = keepWrite;
        const QString target = dir_.filePath("out.jpg");
        QVERIFY(document.Save(target, &error));
        QCOMPARE(ReadBytes(target), StreamBytes(document.Result()));
        QCOMPARE(platform_.creationTimesSet.size(), size_t{keepCreate});
        QCOMPARE(platform_.lastWriteTimesSet.size(), size_t{keepWrite});
        QCOMPARE(QFileInfo(target).lastModified().secsTo(old) == 0, keepWrite);
    }

    void FailedSaveReportsAndKeepsWhatStoodThere()
    {
        PhotoDocument document(platform_, settings_, events_);
        QString error;
        QVERIFY(document.Read(Write("a.jpg", TestJpeg(64, 48)), &error));
        document.Check(&error);
        const QString target = dir_.filePath("no_such_folder/out.jpg");
        QVERIFY(!document.Save(target, &error));
        QCOMPARE(error, QStringLiteral("ファイル %1 を作成できません").arg(QDir::toNativeSeparators(target)));
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(platform_.lastWriteTimesSet.empty());
    }
};

QTEST_GUILESS_MAIN(PhotoDocumentTest)
#include "photo_document_test.moc"
