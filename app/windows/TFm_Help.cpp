#include "TFm_Help.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "AppTexts.h"
#include "DialogParts.h"

namespace pivotta::app {

TFm_Help::TFm_Help(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFm_Help"));
    setWindowTitle(QStringLiteral("Pivottaについて..."));
    setFont(DialogFont(12));

    Image = MakeProgramPicture(this);
    Lbl_01 = Named(new QLabel(texts::kAppTitle, this), "Lbl_01");
    Lbl_01->setFont(DialogFont(16, true));
    Lbl_02 = Named(new QLabel(texts::kVersion, this), "Lbl_02");
    Lbl_02->setFont(DialogFont(16));
    Lbl_02->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lbl_03 = Named(new QLabel(QStringLiteral("© 2026 Tollemark Pivotta project"), this), "lbl_03");
    lbl_03->setFont(DialogFont(16));
    btn_close = Named(new QPushButton(QStringLiteral("閉じる"), this), "btn_close");
    btn_close->setDefault(true);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btn_close);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(10, 10, 12, 10);
    layout->setHorizontalSpacing(10);
    layout->addWidget(Image, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(Lbl_01, 0, 1);
    layout->addWidget(Lbl_02, 1, 1);
    layout->addWidget(lbl_03, 2, 1);
    layout->setRowStretch(3, 1);
    layout->addLayout(bottom, 4, 0, 1, 2);
    setFixedSize(layout->sizeHint().expandedTo(QSize(364, 134)));

    connect(btn_close, &QPushButton::clicked, this, &QDialog::accept);
}

void TFm_Help::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) CenterOnScreen(this);
}

}  // namespace pivotta::app
