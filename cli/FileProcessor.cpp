#include "FileProcessor.h"

#include <exception>
#include <new>
#include <optional>
#include <string>

#include "FileSystem.h"
#include "JpegRotation.h"
#include "MemoryStream.h"

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

ReadResult ReadInput(const FileJob& job) {
    return job.input == kStandardStream ? ReadStandardInput() : ReadWholeFile(job.input);
}

WriteResult WriteResultBytes(const FileJob& job, const TMemoryStream& result, const ReadResult& source,
                             bool keepTimes) {
    std::span<const uint8_t> bytes(result.Memory(), result.Size());
    if (job.target == kStandardStream) return WriteStandardOutput(bytes);
    const FileTimes* times = keepTimes && source.times ? &*source.times : nullptr;
    return WriteFileAtomically(job.target, bytes, times);
}

// The kind that rights the file by its Exif Orientation; NoRotation when it is upright already.
TransformKind UprightKindOf(const TJpegRotation& engine, FileMessages& messages) {
    const std::optional<uint32_t> orientation = engine.Orientation();
    if (!orientation) return TransformKind::NoRotation;
    if (const std::optional<TransformKind> kind = UprightKind(*orientation)) return *kind;
    messages.Warning("Exif orientation " + std::to_string(*orientation) +
                     " is not one of 1 to 8; the picture is taken as upright");
    return TransformKind::NoRotation;
}

void WriteOrReport(const FileJob& job, const TMemoryStream& bytes, const ReadResult& source, const CliOptions& options,
                   FileMessages& messages) {
    WriteResult written = WriteResultBytes(job, bytes, source, options.keepTimes);
    if (!written.ok) {
        const std::string where = job.target == kStandardStream ? "standard output" : "'" + job.target + "'";
        messages.Error("cannot write " + where + ": " + written.error);
    }
}

void Process(const FileJob& job, const CliOptions& options, unsigned engineThreads, FileMessages& messages) {
    if (!job.refusal.empty()) return messages.Error(job.refusal);

    ReadResult source = ReadInput(job);
    if (!source.ok) return messages.Error("cannot read: " + source.error);
    const TMemoryStream input(std::move(source.bytes));

    TJpegRotation engine;
    engine.MaxThreads = engineThreads;
    engine.AllowAdjustMCU = options.trim;
    engine.AllowBreakDCF = options.turnThumbnail;
    engine.KeepOrientation = options.keepOrientation;
    engine.OnMessage = [&messages](const std::string& text, int level) { messages.Engine(text, level); };
    engine.OnDHTWarning = [&messages] { messages.Warning(kOptimizedTablesWarning); };

    // The engine reads the frame geometry only in CheckJpeg, so it must always come first.
    const bool checked = RunGuarded(messages, [&] { return engine.CheckJpeg(input); });
    if (!Succeeded(checked, messages, "check")) return;
    if (options.mode == RunMode::Check) {
        const FrameState& frame = engine.Frame();
        return messages.Result("ok " + std::to_string(frame.ImageWidth) + "x" + std::to_string(frame.ImageHeight));
    }

    TransformKind kind;
    if (options.autoOrient) {
        kind = UprightKindOf(engine, messages);
        // An upright file stays as it is: an input is not rewritten, any other target gets
        // its bytes unchanged.
        if (kind == TransformKind::NoRotation) {
            if (options.mode != RunMode::InPlace) WriteOrReport(job, input, source, options, messages);
            return;
        }
    } else if (options.kind) {
        kind = *options.kind;
    } else {
        return messages.Error("no valid transform");
    }
    TMemoryStream result;
    const bool rotated = RunGuarded(messages, [&] { return engine.RotateJpeg(input, result, kind); });
    if (!Succeeded(rotated, messages, "transformation")) return;
    WriteOrReport(job, result, source, options, messages);
}

}  // namespace

FileReport ProcessFile(const FileJob& job, const CliOptions& options, unsigned engineThreads) noexcept {
    FileMessages messages(DisplayName(job), options.quiet);
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
