#include "ScanScript.h"

namespace pivotta {

namespace {
// T.81 G.1.1.1.2 bounds the point transform to 13 bits (Al of 12-bit DC first scans).
constexpr int kMaxAl = 13;
}  // namespace

ScanScriptChecker::ScanScriptChecker(int frameComponents, bool progressive)
    : frameComponents_(frameComponents), progressive_(progressive) {
    for (auto& component : codedFrom_) component.fill(-1);
}

ScriptError ScanScriptChecker::Add(const ScanLayout& scan) {
    int blocks = 0;
    for (int i = 0; i < scan.componentCount; ++i) {
        const int plane = scan.components[i].plane;
        if (plane < 0 || plane >= frameComponents_) return ScriptError::ComponentOrder;
        for (int j = 0; j < i; ++j)
            if (scan.components[j].plane == plane) return ScriptError::ComponentTwice;
        if (i > 0 && plane < scan.components[i - 1].plane) return ScriptError::ComponentOrder;
        blocks += scan.components[i].h * scan.components[i].v;
    }
    if (scan.Interleaved() && blocks > 10) return ScriptError::TooManyBlocks;
    const ScriptError error = progressive_ ? CheckProgressive(scan) : CheckSequential(scan);
    if (error != ScriptError::None) return error;
    const ScanLayout coded = WholeBlocksIfSequential(scan);
    for (int i = 0; i < coded.componentCount; ++i) {
        auto& from = codedFrom_[coded.components[i].plane];
        for (int k = coded.Ss; k <= coded.Se; ++k) from[k] = static_cast<int8_t>(coded.Al);
    }
    return ScriptError::None;
}

// Ss, Se, Ah and Al of a sequential scan are not looked at: the scan codes whole blocks
// whatever they say, as libjpeg reads it (with a warning) and as the engine always has.
ScriptError ScanScriptChecker::CheckSequential(const ScanLayout& scan) const {
    for (int i = 0; i < scan.componentCount; ++i)
        if (codedFrom_[scan.components[i].plane][0] >= 0) return ScriptError::ComponentTwice;
    return ScriptError::None;
}

ScriptError ScanScriptChecker::CheckProgressive(const ScanLayout& scan) const {
    // G.1.1.1.1: a DC scan codes only the DC coefficient; AC bands are non-interleaved.
    if (scan.Ss == 0 ? scan.Se != 0 : (scan.Se < scan.Ss || scan.Se > 63 || scan.Interleaved()))
        return ScriptError::BadSpectralSelection;
    if (scan.Al > kMaxAl || (scan.Ah != 0 && scan.Al != scan.Ah - 1)) return ScriptError::BadApproximation;
    for (int i = 0; i < scan.componentCount; ++i) {
        const auto& coded = codedFrom_[scan.components[i].plane];
        if (scan.Ss > 0 && coded[0] < 0) return ScriptError::AcBeforeDc;
        for (int k = scan.Ss; k <= scan.Se; ++k) {
            if (scan.Ah == 0 && coded[k] >= 0) return ScriptError::BandCodedTwice;
            if (scan.Ah != 0 && coded[k] != scan.Ah) return ScriptError::RefinementBeforeFirst;
        }
    }
    return ScriptError::None;
}

ScriptError ScanScriptChecker::Finish() const {
    for (int c = 0; c < frameComponents_; ++c)
        if (codedFrom_[c][0] < 0) return ScriptError::ComponentNotCoded;
    return ScriptError::None;
}

namespace {

bool FitsOneMcu(const McuBlocks& blocks) {
    int total = 0;
    for (int b : blocks) total += b;
    return blocks.size() == 1 || total <= 10;
}

std::vector<int> AllComponents(const McuBlocks& blocks) {
    std::vector<int> all(blocks.size());
    for (size_t c = 0; c < all.size(); ++c) all[c] = static_cast<int>(c);
    return all;
}

// The DC scan of every component: interleaved where the MCU allows it.
void AddDc(std::vector<ScriptScan>& script, const McuBlocks& blocks, int Ah, int Al) {
    if (FitsOneMcu(blocks)) {
        script.push_back({AllComponents(blocks), 0, 0, Ah, Al});
        return;
    }
    for (size_t c = 0; c < blocks.size(); ++c) script.push_back({{static_cast<int>(c)}, 0, 0, Ah, Al});
}

}  // namespace

std::vector<ScriptScan> SequentialScript(const McuBlocks& blocks) {
    if (FitsOneMcu(blocks)) return {{AllComponents(blocks), 0, 63, 0, 0}};
    std::vector<ScriptScan> script;
    for (size_t c = 0; c < blocks.size(); ++c) script.push_back({{static_cast<int>(c)}, 0, 63, 0, 0});
    return script;
}

std::vector<ScriptScan> ProgressiveScript(const McuBlocks& blocks) {
    std::vector<ScriptScan> script;
    const int n = static_cast<int>(blocks.size());
    if (n == 3) {
        AddDc(script, blocks, 0, 1);
        script.insert(script.end(), {{{0}, 1, 5, 0, 2}, {{2}, 1, 63, 0, 1}, {{1}, 1, 63, 0, 1},
                                     {{0}, 6, 63, 0, 2}, {{0}, 1, 63, 2, 1}});
        AddDc(script, blocks, 1, 0);
        script.insert(script.end(), {{{2}, 1, 63, 1, 0}, {{1}, 1, 63, 1, 0}, {{0}, 1, 63, 1, 0}});
        return script;
    }
    AddDc(script, blocks, 0, 1);
    for (int c = 0; c < n; ++c) script.push_back({{c}, 1, 5, 0, 2});
    for (int c = 0; c < n; ++c) script.push_back({{c}, 6, 63, 0, 2});
    for (int c = 0; c < n; ++c) script.push_back({{c}, 1, 63, 2, 1});
    AddDc(script, blocks, 1, 0);
    for (int c = 0; c < n; ++c) script.push_back({{c}, 1, 63, 1, 0});
    return script;
}

}  // namespace pivotta
