#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "JobRunner.h"

namespace pivotta::cli {
namespace {

FileReport ReportFor(size_t index) {
    return {index % 3 != 0, {{Channel::StandardError, "line of " + std::to_string(index)}}};
}

// The first job takes longest, so with several workers it finishes last. Each job runs once and
// is reported once, right after it finished and never while another report is being made:
// one worker reports in input order, several in the order they finish.
void ExpectCompletionOrder(unsigned workers) {
    constexpr size_t kJobs = 24;
    std::vector<std::atomic<int>> runs(kJobs);
    std::vector<size_t> order;
    std::atomic<bool> reporting{false};
    RunJobs(
        kJobs, workers,
        [&](size_t i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(i == 0 ? 300 : 1));
            ++runs[i];
            return ReportFor(i);
        },
        [&](size_t i, FileReport& report) {
            EXPECT_FALSE(reporting.exchange(true)) << "two reports at once";
            EXPECT_EQ(runs[i].load(), 1) << "reported before it ran";
            EXPECT_EQ(report.ok, ReportFor(i).ok);
            ASSERT_EQ(report.lines.size(), 1u);
            EXPECT_EQ(report.lines[0].text, ReportFor(i).lines[0].text);
            order.push_back(i);
            reporting = false;
        });
    ASSERT_EQ(order.size(), kJobs);
    std::vector<size_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < kJobs; ++i) {
        EXPECT_EQ(sorted[i], i) << "workers " << workers;
        EXPECT_EQ(runs[i].load(), 1) << "job " << i;
    }
    if (workers == 1) {
        EXPECT_EQ(order, sorted);
    } else {
        EXPECT_NE(order.front(), 0u) << "the slow first job held the others' reports back";
    }
}

TEST(JobRunnerTest, ReportsEachJobAsItFinishes) {
    for (unsigned workers : {1u, 2u, 5u, 64u}) ExpectCompletionOrder(workers);
}

TEST(JobRunnerTest, OneWorkerRunsOnTheCallingThread) {
    const auto caller = std::this_thread::get_id();
    RunJobs(
        3, 1,
        [&](size_t i) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            return ReportFor(i);
        },
        [](size_t, FileReport&) {});
}

}  // namespace
}  // namespace pivotta::cli
