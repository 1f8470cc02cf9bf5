// "情報 - 複数ファイルの処理 -": tells the user, when a run over several files starts, what
// the Next button does, and links to the options that decide it.
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace pivotta::app {

class TFm_Options;

class TFm_FolderProcessInfo : public QDialog {
    Q_OBJECT
public:
    // options is shown by the "オプション" link; null leaves the link inert.
    explicit TFm_FolderProcessInfo(TFm_Options* options, QWidget* parent = nullptr);

    // Presets "次回もこの画面を表示する。", shows the dialog modally and returns the box's
    // final state, however the dialog was closed. resultFolder tells where Next saves (empty:
    // nothing is saved); it is asked again after the options link.
    bool ShowDialog(bool showNextTime, std::function<QString()> resultFolder = {});

    static constexpr int kFolderLabelWidth = 390;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void Lbl_OptionClick();
    void ShowResultFolder();

    TFm_Options* options_;
    std::function<QString()> resultFolder_;

    QLabel* Image;
    QLabel* Lbl_01;
    QToolButton* sbn_NextOpen;
    QLabel* Lbl_02;
    QLabel* Lbl_03;
    QLabel* Lbl_04;
    QLabel* Lbl_Option;
    QLabel* Lbl_05;
    QLabel* Lbl_ResultFolder;
    QCheckBox* Chk_NextShow;
    QPushButton* Btn_Close;
};

}  // namespace pivotta::app
