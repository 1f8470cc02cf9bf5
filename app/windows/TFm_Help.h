// "Pivottaについて...": the About box.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace pivotta::app {

class TFm_Help : public QDialog {
    Q_OBJECT
public:
    explicit TFm_Help(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* Image;
    QLabel* Lbl_01;
    QLabel* Lbl_02;
    QLabel* lbl_03;
    QPushButton* btn_close;
};

}  // namespace pivotta::app
