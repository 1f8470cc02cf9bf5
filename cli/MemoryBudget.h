// Keeps the files that a parallel run holds in memory at once within what the machine has:
// a file whose share does not fit waits until others have finished.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace pivotta::cli {

class MemoryBudget {
public:
    explicit MemoryBudget(uint64_t bytes) : total_(bytes) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // Holds bytes of the budget until it is destroyed.
    class Share {
    public:
        Share(MemoryBudget& budget, uint64_t bytes);
        ~Share();
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;

    private:
        MemoryBudget& budget_;
        uint64_t bytes_;
    };

private:
    // Waits until bytes fit beside what others hold; a share that could never fit is given
    // once nothing else is held, so that every file gets its chance.
    void Acquire(uint64_t bytes);
    void Release(uint64_t bytes);

    const uint64_t total_;
    uint64_t held_ = 0;
    std::mutex mutex_;
    std::condition_variable released_;
};

// What processing a file of fileBytes holds at its peak: the input, the coefficients and the
// result, with room for the engine's tables.
uint64_t ProcessingFootprint(uint64_t fileBytes);

}  // namespace pivotta::cli
