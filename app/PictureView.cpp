#include "PictureView.h"

#include <QPainter>

#include "JpegPicture.h"
#include "ViewGeometry.h"

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

const QPixmap& PictureView::ScaledPixmap(QSize drawnSize)
{
    if (scaled_.size() == drawnSize) return scaled_;
    const QImage& decoded = picture_.Decoded(drawnSize);
    if (decoded.isNull()) {
        scaled_ = QPixmap();
    } else if (decoded.size() == drawnSize) {
        scaled_ = QPixmap::fromImage(decoded);
    } else {
        scaled_ = QPixmap::fromImage(decoded.scaled(drawnSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    return scaled_;
}

void PictureView::paintEvent(QPaintEvent*)
{
    const QRect target = DrawnRect();
    if (target.isEmpty()) return;
    const QPixmap& pixmap = ScaledPixmap(target.size());
    if (pixmap.isNull()) {
        if (picture_.DecodeFailed() && !failureReported_) {
            failureReported_ = true;
            emit DecodeFailed(picture_.DecodeError());
        }
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(target.topLeft(), pixmap);
}
