// The picture on show: holds the JPEG bytes, knows their size from the header, and decodes
// them for display only when drawn — once per bytes, at a reduced DCT scale when the
// picture is drawn at half its size or less.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

namespace pivotta::app {

class JpegPicture {
public:
    // Takes a copy of the bytes and reads their header. No bytes make an empty picture.
    // False, with the picture emptied and the decoder's error text in error, when refused.
    bool Load(const uint8_t* data, size_t size, QString* error);
    void Clear();

    bool IsEmpty() const { return bytes_.empty(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    QSize Size() const { return {width_, height_}; }

    // The picture decoded at the smallest scale that still covers drawnSize. A null image when
    // there is nothing to draw or decoding failed; a failure is not retried for the same bytes.
    const QImage& Decoded(QSize drawnSize);
    bool DecodeFailed() const { return decodeFailed_; }
    QString DecodeError() const { return decodeError_; }
    // How many decodes the current bytes have cost.
    int DecodeCount() const { return decodeCount_; }

private:
    std::vector<uint8_t> bytes_;
    int width_ = 0;
    int height_ = 0;
    QImage decoded_;
    int decodedScale_ = 0;  // eighths; 0 when nothing is decoded
    bool decodeFailed_ = false;
    QString decodeError_;
    int decodeCount_ = 0;
};

// The libjpeg scale numerator (in eighths) that decodes a width x height picture at the
// least cost for drawing it at drawn: full size unless drawn is at most half the picture,
// and never more pixels than a display needs to hold.
int ChooseDecodeScale(int width, int height, QSize drawn);

// "JPEG エラー #n", and on a second line the display decoder's own message when it has one.
QString JpegErrorText(int messageNumber, const QString& decoderMessage);

}  // namespace pivotta::app
