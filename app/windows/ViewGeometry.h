// Sizes and positions of the picture in the view area.
#pragma once

#include <QSize>
#include <cstdint>

namespace pivotta::app {

// The picture control at a fixed scale: each side times numerator, divided by denominator,
// in signed 32-bit arithmetic with the product first and the quotient truncated.
QSize ScaledPictureSize(QSize picture, int32_t numerator, int32_t denominator);

// The picture fitted into area, kept at its aspect ratio and drawn from the top-left;
// never enlarged.
QSize FittedPictureSize(QSize picture, QSize area);

// How far one wheel notch moves the view: a tenth of the page step, which is nine tenths of
// the visible height.
int WheelIncrement(int visibleHeight);

}  // namespace pivotta::app
