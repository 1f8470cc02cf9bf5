// Batches as pivotta-cli runs them: inputs from folders (-R, -L) and lists (--files-from, -0),
// outputs named or kept (--suffix, -n), the dry run of --check with a transform, and the
// progress line on a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "CliRunner.h"
#include "ExifBuilder.h"
#include "ExternalTools.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;
using Args = std::vector<std::string>;
namespace fs = std::filesystem;

// Every file under root, as paths relative to it, sorted.
std::vector<std::string> FilesUnder(const fs::path& root) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), root).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class CliBatchTest : public ::testing::Test {
protected:
    const Bytes good_ = MakeJpeg(FixtureSpec{});
};

struct InputCase {
    const char* name;
    Args args;                        // "OUT" and "PH" stand for the output folder and the walked one
    std::string list;                 // written as list.txt, or given on standard input with "--files-from -"
    int exitCode;
    std::vector<std::string> outputs;  // under OUT, or under listedFolder
    std::string listedFolder = {};     // "ph/sub": its files afterwards, results or not
};

// ph/a.jpg ph/B.JPEG ph/new<LF>line.jpg ph/notes.txt ph/sub/c.jpeg ph/sub/up -> .. ph/elsewhere -> ../other (other/d.jpg)
TEST_F(CliBatchTest, InputsComeFromFoldersAndLists) {
    const InputCase cases[] = {
        {"walked", {"-R", "-o", "OUT", "PH"}, "", 0, {"B.JPEG", "a.jpg", "new\nline.jpg", "sub/c.jpeg"}},
        {"walked through links", {"-R", "-L", "-o", "OUT", "PH"}, "", 0,
         {"B.JPEG", "a.jpg", "elsewhere/d.jpg", "new\nline.jpg", "sub/c.jpeg"}},
        {"a folder without -R", {"-o", "OUT", "PH"}, "", 1, {}},
        {"listed", {"--files-from", "LIST", "-o", "OUT"}, "PH/a.jpg\nPH/sub/c.jpeg\n\n", 0, {"a.jpg", "c.jpeg"}},
        {"listed on standard input, NUL-separated", {"-0", "--files-from", "-", "-o", "OUT"},
         std::string("PH/new\nline.jpg\0PH/B.JPEG\0", 26), 0, {"B.JPEG", "new\nline.jpg"}},
        {"listed folder walked", {"-R", "--files-from", "LIST", "-o", "OUT"}, "PH/sub\n", 0, {"c.jpeg"}},
        {"output folder inside the walked one", {"-R", "-o", "PH/sub", "PH"}, "", 0,
         {"B.JPEG", "a.jpg", "c.jpeg", "new\nline.jpg"}, "ph/sub"},
    };
    for (const InputCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        fs::create_directories(dir / "ph/sub");
        fs::create_directories(dir / "other");
        fs::create_directories(dir / "out");
        for (const char* name : {"ph/a.jpg", "ph/B.JPEG", "ph/sub/c.jpeg", "ph/new\nline.jpg", "other/d.jpg"}) {
            dir.Put(name, good_);
        }
        dir.Put("ph/notes.txt", {'n', 'o'});
        fs::create_directory_symlink("..", dir / "ph/sub/up");
        fs::create_directory_symlink("../other", dir / "ph/elsewhere");
        std::string list = c.list;
        for (size_t at = list.find("PH"); at != std::string::npos; at = list.find("PH", at)) {
            list.replace(at, 2, dir / "ph");
        }
        const std::string listFile = dir / "list.txt";
        WriteFileBytes(listFile, Bytes(list.begin(), list.end()));
        Args args = {"-q", "-r", "90"};
        for (const std::string& arg : c.args) {
            args.push_back(arg == "OUT"      ? dir / "out"
                           : arg == "PH"     ? dir / "ph"
                           : arg == "PH/sub" ? dir / "ph/sub"
                           : arg == "LIST"   ? listFile
                                             : arg);
        }
        const bool fromStdin = std::find(args.begin(), args.end(), "-") != args.end();
        const CliResult r = RunCli({.args = args, .stdinFile = fromStdin ? listFile : std::string()});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(FilesUnder(dir.Path() / (c.listedFolder.empty() ? "out" : c.listedFolder)), c.outputs);
        for (const std::string& output : c.listedFolder.empty() ? c.outputs : std::vector<std::string>{}) {
            EXPECT_EQ(ReadFileBytes(dir / ("out/" + output)), RunEngine(good_, TransformKind::Rotate90).bytes) << output;
        }
    }
}

struct OutputCase {
    const char* name;
    Args args;  // then the inputs a.jpg and b.jpg of the scratch folder
    int exitCode;
    std::vector<std::string> turned;  // files that hold the result afterwards
    std::string err;                  // a line that standard error holds ("" for none at all)
};

TEST_F(CliBatchTest, OutputsAreNamedBySuffixAndKeptByNoClobber) {
    const Bytes old = {'o', 'l', 'd'};
    const OutputCase cases[] = {
        {"suffix beside", {"--suffix", "-turned"}, 0, {"a-turned.jpg", "b-turned.jpg"}, ""},
        {"suffix in a folder", {"--suffix", ".r", "-o", "out"}, 0, {"out/a.r.jpg", "out/b.r.jpg"}, ""},
        {"no clobber", {"-n", "-v", "-o", "out"}, 0, {"out/b.jpg"}, "out/a.jpg' exists: not replaced (-n)\n"},
        {"suffix naming an input", {"--suffix", "-turned", "a-turned.jpg"}, 2, {},
         "would replace the input"},
        {"no clobber in place", {"-n", "--in-place"}, 2, {}, "-n/--no-clobber applies to"},
    };
    for (const OutputCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        fs::create_directory(dir / "out");
        dir.Put("out/a.jpg", old);
        dir.Put("a-turned.jpg", old);
        Args args = {"-r", "90"};
        for (const std::string& arg : c.args) args.push_back(arg == "out" || arg == "a-turned.jpg" ? dir / arg : arg);
        args.insert(args.end(), {dir.Put("a.jpg", good_), dir.Put("b.jpg", good_)});
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        if (!c.err.empty()) EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        if (c.err.empty()) EXPECT_EQ(r.err, "");
        for (const std::string& name : c.turned) {
            EXPECT_EQ(ReadFileBytes(dir / name), RunEngine(good_, TransformKind::Rotate90).bytes) << name;
        }
        EXPECT_EQ(ReadFileBytes(dir / "out/a.jpg"), c.turned.empty() || c.turned[0] != "out/a.jpg" ? old : Bytes());
        EXPECT_EQ(r.err.find(dir / "a.jpg: done"), std::string::npos) << "a skipped file is not done";
    }
}

Bytes Tagged(const Bytes& jpeg, uint16_t orientation) {
    ExifBuilder exif(true);
    exif.Ifd0().Short(exif_tag::Orientation, orientation);
    return WithApp1(jpeg, exif.Build());
}

struct DryRunCase {
    const char* name;
    Args options;
    const Bytes* input;
    int exitCode;
    std::string out;  // after "FILE: "
};

TEST_F(CliBatchTest, CheckWithATransformIsItsDryRun) {
    const Bytes ragged = MakeJpeg({.width = 600, .height = 450});
    const Bytes tiny = MakeJpeg({.width = 10, .height = 10});
    const Bytes optimized = MakeJpeg({.optimizeHuffman = true});
    const Bytes sideways = Tagged(good_, 6);
    const DryRunCase cases[] = {
        {"half turn", {"-r", "180"}, &ragged, 0, "would turn 180; would trim 600x450 to 592x448; tables: kept"},
        {"quarter turn", {"-r", "90"}, &ragged, 0, "would turn 90; would trim 600x450 to 600x448; tables: kept"},
        {"no trim", {"--no-trim", "--transverse"}, &ragged, 0,
         "would transverse; would move the ragged edge inside; tables: kept"},
        {"too small", {"-m", "lr"}, &tiny, 0, "would mirror lr; cannot trim: smaller than one 16x16 MCU; tables: kept"},
        {"optimized tables", {"--transpose"}, &optimized, 0, "would transpose; tables: optimized"},
        {"upright", {"-a"}, &good_, 0, "upright: unchanged"},
        {"tagged sideways", {"-a", "--standard-tables"}, &sideways, 0, "would turn 90; tables: kept"},
        {"perfect", {"--perfect", "-r", "180"}, &ragged, 1, "failed"},
    };
    for (const DryRunCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string in = dir.Put("in.jpg", *c.input);
        Args args = {"--check"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(in);
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, in + ": " + c.out + "\n");
        if (c.exitCode == 0) EXPECT_EQ(r.err, "");
        EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"in.jpg"});
        EXPECT_EQ(ReadFileBytes(in), *c.input);
    }
}

struct ProgressCase {
    const char* name;
    Args options;
    bool onTerminal;
    size_t files;
    bool shown;
};

// The terminal is a pseudo-terminal that script(1) gives the tool; stdout and stderr both go to it.
TEST_F(CliBatchTest, TheProgressLineShowsOnATerminalOnly) {
    if (FindProgram("script").empty()) GTEST_SKIP() << "no script(1) for a pseudo-terminal";
    const ProgressCase cases[] = {
        {"terminal", {}, true, 3, true},
        {"terminal, one file", {}, true, 1, false},
        {"terminal, quiet", {"-q"}, true, 3, false},
        {"terminal, refused", {"--no-progress"}, true, 3, false},
        {"pipe", {}, false, 3, false},
        {"pipe, forced", {"--progress"}, false, 3, true},
    };
    for (const ProgressCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        fs::create_directory(dir / "out");
        Args tool = {CliPath(), "-j", "1", "-r", "90", "-o", dir / "out"};
        tool.insert(tool.end(), c.options.begin(), c.options.end());
        for (size_t i = 0; i < c.files; ++i) tool.push_back(dir.Put("f" + std::to_string(i) + ".jpg", good_));
        CliResult r;
        if (c.onTerminal) {
            std::string command;
            for (const std::string& arg : tool) command += "'" + arg + "' ";
            r = RunCli(CliRun{.args = {"-qec", command, "/dev/null"}, .program = FindProgram("script")});
            r.err = r.out;  // the terminal shows both
        } else {
            r = RunCli(CliRun{.args = Args(tool.begin() + 1, tool.end())});
        }
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::string total = "/" + std::to_string(c.files) + " files";
        EXPECT_EQ(r.err.find("\rpivotta-cli: 0" + total) != std::string::npos, c.shown) << r.err;
        EXPECT_EQ(r.err.find("\rpivotta-cli: " + std::to_string(c.files) + total + ", ") != std::string::npos, c.shown)
            << r.err;
        if (c.shown) {
            // Removed at the end: the last thing written is spaces over it and a return.
            ASSERT_FALSE(r.err.empty());
            EXPECT_EQ(r.err.back(), '\r');
            EXPECT_EQ(r.err.find_last_not_of(" \r"), r.err.rfind(" left")  + 4) << r.err;
        }
        EXPECT_EQ(FilesUnder(dir.Path() / "out").size(), c.files);
    }
}

}  // namespace
}  // namespace pivotta::test
