// Where the engine's worker threads come from. A system short of threads (a process limit, a
// container's pids limit) refuses a start with std::system_error; the work then runs on the
// calling thread with the same result, never as a failure. Tests inject a starter that
// refuses, as such a system would.
#pragma once

#include <functional>
#include <optional>
#include <system_error>
#include <thread>

namespace pivotta {

// Starts a thread running work, or throws std::system_error. Empty: std::jthread itself.
using ThreadStarter = std::function<std::jthread(std::function<void()> work)>;

// The started thread, or nothing when it could not be started.
inline std::optional<std::jthread> TryStartThread(const ThreadStarter& start, std::function<void()> work) {
    try {
        if (start) return start(std::move(work));
        return std::jthread(std::move(work));
    } catch (const std::system_error&) {
        return std::nullopt;
    }
}

// The processors of this machine, at least 1.
inline unsigned ProcessorCount() {
    const unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : count;
}

// The threads an operation may use: `limit`, or every processor when it is 0.
inline unsigned ThreadBudget(unsigned limit) { return limit != 0 ? limit : ProcessorCount(); }

}  // namespace pivotta
