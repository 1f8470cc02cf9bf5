// The status bar: two sunken panels side by side, messages on the left and the view scale,
// centred, on the right.
#pragma once

#include <QWidget>

class QLabel;

namespace pivotta::app {

class StatusPanels : public QWidget {
    Q_OBJECT
public:
    explicit StatusPanels(QWidget* parent = nullptr);

    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);
    // Panel 0 takes this width; panel 1 the rest.
    void SetFirstPanelWidth(int width);
    int PanelWidth(int panel) const;

signals:
    void Resized();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Arrange();

    QLabel* panels_[2];
    int firstPanelWidth_ = 0;
};

}  // namespace pivotta::app
