// Tables built from symbol counts: always valid DHT tables (every counted symbol coded, no
// code longer than 16 bits, none all 1-bits), never worse than Annex K.2, and optimal.
#include <algorithm>
#include <cmath>
#include <functional>
#include <queue>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HuffmanTables.h"
#include "OptimalHuffmanTable.h"

namespace pivotta {
namespace {

struct CountsCase {
    const char* name;
    std::function<SymbolCounts()> make;
};

SymbolCounts Single(int symbol, uint64_t count) {
    SymbolCounts counts{};
    counts[symbol] = count;
    return counts;
}

// Every AC run/size symbol of a baseline table, with counts from f(rank).
SymbolCounts AllAcSymbols(const std::function<uint64_t(int)>& f) {
    SymbolCounts counts{};
    int rank = 0;
    for (int run = 0; run < 16; ++run) {
        for (int size = 1; size <= 10; ++size) counts[run << 4 | size] = f(rank++);
    }
    counts[0x00] = f(rank++);
    counts[0xF0] = f(rank++);
    return counts;
}

SymbolCounts Random(uint32_t seed, int used, double skew) {
    std::mt19937 rng(seed);
    std::vector<int> symbols(256);
    for (int i = 0; i < 256; ++i) symbols[i] = i;
    std::shuffle(symbols.begin(), symbols.end(), rng);
    SymbolCounts counts{};
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int i = 0; i < used; ++i) counts[symbols[i]] = 1 + static_cast<uint64_t>(1e6 * std::pow(u(rng), skew));
    return counts;
}

const std::vector<CountsCase>& Cases() {
    static const std::vector<CountsCase> cases = {
        {"one symbol", [] { return Single(0, 1); }},
        {"one symbol counted often", [] { return Single(0xF0, 1u << 30); }},
        {"two symbols", [] { SymbolCounts c = Single(3, 5); c[200] = 1; return c; }},
        {"all DC sizes alike", [] { SymbolCounts c{}; for (int s = 0; s < 12; ++s) c[s] = 7; return c; }},
        {"all 162 AC symbols alike", [] { return AllAcSymbols([](int) { return 1; }); }},
        {"all 162 AC symbols, geometric", [] { return AllAcSymbols([](int r) { return uint64_t{1} << (r % 40); }); }},
        // Fibonacci counts make the unlimited Huffman tree as deep as it can be.
        {"all 162 AC symbols, Fibonacci", [] {
             std::vector<uint64_t> fib{1, 1};
             while (fib.size() < 162) fib.push_back(fib[fib.size() - 1] + fib[fib.size() - 2]);
             return AllAcSymbols([fib](int r) { return fib[r % 50]; });  // sums stay far from overflow
         }},
        {"24 symbols, Fibonacci", [] {
             SymbolCounts c{};
             uint64_t a = 1, b = 1;
             for (int s = 0; s < 24; ++s, b += a, a = b - a) c[s * 10] = a;
             return c;
         }},
        {"all 256 symbols, one dominant", [] { SymbolCounts c; c.fill(1); c[17] = uint64_t{1} << 40; return c; }},
        {"random, mildly skewed", [] { return Random(1, 100, 2.0); }},
        {"random, very skewed", [] { return Random(2, 162, 12.0); }},
        {"random, all symbols, very skewed", [] { return Random(3, 256, 20.0); }},
    };
    return cases;
}

// The codes of a table by canonical assignment (ITU T.81 C.2), as a decoder builds them.
struct Code {
    uint32_t bits;
    int length;
};
std::vector<Code> CanonicalCodes(const HuffmanTableSpec& table) {
    std::vector<Code> codes;
    uint32_t code = 0;
    for (int length = 1; length <= 16; ++length, code <<= 1) {
        for (int n = 0; n < table.bits[length - 1]; ++n) codes.push_back({code++, length});
    }
    return codes;
}

// An unlimited Huffman code over the counted symbols plus one of count 0: the optimum that a
// limit of 16 bits and the reserved code point can only equal or exceed.
struct Unlimited {
    uint64_t bits = 0;
    int deepest = 0;  // the longest code, the reserved one included
};
Unlimited UnlimitedOptimum(const SymbolCounts& counts) {
    using Node = std::pair<uint64_t, int>;  // count, height of its subtree
    std::priority_queue<Node, std::vector<Node>, std::greater<>> queue;
    queue.push({0, 0});
    for (uint64_t n : counts) {
        if (n > 0) queue.push({n, 0});
    }
    Unlimited result;
    while (queue.size() > 1) {
        const Node a = queue.top();
        queue.pop();
        const Node b = queue.top();
        queue.pop();
        result.bits += a.first + b.first;  // every merge adds one bit to each symbol below it
        queue.push({a.first + b.first, std::max(a.second, b.second) + 1});
    }
    result.deepest = queue.top().second;
    return result;
}
uint64_t UnlimitedOptimumBits(const SymbolCounts& counts) { return UnlimitedOptimum(counts).bits; }

const CountsCase& Case(const std::string& name) {
    return *std::find_if(Cases().begin(), Cases().end(), [&](const CountsCase& c) { return c.name == name; });
}

void ExpectValidLengths(const SymbolCounts& counts, const std::array<uint8_t, 256>& lengths, const std::string& name) {
    double kraft = 0;
    for (int s = 0; s < 256; ++s) {
        EXPECT_EQ(counts[s] > 0, lengths[s] > 0) << name << ", symbol " << s;
        EXPECT_LE(lengths[s], 16) << name << ", symbol " << s;
        if (lengths[s] > 0) kraft += std::ldexp(1.0, -lengths[s]);
    }
    EXPECT_LT(kraft, 1.0) << name << ": the all-ones code point must stay free";
}

TEST(OptimalHuffmanTable, IsAValidTableForEveryCountedSymbol) {
    for (const CountsCase& c : Cases()) {
        const SymbolCounts counts = c.make();
        const HuffmanTableSpec table = BuildOptimalTable(counts);
        const std::array<uint8_t, 256> lengths = CodeLengths(table);
        ExpectValidLengths(counts, lengths, c.name);
        for (const Code& code : CanonicalCodes(table)) {
            EXPECT_NE(code.bits, (1u << code.length) - 1) << c.name << ": an all-ones code of " << code.length;
        }
        // Symbols of one length stand in ascending order, and a decoder accepts the table.
        for (size_t k = 1; k < table.symbols.size(); ++k) {
            if (lengths[table.symbols[k]] == lengths[table.symbols[k - 1]]) {
                EXPECT_LT(table.symbols[k - 1], table.symbols[k]) << c.name;
            }
        }
        HuffTables tables;
        EXPECT_TRUE(tables.LoadTable(1, 0, table.bits.data(), table.symbols.data())) << c.name;
    }
}

TEST(OptimalHuffmanTable, BothConstructionsAreValidAndPackageMergeIsNeverWorse) {
    for (const CountsCase& c : Cases()) {
        const SymbolCounts counts = c.make();
        const auto annexK = huffman_detail::LengthsByAnnexK(counts);
        const auto merged = huffman_detail::LengthsByPackageMerge(counts);
        ExpectValidLengths(counts, annexK, std::string(c.name) + " (K.2)");
        ExpectValidLengths(counts, merged, std::string(c.name) + " (package-merge)");
        const uint64_t annexKBits = CodedBits(counts, annexK), mergedBits = CodedBits(counts, merged);
        EXPECT_LE(mergedBits, annexKBits) << c.name;
        EXPECT_GE(mergedBits, UnlimitedOptimumBits(counts)) << c.name;
        EXPECT_EQ(CodedBits(counts, CodeLengths(BuildOptimalTable(counts))), mergedBits) << c.name;
    }
}

TEST(OptimalHuffmanTable, IsTheUnlimitedOptimumWhenNoCodeNeedsMoreThan16Bits) {
    int checked = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const SymbolCounts counts = Random(seed, 2 + static_cast<int>(seed * 12 % 250), 1.0);
        const Unlimited unlimited = UnlimitedOptimum(counts);
        if (unlimited.deepest > 16) continue;
        ++checked;
        EXPECT_EQ(CodedBits(counts, huffman_detail::LengthsByPackageMerge(counts)), unlimited.bits) << "seed " << seed;
    }
    EXPECT_GT(checked, 20);
}

TEST(OptimalHuffmanTable, DeepTreesAreFoldedTo16BitsAtTheLeastCost) {
    // Fibonacci counts over 24 symbols want codes of up to 24 bits; the limited optimum costs a
    // little more than the unlimited one, and K.2's folding more still.
    const SymbolCounts counts = Case("24 symbols, Fibonacci").make();
    const uint64_t unlimited = UnlimitedOptimumBits(counts);
    const uint64_t merged = CodedBits(counts, huffman_detail::LengthsByPackageMerge(counts));
    const uint64_t annexK = CodedBits(counts, huffman_detail::LengthsByAnnexK(counts));
    EXPECT_GT(merged, unlimited);
    EXPECT_LT(merged, annexK);
}

TEST(OptimalHuffmanTable, NothingCountedGivesAOneSymbolTable) {
    const HuffmanTableSpec table = BuildOptimalTable(SymbolCounts{});
    EXPECT_EQ(table.bits[0], 1);
    EXPECT_EQ(table.symbols, std::vector<uint8_t>{0});
}

}  // namespace
}  // namespace pivotta
