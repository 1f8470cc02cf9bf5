// POSIX side of the atomic save: temporary file, replacement, kept owner, mode and times,
// special files, write protection and the interrupt cleanup.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

std::string TemporaryName(const fs::path& dir, const std::string& name) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::random_device entropy;
    std::string suffix;
    for (int i = 0; i < 3; ++i) {
        for (uint32_t v = entropy(), k = 0; k < 4; ++k, v >>= 8) {
            suffix += kHex[v >> 4 & 15];
            suffix += kHex[v & 15];
        }
    }
    // Keep the name within the usual 255-byte limit however long the target's name is.
    std::string hidden(".");
    hidden.append(name, 0, 200).append(".pivotta-").append(suffix).append(".tmp");
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

}  // namespace

WriteResult WriteFileAtomically(const std::string& target, std::span<const uint8_t> bytes, const FileTimes* times) {
    const fs::path final = FollowLink(target);
    const std::string name = final.filename().string();
    if (name.empty()) return Failed(EISDIR);
    const fs::path dir = final.has_parent_path() ? final.parent_path() : fs::path(".");

    struct stat existing {};
    const bool replacing = ::stat(final.c_str(), &existing) == 0;
    if (replacing && S_ISDIR(existing.st_mode)) return Failed(EISDIR);

    std::string temporary = TemporaryName(dir, name);
    std::optional<RegisteredTemporary> registered;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        if (attempt > 0) temporary = TemporaryName(dir, name);
        registered.reset();
        registered.emplace(temporary);
        // Owner only while it fills: the picture may be private until its mode is set.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return Failed(errno);
    }
    if (fd < 0) return Failed(EEXIST);

    FileDescriptor file(fd);
    int error = WriteAll(fd, bytes);
    mode_t mode = 0666 & ~ProcessUmask();
    if (!error && replacing) {
        // Keep the replaced file's owner where we may (as root); otherwise it becomes ours,
        // as with any editor that saves by renaming.
        [[maybe_unused]] int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
        mode = existing.st_mode & 07777;
    }
    if (!error && times) error = ApplyTimes(fd, *times);
    // A replaced file's data must be on disk before the rename makes it the only copy; a new
    // file still has its input beside it, so it spares the wait.
    if (!error && replacing && ::fsync(fd) != 0) error = errno;
    if (!error && ::fchmod(fd, mode) != 0) error = errno;
    if (file.Close() != 0 && !error) error = errno;
    if (!error && ::rename(temporary.c_str(), final.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        return Failed(error);
    }
    return {true, {}};
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
