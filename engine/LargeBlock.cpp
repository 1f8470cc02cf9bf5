#include "LargeBlock.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pivotta {

#if defined(__linux__)

void* AllocateLarge(size_t bytes) noexcept {
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
#if defined(MADV_HUGEPAGE)
    madvise(memory, bytes, MADV_HUGEPAGE);  // a hint: without it the memory works all the same
#endif
    return memory;
}

void FreeLarge(void* memory, size_t bytes) noexcept {
    if (memory) munmap(memory, bytes);
}

#else

void* AllocateLarge(size_t bytes) noexcept { return ::operator new(bytes, std::nothrow); }

void FreeLarge(void* memory, size_t) noexcept { ::operator delete(memory); }

#endif

}  // namespace pivotta
