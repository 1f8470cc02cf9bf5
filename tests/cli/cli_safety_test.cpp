// What pivotta-cli does to files it was not asked to replace: special files are written into,
// never replaced; write-protected files stay unless -f is given, for root and for an ordinary
// user alike; an input is never overwritten without --in-place.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <future>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Args = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode;
}

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_ino;
}

class CliSafetyTest : public ::testing::Test {
protected:
    Bytes Expected(TransformKind kind) { return RunEngine(good_, kind, true).bytes; }

    ScratchDir dir_;
    const Bytes good_ = MakeJpeg(FixtureSpec{.width = 64, .height = 48});
    const Bytes old_ = {'o', 'l', 'd'};
};

// A reader on the other end of a FIFO gets the result, as from cat; the FIFO stays a FIFO. The
// reader gives up after a while so that a tool that never opens the FIFO fails the test
// instead of hanging it.
TEST_F(CliSafetyTest, SpecialFilesAreWrittenIntoNeverReplaced) {
    const std::string in = dir_.Put("in.jpg", good_);
    const std::string fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    fs::create_symlink(fifo, dir_ / "link-to-fifo");
    for (const std::string& target : {fifo, dir_ / "link-to-fifo"}) {
        SCOPED_TRACE(target);
        const std::string received = dir_ / "received";
        auto reader = std::async(std::launch::async, [&] {
            return std::system(("timeout 20 cat '" + fifo + "' > '" + received + "'").c_str());
        });
        const CliResult r = RunCli({"-r", "90", in, target});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        if (!S_ISFIFO(ModeOf(fifo))) {
            ADD_FAILURE() << "the FIFO was replaced";
            ::unlink(fifo.c_str());
            ::mkfifo(fifo.c_str(), 0644);
        }
        EXPECT_EQ(reader.get(), 0) << "the reader got no end of file";
        EXPECT_EQ(ReadFileBytes(received), Expected(TransformKind::Rotate90));
    }
    EXPECT_TRUE(fs::is_symlink(dir_ / "link-to-fifo"));

    // A character device of our own, where the container allows making one.
    const std::string device = dir_ / "null";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        const CliResult r = RunCli({"-r", "90", in, device});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(S_ISCHR(ModeOf(device)));
    }

    // /dev/stdout leading to a regular file: the file the caller opened gets the bytes.
    const std::string captured = dir_.Put("stdout.jpg", old_);
    const ino_t inode = InodeOf(captured);
    const CliResult toStdout = RunCli({.args = {"-r", "90", in, "/dev/stdout"}, .stdoutFile = captured});
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err;
    EXPECT_EQ(InodeOf(captured), inode) << "the caller's file was replaced";
    EXPECT_EQ(ReadFileBytes(captured), Expected(TransformKind::Rotate90));

    // --in-place and -o refuse them, without reading or writing them.
    fs::create_directory(dir_ / "out");
    ASSERT_EQ(::mkfifo((dir_ / "out/in.jpg").c_str(), 0644), 0);
    const std::pair<Args, std::string> refusals[] = {
        {{"--in-place", "-r", "90", fifo},
         "--in-place replaces regular files only, and '" + fifo + "' is a device, FIFO or socket"},
        {{"-r", "90", "-o", dir_ / "out", in},
         "cannot write '" + (dir_ / "out/in.jpg") + "': it exists and is not a regular file (-o writes regular files only)"},
    };
    for (const auto& [args, message] : refusals) {
        const CliResult r = RunCli({.args = args, .timeoutSeconds = 20});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(": error: " + message), std::string::npos) << r.err;
    }
    EXPECT_TRUE(S_ISFIFO(ModeOf(dir_ / "out/in.jpg")));
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
}

// A 0444 file stays for root and for nobody; a file nobody may not write stays for nobody; -f
// replaces them as cp -f would, keeping the mode. The tool runs as nobody from a copy in a
// world-writable folder (the build tree may sit in a private one).
TEST_F(CliSafetyTest, WriteProtectedFilesStayUnlessForced) {
    ASSERT_EQ(::chmod(dir_.Path().c_str(), 0777), 0);
    const std::string program = dir_ / "pivotta-cli";
    fs::copy_file(CliPath(), program);
    const std::string in = dir_.Put("in.jpg", good_);
    struct Case {
        const char* name;
        mode_t mode;
        bool asNobody;
        bool inPlace;
        bool force;
        bool replaced;
    };
    const Case cases[] = {
        {"0444 as root", 0444, false, false, false, false},
        {"0444 as root, forced", 0444, false, false, true, true},
        {"0444 in place as root", 0444, false, true, false, false},
        {"0444 in place as root, forced", 0444, false, true, true, true},
        {"0444 as nobody", 0444, true, false, false, false},
        {"0444 as nobody, forced", 0444, true, false, true, true},
        {"root's 0644 as nobody", 0644, true, false, false, false},
        {"0666 as nobody", 0666, true, false, false, true},
        {"0644 as root", 0644, false, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.asNobody && ::geteuid() != 0) continue;  // an ordinary user cannot become nobody
        const Bytes before = c.inPlace ? good_ : old_;
        const std::string target = dir_.Put("target.jpg", before);
        ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
        Args args = {"-r", "90"};
        if (c.force) args.push_back("-f");
        if (c.inPlace) {
            args.insert(args.end(), {"--in-place", target});
        } else {
            args.insert(args.end(), {in, target});
        }
        const CliResult r = RunCli({.args = args, .program = program, .asUnprivilegedUser = c.asNobody});
        if (r.exitCode == kCannotDropPrivileges || r.exitCode == kCannotExecute) GTEST_SKIP() << "cannot run as nobody";
        EXPECT_EQ(r.exitCode, c.replaced ? 0 : 1) << r.err;
        EXPECT_EQ(ReadFileBytes(target), c.replaced ? Expected(TransformKind::Rotate90) : before);
        EXPECT_EQ(ModeOf(target) & 07777, c.mode);
        if (!c.replaced) {
            EXPECT_EQ(r.err, "pivotta-cli: " + (c.inPlace ? target : in) + ": error: cannot replace '" + target +
                                 "': permission denied (it is write-protected; -f/--force replaces it)\n");
        }
        EXPECT_EQ(ListFolder(dir_.Path()), (std::vector<std::string>{"in.jpg", "pivotta-cli", "target.jpg"}));
        fs::remove(target);
    }
}

// Without --in-place, no spelling of an input may be its own output: a usage error before any
// file is read, and the input stays as it was.
TEST_F(CliSafetyTest, AnInputIsNeverItsOwnOutputWithoutInPlace) {
    const std::string in = dir_.Put("in.jpg", good_);
    fs::create_hard_link(in, dir_ / "hard.jpg");
    fs::create_symlink(in, dir_ / "soft.jpg");
    fs::create_directory(dir_ / "out");
    const std::string other = dir_.Put("out/other.jpg", good_);
    const std::pair<Args, std::string> cases[] = {
        {{"-r", "90", in, in}, "OUTPUT '" + in + "' is the input file itself: use --in-place to replace it"},
        {{"-r", "90", in, dir_ / "./in.jpg"},
         "OUTPUT '" + (dir_ / "./in.jpg") + "' is the input file itself: use --in-place to replace it"},
        {{"-r", "90", in, dir_ / "hard.jpg"},
         "OUTPUT '" + (dir_ / "hard.jpg") + "' is the input file itself: use --in-place to replace it"},
        {{"-r", "90", dir_ / "soft.jpg", in}, "OUTPUT '" + in + "' is the input file itself: use --in-place to replace it"},
        {{"-r", "90", "-o", dir_.Path().string(), in},
         "output folder '" + dir_.Path().string() + "' holds the input '" + in +
             "', whose result would replace it: choose another folder, or use --in-place"},
        {{"-r", "90", "-o", dir_ / "out", in, other},
         "output folder '" + (dir_ / "out") + "' holds the input '" + other +
             "', whose result would replace it: choose another folder, or use --in-place"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, "pivotta-cli: error: " + message + "\nTry 'pivotta-cli --help' for more information.\n");
    }
    EXPECT_EQ(ReadFileBytes(in), good_);
    EXPECT_EQ(ListFolder(dir_ / "out"), std::vector<std::string>{"other.jpg"});
}

}  // namespace
}  // namespace pivotta::test
