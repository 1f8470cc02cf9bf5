// Whether a file's sequence of scans is one T.81 allows, checked scan by scan before any is
// decoded: what each component's coefficients hold after every scan (G.1.1.1), so that a
// refinement always finds the bits it refines and no band is coded twice.
#pragma once

#include <array>
#include <cstdint>

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

}  // namespace pivotta
