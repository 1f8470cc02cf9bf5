// "オプションの設定": the modal dialog that edits the options the main window holds.
// Every showing reloads the controls from the settings; only OK writes them back.
#pragma once

#include <QDialog>
#include <QString>

#include "AppSettings.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QToolButton;
class QVBoxLayout;

namespace pivotta::app {

class Platform;

class TFm_Options : public QDialog {
    Q_OBJECT
public:
    TFm_Options(AppSettings& settings, Platform& platform, QWidget* parent = nullptr);

    // The base folder as edited since the dialog was shown.
    const QString& EditedSaveFolder() const { return editedSaveFolder_; }

    static constexpr int kFolderLabelWidth = 375;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The dialog's parts, top to bottom.
    void BuildOptionBoxes(QVBoxLayout& layout);
    void BuildSaveButtonRow(QVBoxLayout& layout);
    QWidget* BuildRunPanel();
    QWidget* BuildFolderGroup();
    QHBoxLayout* BuildDialogButtons();

    void FormShow();
    void chk_SaveResultClick();
    void rdo_SameFolderEnter();
    void rdo_OtherFolderEnter();
    void Btn_FolderClick();
    void sbn_gToolBarSaveButtonIsSaveAsClick();
    void sbn_NextOpenClick();
    void Btn_OKClick();

    // An empty folder reads as the desktop when the dialog is shown, as nothing after a chooser.
    enum class EmptyFolder { MeansDesktop, ShownEmpty };
    void ShowEditedFolder(EmptyFolder empty);
    void ShowPlainMessage(const QString& text);

    AppSettings& settings_;
    Platform& platform_;
    QString editedSaveFolder_;

    QCheckBox* chk_WaringDHT;
    QCheckBox* chk_OptimizeHuffman;
    QCheckBox* chk_FolderProcessInfo;
    QCheckBox* chk_AllowAdjustMCU;
    QCheckBox* chk_AllowBreakDCF;
    QCheckBox* chk_ResetOrientation;
    QLabel* Lbl_AllowBreakDCF;
    QCheckBox* chk_KeepTimeStamp_Create;
    QCheckBox* chk_KeepTimeStamp_Write;
    QCheckBox* chk_ConfirmUnsaved;
    QLabel* Lbl_gToolBarSaveButtonIsSaveAs1;
    QToolButton* sbn_gToolBarSaveButtonIsSaveAs;
    QLabel* Lbl_gToolBarSaveButtonIsSaveAs2;
    QComboBox* cbo_gToolBarSaveButtonIsSaveAs;
    QLabel* Lbl_OutputCoding;
    QComboBox* cbo_OutputCoding;  // the coding of saved results: the input's, baseline, progressive
    QFrame* Pnl_FolderProcessMode;
    QLabel* lbl_01;
    QToolButton* sbn_NextOpen;
    QCheckBox* chk_SaveResult;
    QCheckBox* chk_ForceSave;
    QGroupBox* GB_Folder;
    QRadioButton* rdo_SameFolder;
    QRadioButton* rdo_OtherFolder;
    QFrame* pnl_FolderName;
    QLabel* lbl_FolderName;
    QPushButton* Btn_Folder;
    QLabel* lbl_Forder;
    QPushButton* Btn_OK;
    QPushButton* Btn_Cancel;
};

}  // namespace pivotta::app
