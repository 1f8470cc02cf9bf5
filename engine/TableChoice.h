// The Huffman tables an output scan is coded with, chosen by the caller's policy once the scan
// has been decoded: the file's own, the standard ones, or tables built for the result.
#pragma once

#include <array>
#include <optional>

#include "FrameState.h"
#include "HuffmanTablePolicy.h"
#include "HuffmanTables.h"
#include "OptimalHuffmanTable.h"
#include "ScanEncoder.h"
#include "ThreadStarter.h"
#include "TransformKind.h"

namespace pivotta {

struct OutputTable {
    TableOutcome outcome = TableOutcome::Kept;
    HuffmanTableSpec spec;  // the table as written; empty when Kept
};

// By class and identifier; set for the tables the scan uses.
struct OutputTables {
    std::array<std::array<std::optional<OutputTable>, scan::kTableIds>, 2> table;

    const std::optional<OutputTable>& Of(int tableClass, int id) const { return table[tableClass][id]; }
    // The strongest change of any table (TableOutcome).
    TableOutcome Overall() const;
};

// What the policy does to one of the file's tables. Keep or optimize also keeps AC tables that
// are not full where the kind keeps every coefficient in place: only signs change, so the
// result codes exactly the AC symbols that were decoded with that table.
TableOutcome OutcomeOf(HuffmanTablePolicy policy, TransformKind kind, int tableClass, bool full);

// Whether the policy keeps the file's AC table of every component of the scan: only then may
// the encoder copy AC codes as they were read, and only then does it need no AC counts.
bool KeepsAcTables(HuffmanTablePolicy policy, TransformKind kind, const FrameState& frame, const HuffTables& tables);

// Loads the chosen tables into `tables`, which hold the file's tables the scan was decoded
// with, and gives them with what became of each. The encoder counts the symbols only when a
// table is to be built. False when a counted symbol is one that no baseline table of its
// class may hold (a DC size above 11, an AC size above 10), as the standard tables would fail.
[[nodiscard]] bool ChooseTables(HuffmanTablePolicy policy, TransformKind kind, const FrameState& frame,
                                const ScanEncoder& encoder,
                                unsigned threads, const ThreadStarter& start, HuffTables& tables, OutputTables& chosen);

}  // namespace pivotta
