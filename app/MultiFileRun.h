// Stepping through a list of files: the run's state, Next with its save decision, Previous,
// and the messages of a run. The window that shows the files is reached through
// MultiFileHost, the user through Platform, so tests drive a run without a window.
#pragma once

#include <QString>
#include <QStringList>

#include "AppSettings.h"

class Platform;
class QWidget;

// What a run needs from the main window.
class MultiFileHost {
public:
    virtual ~MultiFileHost() = default;

    // Uty_OpenJpegFile: shows the file; a file that cannot be opened is reported there.
    virtual void OpenFile(const QString& path) = 0;
    // The path of the file on show; empty when none is.
    virtual QString CurrentFileName() const = 0;
    // True when a transform is selected for the shown file ("回転しない" is up).
    virtual bool TransformApplied() const = 0;
    // True when the selected transform failed, so the result holds only part of a picture.
    virtual bool TransformFailed() const = 0;
    // Uty_SaveOutputJpegFile with the shown result. Returns false when the file could not be
    // written, after reporting it ("ファイル %s を作成できません") as every save does.
    virtual bool SaveResult(const QString& target) = 0;
    // Shows or hides tbn_Next and tbn_previous.
    virtual void SetRunButtonsVisible(bool visible) = 0;
    // TFm_FolderProcessInfo::ShowDialog: returns the final state of its show-next-time box.
    virtual bool ShowFolderProcessInfo(bool showNextTime) = 0;
};

class MultiFileRun {
public:
    // settings are the window's own, read when a run starts (gFolderProcessInfo is also written).
    MultiFileRun(MultiFileHost& host, Platform& platform, AppSettings& settings, QWidget* parent = nullptr);

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

private:
    void EnterMultiFileMode();
    void EndRun();
    // Returns false when the step must stop on the shown file.
    bool SaveShownFile();

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
