// The portable part of the atomic save: which rule a target falls under.
#include "AtomicFile.h"

namespace pivotta::files {

WriteResult SaveFile(const std::string& target, std::span<const uint8_t> bytes, const FileTimes* times) {
    const PathInfo info = InspectPath(target);
    if (info.kind == PathKind::Special || (info.kind == PathKind::Regular && NamesDeviceOrDescriptor(target))) {
        return WriteIntoSpecialFile(target, bytes);
    }
    if (info.kind == PathKind::Directory) return {false, "it is a folder"};
    if (info.kind == PathKind::Regular) {
        const ReplaceVerdict verdict = CheckReplaceable(target);
        if (verdict.check != ReplaceCheck::Allowed) return {false, verdict.reason};
    }
    return WriteFileAtomically(target, bytes, times);
}

}  // namespace pivotta::files
