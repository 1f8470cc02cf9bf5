#include "JobPlan.h"

#include <unordered_map>

#include "FileSystem.h"
#include "InputList.h"
#include "NameQuoting.h"
#include "ToolTexts.h"

namespace pivotta::cli {
namespace {

// "a.jpg" + "-x" -> "a-x.jpg"; a name without an extension gets the suffix at its end.
std::string WithSuffix(const std::string& name, const std::string& suffix) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

std::string TargetOf(const CliOptions& options, const InputFile& input) {
    const std::string name = FileNameOf(input.path);
    switch (options.mode) {
    case RunMode::SingleFile: return options.output;
    case RunMode::OutputDir: {
        const std::string& under = input.underFolder.empty() ? name : input.underFolder;
        return JoinPath(options.outputDir, under.substr(0, under.size() - name.size()) + WithSuffix(name, options.suffix));
    }
    case RunMode::BesideInput:
        return input.path.substr(0, input.path.size() - name.size()) + WithSuffix(name, options.suffix);
    case RunMode::InPlace: return input.path;
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
                          ? Say(options.language, ToolText::GivenTwice, {earlier})
                          : Say(options.language, ToolText::SharedTarget, {job.target, earlier});
    }
}

// The same path, or another name (a hard link, a symbolic link, "./") for the same file.
bool SameFile(const std::string& a, const std::string& b) {
    if (a == kStandardStream || b == kStandardStream) return false;
    return IdentityKey(a) == IdentityKey(b) || InspectPath(a).identity == InspectPath(b).identity;
}

// Writing an input's result over the input itself must be asked for by name.
std::string InputOverwritten(const CliOptions& options, const std::vector<FileJob>& jobs) {
    if (options.mode != RunMode::SingleFile && options.mode != RunMode::OutputDir &&
        options.mode != RunMode::BesideInput) {
        return {};
    }
    // A suffixed name may be another input's: "a.jpg" and "a-x.jpg" with --suffix -x.
    std::unordered_map<std::string, const FileJob*> inputs;
    if (options.mode == RunMode::BesideInput) {
        for (const FileJob& job : jobs) inputs.emplace(IdentityKey(job.input), &job);
    }
    for (const FileJob& job : jobs) {
        if (job.target.empty()) continue;
        if (auto other = inputs.find(IdentityKey(job.target)); other != inputs.end()) {
            return Say(options.language, ToolText::PlanSuffixHitsInput, {job.input, other->second->input});
        }
        if (!SameFile(job.input, job.target)) continue;
        if (options.mode == RunMode::SingleFile) {
            return Say(options.language, ToolText::PlanOutputIsInput, {job.target});
        }
        return Say(options.language, ToolText::PlanOutputFolderHoldsInput, {options.outputDir, job.input});
    }
    return {};
}

}  // namespace

JobPlan PlanJobs(const CliOptions& options) {
    JobPlan plan;
    if (options.mode == RunMode::OutputDir && !IsDirectory(options.outputDir)) {
        plan.error = Say(options.language, ToolText::PlanNoOutputFolder, {options.outputDir});
        return plan;
    }
    InputList inputs = CollectInputs(options);
    if (!inputs.error.empty()) {
        plan.error = std::move(inputs.error);
        return plan;
    }
    plan.jobs.reserve(inputs.files.size());
    for (const InputFile& input : inputs.files) {
        FileJob job{input.path, TargetOf(options, input), input.refusal};
        job.makeFolders = options.mode == RunMode::OutputDir && !input.underFolder.empty();
        if (job.refusal.empty() && (options.mode == RunMode::OutputDir || options.mode == RunMode::BesideInput) &&
            FileNameOf(input.path).empty()) {
            job.refusal = Say(options.language, ToolText::NotAFileName);
        }
        if (!job.refusal.empty()) job.target.clear();
        plan.jobs.push_back(std::move(job));
    }
    plan.error = InputOverwritten(options, plan.jobs);
    if (!plan.error.empty()) plan.jobs.clear();
    RefuseSharedTargets(options, plan.jobs);
    return plan;
}

std::string DisplayName(const FileJob& job) {
    return job.input == kStandardStream ? "<stdin>" : NameForLine(job.input);
}

}  // namespace pivotta::cli
