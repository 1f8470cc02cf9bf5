// POSIX side of the atomic save: temporary file, replacement, kept owner, mode and times,
// special files, write protection and the interrupt cleanup.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <csignal>
#include <filesystem>
#include <optional>
#include <random>

#include "AtomicFile.h"
#include "PosixDescriptor.h"
#include "TemporaryFiles.h"

namespace pivotta::files {
namespace {

namespace fs = std::filesystem;

int ApplyTimes(int fd, const FileTimes& t) {
    const struct timespec times[2] = {
        {static_cast<time_t>(t.accessSeconds), static_cast<long>(t.accessNanoseconds)},
        {static_cast<time_t>(t.writeSeconds), static_cast<long>(t.writeNanoseconds)},
    };
    return ::futimens(fd, times) == 0 ? 0 : errno;
}

// Replacing a symbolic link would cut it off from the file it names; write that file instead.
std::string FollowLink(const std::string& target) {
    std::error_code ec;
    if (!fs::is_symlink(fs::path(target), ec)) return target;
    fs::path resolved = fs::canonical(fs::path(target), ec);
    return ec ? target : resolved.string();
}

// ".NAME.pivotta-PID-RANDOM.tmp": recognisable, and telling whether its writer still runs.
std::string TemporaryName(const fs::path& dir, const std::string& name) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::random_device entropy;
    std::string random;
    for (int i = 0; i < 2; ++i) {
        for (uint32_t v = entropy(), k = 0; k < 3; ++k, v >>= 8) {
            random += kHex[v >> 4 & 15];
            random += kHex[v & 15];
        }
    }
    // Keep the name within the usual 255-byte limit however long the target's name is.
    std::string hidden(".");
    hidden.append(name, 0, 200).append(kTemporaryMark).append(std::to_string(::getpid()));
    hidden.append("-").append(random).append(kTemporarySuffix);
    return (dir / hidden).string();
}

WriteResult Failed(int error) {
    return {false, ErrorText(error)};
}

// Read once, before any thread starts where the caller can: asking changes it for a moment.
mode_t ProcessUmask() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

bool CallerMayWrite(const char* path, int& error) {
    if (::faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0) return true;
    error = errno;
    return false;
}

extern "C" void UnlinkTemporary(const char* path) {
    ::unlink(path);
}

extern "C" void OnInterrupt(int signal) {
    ForEachRegisteredTemporary(UnlinkTemporary);
    // Blocked while this handler runs: delivered with the default action once it returns, so
    // that the exit status says which signal ended the process.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}


// The new file's owner, mode and times, and its data on disk before it replaces a file.
int FinishContents(int fd, const struct stat* replaced, const FileTimes* times) {
    mode_t mode = 0666 & ~ProcessUmask();
    if (replaced) {
        // Keep the replaced file's owner where we may (as root); otherwise it becomes ours,
        // as with any editor that saves by renaming.
        [[maybe_unused]] int ignored = ::fchown(fd, replaced->st_uid, replaced->st_gid);
        mode = replaced->st_mode & 07777;
    }
    if (times) {
        if (int error = ApplyTimes(fd, *times)) return error;
    }
    // A replaced file's data must be on disk before the rename makes it the only copy; a new
    // file still has its input beside it, so it spares the wait.
    if (replaced && ::fsync(fd) != 0) return errno;
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

int WriteContents(int fd, std::span<const uint8_t> bytes, const struct stat* replaced, const FileTimes* times) {
    if (int error = WriteAll(fd, bytes)) return error;
    return FinishContents(fd, replaced, times);
}

// A named temporary file beside the target, renamed over it once complete.
WriteResult WriteThroughNamedTemporary(const fs::path& final, const fs::path& dir, std::span<const uint8_t> bytes,
                                       const struct stat* replaced, const FileTimes* times) {
    const std::string name = final.filename().string();
    std::string temporary;
    std::optional<RegisteredTemporary> registered;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = TemporaryName(dir, name);
        registered.reset();
        registered.emplace(temporary);
        // Owner only while it fills: the picture may be private until its mode is set.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return Failed(errno);
    }
    if (fd < 0) return Failed(EEXIST);
    FileDescriptor file(fd);
    int error = WriteContents(fd, bytes, replaced, times);
    if (file.Close() != 0 && !error) error = errno;
    if (!error && ::rename(temporary.c_str(), final.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        return Failed(error);
    }
    return {true, {}};
}

#ifdef O_TMPFILE
// Gives an unnamed file a name. linkat(AT_EMPTY_PATH) needs a capability that containers often
// withhold; the /proc link works without it where /proc is there and lets it.
bool LinkUnnamed(int fd, const char* path) {
    if (::linkat(fd, "", AT_FDCWD, path, AT_EMPTY_PATH) == 0) return true;
    char proc[40];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, proc, AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0;
}

// Set once an unnamed file could not be linked: the system's answer will not change, and each
// try would cost a full write. Only ever set, so a race costs one more try at most.
std::atomic<bool> gUnnamedFilesUnlinkable{false};

enum class UnnamedOutcome { Done, Failed, Unavailable };

// The file has no name while it fills, so a killed process leaves nothing: it gets the
// target's name (a new file) or a temporary one renamed over the target once complete.
UnnamedOutcome WriteThroughUnnamedFile(const fs::path& final, const fs::path& dir, std::span<const uint8_t> bytes,
                                       const struct stat* replaced, const FileTimes* times, WriteResult& result) {
    if (gUnnamedFilesUnlinkable.load(std::memory_order_relaxed)) return UnnamedOutcome::Unavailable;
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    // Not every file system has them (EOPNOTSUPP, EISDIR on old kernels).
    if (fd < 0 && errno != EACCES && errno != EROFS && errno != ENOSPC && errno != EDQUOT) {
        return UnnamedOutcome::Unavailable;
    }
    if (fd < 0) {
        result = Failed(errno);
        return UnnamedOutcome::Failed;
    }
    FileDescriptor file(fd);
    if (int error = WriteContents(fd, bytes, replaced, times)) {
        result = Failed(error);
        return UnnamedOutcome::Failed;
    }
    if (!replaced) {
        if (LinkUnnamed(fd, final.c_str())) return UnnamedOutcome::Done;
        // EEXIST: a file came to be there meanwhile, and is replaced as any other.
        if (errno != EEXIST) {
            gUnnamedFilesUnlinkable.store(true, std::memory_order_relaxed);
            return UnnamedOutcome::Unavailable;
        }
    }
    const std::string name = final.filename().string();
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string temporary = TemporaryName(dir, name);
        RegisteredTemporary registered(temporary);
        if (!LinkUnnamed(fd, temporary.c_str())) {
            if (errno == EEXIST) continue;
            gUnnamedFilesUnlinkable.store(true, std::memory_order_relaxed);
            return UnnamedOutcome::Unavailable;
        }
        if (::rename(temporary.c_str(), final.c_str()) == 0) return UnnamedOutcome::Done;
        result = Failed(errno);
        ::unlink(temporary.c_str());
        return UnnamedOutcome::Failed;
    }
    result = Failed(EEXIST);
    return UnnamedOutcome::Failed;
}
#endif

}  // namespace

WriteResult WriteFileAtomically(const std::string& target, std::span<const uint8_t> bytes, const FileTimes* times) {
    const fs::path final = FollowLink(target);
    if (final.filename().empty()) return Failed(EISDIR);
    const fs::path dir = final.has_parent_path() ? final.parent_path() : fs::path(".");

    struct stat existing {};
    const bool replacing = ::stat(final.c_str(), &existing) == 0;
    if (replacing && S_ISDIR(existing.st_mode)) return Failed(EISDIR);
    const struct stat* replaced = replacing ? &existing : nullptr;
#ifdef O_TMPFILE
    WriteResult result{true, {}};
    if (WriteThroughUnnamedFile(final, dir, bytes, replaced, times, result) != UnnamedOutcome::Unavailable) {
        return result;
    }
#endif
    return WriteThroughNamedTemporary(final, dir, bytes, replaced, times);
}

PathInfo InspectPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    PathInfo info;
    info.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), true};
    if (S_ISREG(st.st_mode)) {
        info.kind = PathKind::Regular;
    } else if (S_ISDIR(st.st_mode)) {
        info.kind = PathKind::Directory;
    } else {
        info.kind = PathKind::Special;
    }
    return info;
}

bool NamesDeviceOrDescriptor(const std::string& path) {
    return path.starts_with("/dev/") || path.starts_with("/proc/");
}

ReplaceVerdict CheckReplaceable(const std::string& path) {
    const fs::path final = FollowLink(path);
    struct stat st {};
    if (::stat(final.c_str(), &st) != 0) return {};
    int error = 0;
    if (!CallerMayWrite(final.c_str(), error)) {
        // A read-only file system leaves nothing to force.
        if (error == EROFS) return {ReplaceCheck::FolderNotWritable, ErrorText(error)};
        return {ReplaceCheck::WriteProtected, ErrorText(error)};
    }
    // The superuser passes every access test: the mode's write bits speak for the owner.
    if (::geteuid() == 0 && (st.st_mode & 0222) == 0) return {ReplaceCheck::WriteProtected, ErrorText(EACCES)};
    const fs::path dir = final.has_parent_path() ? final.parent_path() : fs::path(".");
    if (::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        return {ReplaceCheck::FolderNotWritable, ErrorText(errno)};
    }
    return {};
}

WriteResult WriteIntoSpecialFile(const std::string& path, std::span<const uint8_t> bytes) {
    int fd;
    do {
        // No O_TRUNC, O_CREAT: the file exists and is not ours to shape, as with cat.
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return Failed(errno);
    FileDescriptor file(fd);
    if (int error = WriteAll(fd, bytes)) return Failed(error);
    if (file.Close() != 0) return Failed(errno);
    return {true, {}};
}

namespace {

// The writer's process id, when name is one WriteFileAtomically gives its temporary files.
std::optional<pid_t> TemporaryOwner(std::string_view name) {
    if (!name.starts_with('.') || !name.ends_with(kTemporarySuffix)) return std::nullopt;
    name.remove_suffix(kTemporarySuffix.size());
    const size_t dash = name.rfind('-');
    const size_t mark = name.rfind(kTemporaryMark, dash);
    if (dash == std::string_view::npos || mark == std::string_view::npos || mark == 0) return std::nullopt;
    const std::string_view random = name.substr(dash + 1);
    const std::string_view pid = name.substr(mark + kTemporaryMark.size(), dash - mark - kTemporaryMark.size());
    const auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (random.size() != 12 || !std::all_of(random.begin(), random.end(), hex)) return std::nullopt;
    if (pid.empty() || pid.size() > 9 || !std::all_of(pid.begin(), pid.end(), digit)) return std::nullopt;
    return static_cast<pid_t>(std::stol(std::string(pid)));
}

bool ProcessGone(pid_t pid) {
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace

StaleCleanup RemoveStaleTemporaries(const std::string& folder) {
    StaleCleanup cleanup;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::optional<pid_t> owner = TemporaryOwner(name);
        struct stat st {};
        if (!owner || ::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if ((::geteuid() != 0 && st.st_uid != ::geteuid()) || !ProcessGone(*owner)) continue;
        if (::unlink(it->path().c_str()) == 0) {
            cleanup.removed.push_back(it->path().string());
        } else {
            cleanup.errors.push_back(it->path().string() + ": " + ErrorText(errno));
        }
    }
    if (ec) cleanup.errors.push_back(folder + ": " + ec.message());
    return cleanup;
}

void InstallInterruptCleanup() {
    ProcessUmask();
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        // A signal the caller ignores (nohup) stays ignored.
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace pivotta::files
