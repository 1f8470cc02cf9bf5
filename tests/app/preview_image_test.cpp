// The display decoder: header sizes, libjpeg's error numbers, decoding once per bytes at the
// cheapest scale that still covers the drawing, and pixels equal to libjpeg's own output.
#include <QtTest>

#include <jpeglib.h>
#include <jerror.h>

#include "JpegFixtures.h"
#include "JpegPicture.h"
#include "MainWindowHarness.h"

using namespace pivotta::app;

namespace {

std::vector<uint8_t> GrayJpeg(int width, int height)
{
    pivotta::test::FixtureSpec spec;
    spec.width = width;
    spec.height = height;
    spec.components = 1;
    spec.hSamp = spec.vSamp = 1;
    return pivotta::test::MakeJpeg(spec);
}

bool Load(JpegPicture& picture, const std::vector<uint8_t>& bytes, QString* error = nullptr)
{
    return picture.Load(bytes.data(), bytes.size(), error);
}

}  // namespace

class PreviewImageTest : public QObject {
    Q_OBJECT

private slots:
    void HeaderGivesTheSize()
    {
        JpegPicture picture;
        QVERIFY(Load(picture, TestJpeg(1001, 999)));
        QCOMPARE(picture.Size(), QSize(1001, 999));
        QCOMPARE(picture.DecodeCount(), 0);  // reading the header decodes nothing
        QVERIFY(Load(picture, GrayJpeg(33, 17)));
        QCOMPARE(picture.Size(), QSize(33, 17));
    }

    void NoBytesMakeAnEmptyPictureWithoutError()
    {
        JpegPicture picture;
        QVERIFY(Load(picture, TestJpeg(64, 48)));
        QString error;
        QVERIFY(picture.Load(nullptr, 0, &error));
        QVERIFY(error.isEmpty());
        QVERIFY(picture.IsEmpty());
        QCOMPARE(picture.Size(), QSize(0, 0));
        QVERIFY(picture.Decoded({64, 48}).isNull());
        QVERIFY(!picture.DecodeFailed());
    }

    void RefusedHeaderGivesLibjpegsMessageNumberAndText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("text") << QByteArray("hello, world") << int(JERR_NO_SOI)
                              << QStringLiteral("Not a JPEG file: starts with 0x68 0x65");
        const std::vector<uint8_t> jpeg = TestJpeg(64, 48);
        QTest::newRow("cut in the headers") << QByteArray(reinterpret_cast<const char*>(jpeg.data()), 100)
                                            << int(JERR_NO_IMAGE)
                                            << QStringLiteral("JPEG datastream contains no image");
    }

    void RefusedHeaderGivesLibjpegsMessageNumberAndText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, code);
        QFETCH(QString, message);
        JpegPicture picture;
        QVERIFY(Load(picture, TestJpeg(64, 48)));
        QString error;
        QVERIFY(!picture.Load(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size(), &error));
        QCOMPARE(error, QStringLiteral("JPEG エラー #%1\r").arg(code) + message);
        QVERIFY(picture.IsEmpty());
    }

    void DecodesOncePerBytesAtTheCheapestCoveringScale()
    {
        QCOMPARE(ChooseDecodeScale(4000, 3000, {666, 500}), 2);
        QCOMPARE(ChooseDecodeScale(4000, 3000, {2000, 1500}), 4);
        QCOMPARE(ChooseDecodeScale(4000, 3000, {2001, 1500}), 8);
        QCOMPARE(ChooseDecodeScale(4000, 3000, {400, 300}), 1);
        QCOMPARE(ChooseDecodeScale(1001, 999, {200, 199}), 2);  // 126 x 125 would not cover it
        QCOMPARE(ChooseDecodeScale(100, 100, {100, 100}), 8);
        // An enormous header is shown from a reduced decode.
        QVERIFY(ChooseDecodeScale(65535, 65535, {65535, 65535}) < 8);
        QCOMPARE(ChooseDecodeScale(65535, 65535, {100, 100}), 1);

        JpegPicture picture;
        QVERIFY(Load(picture, TestJpeg(800, 600)));
        QCOMPARE(picture.Decoded({200, 150}).size(), QSize(200, 150));
        QCOMPARE(picture.Decoded({200, 150}).size(), QSize(200, 150));
        QCOMPARE(picture.DecodeCount(), 1);
        QCOMPARE(picture.Decoded({100, 75}).size(), QSize(200, 150));  // the larger decode serves
        QCOMPARE(picture.DecodeCount(), 1);
        QCOMPARE(picture.Decoded({800, 600}).size(), QSize(800, 600));
        QCOMPARE(picture.DecodeCount(), 2);
        QVERIFY(Load(picture, TestJpeg(800, 600, 2)));
        QCOMPARE(picture.DecodeCount(), 0);
    }

    void PixelsAreLibjpegsOwn()
    {
        const std::vector<uint8_t> jpeg = TestJpeg(96, 80);
        QImage reference;
        if (!reference.loadFromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPG"))
            QSKIP("Qt's JPEG reader is not installed");
        JpegPicture picture;
        QVERIFY(Load(picture, jpeg));
        const QImage decoded = picture.Decoded({96, 80});
        QCOMPARE(decoded.convertToFormat(QImage::Format_RGB32), reference.convertToFormat(QImage::Format_RGB32));

        const std::vector<uint8_t> gray = GrayJpeg(40, 24);
        QVERIFY(reference.loadFromData(gray.data(), static_cast<int>(gray.size()), "JPG"));
        QVERIFY(Load(picture, gray));
        QCOMPARE(picture.Decoded({40, 24}).convertToFormat(QImage::Format_RGB32),
                 reference.convertToFormat(QImage::Format_RGB32));
    }

    void FailureWhileDecodingIsKeptNotRetried()
    {
        JpegPicture picture;
        QString error;
        QVERIFY(Load(picture, UndefinedQuantTable(TestJpeg(64, 48)), &error));
        QVERIFY(picture.Decoded({64, 48}).isNull());
        QVERIFY(picture.DecodeFailed());
        QCOMPARE(picture.DecodeError(), QStringLiteral("JPEG エラー #%1\rQuantization table 0x03 was not defined")
                                            .arg(int(JERR_NO_QUANT_TABLE)));
        QVERIFY(picture.Decoded({64, 48}).isNull());
        QCOMPARE(picture.DecodeCount(), 1);
    }

    void DamagedScanStillShowsWhatCanBeDecoded()
    {
        JpegPicture picture;
        QVERIFY(Load(picture, CutShortScan(TestJpeg(64, 48))));
        QCOMPARE(picture.Decoded({64, 48}).size(), QSize(64, 48));
        QVERIFY(!picture.DecodeFailed());
    }
};

QTEST_MAIN(PreviewImageTest)
#include "preview_image_test.moc"
