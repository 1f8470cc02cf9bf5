// Turns the parsed command line into one job per input: where it is read from and where its
// result goes. Conflicts that would make two jobs race for one file are settled here.
#pragma once

#include <string>
#include <vector>

#include "CliOptions.h"

namespace pivotta::cli {

struct FileJob {
    std::string input;    // a path, or "-" for standard input
    std::string target;   // a path, or "-" for standard output; empty when nothing is written
    std::string refusal;  // why the job is refused before its input is read; empty when it goes ahead
    bool makeFolders = false;  // the target's folder may have to be made first (-R with -o)
};

struct JobPlan {
    std::vector<FileJob> jobs;
    // A command line that cannot run as given (a missing output folder, an output that is an
    // input); no job runs, and it is reported as a usage error.
    std::string error;
};

JobPlan PlanJobs(const CliOptions& options);

// The name a file goes by in messages.
std::string DisplayName(const FileJob& job);

}  // namespace pivotta::cli
