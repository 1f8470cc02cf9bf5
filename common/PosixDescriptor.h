// A file descriptor that closes itself, and the full write every caller needs. POSIX only.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <span>
#include <string>
#include <system_error>

namespace pivotta::files {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    // Closes now so that a late write error (full disk on a network file system) is seen.
    int Close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

// 0, or the errno that stopped it.
inline int WriteAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

inline std::string ErrorText(int error) {
    return std::system_category().message(error);
}

}  // namespace pivotta::files
