// The desktop program: the main window, then its dialogs, hidden until asked for.
#include <QApplication>
#include <QIcon>

#include "AppResources.h"
#include "FormFont.h"
#include "QtPlatform.h"
#include "SettingsStore.h"
#include "TFm_Main.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tollemark"));
    QApplication::setApplicationName(QStringLiteral("Pivotta"));
    InitAppResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/pivotta.svg")));
    QApplication::setFont(FormFont());

    QtPlatform platform;
    QSettingsKey settings(OpenUserSettings());
    TFm_Main window(platform, settings, QApplication::arguments().mid(1));
    window.show();
    return QApplication::exec();
}
