#include "SystemMemory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace pivotta::cli {
namespace {

constexpr uint64_t kUnknown = UINT64_MAX;

// Linux's estimate of what can be had without swapping ("MemAvailable:  123 kB").
uint64_t MachineAvailable() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    uint64_t kilobytes = 0;
    std::string unit;
    while (meminfo >> key >> kilobytes >> unit) {
        if (key == "MemAvailable:") return kilobytes * 1024;
    }
    return kUnknown;
}

// A control group's limit (cgroup v2) less what the group already uses.
uint64_t GroupAvailable() {
    std::ifstream maxFile("/sys/fs/cgroup/memory.max"), currentFile("/sys/fs/cgroup/memory.current");
    uint64_t max = 0, current = 0;
    if (!(maxFile >> max) || !(currentFile >> current)) return kUnknown;  // "max" reads as no number
    return max > current ? max - current : 0;
}

// ulimit -v less the address space already mapped.
uint64_t AddressSpaceAvailable() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnknown;
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    if (!(statm >> pages)) return limit.rlim_cur;
    const uint64_t mapped = pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    return limit.rlim_cur > mapped ? limit.rlim_cur - mapped : 0;
}

}  // namespace

uint64_t AvailableMemoryBytes() {
    return std::min({MachineAvailable(), GroupAvailable(), AddressSpaceAvailable()});
}

}  // namespace pivotta::cli
