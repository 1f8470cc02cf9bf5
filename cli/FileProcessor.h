// Processes one file from its bytes to its written result with an engine of its own, so
// that files can run on several threads at once.
#pragma once

#include "CliOptions.h"
#include "FileReport.h"
#include "JobPlan.h"
#include "MemoryBudget.h"

namespace pivotta::cli {

// Never throws: every failure, the engine's and the file system's, becomes an error line.
// engineThreads is the engine's own thread limit (0: the machine's processors); a run that
// processes several files at once gives each engine one, and a memory budget that a file's
// share is taken from before it is read.
FileReport ProcessFile(const FileJob& job, const CliOptions& options, unsigned engineThreads = 0,
                       MemoryBudget* memory = nullptr) noexcept;

}  // namespace pivotta::cli
