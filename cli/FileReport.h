// What processing one file has to say, kept together so that the files of a parallel run
// are printed one after another, each whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "CliOptions.h"
#include "Messages.h"

namespace pivotta::cli {

inline constexpr const char* kProgramName = "pivotta-cli";

enum class Channel { StandardOutput, StandardError };

struct ReportLine {
    Channel channel;
    std::string text;  // without the line end
};

struct FileReport {
    bool ok = false;
    std::vector<ReportLine> lines;  // in the order they arose
};

// Collects the lines of one file: "pivotta-cli: FILE: warning: TEXT" and
// "pivotta-cli: FILE: error: TEXT" on standard error, "FILE: TEXT" results on standard
// output. Quiet drops warnings and results; errors always stay. Verbose adds
// "pivotta-cli: FILE: done" to standard error for a file finished without error.
class FileMessages {
public:
    FileMessages(std::string fileName, const CliOptions& options)
        : fileName_(std::move(fileName)), quiet_(options.quiet), verbose_(options.verbose),
          language_(options.language) {}

    void Warning(std::string_view text);
    // A file left as it was on purpose (-n): a note, and no "done" line.
    void Skipped(std::string_view text);
    void Error(std::string_view text);
    // An engine message in the run's language: level 1 is a warning, anything else an error.
    void Engine(const EngineMessage& message);
    void Result(std::string_view text);

    bool HasError() const { return hasError_; }
    MessageLanguage Language() const { return language_; }
    const std::string& FileName() const { return fileName_; }
    FileReport Finish(bool ok);

private:
    void Diagnostic(std::string_view severity, std::string_view text);

    std::string fileName_;
    bool quiet_;
    bool verbose_;
    MessageLanguage language_;
    bool hasError_ = false;
    bool skipped_ = false;
    std::vector<ReportLine> lines_;
};

}  // namespace pivotta::cli
