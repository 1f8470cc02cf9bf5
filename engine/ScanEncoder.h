// Huffman-encodes the output scan from the coefficient store: output MCUs in raster order,
// each block taken from where the transform moves it (the decoder stored it already
// rearranged and sign-flipped). On several threads, every output row range but the first is
// encoded into a raw bit buffer and appended afterwards, which gives exactly the bytes and
// progress calls of one thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>

#include "BitStreamFile.h"
#include "BlockEncoding.h"
#include "CoefficientStore.h"
#include "FrameState.h"
#include "HuffmanTables.h"
#include "SymbolCounting.h"
#include "ThreadStarter.h"
#include "TransformKind.h"

namespace pivotta {

class ScanEncoder {
public:
    enum class Status { Done, MissingCode, OutOfMemory };

    // The tables must have their encoding views. Progress counts output MCU rows.
    ScanEncoder(const FrameState& frame, const HuffTables& tables, TransformKind kind, const CoefficientStore& store,
                const std::function<void(int row)>& progress);

    // scanBytes, the size of the input scan, sizes the workers' buffers.
    Status Encode(TOutBitStreamFile& out, size_t scanBytes, unsigned threads, const ThreadStarter& start) const;

    // The symbols Encode codes, by the tables' identifiers; the tables need no codes yet. The
    // counts are sums over the same rows, so they do not depend on the thread count.
    scan::ScanSymbolCounts CountSymbols(unsigned threads, const ThreadStarter& start) const;

private:
    struct RowState {
        int dcPred[kMaxComponents] = {};
        int restartCounter = 0;
        int restartNumber = 0;
    };

    size_t SourceIndex(int slot, int x, int y) const;
    // Encodes output MCU rows [rowBegin, rowEnd). Returns the row it failed in, or rowEnd.
    template <class Sink>
    int EncodeRows(int rowBegin, int rowEnd, RowState& state, Sink& out, bool progress,
                   const std::atomic<bool>* cancel) const;
    // The state a sequential run has at the start of output row `row`.
    RowState StateAtRow(int row) const;
    // The threads worth using out of a budget.
    unsigned ThreadsFor(unsigned budget) const;
    // The first row of each thread's range, then the end; this thread's range is ownShare
    // percent of a worker's.
    std::vector<int> SplitRows(unsigned threads, int ownShare) const;

    const FrameState& frame_;
    const CoefficientStore& store_;
    const std::function<void(int)>& progress_;
    // Everything below describes the output picture.
    TransformKind kind_;
    bool swapsAxes_;
    int cols_, rows_, skipCol_, skipRow_;
    std::array<int, kMaxComponents> compH_, compV_;
    int interval_;  // 0 when no restart markers are written
    bool copyCodes_;  // the store holds Codes records
    std::array<scan::EncodeTables, kMaxComponents> tables_{};
};

}  // namespace pivotta
