#include "SystemMemory.h"

#include <windows.h>

#include <algorithm>

namespace pivotta::cli {

uint64_t AvailableMemoryBytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return UINT64_MAX;
    // A 32-bit process runs out of address space long before the machine runs out of memory.
    return std::min<uint64_t>(status.ullAvailPhys, status.ullAvailVirtual);
}

}  // namespace pivotta::cli
