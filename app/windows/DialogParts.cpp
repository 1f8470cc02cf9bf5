#include "DialogParts.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QToolButton>

#include "FormFont.h"

// The resources live in a static library, so nothing pulls them in unless asked.
static void InitDialogResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(dialogs);
        return true;
    }();
    (void)done;
}

namespace pivotta::app {
namespace {

QIcon ProgramIcon()
{
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull()) return icon;
    InitDialogResources();
    return QIcon(QStringLiteral(":/dialogs/dialog_program.svg"));
}

}  // namespace

QFont DialogFont(int pixelSize, bool bold)
{
    QFont font = FormFont();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont DialogFixedFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                      QStringLiteral("IPAGothic")});
    font.setPixelSize(pixelSize);
    return font;
}

QLabel* MakeProgramPicture(QWidget* parent)
{
    auto* picture = Named(new QLabel(parent), "Image");
    picture->setFixedSize(41, 41);
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(ProgramIcon().pixmap(32, 32));
    return picture;
}

QToolButton* MakePictureButton(const QString& objectName, const QString& picture, QWidget* parent)
{
    InitDialogResources();
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setIcon(QIcon(QStringLiteral(":/dialogs/dialog_%1.svg").arg(picture)));
    button->setIconSize(QSize(20, 20));
    button->setFixedSize(24, 24);
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void CenterOnScreen(QWidget* dialog)
{
    const QWidget* anchor = dialog->parentWidget() ? dialog->parentWidget()->window() : dialog;
    QScreen* screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    dialog->move(frame.topLeft());
}

}  // namespace pivotta::app
