// The portable part of the file-system layer; the rest lives in FileSystemPosix.cpp or
// FileSystemWin32.cpp.
#include "FileSystem.h"

#include <filesystem>
#include <system_error>

namespace pivotta::cli {

namespace fs = std::filesystem;

namespace {

// Paths are UTF-8 everywhere: a plain std::string would be read in the ANSI code page on Windows.
fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

bool IsDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(PathOf(path), ec);
}

std::string MakeFoldersFor(const std::string& path) {
    std::error_code ec;
    const fs::path folder = PathOf(path).parent_path();
    if (!folder.empty()) fs::create_directories(folder, ec);
    return ec ? ec.message() : std::string();
}

#ifndef _WIN32
std::string IdentityKey(const std::string& path) {
    std::error_code ec;
    fs::path key = fs::weakly_canonical(PathOf(path), ec);
    if (ec) key = fs::absolute(PathOf(path), ec).lexically_normal();
    return key.string();
}
#endif

}  // namespace pivotta::cli
