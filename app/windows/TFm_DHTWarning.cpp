#include "TFm_DHTWarning.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

#include "DialogParts.h"
#include "DialogTexts.h"

namespace pivotta::app {

namespace {

QPlainTextEdit* MakeMemo(QWidget* parent)
{
    auto* memo = Named(new QPlainTextEdit(texts::kDhtWarningExplanation, parent), "Memo");
    memo->setReadOnly(true);
    memo->setFocusPolicy(Qt::NoFocus);
    memo->setFont(DialogFont(16));
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    palette.setColor(QPalette::Text, Qt::black);
    memo->setPalette(palette);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The text is fixed: size the box to hold all of it, so no scroll bar is ever needed.
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QFontMetrics metrics(memo->font());
    int widest = 0;
    for (const QString& line : texts::kDhtWarningExplanation.split(u'\n')) widest = std::max(widest, metrics.horizontalAdvance(line));
    const int margins = 2 * (memo->frameWidth() + int(memo->document()->documentMargin())) + 4;
    memo->setMinimumSize(widest + margins, 6 * metrics.lineSpacing() + margins);
    return memo;
}

}  // namespace

TFm_DHTWarning::TFm_DHTWarning(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFm_DHTWarning"));
    setWindowTitle(texts::kDhtWarningTitle);
    setFont(DialogFont(12));

    // Made first so that it leads the tab order.
    btn_Close = Named(new QPushButton(texts::kCloseButton, this), "btn_Close");
    btn_Close->setDefault(true);

    Image = MakeProgramPicture(this);
    Lbl_01 = Named(new QLabel(texts::kDhtWarningHeadline, this), "Lbl_01");
    Lbl_02 = Named(new QLabel(texts::kDhtWarningAction, this), "Lbl_02");
    Lbl_01->setFont(DialogFont(16));
    Lbl_02->setFont(DialogFont(16));
    Memo = MakeMemo(this);
    Chk_NextShow = Named(new QCheckBox(texts::kDhtWarningShowNextTime, this), "Chk_NextShow");
    Chk_NextShow->setFont(DialogFont(16));
    Chk_NextShow->setChecked(true);

    auto* heading = new QVBoxLayout;
    heading->addWidget(Lbl_01);
    heading->addWidget(Lbl_02);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Chk_NextShow);
    bottom->addStretch();
    bottom->addWidget(btn_Close);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(10, 10, 12, 10);
    layout->setHorizontalSpacing(10);
    layout->addWidget(Image, 0, 0, Qt::AlignTop);
    layout->addLayout(heading, 0, 1);
    layout->addWidget(Memo, 1, 0, 1, 2);
    layout->addLayout(bottom, 2, 0, 1, 2);
    setFixedSize(layout->sizeHint().expandedTo(QSize(386, 248)));

    connect(btn_Close, &QPushButton::clicked, this, &QDialog::accept);
}

bool TFm_DHTWarning::ShowDialog(bool showNextTime)
{
    Chk_NextShow->setChecked(showNextTime);
    exec();
    return Chk_NextShow->isChecked();
}

void TFm_DHTWarning::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    CenterOnScreen(this);
    btn_Close->setFocus();
}

}  // namespace pivotta::app
