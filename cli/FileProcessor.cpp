#include "FileProcessor.h"

#include <exception>
#include <new>
#include <optional>
#include <string>

#include "FileSystem.h"
#include "JpegRotation.h"
#include "MemoryStream.h"
#include "MessageTexts.h"
#include "NameQuoting.h"

namespace pivotta::cli {
namespace {

// Runs one engine operation; anything it throws (a stream error, memory exhaustion) is
// reported as this file's error rather than ending the whole run.
template <typename Operation>
bool RunGuarded(FileMessages& messages, Operation&& operation) {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        messages.Error("not enough memory");
    } catch (const std::exception& e) {
        messages.Error(e.what());
    }
    return false;
}

// A false result must never pass without a word, and an error must never pass as success.
bool Succeeded(bool engineResult, FileMessages& messages, const char* operation) {
    if (!engineResult && !messages.HasError()) messages.Error(std::string(operation) + " failed");
    return engineResult && !messages.HasError();
}

std::string Quoted(const std::string& path) {
    return QuotedName(path);
}

// Where a result goes, settled before the input is read so that a refused target costs
// nothing and a special file is never replaced.
enum class Destination { Nowhere, StandardOutput, IntoSpecialFile, ReplaceOrCreate };

struct DestinationChoice {
    Destination where = Destination::Nowhere;
    std::string refusal;
};

std::string ReplaceRefusal(const std::string& path, bool force) {
    const ReplaceVerdict verdict = CheckReplaceable(path);
    switch (verdict.check) {
    case ReplaceCheck::Allowed: return {};
    case ReplaceCheck::WriteProtected:
        if (force) return {};
        return "cannot replace " + Quoted(path) + ": permission denied (it is write-protected; -f/--force replaces it)";
    case ReplaceCheck::FolderNotWritable:
        return "cannot replace " + Quoted(path) + ": its folder is not writable (" + verdict.reason +
               "), so no new file can take its place";
    }
    return {};
}

DestinationChoice ChooseDestination(const FileJob& job, const CliOptions& options) {
    if (options.mode == RunMode::Check) return {};
    if (job.target == kStandardStream) {
        // As gzip does: a picture's bytes would only garble the terminal.
        if (StandardOutputIsTerminal()) {
            return {Destination::Nowhere, "standard output is a terminal: not writing a JPEG to it (redirect it to a "
                                          "file or a pipe, e.g. '> out.jpg')"};
        }
        return {Destination::StandardOutput, {}};
    }
    const PathInfo info = InspectPath(job.target);
    if (options.mode == RunMode::InPlace && info.kind == PathKind::Special) {
        return {Destination::Nowhere, "--in-place replaces regular files only, and " + Quoted(job.target) +
                                          " is a device, FIFO or socket"};
    }
    if (info.kind == PathKind::Special || (info.kind == PathKind::Regular && NamesDeviceOrDescriptor(job.target))) {
        if (options.mode == RunMode::OutputDir) {
            return {Destination::Nowhere, "cannot write " + Quoted(job.target) +
                                              ": it exists and is not a regular file (-o writes regular files only)"};
        }
        return {Destination::IntoSpecialFile, {}};
    }
    if (info.kind == PathKind::Regular) return {Destination::ReplaceOrCreate, ReplaceRefusal(job.target, options.force)};
    return {Destination::ReplaceOrCreate, {}};
}

ReadResult ReadInput(const FileJob& job) {
    return job.input == kStandardStream ? ReadStandardInput() : ReadWholeFile(job.input);
}

WriteResult WriteResultBytes(const FileJob& job, Destination where, const TMemoryStream& result,
                             const ReadResult& source, bool keepTimes) {
    std::span<const uint8_t> bytes(result.Memory(), result.Size());
    if (where == Destination::StandardOutput) return WriteStandardOutput(bytes);
    if (where == Destination::IntoSpecialFile) return WriteIntoSpecialFile(job.target, bytes);
    const FileTimes* times = keepTimes && source.times ? &*source.times : nullptr;
    return WriteFileAtomically(job.target, bytes, times);
}

// The ragged-edge warnings are held back until the frame is known: whether the edge moves
// inside depends on the frame and the transform together.
class EngineMessageFilter {
public:
    EngineMessageFilter(FileMessages& messages, TrimMode trim) : messages_(messages), trim_(trim) {}

    void operator()(const EngineMessage& message) {
        if (message.code == MessageCode::RaggedEdgeTrimmed || message.code == MessageCode::RaggedEdgeKept) {
            ragged_ = message;
        } else {
            messages_.Engine(message);
        }
    }

    // --no-trim warns as the engine does; trimming warns only where it cuts something;
    // --perfect says it in its refusal.
    void FrameKnown(const std::optional<TransformKind>& kind, bool movesInside) {
        if (!ragged_) return;
        if (trim_ == TrimMode::Keep || (trim_ == TrimMode::Trim && kind && movesInside)) messages_.Engine(*ragged_);
        ragged_.reset();
    }

private:
    FileMessages& messages_;
    TrimMode trim_;
    std::optional<EngineMessage> ragged_;
};

// The kind that rights the file by its Exif Orientation; NoRotation when it is upright already.
TransformKind UprightKindOf(const TJpegRotation& engine, FileMessages& messages) {
    const std::optional<uint32_t> orientation = engine.Orientation();
    if (!orientation) return TransformKind::NoRotation;
    if (const std::optional<TransformKind> kind = UprightKind(*orientation)) return *kind;
    messages.Warning("Exif orientation " + std::to_string(*orientation) +
                     " is not one of 1 to 8; the picture is taken as upright [" + std::string(kBadOrientationCode) +
                     "]");
    return TransformKind::NoRotation;
}

// ", gain map 1020x768, preview 1920x1440": what --check found after the main picture.
std::string FurtherPictures(const PhotoInfo& photo) {
    std::string text;
    for (const PictureInfo& p : photo.pictures) {
        text += p.role == PictureRole::GainMap ? ", gain map " : p.role == PictureRole::Preview ? ", preview " : ", picture ";
        text += std::to_string(p.width) + "x" + std::to_string(p.height);
    }
    return text;
}

void WriteOrReport(const FileJob& job, Destination where, const TMemoryStream& bytes, const ReadResult& source,
                   const CliOptions& options, FileMessages& messages) {
    WriteResult written = WriteResultBytes(job, where, bytes, source, options.keepTimes);
    if (!written.ok) {
        const std::string target = job.target == kStandardStream ? "standard output" : Quoted(job.target);
        messages.Error("cannot write " + target + ": " + written.error);
    }
}

const char* TableOutcomeName(TableOutcome outcome) {
    switch (outcome) {
        case TableOutcome::Kept: return "kept";
        case TableOutcome::Optimized: return "optimized";
        case TableOutcome::Standard: return "standard";
    }
    return "kept";
}

void CleanFolder(const FileJob& job, FileMessages& messages) {
    if (!IsDirectory(job.input)) return messages.Error("not a folder");
    const files::StaleCleanup cleanup = files::RemoveStaleTemporaries(job.input);
    for (const std::string& path : cleanup.removed) messages.Result("removed " + Quoted(FileNameOf(path)));
    for (const std::string& error : cleanup.errors) messages.Error("cannot remove " + error);
}

void Process(const FileJob& job, const CliOptions& options, unsigned engineThreads, FileMessages& messages) {
    if (!job.refusal.empty()) return messages.Error(job.refusal);
    if (options.mode == RunMode::Clean) return CleanFolder(job, messages);
    const DestinationChoice destination = ChooseDestination(job, options);
    if (!destination.refusal.empty()) return messages.Error(destination.refusal);

    ReadResult source = ReadInput(job);
    if (!source.ok) return messages.Error("cannot read: " + source.error);
    const TMemoryStream input(std::move(source.bytes));

    TJpegRotation engine;
    EngineMessageFilter filter(messages, options.trim);
    engine.MaxThreads = engineThreads;
    engine.AllowAdjustMCU = options.trim == TrimMode::Trim;
    engine.AllowBreakDCF = options.turnThumbnail;
    engine.KeepOrientation = options.keepOrientation;
    engine.TablePolicy = options.tables;
    engine.Coding = options.coding;
    engine.OnCodedMessage = [&filter](const EngineMessage& message) { filter(message); };

    // The engine reads the frame geometry only in CheckJpeg, so it must always come first.
    const bool checked = RunGuarded(messages, [&] { return engine.CheckJpeg(input); });
    std::optional<TransformKind> kind = options.kind;
    if (checked && options.autoOrient) kind = UprightKindOf(engine, messages);
    const bool movesInside = checked && kind && RaggedEdgeMovesInside(engine.Frame(), *kind);
    filter.FrameKnown(kind, movesInside);
    if (!Succeeded(checked, messages, "check")) return;
    const FrameState& frame = engine.Frame();
    if (options.mode == RunMode::Check) {
        const bool verified = RunGuarded(messages, [&] { return engine.VerifyJpeg(input); });
        if (!Succeeded(verified, messages, "check")) return;
        return messages.Result("ok " + std::to_string(frame.ImageWidth) + "x" + std::to_string(frame.ImageHeight) +
                               FurtherPictures(engine.Photo()) + " tables=" + TableOutcomeName(engine.PlannedTables()));
    }

    if (!kind) return messages.Error("no valid transform");
    // An upright file stays as it is: an input is not rewritten, any other target gets its
    // bytes unchanged.
    if (options.autoOrient && *kind == TransformKind::NoRotation) {
        if (options.mode != RunMode::InPlace) WriteOrReport(job, destination.where, input, source, options, messages);
        return;
    }
    if (options.trim == TrimMode::Perfect && movesInside) {
        return messages.Error("the transform would need trimming: " + std::to_string(frame.ImageWidth) + "x" +
                              std::to_string(frame.ImageHeight) + " is not a whole number of " +
                              std::to_string(8 * frame.MaxH) + "x" + std::to_string(8 * frame.MaxV) +
                              " MCUs (--perfect) [" + std::string(kNeedsTrimCode) + "]");
    }
    TMemoryStream result;
    const bool rotated = RunGuarded(messages, [&] { return engine.RotateJpeg(input, result, *kind); });
    if (!Succeeded(rotated, messages, "transformation")) return;
    WriteOrReport(job, destination.where, result, source, options, messages);
}

}  // namespace

FileReport ProcessFile(const FileJob& job, const CliOptions& options, unsigned engineThreads) noexcept {
    FileMessages messages(DisplayName(job), options);
    try {
        Process(job, options, engineThreads, messages);
    } catch (const std::bad_alloc&) {
        messages.Error("not enough memory");
    } catch (const std::exception& e) {
        messages.Error(e.what());
    }
    const bool ok = !messages.HasError();
    if (options.mode == RunMode::Check && !ok) messages.Result("failed");
    return messages.Finish(ok);
}

}  // namespace pivotta::cli
