#include "EngineHarness.h"

#include <exception>
#include <sstream>

#include <gtest/gtest.h>

namespace pivotta::test {

EngineHarness::EngineHarness(bool trim, bool turnThumbnail) {
    engine_.AllowAdjustMCU = trim;
    engine_.AllowBreakDCF = turnThumbnail;
    engine_.OnMessage = [this](const std::string& text, int level) {
        calls_.push_back({HookCall::Hook::Message, text, level});
    };
    engine_.OnDHTWarning = [this] { calls_.push_back({HookCall::Hook::DHTWarning, {}, 0}); };
    engine_.OnProgressMax = [this](int maximum) { calls_.push_back({HookCall::Hook::ProgressMax, {}, maximum}); };
    engine_.OnProgress = [this](int position) { calls_.push_back({HookCall::Hook::Progress, {}, position}); };
}

namespace {

// The engine promises to report every failure through its hook; an exception that escapes
// is a fault of its own, not a way to fail.
template <typename Run>
bool Guarded(const char* operation, const EngineHarness& harness, Run run) {
    try {
        return run();
    } catch (const std::exception& e) {
        ADD_FAILURE() << operation << " let an exception escape: " << e.what() << "\n" << harness.Transcript();
    } catch (...) {
        ADD_FAILURE() << operation << " let an unknown exception escape\n" << harness.Transcript();
    }
    return false;
}

}  // namespace

bool EngineHarness::Check(const std::vector<uint8_t>& jpeg) {
    input_ = pivotta::TMemoryStream(jpeg);
    return Guarded("CheckJpeg", *this, [&] { return engine_.CheckJpeg(input_); });
}

bool EngineHarness::Rotate(const std::vector<uint8_t>& jpeg, pivotta::TransformKind kind) {
    input_ = pivotta::TMemoryStream(jpeg);
    return Guarded("RotateJpeg", *this, [&] { return engine_.RotateJpeg(input_, output_, kind); });
}

std::vector<std::string> EngineHarness::Messages(int level) const {
    std::vector<std::string> texts;
    for (const HookCall& call : calls_) {
        if (call.hook == HookCall::Hook::Message && call.value == level) texts.push_back(call.text);
    }
    return texts;
}

int EngineHarness::DHTWarnings() const {
    int count = 0;
    for (const HookCall& call : calls_) count += call.hook == HookCall::Hook::DHTWarning;
    return count;
}

std::string EngineHarness::Transcript() const {
    std::ostringstream text;
    text << "hook calls:";
    int progress = 0;
    for (const HookCall& call : calls_) {
        if (call.hook == HookCall::Hook::Progress) {
            ++progress;  // positions are many and rarely the point; count them
            continue;
        }
        if (progress) text << "\n  " << progress << " x OnProgress", progress = 0;
        switch (call.hook) {
        case HookCall::Hook::Message: text << "\n  OnMessage(level " << call.value << "): " << call.text; break;
        case HookCall::Hook::DHTWarning: text << "\n  OnDHTWarning()"; break;
        case HookCall::Hook::ProgressMax: text << "\n  OnProgressMax(" << call.value << ")"; break;
        case HookCall::Hook::Progress: break;
        }
    }
    if (progress) text << "\n  " << progress << " x OnProgress";
    return text.str();
}

void ExpectRefusedAtMarker(const std::vector<uint8_t>& jpeg, const std::string& hexMarker) {
    EngineHarness engine(true);
    EXPECT_FALSE(engine.Check(jpeg));
    EXPECT_EQ(engine.Messages(2), std::vector<std::string>{"ヘッダ($" + hexMarker + ")を認識できませんでした。"})
        << engine.Transcript();
    engine.ClearCalls();
    EXPECT_FALSE(engine.Rotate(jpeg, pivotta::TransformKind::Rotate90));
    EXPECT_EQ(engine.Messages(2), std::vector<std::string>{"致命的エラー : ヘッダ($" + hexMarker + ")を認識できません"})
        << engine.Transcript();
    EXPECT_TRUE(engine.Messages(1).empty()) << engine.Transcript();
}

}  // namespace pivotta::test
