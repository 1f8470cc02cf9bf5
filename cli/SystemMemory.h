// How much memory the process may still take, from the platform.
#pragma once

#include <cstdint>

namespace pivotta::cli {

// The memory the machine has available now, less where a limit on this process is tighter;
// UINT64_MAX when the platform does not say.
uint64_t AvailableMemoryBytes();

}  // namespace pivotta::cli
