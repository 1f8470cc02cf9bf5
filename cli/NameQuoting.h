// File names in one-line messages: a name with control characters (a newline would split the
// line) is written as a POSIX shell would read it back, in the style of GNU ls and coreutils:
// 'a'$'\n''b'.
#pragma once

#include <string>
#include <string_view>

namespace pivotta::cli {

// The name as it stands when it has no control character; otherwise its shell-quoted form.
std::string NameForLine(std::string_view name);
// The name between single quotes, or its shell-quoted form when it has control characters.
std::string QuotedName(std::string_view name);

}  // namespace pivotta::cli
