#include "ProgressLine.h"

#include <cmath>
#include <cstdio>

#include "FileReport.h"
#include "FileSystem.h"

namespace pivotta::cli {
namespace {

// The rate follows the last files, so that a change of pace shows soon.
constexpr size_t kRateWindow = 16;

std::string Duration(double seconds) {
    const long long total = std::llround(seconds);
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    return text;
}

}  // namespace

ProgressLine::ProgressLine(size_t total, bool shown) : total_(total), shown_(shown) {
    recent_.push_back(Clock::now());
    Draw();
}

std::string ProgressLine::Text(size_t done, size_t total, double filesPerSecond) {
    std::string text = std::string(kProgramName) + ": " + std::to_string(done) + "/" + std::to_string(total) + " files";
    if (filesPerSecond > 0) {
        char rate[32];
        std::snprintf(rate, sizeof rate, ", %.1f files/s", filesPerSecond);
        text += rate;
        text += ", " + Duration(static_cast<double>(total - done) / filesPerSecond) + " left";
    }
    return text;
}

void ProgressLine::Clear() {
    if (!shown_ || drawnWidth_ == 0) return;
    std::string blank(drawnWidth_ + 2, ' ');
    blank.front() = blank.back() = '\r';
    WriteText(stderr, blank);
    drawnWidth_ = 0;
}

void ProgressLine::FileDone() {
    ++done_;
    recent_.push_back(Clock::now());
    if (recent_.size() > kRateWindow + 1) recent_.pop_front();
    Draw();
}

void ProgressLine::Draw() {
    if (!shown_) return;
    double rate = 0;
    const double seconds = std::chrono::duration<double>(recent_.back() - recent_.front()).count();
    if (recent_.size() > 1 && seconds > 0) rate = static_cast<double>(recent_.size() - 1) / seconds;
    std::string text = Text(done_, total_, rate);
    // Spaces over what a longer line left; plain text, so that any terminal shows it.
    const size_t width = text.size();
    if (width < drawnWidth_) text.append(drawnWidth_ - width, ' ');
    WriteText(stderr, "\r" + text);
    drawnWidth_ = width;
}

}  // namespace pivotta::cli
