// How the open actions build the file list, and where a run puts its results.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "FakePlatform.h"
#include "FileGathering.h"

using namespace pivotta::app;

namespace {

void Touch(const QString& path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

}  // namespace

class FileGatheringTest : public QObject {
    Q_OBJECT
private slots:
    void enumeratesJpgFilesSortedIgnoringCase();
    void enumeratesIntoARootLikeFolderWithoutDoubledSeparator();
    void enumeratesNothingInAMissingFolder();
    void resultFolderTable_data();
    void resultFolderTable();
    void openDialogGivesItsFilesInOrder();
    void folderChooserGivesTheFolderFiles();
    void folderChooserCancelledGivesNothingSilently();
    void folderChooserWithoutMatchesReportsIt();
    void dropTakesFoldersAndFilesInOrder();
    void dropKeepsLongNamesWhole();
    void commandLineTakesOneFileOrFolder();
    void commandLineIgnoresOtherCounts();
};

void FileGatheringTest::enumeratesJpgFilesSortedIgnoringCase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* name : {"b.JPG", "a.jpg", "C.Jpg", "d.jpeg", "e.png", ".hidden.jpg", "a.jpg.txt"})
        Touch(dir.filePath(QString::fromLatin1(name)));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.jpg")));
    Touch(dir.filePath(QStringLiteral("folder.jpg/inner.jpg")));

    const QStringList expected{dir.filePath(QStringLiteral("a.jpg")), dir.filePath(QStringLiteral("b.JPG")),
                               dir.filePath(QStringLiteral("C.Jpg"))};
    QCOMPARE(EnumerateJpegFiles(dir.path()), expected);
}

void FileGatheringTest::enumeratesIntoARootLikeFolderWithoutDoubledSeparator()
{
    QTemporaryDir dir;
    Touch(dir.filePath(QStringLiteral("x.jpg")));
    QCOMPARE(EnumerateJpegFiles(dir.path() + u'/'), QStringList{dir.path() + QStringLiteral("/x.jpg")});
}

void FileGatheringTest::enumeratesNothingInAMissingFolder()
{
    QTemporaryDir dir;
    QVERIFY(EnumerateJpegFiles(dir.filePath(QStringLiteral("gone"))).isEmpty());
}

void FileGatheringTest::resultFolderTable_data()
{
    QTest::addColumn<QString>("firstEntry");
    QTest::addColumn<bool>("saveSameFolder");
    QTest::addColumn<QString>("saveFolder");
    QTest::addColumn<QString>("expected");

    const QString entry = QStringLiteral("C:\\photos\\trip\\a.jpg");
    QTest::newRow("same folder") << entry << true << QString() << QStringLiteral("C:\\photos\\trip\\result");
    QTest::newRow("same folder wins over a base") << entry << true << QStringLiteral("D:\\out")
                                                  << QStringLiteral("C:\\photos\\trip\\result");
    QTest::newRow("same folder at a drive root") << QStringLiteral("C:\\a.jpg") << true << QString()
                                                 << QStringLiteral("C:\\result");
    QTest::newRow("same folder at the root") << QStringLiteral("/a.jpg") << true << QString()
                                             << QStringLiteral("/result");
    QTest::newRow("desktop") << entry << false << QString() << QStringLiteral("/home/u/Desktop/result_trip");
    QTest::newRow("desktop, entry in a drive root") << QStringLiteral("C:\\a.jpg") << false << QString()
                                                    << QStringLiteral("/home/u/Desktop/result_");
    QTest::newRow("base is a drive root") << entry << false << QStringLiteral("D:\\")
                                          << QStringLiteral("D:\\result_trip");
    QTest::newRow("base is the root") << QStringLiteral("/srv/photos/a.jpg") << false << QStringLiteral("/")
                                      << QStringLiteral("/result_photos");
    QTest::newRow("other folder") << entry << false << QStringLiteral("D:\\out")
                                  << QStringLiteral("D:\\out\\result_trip");
    QTest::newRow("other folder with a trailing separator")
        << QStringLiteral("/srv/photos/a.jpg") << false << QStringLiteral("/srv/out/")
        << QStringLiteral("/srv/out/result_photos");
}

void FileGatheringTest::resultFolderTable()
{
    QFETCH(QString, firstEntry);
    QFETCH(bool, saveSameFolder);
    QFETCH(QString, saveFolder);
    QFETCH(QString, expected);
    QCOMPARE(ResultFolderFor(firstEntry, saveSameFolder, saveFolder, QStringLiteral("/home/u/Desktop")), expected);
}

void FileGatheringTest::openDialogGivesItsFilesInOrder()
{
    FakePlatform platform;
    platform.openAnswers = {{QStringLiteral("/p/z.jpg"), QStringLiteral("/p/a.JPEG")}, {}};
    QCOMPARE(GatherFromOpenDialog(platform, nullptr), (QStringList{QStringLiteral("/p/z.jpg"), QStringLiteral("/p/a.JPEG")}));
    QVERIFY(GatherFromOpenDialog(platform, nullptr).isEmpty());
    QCOMPARE(platform.openDialogFilters.front(), QStringLiteral("JPEGファイル|*.JPG;*.JPEG"));
}

void FileGatheringTest::folderChooserGivesTheFolderFiles()
{
    QTemporaryDir dir;
    Touch(dir.filePath(QStringLiteral("2.jpg")));
    Touch(dir.filePath(QStringLiteral("1.jpg")));
    FakePlatform platform;
    platform.folderAnswers = {dir.path()};

    QCOMPARE(GatherFromFolderChooser(platform, nullptr),
             (QStringList{dir.filePath(QStringLiteral("1.jpg")), dir.filePath(QStringLiteral("2.jpg"))}));
    QCOMPARE(platform.folderChooserCalls.size(), size_t(1));
    QCOMPARE(platform.folderChooserCalls[0].first, QString());   // no title
    QCOMPARE(platform.folderChooserCalls[0].second, QString());  // no initial folder
    QVERIFY(platform.messages.empty());
}

void FileGatheringTest::folderChooserCancelledGivesNothingSilently()
{
    FakePlatform platform;
    platform.folderAnswers = {std::nullopt};
    QVERIFY(GatherFromFolderChooser(platform, nullptr).isEmpty());
    QVERIFY(platform.messages.empty());
}

void FileGatheringTest::folderChooserWithoutMatchesReportsIt()
{
    QTemporaryDir dir;
    Touch(dir.filePath(QStringLiteral("only.jpeg")));
    FakePlatform platform;
    platform.folderAnswers = {dir.path()};

    QVERIFY(GatherFromFolderChooser(platform, nullptr).isEmpty());
    QCOMPARE(platform.messages.size(), size_t(1));
    QCOMPARE(platform.messages[0].caption, QStringLiteral("ファイルがありません"));
    QCOMPARE(platform.messages[0].text, QStringLiteral("このフォルダにはJPEGファイルがありません。"));
    QCOMPARE(platform.messages[0].icon, MessageIcon::Error);
    QCOMPARE(platform.messages[0].buttons, MessageButtons::Ok);
}

void FileGatheringTest::dropTakesFoldersAndFilesInOrder()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("trip"));
    QDir(dir.path()).mkdir(QStringLiteral("empty"));
    Touch(dir.filePath(QStringLiteral("trip/b.jpg")));
    Touch(dir.filePath(QStringLiteral("trip/A.JPG")));
    const QString loose = dir.filePath(QStringLiteral("loose.png"));  // taken whatever its extension
    const QString missing = dir.filePath(QStringLiteral("missing.jpg"));
    Touch(loose);

    const QStringList dropped{missing, dir.filePath(QStringLiteral("trip")), dir.filePath(QStringLiteral("empty")), loose};
    const QStringList expected{missing, dir.filePath(QStringLiteral("trip/A.JPG")),
                               dir.filePath(QStringLiteral("trip/b.jpg")), loose};
    QCOMPARE(GatherDroppedNames(dropped), expected);
    QVERIFY(GatherDroppedNames({dir.filePath(QStringLiteral("empty"))}).isEmpty());
}

void FileGatheringTest::dropKeepsLongNamesWhole()
{
    QTemporaryDir dir;
    QString folder = dir.path();
    while (folder.size() < 300) {
        folder += QStringLiteral("/") + QString(60, u'f');
        QVERIFY(QDir().mkdir(folder));
    }
    const QString file = folder + QStringLiteral("/photo.jpg");
    Touch(file);
    QCOMPARE(GatherDroppedNames({file}), QStringList{file});
    QCOMPARE(GatherDroppedNames({folder}), QStringList{file});
}

void FileGatheringTest::commandLineTakesOneFileOrFolder()
{
    QTemporaryDir dir;
    Touch(dir.filePath(QStringLiteral("one.jpg")));
    Touch(dir.filePath(QStringLiteral("two.jpg")));
    QStringList expanded;
    const PathExpander expand = [&expanded](const QString& path) {
        expanded.append(path);
        return QStringLiteral("/expanded") + path;
    };

    QCOMPARE(GatherCommandLine({dir.filePath(QStringLiteral("one.jpg"))}, expand),
             QStringList{QStringLiteral("/expanded") + dir.filePath(QStringLiteral("one.jpg"))});

    // A folder is enumerated in its expanded form.
    const PathExpander same = [](const QString& path) { return path + u'/'; };
    QCOMPARE(GatherCommandLine({dir.path()}, same),
             (QStringList{dir.path() + QStringLiteral("/one.jpg"), dir.path() + QStringLiteral("/two.jpg")}));

    QVERIFY(GatherCommandLine({dir.filePath(QStringLiteral("none.jpg"))}, expand).isEmpty());
    QCOMPARE(expanded.size(), 1);
}

void FileGatheringTest::commandLineIgnoresOtherCounts()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("one.jpg"));
    Touch(file);
    const PathExpander expand = [](const QString& path) { return path; };
    QVERIFY(GatherCommandLine({}, expand).isEmpty());
    QVERIFY(GatherCommandLine({file, file}, expand).isEmpty());
}

QTEST_MAIN(FileGatheringTest)
#include "file_gathering_test.moc"
