// Memory for the coefficient store: tens of megabytes touched once in order. Where the
// platform offers large pages, asking for them saves most of the page faults.
#pragma once

#include <cstddef>

namespace pivotta {

// nullptr when the memory cannot be had. The memory is not initialised.
void* AllocateLarge(size_t bytes) noexcept;
void FreeLarge(void* memory, size_t bytes) noexcept;
// A hint that memory not yet touched will be used whole, so large pages suit it.
void AdviseLarge(void* memory, size_t bytes) noexcept;

}  // namespace pivotta
