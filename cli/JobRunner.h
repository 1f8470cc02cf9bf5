// Runs independent jobs on a bounded pool of threads and hands each report on as soon as its
// job has finished (completion order), so that what is reported is what is done.
#pragma once

#include <cstddef>
#include <functional>

#include "FileReport.h"

namespace pivotta::cli {

using JobFunction = std::function<FileReport(size_t index)>;
using ReportFunction = std::function<void(size_t index, FileReport& report)>;

// run must not throw and may be called from any thread. report is called once per job, right
// after it, on the thread that ran it, one call at a time. With workers <= 1, or when no
// thread can be started, every job runs on the calling thread in input order.
void RunJobs(size_t count, unsigned workers, const JobFunction& run, const ReportFunction& report);

// Writes a report's lines to standard output and standard error, in their order.
void PrintReport(const FileReport& report);

}  // namespace pivotta::cli
