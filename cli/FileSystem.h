// The few file-system services pivotta-cli needs, behind small functions of their own so
// that the rest of the tool knows nothing of the platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "AtomicFile.h"
#include "LargeBlock.h"
#include "PathText.h"

namespace pivotta::cli {

using files::FileTimes;
using files::WriteResult;

struct ReadResult {
    bool ok = false;
    ByteBuffer bytes;
    std::optional<FileTimes> times;  // absent for pipes and terminals
    std::string error;               // why it failed, for a message line
};

// Reads a whole regular file. A missing or unreadable file, or a folder, is an error.
[[nodiscard]] ReadResult ReadWholeFile(const std::string& path);
// Reads standard input to its end, in binary mode.
[[nodiscard]] ReadResult ReadStandardInput();

// Writes bytes to standard output in binary mode and flushes them.
[[nodiscard]] WriteResult WriteStandardOutput(std::span<const uint8_t> bytes);

// The atomic save and the rules for special and write-protected files, shared with the
// desktop program.
using files::CheckReplaceable;
using files::FileIdentity;
using files::InspectPath;
using files::InstallInterruptCleanup;
using files::NamesDeviceOrDescriptor;
using files::PathInfo;
using files::PathKind;
using files::ReplaceCheck;
using files::ReplaceVerdict;
using files::WriteFileAtomically;
using files::WriteIntoSpecialFile;

bool IsDirectory(const std::string& path);
// The last component of path ("a/b.jpg" -> "b.jpg"), and dir joined with name.
using paths::FileNameOf;
using paths::JoinPath;
// A key under which two spellings of the same existing or future file compare equal.
std::string IdentityKey(const std::string& path);

// Binary standard streams; a closed pipe becomes a write error instead of ending the process.
void PrepareStandardStreams();
// The arguments after the program's name, in UTF-8 whatever the platform's code page.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Writes UTF-8 text to stdout or stderr and flushes it; a console shows it as text.
void WriteText(std::FILE* stream, std::string_view text);

}  // namespace pivotta::cli
