// Names and streams a batch meets: control characters in names stay on one line, a terminal
// gets no JPEG, and a huge file that is no JPEG is refused by its start, not read whole.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

size_t LineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(CliNamesTest, ControlCharactersInNamesAreQuotedAsTheShellReadsThem) {
    ScratchDir dir;
    const Bytes good = MakeJpeg(FixtureSpec{.width = 64, .height = 48});
    struct Case {
        std::string name;
        std::string shown;  // the name as the lines show it, after "'FOLDER/"
        bool jpeg;
    };
    const Case cases[] = {
        {"plain.jpg", "plain.jpg", true},
        {"new\nline.jpg", "new'$'\\n''line.jpg'", true},
        {"tab\t'quote'.jpg", "tab'$'\\t'''\\''quote'\\''.jpg'", true},
        {"bell\a\033.jpg", "bell'$'\\007\\e''.jpg'", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        const std::string path = dir.Put(c.name, c.jpeg ? good : NotAJpeg());
        // The folder has no control character: the quoted form covers the whole path.
        const std::string shown = c.name == c.shown ? path : "'" + dir.Path().string() + "/" + c.shown;
        const CliResult check = RunCli({"--check", path});
        EXPECT_EQ(check.out, shown + (c.jpeg ? ": ok 64x48 tables=kept\n" : ": failed\n"));
        EXPECT_EQ(LineCount(check.err), c.jpeg ? 0u : 1u) << check.err;
        if (!c.jpeg) {
            EXPECT_EQ(check.err.rfind("pivotta-cli: " + shown + ": error: ", 0), 0u) << check.err;
        }
        fs::create_directories(dir / "out");
        const CliResult verbose = RunCli({"-v", "-r", "90", "-o", dir / "out", path});
        EXPECT_EQ(verbose.err, c.jpeg ? "pivotta-cli: " + shown + ": done\n" : check.err);
    }
}

TEST(CliNamesTest, AJpegIsNotWrittenToATerminal) {
    ScratchDir dir;
    const std::string in = dir.Put("in.jpg", MakeJpeg(FixtureSpec{.width = 64, .height = 48}));
    // script gives the tool a pseudo-terminal as its standard output and copies what it shows.
    const std::string log = dir / "terminal.log";
    const CliResult r = RunCli({.args = {"-qec", CliPath() + " -r 90 '" + in + "' -", log},
                                .program = "/usr/bin/script"});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("standard output is a terminal"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\xFF\xD8"), std::string::npos) << "JPEG bytes reached the terminal";
    // A pipe still gets them.
    const CliResult piped = RunCli({"-r", "90", in, "-"});
    EXPECT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.out.substr(0, 2), "\xFF\xD8");
}

// A 3 GB video named .jpg (sparse, so the test costs no disk) under a 1 GB address-space limit:
// its first bytes refuse it before the rest is read.
TEST(CliNamesTest, AHugeFileThatIsNoJpegIsRefusedByItsStart) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's shadow memory does not fit an address-space limit";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "the address sanitizer's shadow memory does not fit an address-space limit";
#endif
#endif
    ScratchDir dir;
    const Bytes start = {0, 0, 0, 0x20, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm'};
    std::vector<std::string> videos;
    for (const char* name : {"movie-1.jpg", "movie-2.jpg"}) {
        videos.push_back(dir.Put(name, start));
        ASSERT_EQ(::truncate(videos.back().c_str(), off_t{3} << 30), 0);
    }
    fs::create_directory(dir / "out");
    const std::string command = "ulimit -v 1000000 && exec \"$0\" \"$@\"";
    const CliResult r = RunCli({.args = {"-c", command, CliPath(), "-a", "-j", "2", "-o", dir / "out", videos[0],
                                         videos[1]},
                                .program = "/bin/sh"});
    EXPECT_EQ(r.exitCode, 1);
    for (const std::string& video : videos) {
        EXPECT_NE(r.err.find("pivotta-cli: " + video + ": error: not a JPEG file: it does not start with the "
                             "start-of-image marker (FFD8) [not-jpeg]\n"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_EQ(LineCount(r.err), 2u) << r.err;
    EXPECT_TRUE(ListFolder(dir / "out").empty());
}

}  // namespace
}  // namespace pivotta::test
