#include "FileProcessor.h"

#include <exception>
#include <new>

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

void Process(const FileJob& job, const CliOptions& options, unsigned engineThreads, FileMessages& messages) {
    if (!job.refusal.empty()) return messages.Error(job.refusal);

    ReadResult source = ReadInput(job);
    if (!source.ok) return messages.Error("cannot read: " + source.error);
    const TMemoryStream input(std::move(source.bytes));

    TJpegRotation engine;
    engine.MaxThreads = engineThreads;
    engine.AllowAdjustMCU = options.trim;
    engine.AllowBreakDCF = options.turnThumbnail;
    engine.OnMessage = [&messages](const std::string& text, int level) { messages.Engine(text, level); };
    engine.OnDHTWarning = [&messages] { messages.Warning(kOptimizedTablesWarning); };

    // The engine reads the frame geometry only in CheckJpeg, so it must always come first.
    const bool checked = RunGuarded(messages, [&] { return engine.CheckJpeg(input); });
    if (!Succeeded(checked, messages, "check")) return;
    if (options.mode == RunMode::Check) {
        const FrameState& frame = engine.Frame();
        return messages.Result("ok " + std::to_string(frame.ImageWidth) + "x" + std::to_string(frame.ImageHeight));
    }

    if (!options.kind || !IsValidKind(*options.kind)) return messages.Error("no valid transform");
    TMemoryStream result;
    const bool rotated = RunGuarded(messages, [&] { return engine.RotateJpeg(input, result, *options.kind); });
    if (!Succeeded(rotated, messages, "transformation")) return;

    WriteResult written = WriteResultBytes(job, result, source, options.keepTimes);
    if (!written.ok) {
        const std::string where = job.target == kStandardStream ? "standard output" : "'" + job.target + "'";
        messages.Error("cannot write " + where + ": " + written.error);
    }
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
