#include "ViewGeometry.h"

namespace pivotta::app {

QSize ScaledPictureSize(QSize picture, int32_t numerator, int32_t denominator)
{
    if (denominator == 0) return {0, 0};
    return {picture.width() * numerator / denominator, picture.height() * numerator / denominator};
}

QSize FittedPictureSize(QSize picture, QSize area)
{
    const int w = picture.width();
    const int h = picture.height();
    const int cw = area.width();
    const int ch = area.height();
    if (w <= 0 || h <= 0) return {0, 0};
    if (w <= cw && h <= ch) return picture;

    const double aspect = static_cast<double>(w) / h;
    int drawnWidth = 0;
    int drawnHeight = 0;
    if (w > h) {
        drawnWidth = cw;
        drawnHeight = static_cast<int>(cw / aspect);
        if (drawnHeight > ch) {
            drawnHeight = ch;
            drawnWidth = static_cast<int>(ch * aspect);
        }
    } else {
        drawnHeight = ch;
        drawnWidth = static_cast<int>(ch * aspect);
        if (drawnWidth > cw) {
            drawnWidth = cw;
            drawnHeight = static_cast<int>(cw / aspect);
        }
    }
    return {drawnWidth, drawnHeight};
}

int WheelIncrement(int visibleHeight)
{
    const int pageIncrement = visibleHeight * 9 / 10;
    return pageIncrement / 10;
}

}  // namespace pivotta::app
