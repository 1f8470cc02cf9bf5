#include "StatusPanels.h"

#include <QLabel>

namespace pivotta::app {

StatusPanels::StatusPanels(QWidget* parent) : QWidget(parent)
{
    for (int i = 0; i < 2; ++i) {
        panels_[i] = new QLabel(this);
        panels_[i]->setObjectName(QStringLiteral("StatusBarPanel%1").arg(i));
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels_[i]->setTextFormat(Qt::PlainText);
        panels_[i]->setContentsMargins(2, 0, 2, 0);
    }
    panels_[0]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    panels_[1]->setAlignment(Qt::AlignCenter);
}

QString StatusPanels::PanelText(int panel) const
{
    return panels_[panel]->text();
}

void StatusPanels::SetPanelText(int panel, const QString& text)
{
    panels_[panel]->setText(text);
}

void StatusPanels::SetFirstPanelWidth(int width)
{
    firstPanelWidth_ = std::max(0, width);
    Arrange();
}

int StatusPanels::PanelWidth(int panel) const
{
    return panels_[panel]->width();
}

void StatusPanels::resizeEvent(QResizeEvent*)
{
    Arrange();
    emit Resized();
}

void StatusPanels::Arrange()
{
    const int first = std::min(firstPanelWidth_, width());
    panels_[0]->setGeometry(0, 0, first, height());
    panels_[1]->setGeometry(first, 0, width() - first, height());
}

}  // namespace pivotta::app
