#include "LargeBlock.h"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pivotta {

#if defined(__linux__)

namespace {

constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
static_assert(kLargeBlockMinimum == kLargePage / 2);

// A large block takes whole aligned large pages, the only kind that can be one: one fault
// instead of hundreds, while the room past its end costs nothing until it is touched.
size_t MappedSize(size_t bytes) {
    return bytes < kLargeBlockMinimum ? bytes : (bytes + kLargePage - 1) & ~(kLargePage - 1);
}

}  // namespace

void* AllocateLarge(size_t bytes) noexcept {
    if (bytes < kLargeBlockMinimum) {
        void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        return memory == MAP_FAILED ? nullptr : memory;
    }
    // Start on a large-page boundary: map a large page more, then give back the ends.
    const size_t size = MappedSize(bytes);
    const size_t mapped = size + kLargePage;
    if (size < bytes || mapped < size) return nullptr;
    void* memory = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(memory);
    const uintptr_t aligned = (start + kLargePage - 1) & ~(kLargePage - 1);
    if (aligned > start) munmap(memory, aligned - start);
    const uintptr_t end = start + mapped, used = aligned + size;
    if (end > used) munmap(reinterpret_cast<void*>(used), end - used);
#if defined(MADV_HUGEPAGE)
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);  // a hint: the memory works all the same
#endif
    return reinterpret_cast<void*>(aligned);
}

void FreeLarge(void* memory, size_t bytes) noexcept {
    if (memory) munmap(memory, MappedSize(bytes));
}

#else

void* AllocateLarge(size_t bytes) noexcept { return ::operator new(bytes, std::nothrow); }

void FreeLarge(void* memory, size_t) noexcept { ::operator delete(memory); }

#endif

}  // namespace pivotta
