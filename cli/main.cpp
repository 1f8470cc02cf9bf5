// pivotta-cli: the command-line front end of the lossless JPEG transformer.
#include <cstdio>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "FileProcessor.h"
#include "FileSystem.h"
#include "JobPlan.h"
#include "JobRunner.h"
#include "MemoryBudget.h"
#include "MessageTexts.h"
#include "ProgressLine.h"
#include "SystemMemory.h"
#include "ThreadStarter.h"
#include "Usage.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void Print(std::FILE* stream, const std::string& text) {
    pivotta::cli::WriteText(stream, text);
}

int Run(const pivotta::cli::CliOptions& options) {
    using namespace pivotta::cli;
    const JobPlan plan = PlanJobs(options);
    if (!plan.error.empty()) {
        Print(stderr, UsageErrorText(plan.error, options.language));
        return kExitUsage;
    }
    bool allOk = true;
    const bool progressShown =
        options.progress == ProgressChoice::Always ||
        (options.progress == ProgressChoice::Auto && !options.quiet && plan.jobs.size() > 1 && StandardErrorIsTerminal());
    ProgressLine progress(plan.jobs.size(), progressShown);
    const unsigned workers = pivotta::ThreadBudget(options.jobs);
    // -j N is a number of processors. Files already run side by side: each engine then keeps
    // to one thread. A lone worker may use N threads, or every processor without -j.
    const unsigned engineThreads = workers > 1 && plan.jobs.size() > 1 ? 1 : options.jobs;
    // Files side by side take their memory from what the machine has: the big ones wait.
    MemoryBudget memory(AvailableMemoryBytes());
    MemoryBudget* sharedMemory = workers > 1 && plan.jobs.size() > 1 ? &memory : nullptr;
    RunJobs(
        plan.jobs.size(), workers,
        [&](size_t i) { return ProcessFile(plan.jobs[i], options, engineThreads, sharedMemory); },
        [&](size_t, FileReport& report) {
            allOk = allOk && report.ok;
            progress.Clear();
            PrintReport(report);
            progress.FileDone();
        });
    progress.Clear();
    return allOk ? kExitSuccess : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pivotta::cli;
    PrepareStandardStreams();
    const std::vector<std::string> args = CommandLineArguments(argc, argv);
    const MessageLanguage language = LanguageFromEnvironment();
    const ParsedCommandLine parsed = ParseCommandLine(args, language);
    switch (parsed.outcome) {
    case ParseOutcome::ShowHelp: Print(stdout, HelpText()); return kExitSuccess;
    case ParseOutcome::ShowVersion: Print(stdout, VersionText()); return kExitSuccess;
    case ParseOutcome::UsageError: Print(stderr, UsageErrorText(parsed.error, language)); return kExitUsage;
    case ParseOutcome::Run: break;
    }
    CliOptions options = parsed.options;
    options.language = language;
    // Before any thread starts: the handler must see every temporary file.
    InstallInterruptCleanup();
    return Run(options);
}
