// Memory for whole files, scans and the coefficient store: megabytes touched once in order.
// Where the platform offers large pages, asking for them saves most of the page faults, which
// in a virtual machine cost more than the copy they precede.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace pivotta {

// From this size on a block is large: it starts on a large-page boundary and takes whole
// large pages, where the platform has them.
inline constexpr size_t kLargeBlockMinimum = size_t{1} << 20;

// nullptr when the memory cannot be had. The memory is not initialised.
void* AllocateLarge(size_t bytes) noexcept;
void FreeLarge(void* memory, size_t bytes) noexcept;

// For vectors that hold such memory: large blocks come from AllocateLarge, and growing does
// not zero the new elements, since they are written at once.
template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
        const size_t bytes = n * sizeof(T);
        if (bytes < kLargeBlockMinimum) return static_cast<T*>(::operator new(bytes));
        void* memory = AllocateLarge(bytes);
        if (!memory) throw std::bad_alloc();
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, size_t n) noexcept {
        const size_t bytes = n * sizeof(T);
        if (bytes < kLargeBlockMinimum) {
            ::operator delete(memory);
        } else {
            FreeLarge(memory, bytes);
        }
    }
    template <class U>
    void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
    friend bool operator==(const LargeAllocator&, const LargeAllocator&) noexcept { return true; }
};

template <class T>
using LargeVector = std::vector<T, LargeAllocator<T>>;
using ByteBuffer = LargeVector<uint8_t>;

}  // namespace pivotta
