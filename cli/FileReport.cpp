#include "FileReport.h"

namespace pivotta::cli {

void FileMessages::Warning(std::string_view text) {
    if (!quiet_) Diagnostic("warning", text);
}

void FileMessages::Error(std::string_view text) {
    hasError_ = true;
    Diagnostic("error", text);
}

void FileMessages::Engine(std::string_view text, int level) {
    if (level == 1) {
        Warning(text);
    } else {
        Error(text);
    }
}

void FileMessages::Result(std::string_view text) {
    if (quiet_) return;
    std::string line = fileName_;
    line += ": ";
    line += text;
    lines_.push_back({Channel::StandardOutput, std::move(line)});
}

void FileMessages::Diagnostic(std::string_view severity, std::string_view text) {
    std::string line = kProgramName;
    line += ": ";
    line += fileName_;
    line += ": ";
    line += severity;
    line += ": ";
    line += text;
    lines_.push_back({Channel::StandardError, std::move(line)});
}

}  // namespace pivotta::cli
