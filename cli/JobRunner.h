// Runs independent jobs on a bounded pool of threads and hands their reports on in input
// order, each as soon as it and every job before it have finished.
#pragma once

#include <cstddef>
#include <functional>

#include "FileReport.h"

namespace pivotta::cli {

using JobFunction = std::function<FileReport(size_t index)>;
using ReportFunction = std::function<void(size_t index, FileReport& report)>;

// run must not throw and may be called from any thread; report is called on the calling
// thread only. With workers <= 1, or when no thread can be started, every job runs on the
// calling thread.
void RunJobs(size_t count, unsigned workers, const JobFunction& run, const ReportFunction& report);

// Writes a report's lines to standard output and standard error, in their order.
void PrintReport(const FileReport& report);

}  // namespace pivotta::cli
