// A warning tells what happened to this file: none for work not done (a check, an upright file
// copied as it is), and no trimming claimed where the picture is too small to trim.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;

struct WarningCase {
    const char* name;
    std::vector<std::string> options;  // before INPUT [OUTPUT]
    const Bytes* input;
    bool writes;
    int exitCode;
    std::string err;  // with FILE for the input's path
};

std::string WithFile(std::string text, const std::string& file) {
    for (size_t at = text.find("FILE"); at != std::string::npos; at = text.find("FILE", at + file.size())) {
        text.replace(at, 4, file);
    }
    return text;
}

TEST(CliWarningsTest, WarningsDescribeWhatHappenedToTheFile) {
    // Tables an encoder optimized, which the standard ones replace in a transform; whole MCUs.
    const Bytes optimized = MakeJpeg({.optimizeHuffman = true});
    // 10x10 with 16x16 MCUs: the ragged edge is the whole picture.
    const Bytes tiny = MakeJpeg({.width = 10, .height = 10});
    const Bytes ragged = MakeJpeg({.width = 20, .height = 20});
    const std::string tables =
        "pivotta-cli: FILE: warning: the Huffman tables are optimized for this picture: the standard tables complete "
        "them [optimized-tables]\n";
    const std::string cannotTrim =
        "pivotta-cli: FILE: warning: the picture is smaller than one 16x16 MCU across its ragged edge: that edge "
        "cannot be trimmed, and its padding moves into the picture [cannot-trim]\n";
    const WarningCase cases[] = {
        {"checked", {"--standard-tables", "--check"}, &optimized, false, 0, ""},
        {"upright copy", {"--standard-tables", "-a"}, &optimized, true, 0, ""},
        {"turned", {"--standard-tables", "-r", "90"}, &optimized, true, 0, tables},
        {"too small to trim", {"-r", "90"}, &tiny, true, 0, cannotTrim},
        {"too small to trim, mirrored", {"-m", "lr"}, &tiny, true, 0, cannotTrim},
        {"too small, edge stays outside", {"--transpose"}, &tiny, true, 0, ""},
        {"too small for --perfect", {"--perfect", "-r", "90"}, &tiny, false, 1,
         "pivotta-cli: FILE: error: the transform would need trimming: 10x10 is not a whole number of 16x16 MCUs "
         "(--perfect) [needs-trim]\n"},
        {"trimmed", {"-r", "90"}, &ragged, true, 0,
         "pivotta-cli: FILE: warning: the size is not a whole number of MCUs: the ragged edge is trimmed [trimmed]\n"},
    };
    for (const WarningCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string in = dir.Put("in.jpg", *c.input);
        std::vector<std::string> args = c.options;
        args.push_back(in);
        const bool check = std::find(args.begin(), args.end(), "--check") != args.end();
        if (!check) args.push_back(dir / "out.jpg");
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.err, WithFile(c.err, in));
        EXPECT_EQ(std::filesystem::exists(dir / "out.jpg"), c.writes);
    }
    ScratchDir dir;
    const std::string in = dir.Put("in.jpg", optimized);
    ASSERT_EQ(RunCli({"-a", in, dir / "out.jpg"}).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(dir / "out.jpg"), optimized) << "an upright file is copied byte for byte";
}

}  // namespace
}  // namespace pivotta::test
