#include "JobRunner.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "FileSystem.h"
#include "ThreadStarter.h"

namespace pivotta::cli {
namespace {

class OrderedResults {
public:
    explicit OrderedResults(size_t count) : slots_(count) {}

    // The next index to run, or count when none is left.
    size_t TakeIndex() {
        std::lock_guard lock(mutex_);
        return next_ < slots_.size() ? next_++ : slots_.size();
    }

    void Store(size_t index, FileReport report) {
        {
            std::lock_guard lock(mutex_);
            slots_[index] = std::move(report);
        }
        ready_.notify_one();
    }

    FileReport WaitFor(size_t index) {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return slots_[index].has_value(); });
        FileReport report = std::move(*slots_[index]);
        slots_[index].reset();
        return report;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<std::optional<FileReport>> slots_;
    size_t next_ = 0;
};

void RunInline(size_t count, const JobFunction& run, const ReportFunction& report) {
    for (size_t i = 0; i < count; ++i) {
        FileReport r = run(i);
        report(i, r);
    }
}

}  // namespace

void RunJobs(size_t count, unsigned workers, const JobFunction& run, const ReportFunction& report) {
    const size_t threadCount = std::min<size_t>(workers, count);
    if (threadCount <= 1) return RunInline(count, run, report);

    OrderedResults results(count);
    auto work = [&] {
        for (size_t i = results.TakeIndex(); i < count; i = results.TakeIndex()) results.Store(i, run(i));
    };
    std::vector<std::jthread> threads;
    threads.reserve(threadCount);
    for (size_t t = 0; t < threadCount; ++t) {
        std::optional<std::jthread> thread = TryStartThread({}, work);
        if (!thread) break;  // fewer threads than asked for still finish every job
        threads.push_back(std::move(*thread));
    }
    // Without a single worker, this thread does the work itself before reporting.
    if (threads.empty()) work();
    for (size_t i = 0; i < count; ++i) {
        FileReport r = results.WaitFor(i);
        report(i, r);
    }
}

void PrintReport(const FileReport& report) {
    for (const ReportLine& line : report.lines) {
        std::FILE* stream = line.channel == Channel::StandardOutput ? stdout : stderr;
        // One flushed write per line keeps standard output and standard error in step when
        // both go to one terminal.
        WriteText(stream, line.text + '\n');
    }
}

}  // namespace pivotta::cli
