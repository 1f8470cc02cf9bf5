// The photo on show, apart from any window: the opened file's bytes and times, the result a
// save would write, the engine that makes it and the flags it runs with. It reads, checks,
// transforms and saves; what the engine has to say goes out through DocumentEvents.
#pragma once

#include <QDateTime>
#include <QString>
#include <span>

#include "AppSettings.h"
#include "JpegRotation.h"
#include "MemoryStream.h"
#include "TransformKind.h"

namespace pivotta::app {

class Platform;

// The engine's hooks, as the document's owner sees them. They run synchronously inside
// Check and Transform.
class DocumentEvents {
public:
    virtual ~DocumentEvents() = default;
    virtual void EngineMessage(const QString& text, int level) = 0;
    virtual void HuffmanTablesReplaced() = 0;
    virtual void ProgressMaximum(int maximum) = 0;
    virtual void ProgressPosition(int position) = 0;
};

// What a run over several files reads of the document on show, and the one thing it asks.
class ShownDocument {
public:
    virtual ~ShownDocument() = default;
    // Empty when no file is on show.
    virtual const QString& Path() const = 0;
    // The result holds the file's own bytes.
    virtual bool Unturned() const = 0;
    // The result is a whole picture (not a failed transform's part).
    virtual bool ResultSavable() const = 0;
    [[nodiscard]] virtual bool Save(const QString& path, QString* error) const = 0;
};

class PhotoDocument : public ShownDocument {
public:
    // settings are read at each check, transform and save, so a change applies to the next one.
    // Only platform's file-time services are used.
    PhotoDocument(Platform& platform, const AppSettings& settings, DocumentEvents& events);

    PhotoDocument(const PhotoDocument&) = delete;
    PhotoDocument& operator=(const PhotoDocument&) = delete;

    // Reads the whole file and its times. False, with "ファイル … を開けません" in error and the
    // document closed, when it cannot be read.
    [[nodiscard]] bool Read(const QString& path, QString* error);
    // CheckJpeg on the bytes read; the result becomes a copy of them and the selection the
    // unturned picture. Returns whether the engine accepted the file (its reasons went through
    // EngineMessage).
    bool Check();
    // Forgets the file: no path, no bytes or times, nothing to save, the unturned selection.
    void Close();

    // The transform the next RunSelectedTransform makes; the window shows it before the run.
    // autoOriented: the kind is the one the file's Exif Orientation asks for.
    void SelectTransform(pivotta::TransformKind kind, bool autoOriented = false)
    {
        selection_ = kind;
        autoOriented_ = autoOriented;
    }
    // Makes the result from the opened bytes (never from an earlier result). False when the
    // engine failed: its message went through EngineMessage. A failed result is never savable.
    bool RunSelectedTransform();

    // Writes the whole result atomically and gives the file the opened file's times as the
    // options say. False, with "ファイル … を作成できません" in error, when it could not be written.
    [[nodiscard]] bool Save(const QString& path, QString* error) const override;
    // The same for any stream (the window's Uty_SaveOutputJpegFile).
    [[nodiscard]] bool SaveStream(const pivotta::TMemoryStream& stream, const QString& path, QString* error) const;

    // The bytes of the picture the result holds: empty after a failed transform.
    std::span<const uint8_t> ResultPicture() const;

    const QString& Path() const override { return path_; }
    bool IsOpen() const { return !path_.isEmpty(); }
    bool Accepted() const { return accepted_; }
    bool ResultSavable() const override { return resultSavable_; }
    pivotta::TransformKind Selection() const { return selection_; }
    bool Unturned() const override { return selection_ == pivotta::TransformKind::NoRotation; }
    bool AutoOriented() const { return autoOriented_; }
    // A transformed result that no save has written yet: closing it would lose it.
    bool HasUnsavedResult() const { return accepted_ && resultSavable_ && !Unturned() && !resultWritten_; }
    // The accepted file's Exif Orientation value; 0 when it has none.
    uint32_t ExifOrientation() const { return exifOrientation_; }

    const pivotta::TMemoryStream& Source() const { return source_; }
    const pivotta::TMemoryStream& Result() const { return result_; }
    const QDateTime& CreationTime() const { return creationTime_; }
    const QDateTime& LastWriteTime() const { return lastWriteTime_; }
    pivotta::TJpegRotation& Engine() { return rotator_; }

private:
    // Every engine flag comes from the settings here, just before the engine runs.
    void ApplyEngineOptions();
    void InstallEngineHooks();

    Platform& platform_;
    const AppSettings& settings_;
    DocumentEvents& events_;

    QString path_;
    pivotta::TMemoryStream source_;
    pivotta::TMemoryStream result_;
    QDateTime creationTime_;
    QDateTime lastWriteTime_;
    pivotta::TJpegRotation rotator_;
    bool accepted_ = false;
    bool resultSavable_ = false;
    // A save changes the disk, not the picture: it may mark the result written.
    mutable bool resultWritten_ = false;
    pivotta::TransformKind selection_ = pivotta::TransformKind::NoRotation;
    bool autoOriented_ = false;
    uint32_t exifOrientation_ = 0;
};

}  // namespace pivotta::app
