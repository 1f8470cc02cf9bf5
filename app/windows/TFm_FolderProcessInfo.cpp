#include "TFm_FolderProcessInfo.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "AppTexts.h"
#include "DialogParts.h"
#include "ShortenPath.h"
#include "TFm_Options.h"

namespace pivotta::app {

namespace {

QLabel* MakeLabel(const char* name, const QString& text, QWidget* parent, bool bold = false)
{
    auto* label = Named(new QLabel(text, parent), name);
    label->setFont(DialogFont(16, bold));
    return label;
}

}  // namespace

TFm_FolderProcessInfo::TFm_FolderProcessInfo(TFm_Options* options, QWidget* parent)
    : QDialog(parent), options_(options)
{
    setObjectName(QStringLiteral("TFm_FolderProcessInfo"));
    setWindowTitle(QStringLiteral("情報 - 複数ファイルの処理 -"));
    setFont(DialogFont(12));

    // Made first so that it leads the tab order.
    Btn_Close = Named(new QPushButton(QStringLiteral("閉じる"), this), "Btn_Close");
    Btn_Close->setFont(DialogFont(16));
    Btn_Close->setDefault(true);

    Image = MakeProgramPicture(this);
    Lbl_01 = MakeLabel("Lbl_01", QStringLiteral("複数のファイルが選択されました。"), this, true);
    sbn_NextOpen = MakePictureButton(QStringLiteral("sbn_NextOpen"), QStringLiteral("next"), this);
    Lbl_02 = MakeLabel("Lbl_02", QStringLiteral("ボタンを押すと次のファイルが表示されます。"), this);
    Lbl_03 = MakeLabel("Lbl_03", QStringLiteral("ボタンを押した時点で保存も同時に行うことができます。"), this);
    Lbl_04 = MakeLabel("Lbl_04", QStringLiteral("同時に行う動作については、"), this);
    Lbl_Option = MakeLabel("Lbl_Option", QStringLiteral("オプション"), this);
    QFont linkFont = Lbl_Option->font();
    linkFont.setUnderline(true);
    Lbl_Option->setFont(linkFont);
    Lbl_Option->setStyleSheet(QStringLiteral("color: blue;"));
    Lbl_Option->setCursor(Qt::PointingHandCursor);
    Lbl_Option->installEventFilter(this);
    Lbl_05 = MakeLabel("Lbl_05", QStringLiteral("で設定できます。"), this);
    Lbl_ResultFolder = MakeLabel("Lbl_ResultFolder", QString(), this);
    Lbl_ResultFolder->setFixedWidth(kFolderLabelWidth);
    Chk_NextShow = Named(new QCheckBox(QStringLiteral("次回もこの画面を表示する。"), this), "Chk_NextShow");
    Chk_NextShow->setFont(DialogFont(15));

    auto* nextRow = new QHBoxLayout;
    nextRow->setSpacing(4);
    nextRow->addWidget(sbn_NextOpen);
    nextRow->addWidget(Lbl_02);
    nextRow->addStretch();
    auto* optionRow = new QHBoxLayout;
    optionRow->setSpacing(0);
    optionRow->addWidget(Lbl_04);
    optionRow->addWidget(Lbl_Option);
    optionRow->addWidget(Lbl_05);
    optionRow->addStretch();

    auto* text = new QVBoxLayout;
    text->addWidget(Lbl_01);
    text->addLayout(nextRow);
    text->addWidget(Lbl_03);
    text->addLayout(optionRow);
    text->addWidget(Lbl_ResultFolder);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Chk_NextShow);
    bottom->addStretch();
    bottom->addWidget(Btn_Close);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(10, 10, 12, 10);
    layout->setHorizontalSpacing(10);
    layout->addWidget(Image, 0, 0, Qt::AlignTop);
    layout->addLayout(text, 0, 1);
    layout->setRowStretch(1, 1);
    layout->addLayout(bottom, 2, 0, 1, 2);
    setFixedSize(layout->sizeHint().expandedTo(QSize(429, 186)));

    connect(Btn_Close, &QPushButton::clicked, this, &QDialog::accept);
}

bool TFm_FolderProcessInfo::ShowDialog(bool showNextTime, std::function<QString()> resultFolder)
{
    Chk_NextShow->setChecked(showNextTime);
    resultFolder_ = std::move(resultFolder);
    ShowResultFolder();
    exec();
    return Chk_NextShow->isChecked();
}

void TFm_FolderProcessInfo::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFm_FolderProcessInfo::FormShow()
{
    CenterOnScreen(this);
    // A run may start from files dropped from another program, so come to the front.
    raise();
    activateWindow();
    Btn_Close->setFocus();
}

bool TFm_FolderProcessInfo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Lbl_Option && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Lbl_OptionClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFm_FolderProcessInfo::Lbl_OptionClick()
{
    if (options_) options_->exec();
    ShowResultFolder();
}

void TFm_FolderProcessInfo::ShowResultFolder()
{
    Lbl_ResultFolder->setVisible(static_cast<bool>(resultFolder_));
    if (!resultFolder_) return;
    const QString folder = QDir::toNativeSeparators(resultFolder_());
    if (folder.isEmpty()) {
        Lbl_ResultFolder->setText(texts::kResultsNotSaved);
        Lbl_ResultFolder->setToolTip(QString());
        return;
    }
    const QFontMetrics metrics = Lbl_ResultFolder->fontMetrics();
    const int room = kFolderLabelWidth - metrics.horizontalAdvance(texts::kResultFolderLine);
    Lbl_ResultFolder->setText(texts::kResultFolderLine + ShortenPath(folder, metrics, room));
    Lbl_ResultFolder->setToolTip(folder);
}

}  // namespace pivotta::app
