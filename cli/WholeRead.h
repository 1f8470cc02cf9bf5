// The loop that reads a file or stream into memory, shared by the POSIX and Win32 sides: only
// the call that reads one chunk is the platform's.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "LargeBlock.h"

namespace pivotta::cli {

enum class WholeRead { Complete, TooLarge, Failed };

// readChunk(at, room) reads up to room bytes to at and gives their count (0 at the end), or
// nullopt on an error it keeps itself. sizeHint is the size of a regular file, 0 when unknown;
// more than limit bytes are never held. A start that is no JPEG's (FF D8) ends the read after
// the first chunk, whatever the size: a video named .jpg then costs no more than that, and
// its refusal needs no more than its start.
template <class ReadChunk>
WholeRead ReadWhole(ReadChunk&& readChunk, size_t sizeHint, size_t limit, ByteBuffer& bytes) {
    constexpr size_t kFirstChunk = size_t{1} << 16;
    bytes.clear();
    bytes.resize(kFirstChunk);
    size_t used = 0;
    bool startChecked = false;
    for (;;) {
        if (!startChecked && used >= 2) {
            startChecked = true;
            if (bytes[0] != 0xFF || bytes[1] != 0xD8) break;
            if (sizeHint > limit) {
                bytes.clear();
                return WholeRead::TooLarge;
            }
            // One byte beyond a known size, so that seeing the end costs no reallocation.
            // Growing the buffer zeroes nothing: the bytes are read over at once.
            if (sizeHint + 1 > bytes.size()) bytes.resize(sizeHint + 1);
        }
        if (used > limit) {
            bytes.clear();
            return WholeRead::TooLarge;
        }
        if (used == bytes.size()) bytes.resize(std::min(used + std::max(kFirstChunk, used / 2), limit + 1));
        // The first read stops at the first chunk, so that the start is seen before the rest.
        const size_t room = startChecked ? bytes.size() - used : kFirstChunk - used;
        const std::optional<size_t> got = readChunk(bytes.data() + used, room);
        if (!got) return WholeRead::Failed;
        if (*got == 0) break;
        used += *got;
    }
    bytes.resize(used);
    return WholeRead::Complete;
}

}  // namespace pivotta::cli
