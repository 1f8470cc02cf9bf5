#include "MultiFileRun.h"

#include <QDir>
#include <QFileInfo>

#include "AppTexts.h"
#include "FileGathering.h"
#include "Platform.h"

namespace pivotta::app {

namespace {

QString ForDisplay(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace

MultiFileRun::MultiFileRun(const ShownDocument& document, MultiFileHost& host, Platform& platform,
                           AppSettings& settings, QWidget* parent)
    : document_(document),
      host_(host), platform_(platform), settings_(settings), parent_(parent)
{
}

void MultiFileRun::StartFileList(const QStringList& files)
{
    fileList_ = files;
    fileIndex_ = 0;
    if (fileList_.size() >= 2) {
        EnterMultiFileMode();
    } else {
        multiFileMode_ = false;
        host_.RunModeChanged();
    }
    if (!fileList_.isEmpty()) host_.OpenFile(fileList_.front());
}

void MultiFileRun::EnterMultiFileMode()
{
    // First, so that options changed through the dialog's link apply to this run.
    if (settings_.gFolderProcessInfo) {
        settings_.gFolderProcessInfo = host_.ShowFolderProcessInfo(true, [this] { return PlannedResultFolder(); });
    }

    runSaveResult_ = settings_.gSaveResult;
    runForceSave_ = settings_.gForceSave;
    resultFolder_ = settings_.gSaveFolder;
    fileIndex_ = 0;

    if (settings_.gSaveResult) {
        resultFolder_ = PlannedResultFolder();
        if (QFileInfo(resultFolder_).isDir()) {
            platform_.ShowMessage(parent_, texts::kInformationCaption,
                                  QStringLiteral("フォルダ \"") + ForDisplay(resultFolder_) +
                                      QStringLiteral("\"はすでに存在します。\r自動保存を行うと同名のファイルは上書きされます"),
                                  MessageIcon::Information, MessageButtons::Ok);
        }
    }

    multiFileMode_ = true;
    host_.RunModeChanged();
}

QString MultiFileRun::PlannedResultFolder() const
{
    if (!settings_.gSaveResult || fileList_.isEmpty()) return {};
    return ResultFolderFor(fileList_.front(), settings_.gSaveSameFolder, settings_.gSaveFolder,
                           platform_.DesktopFolder());
}

void MultiFileRun::Next()
{
    if (!multiFileMode_) return;
    if (!SaveShownFile()) return;

    ++fileIndex_;
    if (fileIndex_ < fileList_.size()) {
        host_.OpenFile(fileList_[fileIndex_]);
        return;
    }
    QString finished = texts::kRunFinished;
    // Named only where results went: a run that had nothing to save made no folder.
    if (runSaveResult_ && QFileInfo(resultFolder_).isDir()) {
        finished += u'\r' + texts::kResultFolderLine + ForDisplay(resultFolder_);
    }
    platform_.ShowMessage(parent_, texts::kAppTitle, finished, MessageIcon::None, MessageButtons::Ok);
    EndRun();
}

bool MultiFileRun::SaveShownFile()
{
    const QString shown = document_.Path();
    // With the shown file closed there is nothing to save; the run simply steps on.
    if (shown.isEmpty()) return true;
    if (!runSaveResult_ || !(runForceSave_ || !document_.Unturned())) return true;

    if (!document_.ResultSavable()) {
        // A partial picture must not replace an earlier good result of the same name.
        platform_.ShowMessage(parent_, texts::kWarningCaption,
                              QStringLiteral("ファイル ") + ForDisplay(shown) +
                                  QStringLiteral(" は処理に失敗したため保存しませんでした。"),
                              MessageIcon::Warning, MessageButtons::Yes);
        return true;
    }

    if (!QFileInfo(resultFolder_).isDir()) QDir().mkdir(resultFolder_);
    const QString target = JoinPath(resultFolder_, FileNameOf(shown));
    QString error;
    if (document_.Save(target, &error)) return true;
    host_.ReportError(error);
    return false;
}

void MultiFileRun::Previous()
{
    if (!multiFileMode_ || fileIndex_ <= 0) return;
    --fileIndex_;
    host_.OpenFile(fileList_[fileIndex_]);
}

void MultiFileRun::EndRun()
{
    multiFileMode_ = false;
    host_.RunModeChanged();
}

}  // namespace pivotta::app
