// Which Huffman tables a transformed picture is coded with, chosen by the caller.
#pragma once

#include <cstdint>

namespace pivotta {

enum class HuffmanTablePolicy : uint8_t {
    // The file's tables where they hold every symbol of their class, the standard tables of
    // ITU T.81 Annex K otherwise, with the optimized-tables warning.
    Standard,
    // The file's tables where they can code the result (they hold every symbol of their class,
    // or they are AC tables and the kind keeps every coefficient in place), tables built for
    // the result otherwise; no warning.
    KeepOrOptimize,
    // Tables built for the result, always.
    Optimize,
};

// What a transform does to a picture's tables, the strongest change of any table: a picture
// with one table replaced by a standard one is Standard.
enum class TableOutcome : uint8_t { Kept, Optimized, Standard };

// What a policy does to tables of which all are full, or not (a header check tells which), for
// a kind that swaps axes: the others may keep more of them.
constexpr TableOutcome PlannedOutcome(HuffmanTablePolicy policy, bool allFull) {
    if (policy == HuffmanTablePolicy::Optimize) return TableOutcome::Optimized;
    if (allFull) return TableOutcome::Kept;
    return policy == HuffmanTablePolicy::Standard ? TableOutcome::Standard : TableOutcome::Optimized;
}

}  // namespace pivotta
