// Processes one file from its bytes to its written result with an engine of its own, so
// that files can run on several threads at once.
#pragma once

#include "CliOptions.h"
#include "FileReport.h"
#include "JobPlan.h"

namespace pivotta::cli {

// Never throws: every failure, the engine's and the file system's, becomes an error line.
// engineThreads is the engine's own thread limit (0: the machine's processors); a run that
// processes several files at once gives each engine one.
FileReport ProcessFile(const FileJob& job, const CliOptions& options, unsigned engineThreads = 0) noexcept;

}  // namespace pivotta::cli
