// Scratch folders, file helpers and wine detection for the Windows-only tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pivotta::wintest {

// Wine keeps files on a Unix file system: no creation time of their own, no 8.3 names
// stored on disk. Tests that need those skip themselves there and say why.
bool RunningUnderWine();

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }
    // Names in the folder, sorted: shows leftover temporary files.
    std::vector<std::wstring> Names() const;

private:
    std::wstring path_;
};

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
// A folder path longer than MAX_PATH below base, created level by level.
std::wstring MakeDeepFolder(const std::wstring& base);

// A registry value below HKEY_CURRENT_USER stored or read behind the store's back, of any
// type and size; keyPath has no leading backslash.
void PutRawValue(const wchar_t* keyPath, const wchar_t* name, unsigned long type, const void* data, unsigned long size);
std::pair<unsigned long, std::vector<uint8_t>> GetRawValue(const wchar_t* keyPath, const wchar_t* name);

// A small baseline JPEG of our own (16x16 grey, four blocks), for when no camera file is at hand.
std::vector<uint8_t> SmallJpeg();

}  // namespace pivotta::wintest
