#include "FileReport.h"

#include "MessageTexts.h"
#include "ToolTexts.h"

namespace pivotta::cli {

void FileMessages::Warning(std::string_view text) {
    if (!quiet_) Diagnostic(Say(language_, ToolText::Warning), text);
}

void FileMessages::Skipped(std::string_view text) {
    skipped_ = true;
    if (!quiet_) Diagnostic(Say(language_, ToolText::Note), text);
}

void FileMessages::Error(std::string_view text) {
    hasError_ = true;
    Diagnostic(Say(language_, ToolText::Error), text);
}

void FileMessages::Engine(const EngineMessage& message) {
    const std::string line = MessageLine(message, language_);
    if (message.level == 1) {
        Warning(line);
    } else {
        Error(line);
    }
}

FileReport FileMessages::Finish(bool ok) {
    const bool succeeded = ok && !hasError_;
    if (succeeded && verbose_ && !skipped_) Diagnostic(Say(language_, ToolText::Done), {});
    return {succeeded, std::move(lines_)};
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
    if (!text.empty()) {
        line += ": ";
        line += text;
    }
    lines_.push_back({Channel::StandardError, std::move(line)});
}

}  // namespace pivotta::cli
