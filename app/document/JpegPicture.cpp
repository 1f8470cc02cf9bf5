#include "JpegPicture.h"

#include "AppTexts.h"
#include "FileKind.h"
#include "LibjpegDecode.h"

namespace pivotta::app {

namespace {

constexpr int kFullScale = 8;
// A header may claim up to 65535 x 65535 pixels; beyond this the picture is shown from a
// reduced decode rather than from gigabytes of memory.
constexpr int64_t kMaxDecodedPixels = int64_t{1} << 27;

int64_t ScaledExtent(int extent, int eighths) { return (int64_t{extent} * eighths + 7) / 8; }

bool AllocateImageRows(void* context, int width, int height, libjpeg_decode::RgbxTarget* target) noexcept
{
    auto* image = static_cast<QImage*>(context);
    // QImage reports a failed allocation as a null image rather than by throwing.
    *image = QImage(width, height, QImage::Format_RGBX8888);
    if (image->isNull()) return false;
    target->pixels = image->bits();
    target->stride = image->bytesPerLine();
    return true;
}

}  // namespace

int ChooseDecodeScale(int width, int height, QSize drawn)
{
    int scale = kFullScale;
    if (drawn.width() * 2 <= width && drawn.height() * 2 <= height) {
        scale = 1;
        while (ScaledExtent(width, scale) < drawn.width() || ScaledExtent(height, scale) < drawn.height()) ++scale;
    }
    while (scale > 1 && ScaledExtent(width, scale) * ScaledExtent(height, scale) > kMaxDecodedPixels) --scale;
    return scale;
}

QString JpegErrorText(int messageNumber, const QString& decoderMessage)
{
    QString text = texts::kJpegError.arg(messageNumber);
    // The number alone tells a user nothing; the decoder's own words go on a line of their own.
    if (!decoderMessage.isEmpty()) text += u'\r' + decoderMessage;
    return text;
}

namespace {

QString ErrorTextOf(const libjpeg_decode::Status& status)
{
    return JpegErrorText(status.code, QString::fromLocal8Bit(status.message));
}

}  // namespace

bool JpegPicture::Load(const uint8_t* data, size_t size, QString* error)
{
    Clear();
    if (size == 0) return true;
    libjpeg_decode::HeaderInfo header;
    const libjpeg_decode::Status status = libjpeg_decode::ReadHeader(data, size, &header);
    if (!status.Ok()) {
        // A kind the decoder does not take is named in Japanese instead of its English words.
        const QString kind = status.unsupportedKind ? UndecodableKindLine({data, size}) : QString();
        if (error) *error = kind.isEmpty() ? ErrorTextOf(status) : JpegErrorText(status.code, kind);
        return false;
    }
    bytes_.assign(data, data + size);
    width_ = header.width;
    height_ = header.height;
    return true;
}

void JpegPicture::Clear()
{
    bytes_.clear();
    bytes_.shrink_to_fit();
    width_ = height_ = 0;
    decoded_ = QImage();
    decodedScale_ = 0;
    decodeFailed_ = false;
    decodeError_.clear();
    decodeCount_ = 0;
}

const QImage& JpegPicture::Decoded(QSize drawnSize)
{
    // Empty and failed pictures hold a null image already.
    if (IsEmpty() || decodeFailed_ || drawnSize.isEmpty()) return decoded_;
    const int scale = ChooseDecodeScale(width_, height_, drawnSize);
    if (decodedScale_ >= scale) return decoded_;

    QImage image;
    ++decodeCount_;
    const libjpeg_decode::Status status =
        libjpeg_decode::DecodeRgbx(bytes_.data(), bytes_.size(), scale, AllocateImageRows, &image);
    if (!status.Ok()) {
        decodeFailed_ = true;
        decodeError_ = ErrorTextOf(status);
        decoded_ = QImage();
        decodedScale_ = 0;
        return decoded_;
    }
    decoded_ = std::move(image);
    decodedScale_ = scale;
    return decoded_;
}

}  // namespace pivotta::app
