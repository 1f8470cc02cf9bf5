#include "JobPlan.h"

#include <unordered_map>

#include "FileSystem.h"

namespace pivotta::cli {
namespace {

std::string TargetOf(const CliOptions& options, const std::string& input) {
    switch (options.mode) {
    case RunMode::SingleFile: return options.output;
    case RunMode::OutputDir: return JoinPath(options.outputDir, FileNameOf(input));
    case RunMode::InPlace: return input;
    case RunMode::Check:
    case RunMode::Clean: return {};
    }
    return {};
}

// Two jobs writing one file would race, and the later would silently win.
void RefuseSharedTargets(const CliOptions& options, std::vector<FileJob>& jobs) {
    std::unordered_map<std::string, size_t> firstWriter;
    for (size_t i = 0; i < jobs.size(); ++i) {
        FileJob& job = jobs[i];
        if (!job.refusal.empty() || job.target.empty() || job.target == kStandardStream) continue;
        auto [it, inserted] = firstWriter.try_emplace(IdentityKey(job.target), i);
        if (inserted) continue;
        const std::string& earlier = jobs[it->second].input;
        job.refusal = options.mode == RunMode::InPlace
                          ? "given more than once (as '" + earlier + "'); processed once only"
                          : "its result '" + job.target + "' would overwrite the result of '" + earlier + "'";
    }
}

// The same path, or another name (a hard link, a symbolic link, "./") for the same file.
bool SameFile(const std::string& a, const std::string& b) {
    if (a == kStandardStream || b == kStandardStream) return false;
    return IdentityKey(a) == IdentityKey(b) || InspectPath(a).identity == InspectPath(b).identity;
}

// Writing an input's result over the input itself must be asked for by name.
std::string InputOverwritten(const CliOptions& options, const std::vector<FileJob>& jobs) {
    if (options.mode != RunMode::SingleFile && options.mode != RunMode::OutputDir) return {};
    for (const FileJob& job : jobs) {
        if (job.target.empty() || !SameFile(job.input, job.target)) continue;
        if (options.mode == RunMode::SingleFile) {
            return "OUTPUT '" + job.target + "' is the input file itself: use --in-place to replace it";
        }
        return "output folder '" + options.outputDir + "' holds the input '" + job.input +
               "', whose result would replace it: choose another folder, or use --in-place";
    }
    return {};
}

}  // namespace

JobPlan PlanJobs(const CliOptions& options) {
    JobPlan plan;
    if (options.mode == RunMode::OutputDir && !IsDirectory(options.outputDir)) {
        plan.error = "output folder '" + options.outputDir + "' does not exist or is not a folder";
        return plan;
    }
    plan.jobs.reserve(options.inputs.size());
    for (const std::string& input : options.inputs) {
        FileJob job{input, TargetOf(options, input), {}};
        if (options.mode == RunMode::OutputDir && FileNameOf(input).empty()) {
            job.refusal = "not a file name";
        }
        plan.jobs.push_back(std::move(job));
    }
    plan.error = InputOverwritten(options, plan.jobs);
    if (!plan.error.empty()) plan.jobs.clear();
    RefuseSharedTargets(options, plan.jobs);
    return plan;
}

std::string DisplayName(const FileJob& job) {
    return job.input == kStandardStream ? "<stdin>" : job.input;
}

}  // namespace pivotta::cli
