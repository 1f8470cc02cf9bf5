// A hint that memory is about to be read, for the compilers the program is built with.
#pragma once

#if defined(_MSC_VER) && !defined(__clang__)
#include <xmmintrin.h>
#endif

namespace pivotta {

inline void Prefetch(const void* address) {
#if defined(_MSC_VER) && !defined(__clang__)
    _mm_prefetch(static_cast<const char*>(address), _MM_HINT_T0);
#else
    __builtin_prefetch(address);
#endif
}

}  // namespace pivotta
