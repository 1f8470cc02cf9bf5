#include "LibjpegErrors.h"

namespace pivotta::test {
namespace {

LibjpegErrorManager& ManagerOf(j_common_ptr info) {
    return *reinterpret_cast<LibjpegErrorManager*>(info->err);
}

std::string FormatMessage(j_common_ptr info) {
    char text[JMSG_LENGTH_MAX];
    (*info->err->format_message)(info, text);
    return text;
}

[[noreturn]] void ErrorExit(j_common_ptr info) {
    LibjpegErrorManager& manager = ManagerOf(info);
    manager.error = FormatMessage(info);
    std::longjmp(manager.jump, 1);
}

// Level -1 is a warning (corrupt data that libjpeg worked around); levels 0 and above are
// trace messages, which say nothing about the file's soundness.
void EmitMessage(j_common_ptr info, int level) {
    if (level >= 0) return;
    LibjpegErrorManager& manager = ManagerOf(info);
    ++manager.warningCount;
    ++info->err->num_warnings;
    if (manager.warnings) manager.warnings->push_back(FormatMessage(info));
}

}  // namespace

jpeg_error_mgr* InstallErrorManager(LibjpegErrorManager& manager, std::vector<std::string>* warnings) {
    jpeg_std_error(&manager.pub);
    manager.pub.error_exit = ErrorExit;
    manager.pub.emit_message = EmitMessage;
    manager.warnings = warnings;
    return &manager.pub;
}

}  // namespace pivotta::test
