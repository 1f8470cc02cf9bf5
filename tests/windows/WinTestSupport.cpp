#include "WinTestSupport.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include <gtest/gtest.h>

#include "MiniJpeg.h"
#include "WideText.h"

namespace pivotta::wintest {
namespace {

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const std::wstring pattern = win32::ExtendedLengthPath(folder + L"\\*");
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            const std::wstring extended = win32::ExtendedLengthPath(path);
            SetFileAttributesW(extended.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(extended.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(win32::ExtendedLengthPath(folder).c_str());
}

}  // namespace

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring base(temp, length);
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    path_ = base + L"\\pivotta-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    RemoveTree(path_);
    EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr)) << "cannot make the scratch folder";
    // Spelt as the file system lists it, so that tests can compare paths it reports.
    wchar_t listed[MAX_PATH * 2];
    const DWORD listedLength = GetLongPathNameW(path_.c_str(), listed, MAX_PATH * 2);
    if (listedLength > 0 && listedLength < MAX_PATH * 2) path_.assign(listed, listedLength);
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(path_);
}

std::vector<std::wstring> ScratchFolder::Names() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    const HANDLE file = CreateFileW(win32::ExtendedLengthPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create " << win32::Utf8FromWide(path);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
    const HANDLE file = CreateFileW(win32::ExtendedLengthPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot open " << win32::Utf8FromWide(path);
        return {};
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(win32::ExtendedLengthPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring MakeDeepFolder(const std::wstring& base) {
    std::wstring folder = base;
    for (int level = 0; folder.size() <= MAX_PATH + 20; ++level) {
        folder += L"\\level-" + std::to_wstring(level) + L"-" + std::wstring(40, L'x');
        EXPECT_TRUE(CreateDirectoryW(win32::ExtendedLengthPath(folder).c_str(), nullptr));
    }
    return folder;
}

std::vector<uint8_t> SmallJpeg() {
    test::ScanBitWriter scan;
    for (int diff : {40, -12, 7, -3}) {
        scan.Dc(0, diff);
        scan.Ac(0, 0, 5);
        scan.Ac(0, 2, -2);
        scan.Ac(0, 0, 0);  // end of block
    }
    return test::BuildJpeg(16, 16, test::Gray(), scan.Finish());
}

void PutRawValue(const wchar_t* keyPath, const wchar_t* name, unsigned long type, const void* data, unsigned long size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

std::pair<unsigned long, std::vector<uint8_t>> GetRawValue(const wchar_t* keyPath, const wchar_t* name) {
    std::vector<uint8_t> data(512);
    DWORD type = 0, size = static_cast<DWORD>(data.size());
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, keyPath, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(), &size),
              ERROR_SUCCESS)
        << "no value " << win32::Utf8FromWide(name);
    data.resize(size);
    return {type, data};
}

}  // namespace pivotta::wintest
