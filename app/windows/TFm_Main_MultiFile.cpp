// The open actions and the run over several files: the slots stay thin, the list is
// gathered by FileGathering and the run kept by MultiFileRun.
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "AppTexts.h"
#include "FileGathering.h"
#include "StatusPanels.h"
#include "TFm_Main.h"

namespace pivotta::app {

class TFm_Main::RunHost : public MultiFileHost {
public:
    explicit RunHost(TFm_Main& window) : window_(window) {}

    void OpenFile(const QString& path) override { window_.Uty_OpenJpegFile(path); }
    void RunModeChanged() override
    {
        window_.UpdateActions();
        window_.ShowRunResultFolder();
        // A run that ends leaves its file on show: its title loses the counter.
        if (!window_.run_.MultiFileMode() && window_.document_.IsOpen()) window_.UpdateTitleAndLayout();
    }
    void ReportError(const QString& text) override { window_.ReportError(text); }
    bool ShowFolderProcessInfo(bool showNextTime, const std::function<QString()>& resultFolder) override
    {
        if (!window_.FolderProcessInfoDialog) return showNextTime;
        return window_.FolderProcessInfoDialog(showNextTime, resultFolder);
    }

private:
    TFm_Main& window_;
};

std::unique_ptr<MultiFileHost> TFm_Main::MakeRunHost(TFm_Main& window)
{
    return std::make_unique<RunHost>(window);
}

// The status bar's hint names the folder Next saves into, for as long as the run lasts.
void TFm_Main::ShowRunResultFolder()
{
    QString hint;
    if (run_.MultiFileMode()) {
        hint = run_.RunSaveResult() ? texts::kResultFolderLine + QDir::toNativeSeparators(run_.ResultFolder())
                                    : texts::kResultsNotSaved;
    }
    StatusBar->setToolTip(hint);
}

void TFm_Main::StartFileList(const QStringList& files)
{
    // An empty list replaces nothing: only a list that will be shown asks about the result.
    if (!files.isEmpty() && !Uty_ResultMayBeClosed()) return;
    run_.StartFileList(files);
}

// Every open action hands its list on, even an empty one: a cancelled dialog ends a run.
void TFm_Main::mnu_FileOpenClick()
{
    StartFileList(GatherFromOpenDialog(platform_, this));
}

void TFm_Main::mnu_FolderOpenClick()
{
    StartFileList(GatherFromFolderChooser(platform_, this));
}

void TFm_Main::WMDropFiles(const QStringList& names)
{
    StartFileList(GatherDroppedNames(names));
}

void TFm_Main::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFm_Main::dropEvent(QDropEvent* event)
{
    QStringList names;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) names.append(QDir::toNativeSeparators(url.toLocalFile()));
    }
    event->acceptProposedAction();
    // The drag source is waiting for this event to end; opening may show modal boxes.
    QMetaObject::invokeMethod(this, [this, names] { WMDropFiles(names); }, Qt::QueuedConnection);
}

void TFm_Main::RunCommandClick(const RunCommand& command)
{
    if (command.step > 0) {
        run_.Next();
    } else {
        run_.Previous();
    }
}

}  // namespace pivotta::app
