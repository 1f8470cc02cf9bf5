// The portable part of the file-system layer; the rest lives in FileSystemPosix.cpp.
#include "FileSystem.h"

#include <filesystem>
#include <system_error>
#include <thread>

namespace pivotta::cli {

namespace fs = std::filesystem;

bool IsDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(fs::path(path), ec);
}

std::string IdentityKey(const std::string& path) {
    std::error_code ec;
    fs::path key = fs::weakly_canonical(fs::path(path), ec);
    if (ec) key = fs::absolute(fs::path(path), ec).lexically_normal();
    return key.string();
}

unsigned ProcessorCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

}  // namespace pivotta::cli
