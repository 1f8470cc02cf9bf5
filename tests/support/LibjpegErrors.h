// libjpeg reports errors by calling error_exit, which must not return. This manager turns
// them into a longjmp back to the one setjmp of the caller, which owns every resource, and
// collects warnings instead of printing them.
#pragma once

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <string>
#include <type_traits>
#include <vector>

#include <jpeglib.h>

namespace pivotta::test {

struct LibjpegErrorManager {
    jpeg_error_mgr pub;  // first, so libjpeg's pointer is also ours
    std::jmp_buf jump;
    std::string error;
    std::vector<std::string>* warnings = nullptr;  // may be null: warnings are then counted only
    int warningCount = 0;
};
static_assert(std::is_standard_layout_v<LibjpegErrorManager>, "libjpeg's err pointer must convert back");

// Points info.err at manager; call before jpeg_create_*.
jpeg_error_mgr* InstallErrorManager(LibjpegErrorManager& manager, std::vector<std::string>* warnings);

}  // namespace pivotta::test
