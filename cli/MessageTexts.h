// How pivotta-cli words the engine's messages: English by default, Japanese of its own under a
// Japanese locale (the desktop program keeps the engine's texts), and a stable code name
// either way for scripts.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "CliOptions.h"
#include "Messages.h"

namespace pivotta::cli {

struct MessageCodeInfo {
    MessageCode code;
    std::string_view name;     // stable: shown in brackets after the text
    std::string_view english;  // "%d" stands for the message's detail; [[...]] is left out without one
    std::string_view japanese; // the same facts, for a Japanese locale
    std::string_view meaning;  // for --help, the man page and the README
};

std::span<const MessageCodeInfo> MessageCodeTable();

// The code a file refused by --perfect gets; not an engine message.
inline constexpr std::string_view kNeedsTrimCode = "needs-trim";
// The code of the warning for a picture smaller than one MCU across its ragged edge.
inline constexpr std::string_view kCannotTrimCode = "cannot-trim";
// The code of a file larger than any JPEG the tool accepts, refused unread.
inline constexpr std::string_view kTooLargeCode = "too-large";
// The code of an Exif Orientation outside 1-8 met by --auto-orient; not an engine message.
inline constexpr std::string_view kBadOrientationCode = "bad-orientation";

// The codes of the tool's own messages, with their meaning for --help, the man page and the
// README.
struct ToolCodeInfo {
    std::string_view name;
    std::string_view meaning;
};
std::span<const ToolCodeInfo> ToolCodeTable();

// The text of a message in a language, followed by " [code-name]".
std::string MessageLine(const EngineMessage& message, MessageLanguage language);

// The first of LC_ALL, LC_MESSAGES and LANG that is set and not empty decides, as for any
// POSIX program; Japanese when it starts with "ja". Null pointers are unset variables.
MessageLanguage LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang);
MessageLanguage LanguageFromEnvironment();

}  // namespace pivotta::cli
