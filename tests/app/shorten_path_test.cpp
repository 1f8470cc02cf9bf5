// ShortenPath: the steps a long path goes through as the room for it shrinks.
#include <QFont>
#include <QFontMetrics>
#include <QtTest>

#include "ShortenPath.h"

using namespace pivotta::app;

namespace {

// Every character 10 pixels wide, so a maximum width of 10 * n lets exactly n characters fit.
int TenPerCharacter(const QString& text) { return 10 * int(text.size()); }

}  // namespace

class ShortenPathTest : public QObject {
    Q_OBJECT
private slots:
    void shrinksStepByStep_data();
    void shrinksStepByStep();
    void pathThatFitsIsWhole();
    void cutsFromTheWidestThatFits();
    void onlyTheWidthOfTheResultCounts();
    void fitsRealFontMetrics();
};

void ShortenPathTest::shrinksStepByStep_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("maxCharacters");
    QTest::addColumn<QString>("expected");

    const QString windows = QStringLiteral("C:\\Users\\me\\Pictures\\trip");
    QTest::newRow("whole") << windows << 25 << windows;
    QTest::newRow("first folder cut") << windows << 24 << QStringLiteral("C:\\...\\me\\Pictures\\trip");
    QTest::newRow("two folders cut") << windows << 22 << QStringLiteral("C:\\...\\Pictures\\trip");
    QTest::newRow("drive and name") << windows << 19 << QStringLiteral("C:\\...\\trip");
    QTest::newRow("drive dropped") << windows << 10 << QStringLiteral("...\\trip");
    QTest::newRow("name alone") << windows << 7 << QStringLiteral("trip");
    QTest::newRow("name alone even when too wide") << windows << 0 << QStringLiteral("trip");

    const QString posix = QStringLiteral("/home/me/photos/trip");
    QTest::newRow("unix first folder cut") << posix << 19 << QStringLiteral("/.../me/photos/trip");
    QTest::newRow("unix two folders cut") << posix << 18 << QStringLiteral("/.../photos/trip");
    QTest::newRow("unix last folder") << posix << 9 << QStringLiteral("/.../trip");
    QTest::newRow("unix ellipsis and name") << posix << 8 << QStringLiteral(".../trip");
    QTest::newRow("unix name alone") << posix << 5 << QStringLiteral("trip");

    // Each ellipsis takes the separator of the folder it stands for.
    const QString mixed = QStringLiteral("D:/photos\\2024/trip");
    QTest::newRow("mixed separators") << mixed << 18 << QStringLiteral("D:/...\\2024/trip");
    QTest::newRow("mixed separators deeper") << mixed << 14 << QStringLiteral("D:/.../trip");

    QTest::newRow("root folder dropped first") << QStringLiteral("C:\\trip") << 6 << QStringLiteral("C:trip");
    QTest::newRow("relative path") << QStringLiteral("aa\\bb\\c") << 6 << QStringLiteral("...\\c");
}

void ShortenPathTest::shrinksStepByStep()
{
    QFETCH(QString, path);
    QFETCH(int, maxCharacters);
    QFETCH(QString, expected);
    QCOMPARE(ShortenPath(path, TenPerCharacter, 10 * maxCharacters), expected);
}

void ShortenPathTest::pathThatFitsIsWhole()
{
    int calls = 0;
    const auto counting = [&calls](const QString& text) {
        ++calls;
        return TenPerCharacter(text);
    };
    QCOMPARE(ShortenPath(QStringLiteral("C:\\a\\b.jpg"), counting, 1000), QStringLiteral("C:\\a\\b.jpg"));
    QCOMPARE(calls, 1);
    QCOMPARE(ShortenPath(QString(), TenPerCharacter, 0), QString());
    QCOMPARE(ShortenPath(QStringLiteral("name"), TenPerCharacter, 0), QStringLiteral("name"));
}

void ShortenPathTest::cutsFromTheWidestThatFits()
{
    // A deep path keeps as many trailing folders as fit, never fewer.
    const QString path = QStringLiteral("C:\\one\\two\\three\\four\\five\\six\\name");
    for (int room = 4; room <= path.size(); ++room) {
        const QString shortened = ShortenPath(path, TenPerCharacter, 10 * room);
        QVERIFY2(shortened.size() <= room || shortened == QStringLiteral("name"), qPrintable(shortened));
        QVERIFY2(shortened.endsWith(QStringLiteral("name")), qPrintable(shortened));
        const QString longer = ShortenPath(path, TenPerCharacter, 10 * (room + 1));
        QVERIFY(longer.size() >= shortened.size());
    }
}

void ShortenPathTest::onlyTheWidthOfTheResultCounts()
{
    // Dots 11 pixels wide: every shortened form is wider than 20, though counting characters
    // would have stopped at "/.../bbbbbbbbbb/n".
    const auto wideDots = [](const QString& text) { return int(text.size()) + 10 * int(text.count(u'.')); };
    const QString path = QStringLiteral("/aaaaaaaaaa/bbbbbbbbbb/n");
    QCOMPARE(ShortenPath(path, wideDots, 20), QStringLiteral("n"));
}

void ShortenPathTest::fitsRealFontMetrics()
{
    QFont font;
    font.setPixelSize(15);
    const QFontMetrics metrics(font);
    const QString path = QStringLiteral("/home/user/写真/2024年/北海道旅行/札幌の雪まつり/夜の部");
    const int maxWidth = 200;
    const QString shortened = ShortenPath(path, metrics, maxWidth);
    QVERIFY(shortened.startsWith(QStringLiteral("/.../")));
    QVERIFY(shortened.endsWith(QStringLiteral("/夜の部")));
    QVERIFY(metrics.horizontalAdvance(shortened) <= maxWidth);
    QCOMPARE(ShortenPath(path, metrics, metrics.horizontalAdvance(path)), path);
}

QTEST_MAIN(ShortenPathTest)
#include "shorten_path_test.moc"
