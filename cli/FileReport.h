// What processing one file has to say, kept together so that the files of a parallel run
// can be printed one after another in input order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

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
// output. Quiet drops warnings and results; errors always stay.
class FileMessages {
public:
    FileMessages(std::string fileName, bool quiet) : fileName_(std::move(fileName)), quiet_(quiet) {}

    void Warning(std::string_view text);
    void Error(std::string_view text);
    // An engine message: level 1 is a warning, anything else an error.
    void Engine(std::string_view text, int level);
    void Result(std::string_view text);

    bool HasError() const { return hasError_; }
    const std::string& FileName() const { return fileName_; }
    FileReport Finish(bool ok) { return {ok && !hasError_, std::move(lines_)}; }

private:
    void Diagnostic(std::string_view severity, std::string_view text);

    std::string fileName_;
    bool quiet_;
    bool hasError_ = false;
    std::vector<ReportLine> lines_;
};

}  // namespace pivotta::cli
