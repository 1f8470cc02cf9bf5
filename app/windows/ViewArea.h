// The scrollable view area ("ScrollBox"): holds the picture control at its top-left and the
// start hint in its middle, turns wheel notches into the window's wheel commands and asks
// for the popup menu on a right click.
#pragma once

#include <QScrollArea>

class QLabel;

namespace pivotta::app {

class ViewArea : public QScrollArea {
    Q_OBJECT
public:
    explicit ViewArea(QWidget* parent = nullptr);

    // The start hint, a child of the viewport so that it never scrolls.
    void SetStartInfo(QLabel* label);
    // Hidden picture, fitted picture (nothing to scroll) or a fixed size that may scroll.
    enum class Content { Empty, Fitted, Fixed };
    void SetContent(Content content);

signals:
    void WheelTowardUser();
    void WheelAwayFromUser();
    void PopupRequested(const QPoint& globalPosition);
    void ViewportResized();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CentreStartInfo();

    QLabel* startInfo_ = nullptr;
    int pendingWheelDelta_ = 0;
};

}  // namespace pivotta::app
