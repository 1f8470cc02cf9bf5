// Whether a file's sequence of scans is one T.81 allows, checked scan by scan before any is
// decoded: what each component's coefficients hold after every scan (G.1.1.1), so that a
// refinement always finds the bits it refines and no band is coded twice.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "ScanLayout.h"

namespace pivotta {

enum class ScriptError : uint8_t {
    None,
    ComponentTwice,        // a component twice in one scan, or in two sequential scans
    ComponentOrder,        // scan components not in frame order (B.2.3)
    TooManyBlocks,         // an interleaved MCU of more than 10 blocks (B.2.3)
    BadSpectralSelection,  // Ss, Se outside what the process allows; an interleaved AC scan
    BadApproximation,      // Ah, Al out of range, or a refinement not by one bit
    AcBeforeDc,            // an AC band of a component whose DC was never coded (G.1.1.1.1)
    RefinementBeforeFirst, // a refinement of bits no earlier scan coded
    BandCodedTwice,        // a first scan of coefficients an earlier scan already coded
    ComponentNotCoded,     // a frame component that no scan codes
};

class ScanScriptChecker {
public:
    ScanScriptChecker(int frameComponents, bool progressive);

    // Checks the next scan against those before it and records what it codes.
    [[nodiscard]] ScriptError Add(const ScanLayout& scan);
    // After the last scan.
    [[nodiscard]] ScriptError Finish() const;

private:
    ScriptError CheckSequential(const ScanLayout& scan) const;
    ScriptError CheckProgressive(const ScanLayout& scan) const;

    int frameComponents_;
    bool progressive_;
    // Per component and coefficient: the lowest bit position coded so far, -1 for none.
    std::array<std::array<int8_t, 64>, 4> codedFrom_{};
};

// One scan of a script to write: components by frame index, in frame order.
struct ScriptScan {
    std::vector<int> components;
    int Ss = 0, Se = 63, Ah = 0, Al = 0;
    bool operator==(const ScriptScan&) const = default;
};

// Blocks per MCU of each component (h * v), for the rule that an interleaved MCU holds at
// most 10 (B.2.3).
using McuBlocks = std::vector<int>;

// A sequential script: one interleaved scan of every component, or one scan per component
// where their MCU would hold more than 10 blocks.
std::vector<ScriptScan> SequentialScript(const McuBlocks& blocks);

// libjpeg's progression (jpeg_simple_progression, as the JPEG literature has it): the DC
// with one bit of successive approximation, AC bands 1-5 and 6-63 with two, then their
// refinements; three components get the YCbCr order that sends chroma early.
std::vector<ScriptScan> ProgressiveScript(const McuBlocks& blocks);

}  // namespace pivotta
