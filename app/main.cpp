// The desktop program: the main window, then its dialogs, hidden until asked for.
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include "AppResources.h"
#include "FormFont.h"
#include "QtPlatform.h"
#include "SettingsStore.h"
#include "TFm_DHTWarning.h"
#include "TFm_FolderProcessInfo.h"
#include "TFm_Help.h"
#include "TFm_Main.h"
#include "TFm_Options.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tollemark"));
    QApplication::setApplicationName(QStringLiteral("Pivotta"));
    InitAppResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/pivotta.svg")));
    QApplication::setFont(FormFont());
    // The program speaks Japanese whatever the desktop's language: Qt's own dialogs too.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    QtPlatform platform;
    QSettingsKey settings(OpenUserSettings());
    TFm_Main window(platform, settings, QApplication::arguments().mid(1));
    TFm_Options options(window.Settings, platform, &window);
    TFm_FolderProcessInfo folderProcessInfo(&options, &window);
    TFm_Help about(&window);
    TFm_DHTWarning dhtWarning(&window);
    window.OptionsDialog = [&options] { options.exec(); };
    window.AboutBox = [&about] { about.exec(); };
    window.DHTWarningDialog = [&dhtWarning](bool showNextTime) { return dhtWarning.ShowDialog(showNextTime); };

    window.show();
    return QApplication::exec();
}
