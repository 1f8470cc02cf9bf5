// The progress line of a run on standard error: files done of all, the current rate and the
// time left, redrawn in place and removed at the end.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>

namespace pivotta::cli {

class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    // Draws nothing at all when not shown.
    ProgressLine(size_t total, bool shown);
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Takes the line away, so that a message can be printed where it stood.
    void Clear();
    // One more file finished: the line is drawn again with it.
    void FileDone();

    // "12/345 files, 3.4 files/s, 1:23 left": the rate over the last files finished.
    static std::string Text(size_t done, size_t total, double filesPerSecond);

private:
    void Draw();

    size_t total_;
    bool shown_;
    size_t done_ = 0;
    size_t drawnWidth_ = 0;
    std::deque<Clock::time_point> recent_;  // the start, then the latest finishing times
};

}  // namespace pivotta::cli
