#include "TFm_Main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>

#include "AppTexts.h"
#include "EngineMessages.h"
#include "FileGathering.h"
#include "LongPath.h"
#include "PictureView.h"
#include "Platform.h"
#include "StatusPanels.h"
#include "ViewArea.h"
#include "ViewGeometry.h"
#include "WindowTexts.h"

namespace pivotta::app {

TFm_Main::TFm_Main(Platform& platform, SettingsKey& settingsKey, QStringList arguments, QWidget* parent)
    : QMainWindow(parent),
      platform_(platform),
      settingsKey_(settingsKey),
      arguments_(std::move(arguments)),
      document_(platform, Settings, *this),
      runHost_(MakeRunHost(*this)),
      run_(document_, *runHost_, platform, Settings, this)
{
    setObjectName(QStringLiteral("Fm_Main"));
    setWindowTitle(texts::kAppTitle);
    LoadImageList();
    BuildMenus();
    BuildViewCommands();
    BuildToolBar();
    BuildCentralArea();
    FormCreate();
}

TFm_Main::~TFm_Main() = default;

// ---- Start, first showing, closing ----

void TFm_Main::FormCreate()
{
    WindowPlacement placement;
    LoadSettings(settingsKey_, Settings, placement);
    ApplyPlacement(placement);

    zoomNumerator_ = 1;
    zoomDenominator_ = 1;

    if (Settings.gViewProportional) {
        view_ = kViewProportional;
        StatusBar->SetPanelText(1, texts::kAutoSize);
    } else {
        view_ = kView100;
        StatusBar->SetPanelText(1, QStringLiteral("(100%)"));
    }
    setAcceptDrops(true);
    firstShowPending_ = true;

    Image->hide();
    lbl_StartInfo->show();
    ScrollBox->SetContent(ViewArea::Content::Empty);
    UpdateActions();
}

void TFm_Main::ApplyPlacement(const WindowPlacement& placement)
{
    move(placement.left, placement.top);
    resize(placement.width, placement.height);
    switch (placement.state) {
    case StoredWindowState::Minimized: setWindowState(Qt::WindowMinimized); break;
    case StoredWindowState::Maximized: setWindowState(Qt::WindowMaximized); break;
    case StoredWindowState::Normal: setWindowState(Qt::WindowNoState); break;
    }
}

WindowPlacement TFm_Main::CurrentPlacement() const
{
    WindowPlacement placement;
    placement.state = isMinimized()   ? StoredWindowState::Minimized
                      : isMaximized() ? StoredWindowState::Maximized
                                      : StoredWindowState::Normal;
    placement.top = y();
    placement.left = x();
    placement.height = height();
    placement.width = width();
    return placement;
}

void TFm_Main::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Opening may show modal boxes: let the window finish showing first.
    if (firstShowPending_) QMetaObject::invokeMethod(this, &TFm_Main::FormShow, Qt::QueuedConnection);
}

void TFm_Main::FormShow()
{
    if (!firstShowPending_) return;
    firstShowPending_ = false;
    if (arguments_.size() != 1) return;
    StartFileList(GatherCommandLine(arguments_, ExpandLongPath));
}

void TFm_Main::closeEvent(QCloseEvent* event)
{
    if (!Uty_ResultMayBeClosed()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TFm_Main::FormClose()
{
    SaveSettings(settingsKey_, Settings, CurrentPlacement());
}

void TFm_Main::mnu_FileExitClick()
{
    close();
}

// ---- Opening and closing a file ----

bool TFm_Main::Uty_OpenJpegFile(const QString& path)
{
    Image->show();
    lbl_StartInfo->hide();

    QString error;
    if (!document_.Read(path, &error) ||
        !previewImage_.Load(document_.Source().Memory(), document_.Source().Size(), &error)) {
        RecoverFromFailedOpen(error);
        return false;
    }
    Image->PictureChanged();

    UpdateTitleAndLayout();
    StatusBar->SetPanelText(0, OpenedFileStatus(path, previewImage_.Width(), previewImage_.Height()));
    repaint();

    document_.Check();
    if (const QString suffix = OrientationStatusSuffix(document_.ExifOrientation()); !suffix.isEmpty()) {
        StatusBar->SetPanelText(0, OpenedFileStatus(path, previewImage_.Width(), previewImage_.Height()) + suffix);
    }
    UpdateActions();
    return true;
}

void TFm_Main::RecoverFromFailedOpen(const QString& error)
{
    previewImage_.Clear();
    Image->PictureChanged();
    Uty_CloseJpegFile();
    ReportError(error);
}

void TFm_Main::mnu_FileCloseClick()
{
    if (Uty_ResultMayBeClosed()) Uty_CloseJpegFile();
}

bool TFm_Main::Uty_ResultMayBeClosed()
{
    // A run saves on Next; its steps never ask.
    if (!Settings.gConfirmUnsaved || run_.MultiFileMode() || !document_.HasUnsavedResult()) return true;
    switch (platform_.ShowMessage(this, texts::kAppTitle, texts::kSaveChangesQuestion, MessageIcon::Warning,
                                  MessageButtons::YesNoCancel)) {
    case MessageAnswer::Yes: return Uty_SaveOutputJpegFile(document_.Result(), document_.Path());
    case MessageAnswer::No: return true;
    default: return false;
    }
}

void TFm_Main::Uty_CloseJpegFile()
{
    setWindowTitle(texts::kAppTitle);
    document_.Close();
    UpdateActions();
    StatusBar->SetPanelText(0, QString());
    lbl_StartInfo->show();
    Image->hide();
    ScrollBox->SetContent(ViewArea::Content::Empty);
}

// ---- Title, layout and view ----

void TFm_Main::UpdateTitleAndLayout()
{
    setWindowTitle(MainWindowTitle(document_.Path(), run_.MultiFileMode(), run_.FileIndex(),
                                   static_cast<int>(run_.FileList().size())));
    LayoutPicture();
}

void TFm_Main::LayoutPicture()
{
    const bool fitted = Settings.gViewProportional;
    Image->SetFitted(fitted);
    if (Image->isHidden()) {
        ScrollBox->SetContent(ViewArea::Content::Empty);
    } else {
        ScrollBox->SetContent(fitted ? ViewArea::Content::Fitted : ViewArea::Content::Fixed);
    }
    if (fitted) {
        Image->resize(ScrollBox->viewport()->size());
    } else {
        Image->resize(ScaledPictureSize(previewImage_.Size(), zoomNumerator_, zoomDenominator_));
    }
}

void TFm_Main::SetView(int view)
{
    const ViewCommand& command = kViewCommands[view];
    if (view == kViewProportional) {
        StatusBar->SetPanelText(1, texts::kAutoSize);
        Settings.gViewProportional = true;
    } else {
        zoomNumerator_ = command.numerator;
        zoomDenominator_ = command.denominator;
        StatusBar->SetPanelText(1, u'(' + QString::fromUtf8(command.caption) + u')');
        Settings.gViewProportional = false;
    }
    view_ = view;
    UpdateActions();
    UpdateTitleAndLayout();
}

void TFm_Main::ViewCommandClick(int view) { SetView(view); }

void TFm_Main::StatusBarResize()
{
    const int scaleRoom = QFontMetrics(StatusBar->font()).horizontalAdvance(QStringLiteral("  (AutoSize)  "));
    StatusBar->SetFirstPanelWidth(StatusBar->width() - scaleRoom);
}

// Turning the wheel toward the user moves the view down the picture, as in every other program.
void TFm_Main::ScrollBoxMouseWheelDown()
{
    QScrollBar* bar = ScrollBox->verticalScrollBar();
    bar->setValue(bar->value() + WheelIncrement(ScrollBox->viewport()->height()));
}

void TFm_Main::ScrollBoxMouseWheelUp()
{
    QScrollBar* bar = ScrollBox->verticalScrollBar();
    bar->setValue(bar->value() - WheelIncrement(ScrollBox->viewport()->height()));
}

// ---- Command states ----

QAction* TFm_Main::Command(const char* name) const
{
    const auto found = commands_.find(QString::fromLatin1(name));
    return found == commands_.end() ? nullptr : found->second;
}

void TFm_Main::UpdateActions()
{
    const DocumentState state{document_.Accepted(),     document_.ResultSavable(),   document_.Selection(),
                              document_.AutoOriented(), document_.ExifOrientation(), view_,
                              run_.MultiFileMode()};
    for (const CommandState& command : DeriveCommandStates(state)) {
        QAction* action = Command(command.name);
        if (!action) continue;
        action->setEnabled(command.enabled);
        if (action->isCheckable()) action->setChecked(command.checked);
    }
    for (QAction* button : runButtons_) button->setVisible(run_.MultiFileMode());
}

// ---- Messages and the dialogs of other windows ----

template <typename ShowBox>
auto TFm_Main::WithClockStopped(ShowBox&& show)
{
    // The clock is read only while a command times itself.
    const bool timing = clock_.Running();
    if (timing) clock_.Pause(platform_.TickCount());
    struct Restart {
        TFm_Main& window;
        bool timing;
        ~Restart()
        {
            if (timing) window.clock_.Resume(window.platform_.TickCount());
        }
    } restart{*this, timing};
    return show();
}

void TFm_Main::EngineMessage(const QString& text, int level)
{
    if (const auto box = EngineMessageBox(text, level)) {
        WithClockStopped([&] { platform_.ShowMessage(this, box->caption, box->text, box->icon, box->buttons); });
    }
}

void TFm_Main::HuffmanTablesReplaced()
{
    if (Settings.gDHTWarning && DHTWarningDialog) {
        Settings.gDHTWarning = WithClockStopped([&] { return DHTWarningDialog(true); });
    }
}

void TFm_Main::ProgressMaximum(int maximum) { ProgressBar->setMaximum(maximum); }

void TFm_Main::ProgressPosition(int position) { ProgressBar->setValue(position); }

void TFm_Main::ReportError(const QString& text)
{
    platform_.ShowMessage(this, texts::kAppTitle, text, MessageIcon::Error, MessageButtons::Ok);
}

void TFm_Main::mnu_FileOptionClick()
{
    if (OptionsDialog) OptionsDialog();
}

void TFm_Main::mnu_HelpViewClick()
{
    // Whether the shell manages is not looked at: a missing readme gets no message from us.
    platform_.OpenWithShell(QCoreApplication::applicationDirPath() + QStringLiteral("/readme.txt"));
}

void TFm_Main::mnu_HelpAboutClick()
{
    if (AboutBox) AboutBox();
}

}  // namespace pivotta::app
