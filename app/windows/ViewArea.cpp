#include "ViewArea.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QScrollBar>
#include <QWheelEvent>

namespace pivotta::app {

namespace {
constexpr int kWheelNotch = 120;
}

ViewArea::ViewArea(QWidget* parent) : QScrollArea(parent)
{
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    horizontalScrollBar()->setTracking(true);
    verticalScrollBar()->setTracking(true);
}

void ViewArea::SetStartInfo(QLabel* label)
{
    startInfo_ = label;
    startInfo_->setParent(viewport());
    startInfo_->setAttribute(Qt::WA_TransparentForMouseEvents);
    CentreStartInfo();
}

void ViewArea::SetContent(Content content)
{
    // A hidden picture control must not leave scroll bars behind, and a fitted one has
    // nothing to scroll.
    const Qt::ScrollBarPolicy policy = content == Content::Fixed ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    setHorizontalScrollBarPolicy(policy);
    setVerticalScrollBarPolicy(policy);
}

void ViewArea::wheelEvent(QWheelEvent* event)
{
    // One command per whole notch; smaller deltas add up.
    pendingWheelDelta_ += event->angleDelta().y();
    while (pendingWheelDelta_ >= kWheelNotch) {
        pendingWheelDelta_ -= kWheelNotch;
        emit WheelAwayFromUser();
    }
    while (pendingWheelDelta_ <= -kWheelNotch) {
        pendingWheelDelta_ += kWheelNotch;
        emit WheelTowardUser();
    }
    event->ignore();
}

void ViewArea::contextMenuEvent(QContextMenuEvent* event)
{
    emit PopupRequested(event->globalPos());
    event->accept();
}

void ViewArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    CentreStartInfo();
    emit ViewportResized();
}

void ViewArea::CentreStartInfo()
{
    if (startInfo_) startInfo_->setGeometry(viewport()->rect());
}

}  // namespace pivotta::app
