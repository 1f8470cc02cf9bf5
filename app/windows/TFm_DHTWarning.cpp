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

namespace pivotta::app {

namespace {

const QString kExplanation = QStringLiteral(
    "画像ファイル内のハフマンテーブルが\n"
    "すべてのビットパターンを表現していません。\n"
    "すべてのパターンを補完します。\n"
    "\n"
    "元画像と比べて若干の情報が附加されますが\n"
    "画像には影響を与えません。");

QPlainTextEdit* MakeMemo(QWidget* parent)
{
    auto* memo = Named(new QPlainTextEdit(kExplanation, parent), "Memo");
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
    for (const QString& line : kExplanation.split(u'\n')) widest = std::max(widest, metrics.horizontalAdvance(line));
    const int margins = 2 * (memo->frameWidth() + int(memo->document()->documentMargin())) + 4;
    memo->setMinimumSize(widest + margins, 6 * metrics.lineSpacing() + margins);
    return memo;
}

}  // namespace

TFm_DHTWarning::TFm_DHTWarning(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFm_DHTWarning"));
    setWindowTitle(QStringLiteral("警告 - 最適化されたハフマンテーブル -"));
    setFont(DialogFont(12));

    // Made first so that it leads the tab order.
    btn_Close = Named(new QPushButton(QStringLiteral("閉じる"), this), "btn_Close");
    btn_Close->setDefault(true);

    Image = MakeProgramPicture(this);
    Lbl_01 = Named(new QLabel(QStringLiteral("ハフマンテーブルが最適化されています。"), this), "Lbl_01");
    Lbl_02 = Named(new QLabel(QStringLiteral("ハフマンテーブルを補完します。"), this), "Lbl_02");
    Lbl_01->setFont(DialogFont(16));
    Lbl_02->setFont(DialogFont(16));
    Memo = MakeMemo(this);
    Chk_NextShow = Named(new QCheckBox(QStringLiteral("次回もこの警告を表示する。"), this), "Chk_NextShow");
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
