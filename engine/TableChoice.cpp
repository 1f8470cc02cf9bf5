#include "TableChoice.h"

#include <algorithm>

namespace pivotta {

namespace {

// ITU T.81 F.1.2: DC sizes 0-11; AC end of block, sixteen zeros and runs 0-15 of sizes 1-10.
bool IsBaselineSymbol(int tableClass, int symbol) {
    if (tableClass == 0) return symbol <= 11;
    const int size = symbol & 15;
    return symbol == 0x00 || symbol == 0xF0 || (size >= 1 && size <= 10);
}

bool OnlyBaselineSymbols(int tableClass, const SymbolCounts& counts) {
    for (int s = 0; s < 256; ++s) {
        if (counts[s] > 0 && !IsBaselineSymbol(tableClass, s)) return false;
    }
    return true;
}

}  // namespace

TableOutcome OutcomeOf(HuffmanTablePolicy policy, TransformKind kind, int tableClass, bool full) {
    if (policy == HuffmanTablePolicy::KeepOrOptimize && tableClass == 1 && !SwapsAxes(kind)) return TableOutcome::Kept;
    return PlannedOutcome(policy, full);
}

bool KeepsAcTables(HuffmanTablePolicy policy, TransformKind kind, const FrameState& frame, const HuffTables& tables) {
    for (int i = 0; i < frame.ScanComponentCount; ++i) {
        const bool full = tables.IsFull(1, frame.AcTableSel[frame.ScanOrder[i]]);
        if (OutcomeOf(policy, kind, 1, full) != TableOutcome::Kept) return false;
    }
    return true;
}

TableOutcome OutputTables::Overall() const {
    TableOutcome overall = TableOutcome::Kept;
    for (const auto& byId : table) {
        for (const std::optional<OutputTable>& t : byId) {
            if (t) overall = std::max(overall, t->outcome);
        }
    }
    return overall;
}

bool ChooseTables(HuffmanTablePolicy policy, TransformKind kind, const FrameState& frame, const ScanEncoder& encoder,
                  unsigned threads, const ThreadStarter& start, HuffTables& tables, OutputTables& chosen) {
    chosen = {};
    bool build = false;
    for (int i = 0; i < frame.ScanComponentCount; ++i) {
        const int slot = frame.ScanOrder[i];
        for (const int tableClass : {0, 1}) {
            const int id = tableClass == 0 ? frame.DcTableSel[slot] : frame.AcTableSel[slot];
            std::optional<OutputTable>& out = chosen.table[tableClass][id];
            if (out) continue;  // shared with a component before
            out.emplace();
            out->outcome = OutcomeOf(policy, kind, tableClass, tables.IsFull(tableClass, id));
            build = build || out->outcome == TableOutcome::Optimized;
        }
    }
    const scan::ScanSymbolCounts counts = build ? encoder.CountSymbols(threads, start) : scan::ScanSymbolCounts{};
    for (const int tableClass : {0, 1}) {
        for (int id = 0; id < scan::kTableIds; ++id) {
            std::optional<OutputTable>& out = chosen.table[tableClass][id];
            if (!out) continue;
            if (out->outcome == TableOutcome::Standard) {
                tables.LoadStandardTable(tableClass, id);
                const std::vector<uint8_t> payload = HuffTables::StandardTablePayload(tableClass, id);
                std::copy_n(payload.begin(), 16, out->spec.bits.begin());
                out->spec.symbols.assign(payload.begin() + 16, payload.end());
            } else if (out->outcome == TableOutcome::Optimized) {
                const SymbolCounts& used = tableClass == 0 ? counts.dc[id] : counts.ac[id];
                if (!OnlyBaselineSymbols(tableClass, used)) return false;
                out->spec = BuildOptimalTable(used);
                if (!tables.LoadTable(tableClass, id, out->spec.bits.data(), out->spec.symbols.data())) return false;
            }
        }
    }
    tables.BuildEncodeIndex();
    return true;
}

}  // namespace pivotta
