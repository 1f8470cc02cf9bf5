#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "JobRunner.h"

namespace pivotta::cli {
namespace {

FileReport ReportFor(size_t index) {
    return {index % 3 != 0, {{Channel::StandardError, "line of " + std::to_string(index)}}};
}

// Early jobs take longest, so with several workers they finish last; reports must still
// come in input order, each job run exactly once.
void ExpectInputOrder(unsigned workers) {
    constexpr size_t kJobs = 24;
    std::vector<std::atomic<int>> runs(kJobs);
    std::vector<size_t> order;
    const auto caller = std::this_thread::get_id();
    RunJobs(
        kJobs, workers,
        [&](size_t i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kJobs - i));
            ++runs[i];
            return ReportFor(i);
        },
        [&](size_t i, FileReport& report) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            EXPECT_EQ(report.ok, ReportFor(i).ok);
            ASSERT_EQ(report.lines.size(), 1u);
            EXPECT_EQ(report.lines[0].text, ReportFor(i).lines[0].text);
            order.push_back(i);
        });
    ASSERT_EQ(order.size(), kJobs);
    for (size_t i = 0; i < kJobs; ++i) {
        EXPECT_EQ(order[i], i) << "workers " << workers;
        EXPECT_EQ(runs[i].load(), 1) << "job " << i;
    }
}

TEST(JobRunnerTest, ReportsInInputOrderWhateverTheWorkerCount) {
    for (unsigned workers : {1u, 2u, 5u, 64u}) ExpectInputOrder(workers);
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
