// The processing time of a command on the platform's 32-bit millisecond clock, less the time
// it stood still while the user read a box the engine opened. Differences are taken modulo
// 2^32, so a wrap of the clock costs nothing.
#pragma once

#include <cstdint>

namespace pivotta::app {

class ProcessingClock {
public:
    void Start(uint32_t now)
    {
        start_ = now;
        stoodStill_ = 0;
        running_ = true;
        paused_ = false;
    }
    bool Running() const { return running_ && !paused_; }
    void Pause(uint32_t now)
    {
        if (!Running()) return;
        pausedAt_ = now;
        paused_ = true;
    }
    void Resume(uint32_t now)
    {
        if (!paused_) return;
        stoodStill_ += now - pausedAt_;
        paused_ = false;
    }
    // The milliseconds since Start that the clock ran; it then stands until the next Start.
    uint32_t Stop(uint32_t now)
    {
        Resume(now);
        running_ = false;
        return now - start_ - stoodStill_;
    }

private:
    uint32_t start_ = 0;
    uint32_t pausedAt_ = 0;
    uint32_t stoodStill_ = 0;
    bool running_ = false;
    bool paused_ = false;
};

}  // namespace pivotta::app
