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
#include "FileIO.h"
#include "LongPath.h"
#include "PictureView.h"
#include "Platform.h"
#include "StatusPanels.h"
#include "ViewArea.h"
#include "ViewGeometry.h"
#include "WindowTexts.h"

TFm_Main::TFm_Main(Platform& platform, SettingsKey& settingsKey, QStringList arguments, QWidget* parent)
    : QMainWindow(parent),
      platform_(platform),
      settingsKey_(settingsKey),
      arguments_(std::move(arguments)),
      runHost_(MakeRunHost(*this)),
      run_(*runHost_, platform, Settings, this)
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

    InstallEngineHooks();

    CurrentFileName.clear();
    ZoomNumerator = 1;
    ZoomDenominator = 1;

    if (Settings.gViewProportional) {
        document_.view = kViewProportional;
        StatusBar->SetPanelText(1, texts::kAutoSize);
    } else {
        document_.view = kView100;
        StatusBar->SetPanelText(1, QStringLiteral("(100%)"));
    }
    setAcceptDrops(true);
    FirstShowPending = true;

    Image->hide();
    lbl_StartInfo->show();
    ScrollBox->SetContent(ViewArea::Content::Empty);
    ApplyCommandState();
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

void TFm_Main::InstallEngineHooks()
{
    Rotator.OnMessage = [this](const std::string& text, int level) {
        ShowEngineMessage(QString::fromStdString(text), level);
    };
    Rotator.OnDHTWarning = [this] { ShowDHTWarning(); };
    Rotator.OnProgressMax = [this](int maximum) { ProgressBar->setMaximum(maximum); };
    Rotator.OnProgress = [this](int position) { ProgressBar->setValue(position); };
}

void TFm_Main::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Opening may show modal boxes: let the window finish showing first.
    if (FirstShowPending) QMetaObject::invokeMethod(this, &TFm_Main::FormShow, Qt::QueuedConnection);
}

void TFm_Main::FormShow()
{
    if (!FirstShowPending) return;
    FirstShowPending = false;
    if (arguments_.size() != 1) return;
    StartFileList(GatherCommandLine(arguments_, ExpandLongPath));
}

void TFm_Main::closeEvent(QCloseEvent* event)
{
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
    CurrentFileName = path;

    std::vector<uint8_t> bytes;
    QString error;
    if (!ReadWholeFile(path, bytes, &error)) {
        RecoverFromFailedOpen(error);
        return false;
    }
    SourceStream = pivotta::TMemoryStream(std::move(bytes));
    if (!PreviewImage.Load(SourceStream.Memory(), SourceStream.Size(), &error)) {
        RecoverFromFailedOpen(error);
        return false;
    }
    Image->PictureChanged();

    const FileTimes times = platform_.ReadFileTimes(path);
    SourceCreationTime = times.creation;
    SourceLastWriteTime = times.lastWrite;

    UpdateTitleAndLayout();
    StatusBar->SetPanelText(0, OpenedFileStatus(path, PreviewImage.Width(), PreviewImage.Height()));
    repaint();

    Rotator.AllowAdjustMCU = Settings.gAllowAdjustMCU;
    bool accepted = false;
    try {
        accepted = Rotator.CheckJpeg(SourceStream);
    } catch (const std::exception& e) {
        ReportError(QString::fromUtf8(e.what()));
    }
    document_.fileAccepted = accepted;
    document_.exifOrientation = accepted ? Rotator.Orientation().value_or(0) : 0;
    if (const QString suffix = OrientationStatusSuffix(document_.exifOrientation); !suffix.isEmpty()) {
        StatusBar->SetPanelText(0, OpenedFileStatus(path, PreviewImage.Width(), PreviewImage.Height()) + suffix);
    }
    SetUnturnedState();
    ResultStream.CopyFrom(SourceStream);
    document_.resultSavable = true;
    ApplyCommandState();
    return true;
}

void TFm_Main::RecoverFromFailedOpen(const QString& error)
{
    // Nothing of the previous file may stay behind to be saved under the new name.
    SourceStream.Clear();
    ResultStream.Clear();
    PreviewImage.Clear();
    Image->PictureChanged();
    SourceCreationTime = QDateTime();
    SourceLastWriteTime = QDateTime();
    document_.resultSavable = false;
    Uty_CloseJpegFile();
    ReportError(error);
}

void TFm_Main::mnu_FileCloseClick()
{
    Uty_CloseJpegFile();
}

void TFm_Main::Uty_CloseJpegFile()
{
    setWindowTitle(texts::kAppTitle);
    document_.fileAccepted = false;
    document_.exifOrientation = 0;
    SetUnturnedState();
    ApplyCommandState();
    StatusBar->SetPanelText(0, QString());
    CurrentFileName.clear();
    lbl_StartInfo->show();
    Image->hide();
    ScrollBox->SetContent(ViewArea::Content::Empty);
}

void TFm_Main::SetUnturnedState()
{
    document_.selection = pivotta::TransformKind::NoRotation;
    document_.autoOriented = false;
}

// ---- Title, layout and view ----

void TFm_Main::UpdateTitleAndLayout()
{
    setWindowTitle(MainWindowTitle(CurrentFileName, MultiFileMode(), FileIndex(), static_cast<int>(FileList().size())));
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
        Image->resize(ScaledPictureSize(PreviewImage.Size(), ZoomNumerator, ZoomDenominator));
    }
}

void TFm_Main::SetView(int view)
{
    const ViewCommand& command = kViewCommands[view];
    if (view == kViewProportional) {
        StatusBar->SetPanelText(1, texts::kAutoSize);
        Settings.gViewProportional = true;
    } else {
        ZoomNumerator = command.numerator;
        ZoomDenominator = command.denominator;
        StatusBar->SetPanelText(1, u'(' + QString::fromUtf8(command.caption) + u')');
        Settings.gViewProportional = false;
    }
    document_.view = view;
    ApplyCommandState();
    UpdateTitleAndLayout();
}

void TFm_Main::mnu_View20Click() { SetView(0); }
void TFm_Main::mnu_View25Click() { SetView(1); }
void TFm_Main::mnu_View33Click() { SetView(2); }
void TFm_Main::mnu_View50Click() { SetView(3); }
void TFm_Main::mnu_View75Click() { SetView(4); }
void TFm_Main::mnu_View100Click() { SetView(5); }
void TFm_Main::mnu_View150Click() { SetView(6); }
void TFm_Main::mnu_View200Click() { SetView(7); }
void TFm_Main::mnu_ViewProportionalClick() { SetView(kViewProportional); }

void TFm_Main::StatusBarResize()
{
    const int scaleRoom = QFontMetrics(StatusBar->font()).horizontalAdvance(QStringLiteral("  (AutoSize)  "));
    StatusBar->SetFirstPanelWidth(StatusBar->width() - scaleRoom);
}

void TFm_Main::ScrollBoxMouseWheelDown()
{
    QScrollBar* bar = ScrollBox->verticalScrollBar();
    bar->setValue(bar->value() - WheelIncrement(ScrollBox->viewport()->height()));
}

void TFm_Main::ScrollBoxMouseWheelUp()
{
    QScrollBar* bar = ScrollBox->verticalScrollBar();
    bar->setValue(bar->value() + WheelIncrement(ScrollBox->viewport()->height()));
}

// ---- Command states ----

QAction* TFm_Main::Command(const char* name) const
{
    const auto found = commands_.find(QString::fromLatin1(name));
    return found == commands_.end() ? nullptr : found->second;
}

void TFm_Main::ApplyCommandState()
{
    for (const CommandState& state : DeriveCommandStates(document_)) {
        QAction* action = Command(state.name);
        if (!action) continue;
        action->setEnabled(state.enabled);
        if (action->isCheckable()) action->setChecked(state.checked);
    }
}

// ---- Messages and the dialogs of other windows ----

void TFm_Main::ShowEngineMessage(const QString& text, int level)
{
    if (const auto box = EngineMessageBox(text, level)) {
        platform_.ShowMessage(this, box->caption, box->text, box->icon, box->buttons);
    }
}

void TFm_Main::ShowDHTWarning()
{
    if (Settings.gDHTWarning && DHTWarningDialog) Settings.gDHTWarning = DHTWarningDialog(true);
}

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
