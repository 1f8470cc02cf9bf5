#include "PhotoDocument.h"

#include <algorithm>
#include <exception>

#include "AppTexts.h"
#include "FileIO.h"
#include "FileKind.h"
#include "Platform.h"

namespace pivotta::app {

namespace {

QString EngineErrorText(const std::exception& e)
{
    const QString text = QString::fromUtf8(e.what());
    return text.isEmpty() ? texts::kCannotProcess : text;
}

}  // namespace

PhotoDocument::PhotoDocument(Platform& platform, const AppSettings& settings, DocumentEvents& events)
    : platform_(platform), settings_(settings), events_(events)
{
    InstallEngineHooks();
}

void PhotoDocument::InstallEngineHooks()
{
    rotator_.OnCodedMessage = [this](const pivotta::EngineMessage& message) {
        // OnDHTWarning has its own dialog.
        if (message.code == pivotta::MessageCode::OptimizedTables) return;
        QString text = QString::fromStdString(message.text);
        if (const QString kind = RefusedKindLine(message.code); !kind.isEmpty()) text += u'\r' + kind;
        events_.EngineMessage(text, message.level);
    };
    rotator_.OnDHTWarning = [this] { events_.HuffmanTablesReplaced(); };
    rotator_.OnProgressMax = [this](int maximum) { events_.ProgressMaximum(maximum); };
    rotator_.OnProgress = [this](int position) { events_.ProgressPosition(position); };
}

void PhotoDocument::ApplyEngineOptions()
{
    rotator_.AllowBreakDCF = settings_.gAllowBreakDCF;
    rotator_.AllowAdjustMCU = settings_.gAllowAdjustMCU;
    rotator_.TablePolicy = settings_.gOptimizeHuffman ? pivotta::HuffmanTablePolicy::Optimize
                                                      : pivotta::HuffmanTablePolicy::Standard;
    rotator_.Coding = static_cast<pivotta::OutputCoding>(settings_.gOutputCoding);
    // Turning by the tag while keeping it would have every viewer turn the picture again.
    rotator_.KeepOrientation = !settings_.gResetOrientation && !autoOriented_;
}

bool PhotoDocument::Read(const QString& path, QString* error)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error)) {
        // Nothing of the previous file may stay behind to be saved under the new name.
        Close();
        return false;
    }
    Close();
    path_ = path;
    source_ = pivotta::TMemoryStream(std::move(bytes));
    const FileTimes times = platform_.ReadFileTimes(path);
    creationTime_ = times.creation;
    lastWriteTime_ = times.lastWrite;
    return true;
}

bool PhotoDocument::Check(QString* error)
{
    ApplyEngineOptions();
    accepted_ = false;
    try {
        accepted_ = rotator_.CheckJpeg(source_);
    } catch (const std::exception& e) {
        if (error) *error = EngineErrorText(e);
    }
    selection_ = pivotta::TransformKind::NoRotation;
    autoOriented_ = false;
    exifOrientation_ = accepted_ ? rotator_.Orientation().value_or(0) : 0;
    result_.CopyFrom(source_);
    resultSavable_ = true;
    resultWritten_ = false;
    return accepted_;
}

void PhotoDocument::Close()
{
    path_.clear();
    accepted_ = false;
    selection_ = pivotta::TransformKind::NoRotation;
    autoOriented_ = false;
    exifOrientation_ = 0;
    // A closed photo's bytes are of no further use, and may be large.
    source_.Clear();
    result_.Clear();
    creationTime_ = QDateTime();
    lastWriteTime_ = QDateTime();
    resultSavable_ = false;
    resultWritten_ = false;
}

bool PhotoDocument::RunSelectedTransform(QString* error)
{
    if (selection_ == pivotta::TransformKind::NoRotation) {
        source_.SetPosition(0);
        result_.CopyFrom(source_);
        resultSavable_ = true;
        return true;
    }
    ApplyEngineOptions();
    resultWritten_ = false;
    bool succeeded = false;
    try {
        succeeded = rotator_.RotateJpeg(source_, result_, selection_);
    } catch (const std::exception& e) {
        if (error) *error = EngineErrorText(e);
    }
    resultSavable_ = succeeded;
    return succeeded;
}

std::span<const uint8_t> PhotoDocument::ResultPicture() const
{
    // A failed run leaves its partial output positioned at its end: nothing to show.
    if (!resultSavable_) return {};
    const size_t position = std::min(result_.Position(), result_.Size());
    return {result_.Memory() + position, result_.Size() - position};
}

bool PhotoDocument::Save(const QString& path, QString* error) const
{
    return SaveStream(result_, path, error);
}

bool PhotoDocument::SaveStream(const pivotta::TMemoryStream& stream, const QString& path, QString* error) const
{
    if (!WriteFileAtomically(path, stream.Memory(), stream.Size(), error)) return false;
    // The platform may refuse a time (a creation time outside Windows); the file stands all the same.
    if (settings_.gKeepTimeStamp_Create) platform_.SetCreationTime(path, creationTime_);
    if (settings_.gKeepTimeStamp_Write) platform_.SetLastWriteTime(path, lastWriteTime_);
    if (&stream == &result_) resultWritten_ = true;
    return true;
}

}  // namespace pivotta::app
