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

#include "LargeBlock.h"
#include "PathText.h"

namespace pivotta::cli {

// Access and last-write times with the platform's full precision.
struct FileTimes {
    int64_t accessSeconds = 0;
    int64_t accessNanoseconds = 0;
    int64_t writeSeconds = 0;
    int64_t writeNanoseconds = 0;
};

struct ReadResult {
    bool ok = false;
    ByteBuffer bytes;
    std::optional<FileTimes> times;  // absent for pipes and terminals
    std::string error;               // why it failed, for a message line
};

struct WriteResult {
    bool ok = false;
    std::string error;
};

// Reads a whole regular file. A missing or unreadable file, or a folder, is an error.
[[nodiscard]] ReadResult ReadWholeFile(const std::string& path);
// Reads standard input to its end, in binary mode.
[[nodiscard]] ReadResult ReadStandardInput();

// Writes bytes to a temporary file in the target's folder and renames it over the target,
// so that the target is either untouched or complete. The temporary file is readable by its
// owner only until it is complete. A replaced target keeps its owner (where allowed) and
// permissions; a new one gets the umask's; a symbolic link is followed so that the link
// stays. times, when given, are set before the rename. On failure, or an interrupt after
// InstallInterruptCleanup, no temporary file is left.
[[nodiscard]] WriteResult WriteFileAtomically(const std::string& target, std::span<const uint8_t> bytes,
                                              const FileTimes* times);
// Writes bytes to standard output in binary mode and flushes them.
[[nodiscard]] WriteResult WriteStandardOutput(std::span<const uint8_t> bytes);

// What an existing path is, after following symbolic links. Special files (character and
// block devices, FIFOs, sockets) are written into, never replaced.
enum class PathKind { Missing, Regular, Directory, Special };

// Identifies a file whatever path names it (device and inode; volume and file index on
// Windows). Two identities are equal only when both are known.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t file = 0;
    bool known = false;
    bool operator==(const FileIdentity& other) const {
        return known && other.known && device == other.device && file == other.file;
    }
};

struct PathInfo {
    PathKind kind = PathKind::Missing;
    FileIdentity identity;
};

// Follows symbolic links; a path that cannot be examined reads as Missing.
PathInfo InspectPath(const std::string& path);

// Whether a path is one the system gives to a device or an open descriptor (/dev/stdout,
// /dev/fd/3, /proc/self/fd/1; NUL or CON on Windows). Such a path is written into even when it
// leads to a regular file: the file belongs to whoever opened the descriptor.
bool NamesDeviceOrDescriptor(const std::string& path);

// Whether an existing regular file may be replaced. WriteProtected: its permission bits deny
// the caller writing (for the superuser too: a file without any write bit); FolderNotWritable:
// its folder does not let the caller put a new file there, so it cannot be replaced at once.
enum class ReplaceCheck { Allowed, WriteProtected, FolderNotWritable };
struct ReplaceVerdict {
    ReplaceCheck check = ReplaceCheck::Allowed;
    std::string reason;  // the system's words, for a message line
};
ReplaceVerdict CheckReplaceable(const std::string& path);

// Writes bytes straight into an existing special file, as `cat > path` would.
[[nodiscard]] WriteResult WriteIntoSpecialFile(const std::string& path, std::span<const uint8_t> bytes);

// From here on, an interrupt (SIGINT, SIGTERM, SIGHUP; Ctrl+C or a closed console on Windows)
// removes every temporary file WriteFileAtomically is writing, then ends the process as the
// signal would have. Call once, before any thread starts.
void InstallInterruptCleanup();

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
