// Stepping through a list of files: the run's state, Next with its save decision, Previous,
// and the messages of a run. The window that shows the files is reached through
// MultiFileHost, the file on show through ShownDocument, the user through Platform, so tests drive a run without a window.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "AppSettings.h"
#include "PhotoDocument.h"

class QWidget;

namespace pivotta::app {

class Platform;

// What a run needs from the main window.
class MultiFileHost {
public:
    virtual ~MultiFileHost() = default;

    // Uty_OpenJpegFile: shows the file; a file that cannot be opened is reported there.
    virtual void OpenFile(const QString& path) = 0;
    // The run began or ended: tbn_Next and tbn_previous follow MultiFileMode.
    virtual void RunModeChanged() = 0;
    // TFm_FolderProcessInfo::ShowDialog: returns the final state of its show-next-time box.
    // resultFolder tells, each time it is called, where Next would save (PlannedResultFolder).
    virtual bool ShowFolderProcessInfo(bool showNextTime, const std::function<QString()>& resultFolder) = 0;
    // A save that failed ("ファイル %s を作成できません"), reported as every save does.
    virtual void ReportError(const QString& text) = 0;
};

class MultiFileRun {
public:
    // settings are the window's own, read when a run starts (gFolderProcessInfo is also written).
    MultiFileRun(const ShownDocument& document, MultiFileHost& host, Platform& platform, AppSettings& settings,
                 QWidget* parent = nullptr);

    // StartFileList: takes a freshly gathered list. Two or more files start a run; one file
    // is opened alone; an empty list ends any run and leaves the shown file alone.
    void StartFileList(const QStringList& files);

    // tbn_NextClick: saves the shown file as the run's options say, then shows the next one,
    // or ends the run after the last.
    void Next();
    // tbn_previousClick: shows the previous file without saving.
    void Previous();

    bool MultiFileMode() const { return multiFileMode_; }
    const QStringList& FileList() const { return fileList_; }
    int FileIndex() const { return fileIndex_; }
    bool RunSaveResult() const { return runSaveResult_; }
    bool RunForceSave() const { return runForceSave_; }
    const QString& ResultFolder() const { return resultFolder_; }
    // Where Next saves under the current options, whether or not the folder exists yet;
    // empty when the options save nothing.
    QString PlannedResultFolder() const;

private:
    void EnterMultiFileMode();
    void EndRun();
    // Returns false when the step must stop on the shown file.
    bool SaveShownFile();

    const ShownDocument& document_;
    MultiFileHost& host_;
    Platform& platform_;
    AppSettings& settings_;
    QWidget* parent_;

    QStringList fileList_;
    int fileIndex_ = 0;
    bool multiFileMode_ = false;
    bool runSaveResult_ = false;
    bool runForceSave_ = false;
    QString resultFolder_;
};

}  // namespace pivotta::app
