// The program's main window: shows the photo document, holds the view and the run over the
// files of the last open action; its private slots are the user's commands.
#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "AppSettings.h"
#include "JpegPicture.h"
#include "MainCommands.h"
#include "MultiFileRun.h"
#include "PhotoDocument.h"
#include "ProcessingClock.h"
#include "SettingsStore.h"

class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QToolBar;

namespace pivotta::app {

class Platform;
class PictureView;
class StatusPanels;
class ViewArea;

class TFm_Main : public QMainWindow, private DocumentEvents {
    Q_OBJECT
public:
    // arguments: the command line without the program's own path.
    TFm_Main(Platform& platform, SettingsKey& settingsKey, QStringList arguments, QWidget* parent = nullptr);
    ~TFm_Main() override;

    // Opens and shows one file; false when it could not be read or shown (the window is then
    // as after closing).
    bool Uty_OpenJpegFile(const QString& path);
    void Uty_CloseJpegFile();
    // Writes all of stream to path atomically and gives it the kept file times as the
    // options say; false (after an error box) when the file could not be written.
    bool Uty_SaveOutputJpegFile(const pivotta::TMemoryStream& stream, const QString& path);
    void UpdateTitleAndLayout();
    // Before the picture on show gives way: asks whether an unsaved result is to be saved
    // over the opened file. False when the user cancels or the save failed.
    bool Uty_ResultMayBeClosed();
    // Takes the list an open action gathered: two or more files start a run, one is opened
    // alone, none ends any run and leaves the file on show.
    void StartFileList(const QStringList& files);
    // The names the shell dropped on the window.
    void WMDropFiles(const QStringList& names);

    // The options, edited in place by the options dialog.
    AppSettings Settings;

    // The document on show and the run over the files of the last open action: what the
    // window's commands work on.
    PhotoDocument& Document() { return document_; }
    const PhotoDocument& Document() const { return document_; }
    const MultiFileRun& Run() const { return run_; }

    // The dialogs, wired in at start (ProgramWindows). The two with a show-next-time box
    // return its final state.
    std::function<bool(bool showNextTime)> DHTWarningDialog;
    std::function<bool(bool showNextTime, const std::function<QString()>& resultFolder)> FolderProcessInfoDialog;
    std::function<void()> OptionsDialog;
    std::function<void()> AboutBox;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void mnu_FileOpenClick();
    void mnu_FolderOpenClick();
    void mnu_FileSaveAsClick();
    void mnu_FileSaveClick();
    void mnu_FileCloseClick();
    void mnu_FileOptionClick();
    void mnu_FileExitClick();
    void tbn_FileSaveClick();

    // The rows of kTransformCommands and kViewCommands: button and menu items alike.
    void TransformCommandClick(const TransformCommand& command);
    void ViewCommandClick(int view);

    void RunCommandClick(const RunCommand& command);

    void mnu_HelpViewClick();
    void mnu_HelpAboutClick();

    void StatusBarResize();
    void ScrollBoxMouseWheelDown();
    void ScrollBoxMouseWheelUp();

private:
    // The engine's hooks, through the document.
    void EngineMessage(const QString& text, int level) override;
    void HuffmanTablesReplaced() override;
    void ProgressMaximum(int maximum) override;
    void ProgressPosition(int position) override;

    void FormCreate();
    void FormShow();
    void FormClose();

    // Building the window (TFm_Main_Layout.cpp).
    void LoadImageList();
    void BuildMenus();
    void BuildViewCommands();
    void BuildToolBar();
    QAction* AddButton(const char* name, int image, const QString& tip);
    void BuildCentralArea();
    QAction* AddCommand(QMenu* menu, const char* name, const QString& caption);
    void Register(QAction* action, const char* name);

    void ApplyPlacement(const WindowPlacement& placement);
    WindowPlacement CurrentPlacement() const;

    // Every enabled, checked, down and shown state of the commands, from the document, the
    // view and the run.
    void UpdateActions();
    void ShowRunResultFolder();
    // The action of a named command (menu item, popup item or toolbar button).
    QAction* Command(const char* name) const;
    void SetView(int view);
    void LayoutPicture();
    void ShowPicture(std::span<const uint8_t> bytes);
    void ShowUnturned();
    void RecoverFromFailedOpen(const QString& error);
    void RunTransform(pivotta::TransformKind kind, bool autoOriented = false);
    void ReportError(const QString& text);
    // A modal box opened by an engine hook: the processing clock stands still while it is up.
    template <typename ShowBox>
    auto WithClockStopped(ShowBox&& show);
    // What the run needs of this window (TFm_Main_MultiFile.cpp).
    class RunHost;
    static std::unique_ptr<MultiFileHost> MakeRunHost(TFm_Main& window);

    Platform& platform_;
    SettingsKey& settingsKey_;
    QStringList arguments_;
    PhotoDocument document_;
    JpegPicture previewImage_;
    int view_ = kView100;  // index into kViewCommands
    int32_t zoomNumerator_ = 1;
    int32_t zoomDenominator_ = 1;
    bool firstShowPending_ = true;
    ProcessingClock clock_;
    std::map<QString, QAction*> commands_;
    std::unique_ptr<MultiFileHost> runHost_;
    MultiFileRun run_;

    // Window elements, named as the user's commands and tests know them.
    QMenuBar* MainMenu = nullptr;
    QToolBar* ToolBar1 = nullptr;
    ViewArea* ScrollBox = nullptr;
    PictureView* Image = nullptr;
    QLabel* lbl_StartInfo = nullptr;
    QWidget* Panel_Under = nullptr;
    QProgressBar* ProgressBar = nullptr;
    StatusPanels* StatusBar = nullptr;
    QMenu* PopupMenu = nullptr;
    QMenu* mnu_File = nullptr;
    QMenu* mnu_View = nullptr;
    QMenu* mnu_Operation = nullptr;
    QMenu* mnu_Help = nullptr;
    QAction* mnu_FileOpen = nullptr;
    QAction* mnu_FolderOpen = nullptr;
    QAction* mnu_FileSaveAs = nullptr;
    QAction* mnu_FileSave = nullptr;
    QAction* mnu_FileClose = nullptr;
    QAction* mnu_FileOption = nullptr;
    QAction* mnu_FileExit = nullptr;
    QAction* mnu_HelpView = nullptr;
    QAction* mnu_HelpAbout = nullptr;
    QAction* tbn_FileOpen = nullptr;
    QAction* tbn_FileSave = nullptr;
    std::vector<QAction*> runButtons_;  // tbn_previous, tbn_Next
    std::vector<QIcon> ImageList;
};

}  // namespace pivotta::app
