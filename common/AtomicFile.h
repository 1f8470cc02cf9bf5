// Saving a whole file so that its target is either untouched or complete, shared by the
// desktop program and pivotta-cli. Paths are UTF-8 on every platform. Qt-free.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pivotta::files {

// Access and last-write times with the platform's full precision.
struct FileTimes {
    int64_t accessSeconds = 0;
    int64_t accessNanoseconds = 0;
    int64_t writeSeconds = 0;
    int64_t writeNanoseconds = 0;
};

struct WriteResult {
    bool ok = false;
    std::string error;  // the system's words, for a message line
};

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

// Writes bytes to a temporary file in the target's folder and renames it over the target,
// so that the target is either untouched or complete. Where the system allows (Linux'
// O_TMPFILE) the file has no name until it is complete, so that even a killed process leaves
// nothing; elsewhere it is named ".NAME.pivotta-PID-RANDOM.tmp". The temporary file is
// readable by its owner only until it is complete. A replaced target keeps its owner (where allowed) and
// permissions; a new one gets the umask's; a symbolic link is followed so that the link
// stays. times, when given, are set before the rename. On failure, or an interrupt after
// InstallInterruptCleanup, no temporary file is left. Write protection is the caller's to
// settle (CheckReplaceable) before: this replaces whatever it may.
[[nodiscard]] WriteResult WriteFileAtomically(const std::string& target, std::span<const uint8_t> bytes,
                                              const FileTimes* times);

// Writes bytes straight into an existing special file, as `cat > path` would.
[[nodiscard]] WriteResult WriteIntoSpecialFile(const std::string& path, std::span<const uint8_t> bytes);

// One file saved by a program that asks no questions: a device or FIFO is written into, a
// folder is refused, a write-protected file or one whose folder is not writable is refused
// with the reason, anything else is replaced atomically (WriteFileAtomically).
[[nodiscard]] WriteResult SaveFile(const std::string& target, std::span<const uint8_t> bytes,
                                   const FileTimes* times = nullptr);

// The parts of a temporary file's name: "." NAME kTemporaryMark PID "-" RANDOM kTemporarySuffix.
inline constexpr std::string_view kTemporaryMark = ".pivotta-";
inline constexpr std::string_view kTemporarySuffix = ".tmp";

struct StaleCleanup {
    std::vector<std::string> removed;  // paths
    std::vector<std::string> errors;   // "PATH: the system's words"
};
// Removes the temporary files in folder (not below it) that a writer killed outright left:
// named as WriteFileAtomically names them, owned by the caller (any owner for the superuser),
// and whose writing process no longer runs. Nothing else is touched. On Windows, where no
// process id is in the name, it finds nothing.
StaleCleanup RemoveStaleTemporaries(const std::string& folder);

// From here on, an interrupt (SIGINT, SIGTERM, SIGHUP; Ctrl+C or a closed console on Windows)
// removes every temporary file WriteFileAtomically is writing, then ends the process as the
// signal would have. Call once, before any thread starts.
void InstallInterruptCleanup();

}  // namespace pivotta::files
