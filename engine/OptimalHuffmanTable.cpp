#include "OptimalHuffmanTable.h"

#include <algorithm>
#include <numeric>

namespace pivotta {

namespace {

constexpr int kMaxCodeLength = 16;
// Index of the reserved symbol that takes the all-ones code point away from the real ones.
constexpr int kReserved = 256;

int UsedSymbols(const SymbolCounts& counts) {
    return static_cast<int>(std::count_if(counts.begin(), counts.end(), [](uint64_t n) { return n > 0; }));
}

// The least count among the live nodes other than `other`; on a tie the largest index, as
// Figure K.1 picks them. -1 when there is none.
int LeastLive(const std::array<uint64_t, 257>& freq, int other) {
    int best = -1;
    for (int v = 0; v <= kReserved; ++v) {
        if (freq[v] == 0 || v == other) continue;
        if (best < 0 || freq[v] <= freq[best]) best = v;
    }
    return best;
}

}  // namespace

namespace huffman_detail {

std::array<uint8_t, 256> LengthsByAnnexK(const SymbolCounts& counts) {
    // Figure K.1: Huffman code sizes, with the reserved symbol counted once so that no real
    // symbol ends up with the all-ones code.
    std::array<uint64_t, 257> freq{};
    std::copy(counts.begin(), counts.end(), freq.begin());
    freq[kReserved] = 1;
    std::array<int, 257> codeSize{};
    std::array<int, 257> others;
    others.fill(-1);
    for (;;) {
        int v1 = LeastLive(freq, -1);
        const int v2 = LeastLive(freq, v1);
        if (v2 < 0) break;
        freq[v1] += freq[v2];
        freq[v2] = 0;
        for (++codeSize[v1]; others[v1] >= 0; ++codeSize[v1]) v1 = others[v1];
        others[v1] = v2;  // the two chains become one
        for (int v = v2; v >= 0; v = others[v]) ++codeSize[v];
    }

    // Figure K.2, then K.3: counts per length, and lengths above 16 folded back by moving a
    // pair of codes up and splitting a shorter code into two.
    std::array<int, 258> bits{};
    for (int v = 0; v <= kReserved; ++v) {
        if (codeSize[v] > 0) ++bits[codeSize[v]];
    }
    for (int i = static_cast<int>(bits.size()) - 1; i > kMaxCodeLength; --i) {
        while (bits[i] > 0) {
            int j = i - 2;
            while (bits[j] == 0) --j;
            bits[i] -= 2;
            bits[i - 1] += 1;
            bits[j + 1] += 2;
            bits[j] -= 1;
        }
    }
    int longest = kMaxCodeLength;
    while (bits[longest] == 0) --longest;
    bits[longest] -= 1;  // the reserved symbol's code

    // Figure K.4: the real symbols by code size, then value, take the lengths in order.
    std::array<int, 256> order;
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return codeSize[a] < codeSize[b]; });
    std::array<uint8_t, 256> lengths{};
    size_t next = std::find_if(order.begin(), order.end(), [&](int v) { return codeSize[v] > 0; }) - order.begin();
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        for (int n = 0; n < bits[length]; ++n) lengths[order[next++]] = static_cast<uint8_t>(length);
    }
    return lengths;
}

std::array<uint8_t, 256> LengthsByPackageMerge(const SymbolCounts& counts) {
    // Leaves by ascending count, the reserved symbol first with count 0: it takes a code of the
    // greatest length, so dropping it leaves the all-ones code unused.
    struct Leaf {
        uint64_t weight;
        int symbol;
    };
    std::vector<Leaf> leaves{{0, kReserved}};
    for (int s = 0; s < 256; ++s) {
        if (counts[s] > 0) leaves.push_back({counts[s], s});
    }
    std::stable_sort(leaves.begin() + 1, leaves.end(), [](const Leaf& a, const Leaf& b) { return a.weight < b.weight; });
    const size_t n = leaves.size();

    // Level k holds the items of depth 16 - k: the leaves merged with the packages (pairs) of
    // level k - 1. Only the number of leaves in each level's cheapest prefix matters later.
    struct Item {
        uint64_t weight;
        bool leaf;
    };
    std::vector<std::vector<Item>> levels(kMaxCodeLength);
    for (const Leaf& leaf : leaves) levels[0].push_back({leaf.weight, true});
    for (int k = 1; k < kMaxCodeLength; ++k) {
        const std::vector<Item>& below = levels[k - 1];
        std::vector<Item>& level = levels[k];
        level.reserve(n + below.size() / 2);
        size_t leaf = 0, pair = 0;
        while (leaf < n || pair + 1 < below.size()) {
            const bool takeLeaf = pair + 1 >= below.size() ||
                                  (leaf < n && leaves[leaf].weight <= below[pair].weight + below[pair + 1].weight);
            if (takeLeaf) {
                level.push_back({leaves[leaf++].weight, true});
            } else {
                level.push_back({below[pair].weight + below[pair + 1].weight, false});
                pair += 2;
            }
        }
    }

    // The cheapest 2n - 2 items of the top level; every package taken takes its two items of
    // the level below. A leaf's code length is the number of levels that take it.
    std::vector<int> depth(n, 0);
    size_t taken = 2 * n - 2;
    for (int k = kMaxCodeLength - 1; k >= 0 && taken > 0; --k) {
        size_t leavesTaken = 0;
        for (size_t i = 0; i < taken; ++i) leavesTaken += levels[k][i].leaf ? 1 : 0;
        for (size_t i = 0; i < leavesTaken; ++i) ++depth[i];
        taken = 2 * (taken - leavesTaken);
    }
    std::array<uint8_t, 256> lengths{};
    for (size_t i = 1; i < n; ++i) lengths[leaves[i].symbol] = static_cast<uint8_t>(depth[i]);
    return lengths;
}

}  // namespace huffman_detail

uint64_t CodedBits(const SymbolCounts& counts, const std::array<uint8_t, 256>& lengths) {
    uint64_t bits = 0;
    for (int s = 0; s < 256; ++s) bits += counts[s] * lengths[s];
    return bits;
}

std::array<uint8_t, 256> CodeLengths(const HuffmanTableSpec& table) {
    std::array<uint8_t, 256> lengths{};
    size_t k = 0;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        for (int n = 0; n < table.bits[length - 1] && k < table.symbols.size(); ++n) {
            lengths[table.symbols[k++]] = static_cast<uint8_t>(length);
        }
    }
    return lengths;
}

HuffmanTableSpec BuildOptimalTable(const SymbolCounts& counts) {
    HuffmanTableSpec table;
    if (UsedSymbols(counts) == 0) {
        table.bits[0] = 1;
        table.symbols = {0};
        return table;
    }
    // Annex K's tables where package-merge cannot do better: those are the tables jpegtran
    // writes, and equal lengths give equal bytes, stuffing included.
    std::array<uint8_t, 256> lengths = huffman_detail::LengthsByAnnexK(counts);
    const std::array<uint8_t, 256> optimal = huffman_detail::LengthsByPackageMerge(counts);
    if (CodedBits(counts, optimal) < CodedBits(counts, lengths)) lengths = optimal;
    for (int length = 1; length <= kMaxCodeLength; ++length) {
        for (int s = 0; s < 256; ++s) {
            if (lengths[s] != length) continue;
            ++table.bits[length - 1];
            table.symbols.push_back(static_cast<uint8_t>(s));
        }
    }
    return table;
}

}  // namespace pivotta
