// The desktop program: the main window, then its dialogs, hidden until asked for.
#include <QApplication>
#include <QIcon>

#include "AppResources.h"
#include "FormFont.h"
#include "ProgramWindows.h"
#include "QtPlatform.h"
#include "QtTexts.h"
#include "SettingsStore.h"

#ifdef Q_OS_WIN
#include "RegistrySettingsKey.h"
#include "Win32Platform.h"
#endif

int main(int argc, char* argv[])
{
    using namespace pivotta::app;

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tollemark"));
    QApplication::setApplicationName(QStringLiteral("Pivotta"));
    InitAppResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/pivotta.svg")));
    QApplication::setFont(FormFont());
    // The program speaks Japanese whatever the desktop's language: Qt's own dialogs too.
    JapaneseQtTexts qtTexts;
    QApplication::installTranslator(&qtTexts);

#ifdef Q_OS_WIN
    Win32Platform platform;
    RegistrySettingsKey settings;
#else
    QtPlatform platform;
    QSettingsKey settings(OpenUserSettings());
#endif
    ProgramWindows windows(platform, settings, QApplication::arguments().mid(1));
    windows.Main.show();
    return QApplication::exec();
}
