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

// No JPEG that pivotta-cli accepts is larger: a larger file is refused without being read.
inline constexpr size_t kLargestInputBytes = size_t{2} << 30;

struct ReadResult {
    bool ok = false;
    bool tooLarge = false;           // larger than the limit: nothing was kept
    ByteBuffer bytes;
    std::optional<FileTimes> times;  // absent for pipes and terminals
    std::string error;               // why it failed, for a message line
};

// Reads a whole regular file. A missing or unreadable file, or a folder, is an error; so is
// one of more than limit bytes, which is not read at all.
[[nodiscard]] ReadResult ReadWholeFile(const std::string& path, size_t limit = kLargestInputBytes);
// Reads standard input to its end, in binary mode, but never more than limit bytes.
[[nodiscard]] ReadResult ReadStandardInput(size_t limit = kLargestInputBytes);
// The size of a regular file; nothing for anything else (a pipe, a device, a missing file).
std::optional<uint64_t> RegularFileSize(const std::string& path);

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
// Makes the folder that is to hold path, and the folders above it, as mkdir -p does; an
// empty text, or the reason it failed.
std::string MakeFoldersFor(const std::string& path);
// The last component of path ("a/b.jpg" -> "b.jpg"), and dir joined with name.
using paths::FileNameOf;
using paths::JoinPath;
// A key under which two spellings of the same existing or future file compare equal.
std::string IdentityKey(const std::string& path);

// Whether standard output is a terminal (a console on Windows), where a JPEG would be noise.
bool StandardOutputIsTerminal();
// Whether standard error is a terminal, where a progress line can be redrawn in place.
bool StandardErrorIsTerminal();

// Binary standard streams; a closed pipe becomes a write error instead of ending the process.
void PrepareStandardStreams();
// The arguments after the program's name, in UTF-8 whatever the platform's code page.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Writes UTF-8 text to stdout or stderr and flushes it; a console shows it as text.
void WriteText(std::FILE* stream, std::string_view text);

}  // namespace pivotta::cli
