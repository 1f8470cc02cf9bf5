// The three table policies end to end: exact coefficients whatever the tables, results no
// bigger than jpegtran -optimize makes them, the optimized-tables warning only where the
// standard tables replace the file's, and the same bytes on every thread count.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CoefficientMatchers.h"
#include "ExternalTools.h"
#include "JpegFixtures.h"
#include "JpegLayout.h"
#include "JpegRotation.h"
#include "MiniJpeg.h"

namespace pivotta::test {
namespace {

struct Result {
    bool ok = false;
    std::vector<uint8_t> bytes;
    HookLog log;
    TableOutcome planned = TableOutcome::Kept;
};

Result Transform(const std::vector<uint8_t>& jpeg, TransformKind kind, HuffmanTablePolicy policy, bool trim,
                 unsigned threads = 1) {
    Result r;
    TJpegRotation engine;
    engine.TablePolicy = policy;
    engine.AllowAdjustMCU = trim;
    engine.MaxThreads = threads;
    r.log.Attach(engine);
    const TMemoryStream input(jpeg);
    TMemoryStream output;
    r.ok = engine.CheckJpeg(input);
    r.planned = engine.PlannedTables();
    r.ok = r.ok && engine.RotateJpeg(input, output, kind);
    r.bytes = output.Bytes();
    return r;
}

std::string Said(const HookLog& log) {
    std::string text;
    for (const auto& [message, level] : log.messages) text += std::to_string(level) + ": " + message + "\n";
    return text;
}

// The DHT tables of a file, each as class/identifier byte, counts and symbols.
std::vector<std::vector<uint8_t>> HuffmanTablesOf(const std::vector<uint8_t>& jpeg) {
    JpegLayout layout;
    std::string why;
    EXPECT_TRUE(ParseJpegLayout(jpeg, layout, &why)) << why;
    std::vector<std::vector<uint8_t>> tables;
    for (const JpegSegment& segment : layout.headers) {
        if (segment.marker != 0xFFC4) continue;
        for (size_t at = 4; at + 17 <= segment.bytes.size();) {
            size_t count = 0;
            for (int i = 1; i <= 16; ++i) count += segment.bytes[at + i];
            const size_t end = std::min(segment.bytes.size(), at + 17 + count);
            tables.emplace_back(segment.bytes.begin() + static_cast<ptrdiff_t>(at), segment.bytes.begin() + static_cast<ptrdiff_t>(end));
            at = end;
        }
    }
    std::sort(tables.begin(), tables.end());
    return tables;
}

// jpegtran writes restart markers only when asked to: ask for the input's interval.
std::string RestartOption(const std::vector<uint8_t>& jpeg) {
    JpegLayout layout;
    std::string why;
    if (!ParseJpegLayout(jpeg, layout, &why)) return {};
    for (const JpegSegment& segment : layout.headers) {
        if (segment.marker != 0xFFDD || segment.bytes.size() < 6) continue;
        const int interval = segment.bytes[4] << 8 | segment.bytes[5];
        if (interval > 0) return " -restart " + std::to_string(interval) + "B";
    }
    return {};
}

constexpr HuffmanTablePolicy kPolicies[] = {HuffmanTablePolicy::Standard, HuffmanTablePolicy::KeepOrOptimize,
                                            HuffmanTablePolicy::Optimize};

const char* PolicyName(HuffmanTablePolicy policy) {
    switch (policy) {
        case HuffmanTablePolicy::Standard: return "standard";
        case HuffmanTablePolicy::KeepOrOptimize: return "keep-or-optimize";
        case HuffmanTablePolicy::Optimize: return "optimize";
    }
    return "?";
}

// Every policy and kind on one input: exact coefficients; -O no bigger than jpegtran -optimize
// (a symbol counted wrong gives worse tables, or one missed no code at all); the default no
// more than 1 % bigger than the input or, where a turn changes the statistics, than jpegtran's.
void CheckInput(const std::string& name, const std::vector<uint8_t>& input, const std::string& jpegtran) {
    const JpegCoefs in = ReadCoefficients(input);
    for (TransformKind kind : kAllTransformKinds) {
        SCOPED_TRACE(name + " " + TransformName(kind));
        const JpegCoefs expected = ExpectedTransform(in, kind, true);
        const std::vector<uint8_t> theirs =
            jpegtran.empty() ? std::vector<uint8_t>{}
                             : RunJpegtran(jpegtran, input, std::string("-copy all -optimize ") + JpegtranTransform(kind) +
                                                                " -trim" + RestartOption(input));
        for (HuffmanTablePolicy policy : kPolicies) {
            SCOPED_TRACE(PolicyName(policy));
            const Result r = Transform(input, kind, policy, true);
            ASSERT_TRUE(r.ok) << Said(r.log);
            EXPECT_TRUE(SameCoefficients(ReadCoefficients(r.bytes), expected));
            if (theirs.empty()) continue;
            if (policy == HuffmanTablePolicy::Optimize) {
                EXPECT_LE(r.bytes.size(), theirs.size());
            }
            if (policy == HuffmanTablePolicy::KeepOrOptimize) {
                EXPECT_LE(r.bytes.size(), std::max(input.size(), theirs.size()) * 101 / 100);
            }
        }
    }
}

struct Fixture {
    const char* name;
    FixtureSpec spec;
};

const Fixture kFixtures[] = {
    {"4:2:0 optimized", {.width = 160, .height = 120, .optimizeHuffman = true, .seed = 1}},
    {"4:2:0 optimized, ragged, restarts",
     {.width = 157, .height = 93, .restartInterval = 5, .optimizeHuffman = true, .seed = 2}},
    {"4:2:2 optimized, ragged", {.width = 131, .height = 80, .vSamp = 1, .optimizeHuffman = true, .seed = 3}},
    {"4:4:4 optimized, restarts",
     {.width = 96, .height = 72, .hSamp = 1, .vSamp = 1, .restartInterval = 1, .optimizeHuffman = true, .seed = 4}},
    {"4:4:0 optimized, ragged", {.width = 90, .height = 100, .hSamp = 1, .optimizeHuffman = true, .seed = 5}},
    {"gray optimized, ragged, restarts",
     {.width = 77, .height = 61, .components = 1, .restartInterval = 3, .optimizeHuffman = true, .seed = 6}},
    {"4:2:0 standard tables", {.width = 160, .height = 120, .seed = 7}},
};

TEST(TablePolicy, GeneratedFilesAreExactAndNoBiggerThanJpegtranOptimize) {
    const std::string jpegtran = FindProgram("jpegtran");
    for (const Fixture& f : kFixtures) CheckInput(f.name, MakeJpeg(f.spec), jpegtran);
}

TEST(TablePolicy, CameraFilesAreExactAndNoBiggerThanJpegtranOptimize) {
    if (!HaveTestdata()) GTEST_SKIP() << "no camera files at " << TestdataDir();
    const std::string jpegtran = FindProgram("jpegtran");
    for (const auto& entry : std::filesystem::directory_iterator(TestdataDir())) {
        const std::string file = entry.path().filename().string();
        if (entry.path().extension() != ".jpg" || file == "progressive.jpg" || file == "short_scan.jpg") continue;
        CheckInput(file, ReadFileBytes(entry.path().string()), jpegtran);
    }
}

TEST(TablePolicy, WarningAndPlanFollowThePolicy) {
    const std::vector<uint8_t> optimized = MakeJpeg(kFixtures[0].spec);
    const std::vector<uint8_t> standard = MakeJpeg(kFixtures[6].spec);
    struct Case {
        const std::vector<uint8_t>* input;
        HuffmanTablePolicy policy;
        bool warned;
        TableOutcome planned;
    };
    const Case cases[] = {
        {&optimized, HuffmanTablePolicy::Standard, true, TableOutcome::Standard},
        {&optimized, HuffmanTablePolicy::KeepOrOptimize, false, TableOutcome::Optimized},
        {&optimized, HuffmanTablePolicy::Optimize, false, TableOutcome::Optimized},
        {&standard, HuffmanTablePolicy::Standard, false, TableOutcome::Kept},
        {&standard, HuffmanTablePolicy::KeepOrOptimize, false, TableOutcome::Kept},
        {&standard, HuffmanTablePolicy::Optimize, false, TableOutcome::Optimized},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(PolicyName(c.policy)) + (c.input == &optimized ? " on optimized" : " on standard"));
        const Result r = Transform(*c.input, TransformKind::Rotate90, c.policy, false);
        ASSERT_TRUE(r.ok) << Said(r.log);
        EXPECT_EQ(r.log.dhtWarnings, c.warned ? 1 : 0);
        EXPECT_EQ(r.planned, c.planned);
        // Kept tables are the file's, byte for byte.
        if (c.planned == TableOutcome::Kept) {
            EXPECT_EQ(HuffmanTablesOf(r.bytes), HuffmanTablesOf(*c.input));
        }
    }
}

// Keep or optimize keeps AC tables that are not full where only signs change: the result codes
// the very AC symbols they decoded. A quarter turn gets AC tables of its own.
TEST(TablePolicy, KeepOrOptimizeKeepsTheAcTablesOfKindsThatKeepCoefficientsInPlace) {
    const std::vector<uint8_t> input = MakeJpeg(kFixtures[1].spec);
    const auto acTables = [](const std::vector<uint8_t>& jpeg) {
        std::vector<std::vector<uint8_t>> ac;
        for (const std::vector<uint8_t>& table : HuffmanTablesOf(jpeg)) {
            if (table[0] >> 4 == 1) ac.push_back(table);
        }
        return ac;
    };
    for (TransformKind kind : kAllTransformKinds) {
        SCOPED_TRACE(TransformName(kind));
        const Result r = Transform(input, kind, HuffmanTablePolicy::KeepOrOptimize, true);
        ASSERT_TRUE(r.ok) << Said(r.log);
        EXPECT_EQ(acTables(r.bytes) == acTables(input), !SwapsAxes(kind));
    }
}

TEST(TablePolicy, OptimalTablesGiveTheSameBytesOnEveryThreadCount) {
    const std::vector<uint8_t> jpeg =
        MakeJpeg({.width = 1500, .height = 1400, .restartInterval = 7, .optimizeHuffman = true, .seed = 11});
    for (TransformKind kind : {TransformKind::Rotate90, TransformKind::MirrorLR}) {
        for (HuffmanTablePolicy policy : {HuffmanTablePolicy::KeepOrOptimize, HuffmanTablePolicy::Optimize}) {
            const Result one = Transform(jpeg, kind, policy, true, 1);
            ASSERT_TRUE(one.ok) << Said(one.log);
            for (unsigned threads : {2u, 3u, 8u}) {
                const Result many = Transform(jpeg, kind, policy, true, threads);
                EXPECT_EQ(one.bytes, many.bytes) << PolicyName(policy) << ", " << threads << " threads";
                EXPECT_EQ(one.log.progress, many.log.progress);
            }
        }
    }
}

}  // namespace
}  // namespace pivotta::test
