// The transform commands and saving.
#include <QApplication>
#include <QDir>
#include <QProgressBar>

#include "AppTexts.h"
#include "FileIO.h"
#include "PictureView.h"
#include "Platform.h"
#include "QtPlatform.h"
#include "StatusPanels.h"
#include "TFm_Main.h"
#include "WindowTexts.h"

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

void TFm_Main::tbn_0Click()
{
    document_.selection = pivotta::TransformKind::NoRotation;
    document_.autoOriented = false;
    ApplyCommandState();
    {
        BusyCursor busy;
        const uint32_t start = platform_.TickCount();
        SourceStream.SetPosition(0);
        ShowPicture(SourceStream.Memory(), SourceStream.Size());
        ResultStream.CopyFrom(SourceStream);
        document_.resultSavable = true;
        StatusBar->SetPanelText(0, ProcessingTimeText(start, platform_.TickCount()));
    }
    ApplyCommandState();
    UpdateTitleAndLayout();
}

void TFm_Main::tbn_90Click() { RunTransform(pivotta::TransformKind::Rotate90); }
void TFm_Main::tbn_180Click() { RunTransform(pivotta::TransformKind::Rotate180); }
void TFm_Main::tbn_270Click() { RunTransform(pivotta::TransformKind::Rotate270); }
void TFm_Main::tbn_mirror_lrClick() { RunTransform(pivotta::TransformKind::MirrorLR); }
void TFm_Main::tbn_mirror_tbClick() { RunTransform(pivotta::TransformKind::MirrorTB); }

void TFm_Main::mnu_AutoOrientClick()
{
    if (const auto kind = AutoOrientKind(document_)) RunTransform(*kind, true);
}

void TFm_Main::RunTransform(pivotta::TransformKind kind, bool autoOriented)
{
    document_.selection = kind;
    document_.autoOriented = autoOriented;
    ApplyCommandState();
    QString engineError;
    {
        BusyCursor busy;
        const uint32_t start = platform_.TickCount();
        StatusBar->hide();
        ProgressBar->setValue(0);
        ProgressBar->show();
        repaint();

        Rotator.AllowBreakDCF = Settings.gAllowBreakDCF;
        Rotator.AllowAdjustMCU = Settings.gAllowAdjustMCU;
        // Turning by the tag while keeping it would have every viewer turn the picture again.
        Rotator.KeepOrientation = !Settings.gResetOrientation && !autoOriented;
        const bool succeeded = RunEngine(kind, engineError);

        ProgressBar->hide();
        StatusBar->show();
        // A failed run leaves its partial output positioned at its end: nothing to show or save.
        const size_t position = std::min(ResultStream.Position(), ResultStream.Size());
        if (succeeded) {
            ShowPicture(ResultStream.Memory() + position, ResultStream.Size() - position);
        } else {
            ShowPicture(nullptr, 0);
        }
        document_.resultSavable = succeeded;
        StatusBar->SetPanelText(0, ProcessingTimeText(start, platform_.TickCount()));
    }
    ApplyCommandState();
    UpdateTitleAndLayout();
    // Reported once the window is back to normal.
    if (!engineError.isEmpty()) ReportError(engineError);
}

bool TFm_Main::RunEngine(pivotta::TransformKind kind, QString& error)
{
    try {
        return Rotator.RotateJpeg(SourceStream, ResultStream, kind);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
        if (error.isEmpty()) error = texts::kCannotProcess;
    }
    return false;
}

void TFm_Main::ShowPicture(const uint8_t* data, size_t size)
{
    QString error;
    if (!PreviewImage.Load(data, size, &error)) ReportError(error);
    Image->PictureChanged();
}

// ---- Saving ----

void TFm_Main::mnu_FileSaveAsClick()
{
    if (CurrentFileName.isEmpty() || !ResultIsSavable()) return;
    const QString chosen = platform_.GetSaveFileName(this, CurrentFileName, texts::kJpegFilter,
                                                     texts::kDefaultExtension);
    if (chosen.isEmpty()) return;
    Uty_SaveOutputJpegFile(ResultStream, WithDefaultSuffix(chosen, texts::kDefaultExtension));
}

void TFm_Main::mnu_FileSaveClick()
{
    if (CurrentFileName.isEmpty() || !ResultIsSavable()) return;
    const MessageAnswer answer = platform_.ShowMessage(this, texts::kWarningCaption, texts::kOverwriteQuestion,
                                                       MessageIcon::Warning, MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes) return;
    Uty_SaveOutputJpegFile(ResultStream, CurrentFileName);
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
    if (!WriteFileAtomically(path, stream.Memory(), stream.Size(), &error)) {
        ReportError(error);
        return false;
    }
    // The platform may refuse a time (a creation time outside Windows); the file stands all the same.
    if (Settings.gKeepTimeStamp_Create) platform_.SetCreationTime(path, SourceCreationTime);
    if (Settings.gKeepTimeStamp_Write) platform_.SetLastWriteTime(path, SourceLastWriteTime);
    return true;
}
