// "警告 - 最適化されたハフマンテーブル -": explains, when a file's Huffman tables do not
// cover every bit pattern, that the standard tables will stand in for them.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace pivotta::app {

class TFm_DHTWarning : public QDialog {
    Q_OBJECT
public:
    explicit TFm_DHTWarning(QWidget* parent = nullptr);

    // Presets "次回もこの警告を表示する。", shows the dialog modally and returns the box's
    // final state, however the dialog was closed.
    bool ShowDialog(bool showNextTime);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* Image;
    QLabel* Lbl_01;
    QLabel* Lbl_02;
    QPlainTextEdit* Memo;
    QCheckBox* Chk_NextShow;
    QPushButton* btn_Close;
};

}  // namespace pivotta::app
