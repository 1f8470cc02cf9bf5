#include "PictureView.h"

#include <QPainter>

#include "JpegPicture.h"
#include "ViewGeometry.h"

namespace pivotta::app {

PictureView::PictureView(JpegPicture& picture, QWidget* parent) : QWidget(parent), picture_(picture)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PictureView::SetFitted(bool fitted)
{
    if (fitted_ == fitted) return;
    fitted_ = fitted;
    update();
}

void PictureView::PictureChanged()
{
    scaled_ = QPixmap();
    failureReported_ = false;
    update();
}

QRect PictureView::DrawnRect() const
{
    if (picture_.IsEmpty()) return {};
    if (fitted_) return QRect(QPoint(0, 0), FittedPictureSize(picture_.Size(), size()));
    return rect();
}

const QPixmap& PictureView::ScaledPixmap(const QImage& decoded, QSize drawnSize)
{
    if (scaled_.size() != drawnSize) {
        scaled_ = QPixmap::fromImage(
            decoded.size() == drawnSize ? decoded
                                        : decoded.scaled(drawnSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    return scaled_;
}

void PictureView::paintEvent(QPaintEvent*)
{
    const QRect target = DrawnRect();
    if (target.isEmpty()) return;
    const QImage& decoded = picture_.Decoded(target.size());
    if (decoded.isNull()) {
        if (picture_.DecodeFailed() && !failureReported_) {
            failureReported_ = true;
            emit DecodeFailed(picture_.DecodeError());
        }
        return;
    }
    QPainter painter(this);
    if (target.width() > decoded.width() || target.height() > decoded.height()) {
        // Enlarged: drawn straight from the decode, only where the view is exposed, so a
        // large picture at 200% never needs a copy four times its size.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, decoded);
        return;
    }
    painter.drawPixmap(target.topLeft(), ScaledPixmap(decoded, target.size()));
}

}  // namespace pivotta::app
