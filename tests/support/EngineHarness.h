// Runs the engine the way the application does (CheckJpeg, then RotateJpeg on the same
// engine) and records every hook call in order, so tests can state what the user was told.
#pragma once

#include <string>
#include <vector>

#include "JpegRotation.h"

namespace pivotta::test {

struct HookCall {
    enum class Hook { Message, DHTWarning, ProgressMax, Progress };
    Hook hook;
    std::string text;  // message text
    int value = 0;     // message level, progress maximum or position
};

class EngineHarness {
public:
    explicit EngineHarness(bool trim = false, bool turnThumbnail = false);
    EngineHarness(const EngineHarness&) = delete;
    EngineHarness& operator=(const EngineHarness&) = delete;

    bool Check(const std::vector<uint8_t>& jpeg);
    bool Rotate(const std::vector<uint8_t>& jpeg, pivotta::TransformKind kind);

    const std::vector<HookCall>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    std::vector<std::string> Messages(int level) const;
    int DHTWarnings() const;
    // Every hook call, one a line, for failure output.
    std::string Transcript() const;

    std::vector<uint8_t> Output() const { return output_.Bytes(); }
    size_t OutputPosition() const { return output_.Position(); }
    pivotta::TJpegRotation& Engine() { return engine_; }

private:
    pivotta::TJpegRotation engine_;
    pivotta::TMemoryStream input_;
    pivotta::TMemoryStream output_;
    std::vector<HookCall> calls_;
};

// Both operations stop at an unsupported marker (four upper-case hex digits, e.g. "FFC2")
// with their own level-2 texts and nothing else to say.
void ExpectRefusedAtMarker(const std::vector<uint8_t>& jpeg, const std::string& hexMarker);

}  // namespace pivotta::test
