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
#include "RaggedEdge.h"
#include "ToolTexts.h"

namespace pivotta::cli {
namespace {

// Runs one engine operation; anything it throws (a stream error, memory exhaustion) is
// reported as this file's error rather than ending the whole run.
template <typename Operation>
bool RunGuarded(FileMessages& messages, Operation&& operation) {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        messages.Error(Say(messages.Language(), ToolText::NotEnoughMemory));
    } catch (const std::exception& e) {
        messages.Error(e.what());
    }
    return false;
}

// A false result must never pass without a word, and an error must never pass as success.
bool Succeeded(bool engineResult, FileMessages& messages, ToolText failure) {
    if (!engineResult && !messages.HasError()) messages.Error(Say(messages.Language(), failure));
    return engineResult && !messages.HasError();
}

std::string Quoted(const std::string& path) {
    return QuotedName(path);
}

// Where a result goes, settled before the input is read so that a refused target costs
// nothing and a special file is never replaced.
enum class Destination { Nowhere, StandardOutput, IntoSpecialFile, ReplaceOrCreate, KeepExisting };

struct DestinationChoice {
    Destination where = Destination::Nowhere;
    std::string refusal;
};

std::string ReplaceRefusal(const std::string& path, bool force, MessageLanguage language) {
    const ReplaceVerdict verdict = CheckReplaceable(path);
    switch (verdict.check) {
    case ReplaceCheck::Allowed: return {};
    case ReplaceCheck::WriteProtected:
        if (force) return {};
        return Say(language, ToolText::WriteProtected, {Quoted(path)});
    case ReplaceCheck::FolderNotWritable:
        return Say(language, ToolText::FolderNotWritable, {Quoted(path), verdict.reason});
    }
    return {};
}

DestinationChoice ChooseDestination(const FileJob& job, const CliOptions& options) {
    const MessageLanguage language = options.language;
    if (options.mode == RunMode::Check) return {};
    if (job.target == kStandardStream) {
        // As gzip does: a picture's bytes would only garble the terminal.
        if (StandardOutputIsTerminal()) {
            return {Destination::Nowhere, Say(language, ToolText::TerminalOutput)};
        }
        return {Destination::StandardOutput, {}};
    }
    const PathInfo info = InspectPath(job.target);
    if (options.noClobber && info.kind != PathKind::Missing) return {Destination::KeepExisting, {}};
    if (options.mode == RunMode::InPlace && info.kind == PathKind::Special) {
        return {Destination::Nowhere, Say(language, ToolText::InPlaceSpecial, {Quoted(job.target)})};
    }
    if (info.kind == PathKind::Special || (info.kind == PathKind::Regular && NamesDeviceOrDescriptor(job.target))) {
        if (options.mode == RunMode::OutputDir) {
            return {Destination::Nowhere, Say(language, ToolText::OutputDirSpecial, {Quoted(job.target)})};
        }
        return {Destination::IntoSpecialFile, {}};
    }
    if (info.kind == PathKind::Regular) return {Destination::ReplaceOrCreate, ReplaceRefusal(job.target, options.force, language)};
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

std::string McuText(const FrameState& frame) {
    return std::to_string(8 * frame.MaxH) + "x" + std::to_string(8 * frame.MaxV);
}

std::string NeedsTrimText(const FrameState& frame, MessageLanguage language) {
    return Say(language, ToolText::NeedsTrim,
               {std::to_string(frame.ImageWidth) + "x" + std::to_string(frame.ImageHeight), McuText(frame)});
}

// A warning tells what happened to this file, so the ones about the transform are held back
// until it is known whether the transform runs: not for --check, an upright file copied as it
// is, or a refusal. Whether a ragged edge moves inside depends on the frame and the kind.
class EngineMessageFilter {
public:
    EngineMessageFilter(FileMessages& messages, TrimMode trim) : messages_(messages), trim_(trim) {}

    void operator()(const EngineMessage& message) {
        if (message.code == MessageCode::RaggedEdgeTrimmed || message.code == MessageCode::RaggedEdgeKept) {
            ragged_ = message;
        } else if (message.code == MessageCode::OptimizedTables && !settled_) {
            tables_ = message;
        } else {
            messages_.Engine(message);
        }
    }

    // --no-trim warns as the engine does; trimming warns only where it cuts something, or
    // where the picture is too small across for the cut; --perfect says it in its refusal.
    // A dry run says all of it in its line.
    void Settle(const FrameState& frame, const std::optional<RaggedEdge>& edge, bool transforms, bool dryRun) {
        settled_ = true;
        if (tables_ && transforms) messages_.Engine(*tables_);
        tables_.reset();
        if (!ragged_ || dryRun) return;
        if (trim_ == TrimMode::Keep) {
            messages_.Engine(*ragged_);
        } else if (trim_ == TrimMode::Trim && transforms && edge && edge->movesInside) {
            if (edge->trimmable) messages_.Engine(*ragged_);
            if (edge->untrimmable) {
                messages_.Warning(Say(messages_.Language(), ToolText::CannotTrim, {McuText(frame)}));
            }
        }
        ragged_.reset();
    }

private:
    FileMessages& messages_;
    TrimMode trim_;
    bool settled_ = false;
    std::optional<EngineMessage> ragged_;
    std::optional<EngineMessage> tables_;
};

// The kind that rights the file by its Exif Orientation; NoRotation when it is upright already.
TransformKind UprightKindOf(const TJpegRotation& engine, FileMessages& messages) {
    const std::optional<uint32_t> orientation = engine.Orientation();
    if (!orientation) return TransformKind::NoRotation;
    if (const std::optional<TransformKind> kind = UprightKind(*orientation)) return *kind;
    messages.Warning(Say(messages.Language(), ToolText::BadOrientation, {std::to_string(*orientation)}));
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
    if (job.makeFolders) {
        if (const std::string error = MakeFoldersFor(job.target); !error.empty()) {
            return messages.Error(Say(messages.Language(), ToolText::CannotMakeFolder, {Quoted(job.target), error}));
        }
    }
    WriteResult written = WriteResultBytes(job, where, bytes, source, options.keepTimes);
    if (!written.ok) {
        const std::string target =
            job.target == kStandardStream ? Say(messages.Language(), ToolText::StandardOutput) : Quoted(job.target);
        messages.Error(Say(messages.Language(), ToolText::CannotWrite, {target, written.error}));
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

// "turn 90", "mirror lr": what a transform does, for the dry run.
const char* KindVerb(TransformKind kind) {
    switch (kind) {
    case TransformKind::NoRotation: return "re-encode";
    case TransformKind::Rotate90: return "turn 90";
    case TransformKind::Rotate180: return "turn 180";
    case TransformKind::Rotate270: return "turn 270";
    case TransformKind::MirrorLR: return "mirror lr";
    case TransformKind::MirrorTB: return "mirror tb";
    case TransformKind::Transpose: return "transpose";
    case TransformKind::Transverse: return "transverse";
    }
    return "transform";
}

std::string SizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// The line of --check with a transform: what the transform would do to this file.
std::string DryRunLine(const TJpegRotation& engine, TransformKind kind, bool upright, const RaggedEdge& edge,
                       TrimMode trim) {
    if (upright) return "upright: unchanged";
    const FrameState& frame = engine.Frame();
    std::string line = std::string("would ") + KindVerb(kind);
    if (edge.movesInside && trim == TrimMode::Trim) {
        if (edge.trimmable) {
            line += "; would trim " + SizeText(frame.ImageWidth, frame.ImageHeight) + " to " +
                    SizeText(edge.trimmedWidth, edge.trimmedHeight);
        }
        if (edge.untrimmable) line += "; cannot trim: smaller than one " + McuText(frame) + " MCU";
    } else if (edge.movesInside && trim == TrimMode::Keep) {
        line += "; would move the ragged edge inside";
    }
    return line + "; tables: " + TableOutcomeName(engine.PlannedTables());
}

void CleanFolder(const FileJob& job, FileMessages& messages) {
    if (!IsDirectory(job.input)) return messages.Error(Say(messages.Language(), ToolText::NotAFolder));
    const files::StaleCleanup cleanup = files::RemoveStaleTemporaries(job.input);
    for (const std::string& path : cleanup.removed) messages.Result("removed " + Quoted(FileNameOf(path)));
    for (const std::string& error : cleanup.errors) messages.Error(Say(messages.Language(), ToolText::CannotRemove, {error}));
}

void Process(const FileJob& job, const CliOptions& options, unsigned engineThreads, MemoryBudget* memory,
             FileMessages& messages) {
    if (!job.refusal.empty()) return messages.Error(job.refusal);
    if (options.mode == RunMode::Clean) return CleanFolder(job, messages);
    const DestinationChoice destination = ChooseDestination(job, options);
    if (!destination.refusal.empty()) return messages.Error(destination.refusal);
    if (destination.where == Destination::KeepExisting) {
        return messages.Skipped(Say(options.language, ToolText::Exists, {Quoted(job.target)}));
    }

    // A file past the limit is read no further than its start, which needs no share.
    const std::optional<uint64_t> size = job.input == kStandardStream ? std::nullopt : RegularFileSize(job.input);
    std::optional<MemoryBudget::Share> share;
    if (memory && size && *size <= kLargestInputBytes) share.emplace(*memory, ProcessingFootprint(*size));
    ReadResult source = ReadInput(job);
    if (source.tooLarge) return messages.Error(Say(options.language, ToolText::TooLarge));
    if (!source.ok) return messages.Error(Say(options.language, ToolText::CannotRead, {source.error}));
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
    const FrameState& frame = engine.Frame();
    std::optional<RaggedEdge> edge;
    if (checked && kind) edge = RaggedEdgeOf(frame, *kind);
    const bool movesInside = edge && edge->movesInside;
    const bool upright = options.autoOrient && kind == TransformKind::NoRotation;
    const bool refusedAsImperfect = options.trim == TrimMode::Perfect && movesInside;
    const bool dryRun = options.mode == RunMode::Check && kind;
    filter.Settle(frame, edge, checked && kind && !dryRun && !upright && !refusedAsImperfect, dryRun);
    if (!Succeeded(checked, messages, ToolText::CheckFailed)) return;
    if (options.mode == RunMode::Check) {
        if (refusedAsImperfect) return messages.Error(NeedsTrimText(frame, options.language));
        const bool verified = RunGuarded(messages, [&] { return engine.VerifyJpeg(input); });
        if (!Succeeded(verified, messages, ToolText::CheckFailed)) return;
        if (kind) return messages.Result(DryRunLine(engine, *kind, upright, *edge, options.trim));
        return messages.Result("ok " + std::to_string(frame.ImageWidth) + "x" + std::to_string(frame.ImageHeight) +
                               FurtherPictures(engine.Photo()) + " tables=" + TableOutcomeName(engine.PlannedTables()));
    }

    if (!kind) return messages.Error(Say(options.language, ToolText::NoValidTransform));
    // An upright file stays as it is: an input is not rewritten, any other target gets its
    // bytes unchanged.
    if (upright) {
        if (options.mode != RunMode::InPlace) WriteOrReport(job, destination.where, input, source, options, messages);
        return;
    }
    if (refusedAsImperfect) return messages.Error(NeedsTrimText(frame, options.language));
    TMemoryStream result;
    const bool rotated = RunGuarded(messages, [&] { return engine.RotateJpeg(input, result, *kind); });
    if (!Succeeded(rotated, messages, ToolText::TransformFailed)) return;
    WriteOrReport(job, destination.where, result, source, options, messages);
}

}  // namespace

FileReport ProcessFile(const FileJob& job, const CliOptions& options, unsigned engineThreads,
                       MemoryBudget* memory) noexcept {
    FileMessages messages(DisplayName(job), options);
    try {
        Process(job, options, engineThreads, memory, messages);
    } catch (const std::bad_alloc&) {
        messages.Error(Say(options.language, ToolText::NotEnoughMemory));
    } catch (const std::exception& e) {
        messages.Error(e.what());
    }
    const bool ok = !messages.HasError();
    if (options.mode == RunMode::Check && !ok) messages.Result("failed");
    return messages.Finish(ok);
}

}  // namespace pivotta::cli
