// Worker threads beside the calling one for one operation. The caller does its own share
// meanwhile, then joins and takes the workers' results. Leaving the scope without joining
// (a failure, an exception) tells the workers to stop and waits for them, so no worker ever
// outlives what it works on.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "ThreadStarter.h"

namespace pivotta {

// Below this many MCUs per thread another thread costs more than it saves.
inline constexpr int64_t kMinimumMcusPerThread = 1024;

// The threads worth using on a scan of `mcus` MCUs: at least 1, at most `budget`.
inline unsigned ThreadsForMcus(int64_t mcus, unsigned budget) {
    return static_cast<unsigned>(std::clamp<int64_t>(mcus / kMinimumMcusPerThread, 1, std::max(1u, budget)));
}

class WorkerThreads {
public:
    // Work for worker `index` (0-based); it polls `cancel` and stops early when it is set.
    using Work = std::function<void(unsigned index, const std::atomic<bool>& cancel)>;

    // Starts workers 0..count-1 in order until one cannot be started: the work of those not
    // started stays with the caller (see Started). A worker's exception marks it failed.
    WorkerThreads(const ThreadStarter& start, unsigned count, Work work);
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    unsigned Started() const { return static_cast<unsigned>(threads_.size()); }
    // Waits for every worker; their results may be read afterwards.
    void Join();
    // Whether worker `index` ran to its end without an exception (after Join).
    bool Finished(unsigned index) const { return index < Started() && !failed_[index]; }

private:
    Work work_;
    std::atomic<bool> cancel_{false};
    std::vector<char> failed_;  // per worker; char, not bool: written from different threads
    std::vector<std::jthread> threads_;  // last: joined first when destroyed
    bool joined_ = false;
};

}  // namespace pivotta
