#include "JobRunner.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "FileSystem.h"
#include "ThreadStarter.h"

namespace pivotta::cli {

void RunJobs(size_t count, unsigned workers, const JobFunction& run, const ReportFunction& report) {
    std::atomic<size_t> next{0};
    std::mutex reporting;
    // Reported by the thread that finished the job, before it takes the next: an interrupt
    // can then cut off at most the report of a job just finished, never claim one unfinished.
    auto work = [&] {
        for (size_t i = next++; i < count; i = next++) {
            FileReport r = run(i);
            std::lock_guard lock(reporting);
            report(i, r);
        }
    };
    const size_t threadCount = std::min<size_t>(workers, count);
    std::vector<std::jthread> threads;
    if (threadCount > 1) {
        threads.reserve(threadCount);
        for (size_t t = 0; t < threadCount; ++t) {
            std::optional<std::jthread> thread = TryStartThread({}, work);
            if (!thread) break;  // fewer threads than asked for still finish every job
            threads.push_back(std::move(*thread));
        }
    }
    // Without a single worker, this thread does the work itself.
    if (threads.empty()) work();
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
