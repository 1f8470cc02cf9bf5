// Message lines of pivotta-cli: their form and language, the code each carries, their order
// within a file and across files, and that parallel runs give the same bytes and words as
// serial ones.
#include <gtest/gtest.h>

#include <algorithm>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kJapanese = "LANG=ja_JP.UTF-8";

std::string Line(const std::string& file, const std::string& severity, const std::string& text) {
    return "pivotta-cli: " + file + ": " + severity + ": " + text + "\n";
}

size_t FindMarker(const Bytes& jpeg, uint8_t code, size_t from = 0) {
    for (size_t i = from; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == code) return i;
    }
    ADD_FAILURE() << "no marker FF" << std::hex << int{code};
    return 0;
}

// The first byte of entropy-coded data.
size_t ScanStart(const Bytes& jpeg) {
    const size_t sos = FindMarker(jpeg, 0xDA);
    return sos + 2 + (size_t{jpeg[sos + 2]} << 8 | jpeg[sos + 3]);
}

Bytes WithFrameMarker(Bytes jpeg, uint8_t code) {
    jpeg[FindMarker(jpeg, 0xC0) + 1] = code;
    return jpeg;
}

Bytes WithHeight(Bytes jpeg, uint16_t height) {
    const size_t frame = FindMarker(jpeg, 0xC0);
    jpeg[frame + 5] = static_cast<uint8_t>(height >> 8);
    jpeg[frame + 6] = static_cast<uint8_t>(height);
    return jpeg;
}

Bytes WithComponentCount(Bytes jpeg, uint8_t count) {
    jpeg[FindMarker(jpeg, 0xC0) + 9] = count;
    return jpeg;
}

Bytes CutInScanWithoutEnd(const Bytes& jpeg) {
    const size_t start = ScanStart(jpeg);
    return Bytes(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(start + (jpeg.size() - start) / 2));
}

// The restart marker after interval `index` gets the wrong number: data has been lost there.
Bytes WrongRestartMarker(Bytes jpeg, int index) {
    int seen = 0;
    for (size_t i = ScanStart(jpeg); i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] != 0xFF || (jpeg[i + 1] & 0xF8) != 0xD0) continue;
        if (seen++ == index) {
            jpeg[i + 1] = static_cast<uint8_t>(0xD0 | ((jpeg[i + 1] + 1) & 7));
            return jpeg;
        }
    }
    ADD_FAILURE() << "fewer restart markers than " << index;
    return jpeg;
}

// Without its DHT segments: the scan's tables are defined nowhere in the file.
Bytes WithoutHuffmanTables(Bytes jpeg) {
    for (size_t at = 2; jpeg[at + 1] != 0xDA;) {
        const auto start = jpeg.begin() + static_cast<std::ptrdiff_t>(at);
        const size_t size = 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
        if (jpeg[at + 1] == 0xC4) {
            jpeg.erase(start, start + static_cast<std::ptrdiff_t>(size));
        } else {
            at += size;
        }
    }
    return jpeg;
}

// 64 one bits in the middle of the scan: no Huffman table has such a code.
Bytes OnesInScan(Bytes jpeg) {
    const size_t start = ScanStart(jpeg);
    const size_t at = start + (jpeg.size() - start) / 2;
    for (size_t k = 0; k < 16; k += 2) {
        jpeg[at + k] = 0xFF;
        jpeg[at + k + 1] = 0x00;
    }
    return jpeg;
}

class CliMessagesTest : public ::testing::Test {
protected:
    ScratchDir dir_;
    // Optimized tables and a ragged size: two warnings, the table one first (it comes from
    // the marker walk, the size one after the scan header).
    const Bytes warned_ = MakeJpeg(FixtureSpec{.width = 70, .height = 50, .optimizeHuffman = true});
};

TEST_F(CliMessagesTest, WarningsComeInTheEnginesOrderInTheLocalesLanguage) {
    const std::string file = dir_.Put("warned.jpg", warned_);
    const std::string english = Line(file, "warning",
                                     "the Huffman tables are optimized for this picture: the standard tables complete "
                                     "them [optimized-tables]");
    const std::string japanese =
        Line(file, "警告", "ハフマンテーブルがこの画像向けに最適化されています: 標準のテーブルで補います [optimized-tables]");
    struct Case {
        std::vector<std::string> options, env;
        std::string expected;
    };
    const std::string trimmed =
        Line(file, "warning", "the size is not a whole number of MCUs: the ragged edge is trimmed [trimmed]");
    // Only the standard tables replace the file's own, and only they are warned about.
    const Case cases[] = {
        {{"--standard-tables"}, {}, english + trimmed},
        {{}, {}, trimmed},
        {{"-O"}, {}, trimmed},
        {{"--no-trim", "--standard-tables"}, {},
         english + Line(file, "warning",
                        "the size is not a whole number of MCUs: a transform may move the edge's padding into the "
                        "picture [ragged-edge]")},
        {{"--standard-tables"}, {kJapanese},
         japanese + Line(file, "警告", "サイズがMCUの整数倍ではありません: はみ出した端を切り取ります [trimmed]")},
        {{"--no-trim", "--standard-tables"}, {"LC_MESSAGES=ja_JP.UTF-8", "LANG=en_US.UTF-8"},
         japanese + Line(file, "警告",
                         "サイズがMCUの整数倍ではありません: 変換によって端の埋め草が画像の中に移ることがあります "
                         "[ragged-edge]")},
        {{"-q"}, {kJapanese}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options) + ::testing::PrintToString(c.env));
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"-r", "90", file, dir_ / "out.jpg"});
        const CliResult r = RunCli({.args = args, .env = c.env});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err, c.expected);
    }
}

// LC_ALL, then LC_MESSAGES, then LANG: the first one set and not empty chooses.
TEST_F(CliMessagesTest, TheLocaleChoosesTheLanguageAndErrorsShowEvenWhenQuiet) {
    const std::string bad = dir_.Put("bad.jpg", NotAJpeg());
    const std::string english =
        Line(bad, "error", "not a JPEG file: it does not start with the start-of-image marker (FFD8) [not-jpeg]");
    const std::string japanese =
        Line(bad, "エラー", "JPEGファイルではありません: 開始マーカー(FFD8)で始まっていません [not-jpeg]");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, english},
        {{kJapanese}, japanese},
        {{"LANG=ja"}, japanese},
        {{"LC_ALL=C", kJapanese}, english},
        {{"LC_ALL=ja_JP.UTF-8", "LANG=C"}, japanese},
        {{"LC_ALL=", "LC_MESSAGES=", kJapanese}, japanese},
        {{"LC_MESSAGES=en_GB.UTF-8", kJapanese}, english},
        {{"LANG=jam"}, japanese},  // any "ja..." locale: the check is the language's two letters
        {{"LANG=de_DE.UTF-8"}, english},
    };
    for (const auto& [env, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(env));
        const CliResult r = RunCli({.args = {"-q", "--in-place", "-r", "90", bad}, .env = env});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, expected);
    }
}

// Under a Japanese locale the tool's own lines are Japanese too: severity words, refusals and
// usage errors.
TEST_F(CliMessagesTest, TheToolsOwnMessagesAreJapaneseUnderAJapaneseLocale) {
    const std::string good = dir_.Put("good.jpg", MakeJpeg(FixtureSpec{}));
    const std::string tiny = dir_.Put("tiny.jpg", MakeJpeg(FixtureSpec{.width = 10, .height = 10}));
    std::filesystem::create_directory(dir_ / "out");
    const std::string existing = dir_.Put("out/good.jpg", {'o', 'l', 'd'});
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        {{"-r", "90", dir_ / "missing.jpg", dir_ / "x.jpg"}, 1,
         Line(dir_ / "missing.jpg", "エラー", "読み込めません: No such file or directory")},
        {{"-r", "90", tiny, dir_ / "x.jpg"}, 0,
         Line(tiny, "警告", "画像がはみ出した端の方向に16x16のMCU 1つより小さいので、その端を切り取れません: 埋め草が"
                            "画像の中に移ります [cannot-trim]")},
        {{"-v", "-r", "90", good, dir_ / "x.jpg"}, 0, "pivotta-cli: " + good + ": 完了\n"},
        {{"-n", "-r", "90", "-o", dir_ / "out", good}, 0,
         Line(good, "注意", "'" + existing + "'は既にあるので置き換えません(-n)")},
        {{"--perfect", "-r", "90", tiny, dir_ / "x.jpg"}, 1,
         Line(tiny, "エラー", "変換には端の切り取りが必要です: 10x10は16x16のMCUの整数倍ではありません(--perfect) [needs-trim]")},
        {{"-r", "45", good, dir_ / "x.jpg"}, 2,
         "pivotta-cli: エラー: -rの値'45'は使えません: 90、180、270のどれか\n詳しくは 'pivotta-cli --help' を見てください。\n"},
        {{"-r", "90", "-o", dir_ / "none", good}, 2,
         "pivotta-cli: エラー: 出力フォルダ'" + (dir_ / "none") + "'がないか、フォルダではありません\n"
         "詳しくは 'pivotta-cli --help' を見てください。\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const CliResult r = RunCli({.args = c.args, .env = {kJapanese}});
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.err, c.err);
    }
}

// Every refusal names its cause and carries its code, and --check, which runs the whole
// transform without writing, says exactly what the transform says.
TEST_F(CliMessagesTest, RefusedFilesNameTheirCauseAndCheckAgreesWithTheTransform) {
    const Bytes large = MakeJpeg(FixtureSpec{.width = 640, .height = 480, .seed = 9});
    // 4 MCUs a row (64 pixels of 4:2:0) and a restart marker after every row.
    const Bytes rows = MakeJpeg(FixtureSpec{.width = 64, .height = 1120, .restartInterval = 4, .seed = 4});
    struct Case {
        const char* name;
        Bytes bytes;
        std::string english;  // the whole text, or its start when it ends in "..."
        std::string japanese;
    };
    const Case cases[] = {
        {"lossless", WithFrameMarker(large, 0xC3), "lossless JPEG is not supported (baseline only) [lossless]",
         "ロスレスJPEGには対応していません(ベースラインのみ) [lossless]"},
        {"five-components", WithComponentCount(large, 5), "more than four components are not supported [too-many-components]",
         "5つ以上の成分を持つ画像には対応していません [too-many-components]"},
        {"dnl", WithHeight(large, 0),
         "the picture's height is given after its first scan (DNL segment): not supported [dnl]",
         "画像の高さが最初のスキャンの後(DNLセグメント)で与えられています: 対応していません [dnl]"},
        {"cut", CutInScanWithoutEnd(large), "file is truncated: the scan ends before the last block [truncated-scan]",
         "ファイルが途中で切れています: 最後のブロックの前でスキャンが終わっています [truncated-scan]"},
        {"cut-and-closed", CutInsideScan(large),
         "file is truncated: the scan ends before the last block [truncated-scan]",
         "ファイルが途中で切れています: 最後のブロックの前でスキャンが終わっています [truncated-scan]"},
        {"first-2000-bytes", Bytes(large.begin(), large.begin() + 2000),
         "file is truncated: far too little picture data for the picture's size [scan-too-short]",
         "ファイルが途中で切れています: 画像のサイズに対して画像データが少なすぎます [scan-too-short]"},
        {"wrong-restart", WrongRestartMarker(rows, 57), "damaged data in the scan at MCU row 57 [damaged-scan]",
         "スキャンのデータが壊れています(MCU行 57) [damaged-scan]"},
        {"no-tables", WithoutHuffmanTables(large),
         "the scan uses a Huffman table that the file does not define [undefined-table]",
         "スキャンが使うハフマンテーブルがファイルに定義されていません [undefined-table]"},
        {"flipped-bits", OnesInScan(large), "damaged data in the scan at MCU row ...", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string in = dir_.Put(std::string(c.name) + ".jpg", c.bytes);
        const CliResult transform = RunCli({"-r", "90", in, dir_ / "out.jpg"});
        EXPECT_EQ(transform.exitCode, 1);
        EXPECT_FALSE(std::filesystem::exists(dir_ / "out.jpg"));
        const std::string head = "pivotta-cli: " + in + ": error: ";
        if (c.english.ends_with("...")) {
            EXPECT_EQ(transform.err.rfind(head + c.english.substr(0, c.english.size() - 3), 0), 0u) << transform.err;
        } else {
            EXPECT_EQ(transform.err, head + c.english + "\n");
        }
        const CliResult check = RunCli({"--check", in});
        EXPECT_EQ(check.exitCode, 1);
        EXPECT_EQ(check.out, in + ": failed\n");
        EXPECT_EQ(check.err, transform.err);
        if (!c.japanese.empty()) {
            const CliResult japanese = RunCli({.args = {"--check", in}, .env = {kJapanese}});
            EXPECT_EQ(japanese.err, "pivotta-cli: " + in + ": エラー: " + c.japanese + "\n");
        }
    }
}

// The lines of a file, grouped per file in the order the files came: a parallel run reports
// files as they finish, but a file's lines stay together and in their order.
std::vector<std::string> LinesPerFile(const std::string& err) {
    std::vector<std::string> blocks;
    std::string lastFile;
    for (size_t at = 0; at < err.size();) {
        const size_t end = err.find('\n', at);
        const std::string line = err.substr(at, end + 1 - at);
        const size_t nameStart = line.find(": ") + 2;
        const std::string file = line.substr(nameStart, line.find(": ", nameStart) - nameStart);
        if (blocks.empty() || file != lastFile) blocks.emplace_back();
        blocks.back() += line;
        lastFile = file;
        at = end + 1;
    }
    std::sort(blocks.begin(), blocks.end());
    return blocks;
}

// A slow first file makes the parallel run finish out of order: its files' lines stay whole.
TEST_F(CliMessagesTest, ParallelRunsMatchSerialRunsByteForByte) {
    std::vector<std::string> inputs{dir_.Put("0-large.jpg", MakeJpeg(FixtureSpec{.width = 1024, .height = 768}))};
    for (int i = 1; i <= 6; ++i) {
        const Bytes bytes = i % 3 == 0   ? NotAJpeg()
                            : i % 3 == 1 ? MakeJpeg(FixtureSpec{.width = 70, .height = 50, .optimizeHuffman = true,
                                                                .seed = static_cast<uint32_t>(i)})
                                         : MakeJpeg(FixtureSpec{.seed = static_cast<uint32_t>(i)});
        inputs.push_back(dir_.Put(std::to_string(i) + ".jpg", bytes));
    }
    std::string expectedErr;
    for (size_t i = 1; i < inputs.size(); ++i) {
        if (i % 3 == 1) {
            expectedErr += Line(inputs[i], "warning",
                                "the size is not a whole number of MCUs: the ragged edge is trimmed [trimmed]");
        } else if (i % 3 == 0) {
            expectedErr += Line(inputs[i], "error",
                                "not a JPEG file: it does not start with the start-of-image marker (FFD8) [not-jpeg]");
        }
    }

    std::vector<std::vector<Bytes>> results;
    for (const char* jobs : {"1", "2", "4"}) {
        const std::string out = dir_ / ("out-" + std::string(jobs));
        std::filesystem::create_directory(out);
        std::vector<std::string> args{"-m", "lr", "-j", jobs, "-o", out};
        args.insert(args.end(), inputs.begin(), inputs.end());
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(LinesPerFile(r.err), LinesPerFile(expectedErr)) << "-j " << jobs;
        std::vector<Bytes> written;
        for (const std::string& name : ListFolder(out)) written.push_back(ReadFileBytes(out + "/" + name));
        EXPECT_EQ(written.size(), 5u) << "-j " << jobs;
        results.push_back(std::move(written));
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
}

}  // namespace
}  // namespace pivotta::test
