// POSIX side of pivotta-cli's own file services: whole-file reads, the standard streams and
// the command line. The atomic save lives in common/.
#include "FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>

#include "PosixDescriptor.h"
#include "WholeRead.h"

namespace pivotta::cli {
namespace {

using files::ErrorText;
using files::FileDescriptor;
using files::WriteAll;

// Reads fd to its end; 0 or the errno of a failed read.
int ReadToEnd(int fd, size_t sizeHint, size_t limit, ReadResult& result) {
    int error = 0;
    auto readChunk = [fd, &error](uint8_t* at, size_t room) -> std::optional<size_t> {
        for (;;) {
            const ssize_t n = ::read(fd, at, room);
            if (n >= 0) return static_cast<size_t>(n);
            if (errno != EINTR) break;
        }
        error = errno;
        return std::nullopt;
    };
    result.tooLarge = ReadWhole(readChunk, sizeHint, limit, result.bytes) == WholeRead::TooLarge;
    return error;
}

// A size past the limit stays past it, even where size_t is narrower than off_t.
size_t SizeHint(const struct stat& st, size_t limit) {
    return static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(st.st_size), uint64_t{limit} + 1));
}

FileTimes TimesOf(const struct stat& st) {
    return {st.st_atim.tv_sec, st.st_atim.tv_nsec, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

}  // namespace

ReadResult ReadWholeFile(const std::string& path, size_t limit) {
    ReadResult result;
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
        result.error = ErrorText(errno);
        return result;
    }
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0) {
        result.error = ErrorText(errno);
        return result;
    }
    if (S_ISDIR(st.st_mode)) {
        result.error = ErrorText(EISDIR);
        return result;
    }
    const bool regular = S_ISREG(st.st_mode);
    if (int error = ReadToEnd(file.Get(), regular ? SizeHint(st, limit) : 0, limit, result)) {
        result.error = ErrorText(error);
        return result;
    }
    if (regular) result.times = TimesOf(st);
    result.ok = !result.tooLarge;
    return result;
}

ReadResult ReadStandardInput(size_t limit) {
    ReadResult result;
    struct stat st {};
    const bool regular = ::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode);
    if (int error = ReadToEnd(STDIN_FILENO, regular ? SizeHint(st, limit) : 0, limit, result)) {
        result.error = ErrorText(error);
        return result;
    }
    if (regular) result.times = TimesOf(st);
    result.ok = !result.tooLarge;
    return result;
}

std::optional<uint64_t> RegularFileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

WriteResult WriteStandardOutput(std::span<const uint8_t> bytes) {
    std::fflush(stdout);
    if (int error = WriteAll(STDOUT_FILENO, bytes)) return {false, ErrorText(error)};
    return {true, {}};
}

bool StandardOutputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void PrepareStandardStreams() {
    std::signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void WriteText(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

}  // namespace pivotta::cli
