// The picture control: draws the picture on show stretched to its own size, or fitted into
// it from the top-left. Decoding happens here, on the first paint that needs it.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace pivotta::app {

class JpegPicture;

class PictureView : public QWidget {
    Q_OBJECT
public:
    PictureView(JpegPicture& picture, QWidget* parent = nullptr);

    void SetFitted(bool fitted);
    bool Fitted() const { return fitted_; }
    // Call after the picture's bytes changed.
    void PictureChanged();

    // What the control draws.
    const JpegPicture& Picture() const { return picture_; }
    // Where the picture is drawn inside the control; empty when there is nothing to draw.
    QRect DrawnRect() const;

signals:
    // Once per bytes that the display decoder refuses while drawing.
    void DecodeFailed(const QString& error);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The decode shrunk to the drawn size (smoothly, which drawing does not do), kept while that
    // size stands.
    const QPixmap& ScaledPixmap(const QImage& decoded, QSize drawnSize);

    JpegPicture& picture_;
    bool fitted_ = false;
    bool failureReported_ = false;
    QPixmap scaled_;
};

}  // namespace pivotta::app
