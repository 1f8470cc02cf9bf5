// The transform commands and saving: the document does the work, the window shows it.
#include <QApplication>
#include <QProgressBar>

#include "AppTexts.h"
#include "PictureView.h"
#include "Platform.h"
#include "QtPlatform.h"
#include "StatusPanels.h"
#include "TFm_Main.h"
#include "WindowTexts.h"

namespace pivotta::app {

namespace {

// The hourglass for as long as a command runs, however it ends.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

void TFm_Main::TransformCommandClick(const TransformCommand& command)
{
    if (command.autoOrient) {
        const DocumentState state{.fileAccepted = document_.Accepted(), .exifOrientation = document_.ExifOrientation()};
        if (const auto kind = AutoOrientKind(state)) RunTransform(*kind, true);
    } else if (command.kind == pivotta::TransformKind::NoRotation) {
        ShowUnturned();
    } else {
        RunTransform(command.kind);
    }
}

void TFm_Main::ShowUnturned()
{
    document_.SelectTransform(pivotta::TransformKind::NoRotation);
    UpdateActions();
    {
        BusyCursor busy;
        clock_.Start(platform_.TickCount());
        document_.RunSelectedTransform();
        ShowPicture(document_.ResultPicture());
        StatusBar->SetPanelText(0, ProcessingTimeText(0, clock_.Stop(platform_.TickCount())));
    }
    UpdateActions();
    UpdateTitleAndLayout();
}

void TFm_Main::RunTransform(pivotta::TransformKind kind, bool autoOriented)
{
    document_.SelectTransform(kind, autoOriented);
    UpdateActions();
    {
        BusyCursor busy;
        clock_.Start(platform_.TickCount());
        StatusBar->hide();
        ProgressBar->setValue(0);
        ProgressBar->show();
        repaint();

        document_.RunSelectedTransform();

        ProgressBar->hide();
        StatusBar->show();
        ShowPicture(document_.ResultPicture());
        StatusBar->SetPanelText(0, ProcessingTimeText(0, clock_.Stop(platform_.TickCount())));
    }
    UpdateActions();
    UpdateTitleAndLayout();
}

void TFm_Main::ShowPicture(std::span<const uint8_t> bytes)
{
    QString error;
    if (!previewImage_.Load(bytes.data(), bytes.size(), &error)) ReportError(error);
    Image->PictureChanged();
}

// ---- Saving ----

void TFm_Main::mnu_FileSaveAsClick()
{
    if (!document_.IsOpen() || !document_.ResultSavable()) return;
    const QString chosen = platform_.GetSaveFileName(this, document_.Path(), texts::kJpegFilter,
                                                     texts::kDefaultExtension);
    if (chosen.isEmpty()) return;
    Uty_SaveOutputJpegFile(document_.Result(), WithDefaultSuffix(chosen, texts::kDefaultExtension));
}

void TFm_Main::mnu_FileSaveClick()
{
    if (!document_.IsOpen() || !document_.ResultSavable()) return;
    const MessageAnswer answer = platform_.ShowMessage(this, texts::kWarningCaption, texts::kOverwriteQuestion,
                                                       MessageIcon::Warning, MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes) return;
    Uty_SaveOutputJpegFile(document_.Result(), document_.Path());
}

void TFm_Main::tbn_FileSaveClick()
{
    if (Settings.gToolBarSaveButtonIsSaveAs) {
        mnu_FileSaveAsClick();
    } else {
        mnu_FileSaveClick();
    }
}

bool TFm_Main::Uty_SaveOutputJpegFile(const pivotta::TMemoryStream& stream, const QString& path)
{
    QString error;
    if (document_.SaveStream(stream, path, &error)) return true;
    ReportError(error);
    return false;
}

}  // namespace pivotta::app
