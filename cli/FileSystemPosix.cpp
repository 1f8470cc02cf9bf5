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

#include "PosixDescriptor.h"

namespace pivotta::cli {
namespace {

using files::ErrorText;
using files::FileDescriptor;
using files::WriteAll;

// Reads fd to its end. sizeHint is the size of a regular file, 0 when unknown.
int ReadToEnd(int fd, size_t sizeHint, ByteBuffer& bytes) {
    constexpr size_t kMinimumRoom = size_t{1} << 16;
    // One byte beyond a known size, so that seeing the end costs no reallocation. Growing the
    // buffer zeroes nothing: the bytes are read over at once.
    bytes.clear();
    bytes.resize(std::max(sizeHint + 1, kMinimumRoom));
    size_t used = 0;
    for (;;) {
        if (used == bytes.size()) bytes.resize(used + std::max(kMinimumRoom, used / 2));
        ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) break;
        used += static_cast<size_t>(n);
    }
    bytes.resize(used);
    return 0;
}

FileTimes TimesOf(const struct stat& st) {
    return {st.st_atim.tv_sec, st.st_atim.tv_nsec, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

}  // namespace

ReadResult ReadWholeFile(const std::string& path) {
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
    if (int error = ReadToEnd(file.Get(), regular ? static_cast<size_t>(st.st_size) : 0, result.bytes)) {
        result.error = ErrorText(error);
        return result;
    }
    if (regular) result.times = TimesOf(st);
    result.ok = true;
    return result;
}

ReadResult ReadStandardInput() {
    ReadResult result;
    struct stat st {};
    const bool regular = ::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode);
    if (int error = ReadToEnd(STDIN_FILENO, regular ? static_cast<size_t>(st.st_size) : 0, result.bytes)) {
        result.error = ErrorText(error);
        return result;
    }
    if (regular) result.times = TimesOf(st);
    result.ok = true;
    return result;
}

WriteResult WriteStandardOutput(std::span<const uint8_t> bytes) {
    std::fflush(stdout);
    if (int error = WriteAll(STDOUT_FILENO, bytes)) return {false, ErrorText(error)};
    return {true, {}};
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
