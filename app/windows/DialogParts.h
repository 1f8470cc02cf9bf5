// Pieces the dialogs share: their fonts, the program's picture at their top left and the
// small picture buttons that show what a toolbar button looks like.
#pragma once

#include <QFont>
#include <QString>

class QLabel;
class QToolButton;
class QWidget;

namespace pivotta::app {

// The form font at another size.
QFont DialogFont(int pixelSize, bool bold = false);
// The fixed-pitch "ＭＳ ゴシック" and its stand-ins.
QFont DialogFixedFont(int pixelSize);

// A 41 x 41 box with the program's 32 x 32 icon.
QLabel* MakeProgramPicture(QWidget* parent);

// A small flat button showing one of the dialogs' pictures ("floppy", "next").
QToolButton* MakePictureButton(const QString& objectName, const QString& picture, QWidget* parent);

// Places a dialog in the middle of the screen its parent is on (or the primary screen).
void CenterOnScreen(QWidget* dialog);

// Sets a widget's objectName and returns it, so that a control is named where it is made.
template <typename Widget>
Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace pivotta::app
