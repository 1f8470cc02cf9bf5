#include "WorkerThreads.h"

#include <exception>

namespace pivotta {

WorkerThreads::WorkerThreads(const ThreadStarter& start, unsigned count, Work work)
    : work_(std::move(work)), failed_(count, 0) {
    threads_.reserve(count);
    for (unsigned index = 0; index < count; ++index) {
        std::optional<std::jthread> thread = TryStartThread(start, [this, index] {
            try {
                work_(index, cancel_);
            } catch (const std::exception&) {
                failed_[index] = 1;
            }
        });
        if (!thread) break;  // the system is short of threads: the rest stays with the caller
        threads_.push_back(std::move(*thread));
    }
}

WorkerThreads::~WorkerThreads() {
    if (!joined_) cancel_ = true;
    Join();
}

void WorkerThreads::Join() {
    for (std::jthread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
    joined_ = true;
}

}  // namespace pivotta
