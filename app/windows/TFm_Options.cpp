#include "TFm_Options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "AppTexts.h"
#include "DialogParts.h"
#include "DialogTexts.h"
#include "Platform.h"
#include "ShortenPath.h"

namespace pivotta::app {

namespace {

QCheckBox* MakeCheckBox(const char* name, const QString& text, QWidget* parent)
{
    auto* box = Named(new QCheckBox(text, parent), name);
    box->setFont(DialogFont(16));
    return box;
}

QLabel* MakeLabel(const char* name, const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = Named(new QLabel(text, parent), name);
    label->setFont(font);
    return label;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, int indent = 0)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    if (indent > 0) row->addSpacing(indent);
    for (QWidget* widget : widgets) row->addWidget(widget);
    row->addStretch();
    return row;
}

}  // namespace

TFm_Options::TFm_Options(AppSettings& settings, Platform& platform, QWidget* parent)
    : QDialog(parent), settings_(settings), platform_(platform)
{
    setObjectName(QStringLiteral("TFm_Options"));
    setWindowTitle(texts::kOptionsTitle);
    setFont(DialogFont(12));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(2);
    BuildOptionBoxes(*layout);
    BuildSaveButtonRow(*layout);
    layout->addWidget(BuildRunPanel());
    layout->addStretch();
    layout->addLayout(BuildDialogButtons());
    // The designed client area, grown where this platform's fonts need more room.
    setFixedSize(layout->sizeHint().expandedTo(QSize(628, 408)));
}

void TFm_Options::BuildOptionBoxes(QVBoxLayout& layout)
{
    chk_WaringDHT = MakeCheckBox("chk_WaringDHT", texts::kOptionsWarnDht, this);
    chk_OptimizeHuffman = MakeCheckBox("chk_OptimizeHuffman", texts::kOptionsOptimizeHuffman, this);
    chk_FolderProcessInfo =
        MakeCheckBox("chk_FolderProcessInfo", texts::kOptionsShowRunInfo, this);
    chk_AllowAdjustMCU = MakeCheckBox(
        "chk_AllowAdjustMCU", texts::kOptionsAllowAdjustMcu, this);
    chk_AllowBreakDCF = MakeCheckBox("chk_AllowBreakDCF", texts::kOptionsAllowBreakDcf, this);
    Lbl_AllowBreakDCF = MakeLabel("Lbl_AllowBreakDCF", texts::kOptionsAllowBreakDcfNote,
                                  DialogFixedFont(13), this);
    chk_ResetOrientation = MakeCheckBox(
        "chk_ResetOrientation", texts::kOptionsResetOrientation, this);
    chk_KeepTimeStamp_Create = MakeCheckBox(
        "chk_KeepTimeStamp_Create", texts::kOptionsKeepCreationTime, this);
    chk_KeepTimeStamp_Write = MakeCheckBox(
        "chk_KeepTimeStamp_Write", texts::kOptionsKeepWriteTime, this);
    chk_ConfirmUnsaved =
        MakeCheckBox("chk_ConfirmUnsaved", texts::kOptionsConfirmUnsaved, this);

    layout.addWidget(chk_WaringDHT);
    layout.addWidget(chk_OptimizeHuffman);
    layout.addWidget(chk_FolderProcessInfo);
    layout.addWidget(chk_AllowAdjustMCU);
    layout.addLayout(Row({chk_AllowBreakDCF, Lbl_AllowBreakDCF}));
    layout.addWidget(chk_ResetOrientation);
    layout.addWidget(chk_KeepTimeStamp_Create);
    layout.addWidget(chk_KeepTimeStamp_Write);
    layout.addWidget(chk_ConfirmUnsaved);

    Lbl_OutputCoding = MakeLabel("Lbl_OutputCoding", texts::kOptionsOutputCoding, DialogFont(16), this);
    cbo_OutputCoding = Named(new QComboBox(this), "cbo_OutputCoding");
    cbo_OutputCoding->setFont(DialogFont(16));
    cbo_OutputCoding->addItems(
        {texts::kOptionsCodingAsInput, texts::kOptionsCodingBaseline, texts::kOptionsCodingProgressive});
    layout.addLayout(Row({Lbl_OutputCoding, cbo_OutputCoding}));
}

void TFm_Options::BuildSaveButtonRow(QVBoxLayout& layout)
{
    Lbl_gToolBarSaveButtonIsSaveAs1 =
        MakeLabel("Lbl_gToolBarSaveButtonIsSaveAs1", texts::kOptionsSaveButtonHead, DialogFont(16), this);
    sbn_gToolBarSaveButtonIsSaveAs =
        MakePictureButton(QStringLiteral("sbn_gToolBarSaveButtonIsSaveAs"), QStringLiteral("floppy"), this);
    Lbl_gToolBarSaveButtonIsSaveAs2 =
        MakeLabel("Lbl_gToolBarSaveButtonIsSaveAs2", texts::kOptionsSaveButtonTail, DialogFont(16), this);
    cbo_gToolBarSaveButtonIsSaveAs = Named(new QComboBox(this), "cbo_gToolBarSaveButtonIsSaveAs");
    cbo_gToolBarSaveButtonIsSaveAs->setFont(DialogFont(16));
    cbo_gToolBarSaveButtonIsSaveAs->addItems({texts::kOptionsSaveButtonSavesAs, texts::kOptionsSaveButtonOverwrites});
    layout.addLayout(Row({Lbl_gToolBarSaveButtonIsSaveAs1, sbn_gToolBarSaveButtonIsSaveAs,
                          Lbl_gToolBarSaveButtonIsSaveAs2, cbo_gToolBarSaveButtonIsSaveAs}));
    connect(sbn_gToolBarSaveButtonIsSaveAs, &QToolButton::clicked, this,
            &TFm_Options::sbn_gToolBarSaveButtonIsSaveAsClick);
}

QWidget* TFm_Options::BuildRunPanel()
{
    Pnl_FolderProcessMode = Named(new QFrame(this), "Pnl_FolderProcessMode");
    Pnl_FolderProcessMode->setFrameShape(QFrame::StyledPanel);
    lbl_01 = MakeLabel("lbl_01", texts::kOptionsRunCaptionHead + texts::kOptionsRunCaptionGap + texts::kOptionsRunCaptionTail, DialogFont(19, true),
                       Pnl_FolderProcessMode);
    sbn_NextOpen = MakePictureButton(QStringLiteral("sbn_NextOpen"), QStringLiteral("next"), lbl_01);
    chk_SaveResult = MakeCheckBox("chk_SaveResult", texts::kOptionsSaveResult, Pnl_FolderProcessMode);
    chk_ForceSave = MakeCheckBox("chk_ForceSave", texts::kOptionsForceSave, Pnl_FolderProcessMode);

    auto* runLayout = new QVBoxLayout(Pnl_FolderProcessMode);
    runLayout->setSpacing(2);
    runLayout->addWidget(lbl_01);
    runLayout->addWidget(chk_SaveResult);
    runLayout->addLayout(Row({chk_ForceSave}, 20));
    runLayout->addWidget(BuildFolderGroup());

    connect(chk_SaveResult, &QCheckBox::clicked, this, &TFm_Options::chk_SaveResultClick);
    connect(sbn_NextOpen, &QToolButton::clicked, this, &TFm_Options::sbn_NextOpenClick);
    return Pnl_FolderProcessMode;
}

QWidget* TFm_Options::BuildFolderGroup()
{
    GB_Folder = Named(new QGroupBox(texts::kOptionsFolderGroup, Pnl_FolderProcessMode), "GB_Folder");
    GB_Folder->setFont(DialogFont(19));
    rdo_SameFolder = Named(new QRadioButton(texts::kOptionsSameFolder, GB_Folder), "rdo_SameFolder");
    rdo_OtherFolder = Named(new QRadioButton(texts::kOptionsOtherFolder, GB_Folder), "rdo_OtherFolder");
    rdo_SameFolder->setFont(DialogFont(16));
    rdo_OtherFolder->setFont(DialogFont(16));
    rdo_OtherFolder->setChecked(true);
    pnl_FolderName = Named(new QFrame(GB_Folder), "pnl_FolderName");
    pnl_FolderName->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lbl_FolderName = MakeLabel("lbl_FolderName", QString(), DialogFont(15), pnl_FolderName);
    lbl_FolderName->setFixedWidth(kFolderLabelWidth);
    Btn_Folder = Named(new QPushButton(texts::kOptionsBrowse, GB_Folder), "Btn_Folder");
    Btn_Folder->setFont(DialogFont(16));
    lbl_Forder = MakeLabel("lbl_Forder", texts::kOptionsFolderNote,
                           DialogFont(15, true), GB_Folder);

    auto* folderNameLayout = new QHBoxLayout(pnl_FolderName);
    folderNameLayout->setContentsMargins(3, 3, 3, 3);
    folderNameLayout->addWidget(lbl_FolderName);

    auto* folderLayout = new QVBoxLayout(GB_Folder);
    folderLayout->setSpacing(2);
    folderLayout->addWidget(rdo_SameFolder);
    folderLayout->addWidget(rdo_OtherFolder);
    auto* folderRow = Row({pnl_FolderName, Btn_Folder}, 20);
    folderRow->setSpacing(8);
    folderLayout->addLayout(folderRow);
    folderLayout->addLayout(Row({lbl_Forder}, 20));

    // Selecting a radio button is what gives it the focus, so its toggle stands for "Enter".
    connect(rdo_SameFolder, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rdo_SameFolderEnter();
    });
    connect(rdo_OtherFolder, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rdo_OtherFolderEnter();
    });
    connect(Btn_Folder, &QPushButton::clicked, this, &TFm_Options::Btn_FolderClick);
    return GB_Folder;
}

QHBoxLayout* TFm_Options::BuildDialogButtons()
{
    Btn_OK = Named(new QPushButton(texts::kOptionsOk, this), "Btn_OK");
    Btn_Cancel = Named(new QPushButton(texts::kOptionsCancel, this), "Btn_Cancel");
    Btn_OK->setFont(DialogFont(16));
    Btn_Cancel->setFont(DialogFont(16));
    Btn_OK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Btn_OK);
    buttons->addWidget(Btn_Cancel);
    connect(Btn_OK, &QPushButton::clicked, this, &TFm_Options::Btn_OKClick);
    connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    return buttons;
}

void TFm_Options::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) return;

    CenterOnScreen(this);
    const QFontMetrics metrics(lbl_01->font());
    const int gapLeft = lbl_01->contentsRect().left() + metrics.horizontalAdvance(texts::kOptionsRunCaptionHead);
    const int gapWidth = metrics.horizontalAdvance(texts::kOptionsRunCaptionGap);
    sbn_NextOpen->move(gapLeft + (gapWidth - sbn_NextOpen->width()) / 2,
                       (lbl_01->height() - sbn_NextOpen->height()) / 2);
    FormShow();
}

void TFm_Options::FormShow()
{
    chk_WaringDHT->setChecked(settings_.gDHTWarning);
    chk_OptimizeHuffman->setChecked(settings_.gOptimizeHuffman);
    cbo_OutputCoding->setCurrentIndex(settings_.gOutputCoding);
    chk_FolderProcessInfo->setChecked(settings_.gFolderProcessInfo);
    chk_AllowBreakDCF->setChecked(settings_.gAllowBreakDCF);
    chk_AllowAdjustMCU->setChecked(settings_.gAllowAdjustMCU);
    chk_ResetOrientation->setChecked(settings_.gResetOrientation);
    chk_KeepTimeStamp_Create->setChecked(settings_.gKeepTimeStamp_Create);
    chk_KeepTimeStamp_Write->setChecked(settings_.gKeepTimeStamp_Write);
    chk_ConfirmUnsaved->setChecked(settings_.gConfirmUnsaved);

    cbo_gToolBarSaveButtonIsSaveAs->setCurrentIndex(settings_.gToolBarSaveButtonIsSaveAs ? 0 : 1);

    chk_SaveResult->setChecked(settings_.gSaveResult);
    chk_ForceSave->setEnabled(chk_SaveResult->isChecked());
    chk_ForceSave->setChecked(settings_.gForceSave);

    if (settings_.gSaveSameFolder)
        rdo_SameFolder->setChecked(true);
    else
        rdo_OtherFolder->setChecked(true);

    Btn_Folder->setEnabled(!settings_.gSaveSameFolder);
    lbl_FolderName->setEnabled(!settings_.gSaveSameFolder);

    editedSaveFolder_ = settings_.gSaveFolder;
    ShowEditedFolder(EmptyFolder::MeansDesktop);
}

void TFm_Options::chk_SaveResultClick()
{
    chk_ForceSave->setEnabled(chk_SaveResult->isChecked());
}

void TFm_Options::rdo_SameFolderEnter()
{
    Btn_Folder->setEnabled(false);
    lbl_FolderName->setEnabled(false);
}

void TFm_Options::rdo_OtherFolderEnter()
{
    Btn_Folder->setEnabled(true);
    lbl_FolderName->setEnabled(true);
}

void TFm_Options::Btn_FolderClick()
{
    platform_.ChooseFolder(this, texts::kOptionsFolderChooserTitle, QStringLiteral("DESKTOP"), editedSaveFolder_);
    // Shown whether or not a folder was chosen: a cancelled chooser may have emptied it.
    ShowEditedFolder(EmptyFolder::ShownEmpty);
}

void TFm_Options::ShowEditedFolder(EmptyFolder empty)
{
    QString folder = editedSaveFolder_;
    if (folder.isEmpty()) {
        if (empty == EmptyFolder::ShownEmpty || platform_.HasDesktopFolder()) {
            lbl_FolderName->setText(empty == EmptyFolder::ShownEmpty ? QString() : texts::kOptionsDesktopFolder);
            lbl_FolderName->setToolTip(QString());
            return;
        }
        // Results go to the folder standing in for the missing desktop: name it.
        folder = platform_.DesktopFolder();
    }
    folder = QDir::toNativeSeparators(folder);
    lbl_FolderName->setText(ShortenPath(folder, lbl_FolderName->fontMetrics(), kFolderLabelWidth));
    lbl_FolderName->setToolTip(folder);
}

void TFm_Options::sbn_gToolBarSaveButtonIsSaveAsClick()
{
    ShowPlainMessage(texts::kOptionsToolbarButtonHint);
}

void TFm_Options::sbn_NextOpenClick()
{
    ShowPlainMessage(texts::kOptionsRunButtonHint);
}

void TFm_Options::ShowPlainMessage(const QString& text)
{
    platform_.ShowMessage(this, texts::kAppTitle, text, MessageIcon::None, MessageButtons::Ok);
}

void TFm_Options::Btn_OKClick()
{
    settings_.gDHTWarning = chk_WaringDHT->isChecked();
    settings_.gOptimizeHuffman = chk_OptimizeHuffman->isChecked();
    settings_.gOutputCoding = cbo_OutputCoding->currentIndex();
    settings_.gFolderProcessInfo = chk_FolderProcessInfo->isChecked();
    settings_.gAllowBreakDCF = chk_AllowBreakDCF->isChecked();
    settings_.gAllowAdjustMCU = chk_AllowAdjustMCU->isChecked();
    settings_.gResetOrientation = chk_ResetOrientation->isChecked();
    settings_.gKeepTimeStamp_Create = chk_KeepTimeStamp_Create->isChecked();
    settings_.gKeepTimeStamp_Write = chk_KeepTimeStamp_Write->isChecked();
    settings_.gConfirmUnsaved = chk_ConfirmUnsaved->isChecked();
    settings_.gSaveResult = chk_SaveResult->isChecked();
    settings_.gForceSave = chk_ForceSave->isChecked();
    settings_.gSaveSameFolder = rdo_SameFolder->isChecked();
    settings_.gSaveFolder = editedSaveFolder_;
    settings_.gToolBarSaveButtonIsSaveAs = cbo_gToolBarSaveButtonIsSaveAs->currentIndex() == 0;
    accept();
}

}  // namespace pivotta::app
