// How pivotta-cli treats the files it writes: kept times, permissions, symbolic links, and
// clean failure where nothing can be written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

void SetTimes(const std::string& path, timespec access, timespec write) {
    const timespec times[2] = {access, write};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class CliFilesTest : public ::testing::Test {
protected:
    Bytes Expected(TransformKind kind) { return RunEngine(good_, kind).bytes; }

    ScratchDir dir_;
    const Bytes good_ = MakeJpeg(FixtureSpec{});
    const timespec access_{981'173'106, 123'456'789};  // 2001-02-03, with nanoseconds
    const timespec write_{981'000'000, 987'654'321};
};

TEST_F(CliFilesTest, KeepTimesGivesTheResultTheInputsTimes) {
    const std::string in = dir_.Put("in.jpg", good_);
    const std::string inPlace = dir_.Put("in-place.jpg", good_);
    SetTimes(in, access_, write_);
    SetTimes(inPlace, access_, write_);

    ASSERT_EQ(RunCli({"-p", "-r", "90", in, dir_ / "kept.jpg"}).exitCode, 0);
    ASSERT_EQ(RunCli({"--keep-times", "--in-place", "-r", "90", inPlace}).exitCode, 0);
    for (const std::string& path : {dir_ / "kept.jpg", inPlace}) {
        const struct stat st = StatOf(path);
        EXPECT_EQ(st.st_mtim.tv_sec, write_.tv_sec) << path;
        EXPECT_EQ(st.st_mtim.tv_nsec, write_.tv_nsec) << path;
        EXPECT_EQ(st.st_atim.tv_sec, access_.tv_sec) << path;
        EXPECT_EQ(st.st_atim.tv_nsec, access_.tv_nsec) << path;
    }
    EXPECT_EQ(ReadFileBytes(inPlace), Expected(TransformKind::Rotate90));

    ASSERT_EQ(RunCli({"-r", "90", in, dir_ / "fresh.jpg"}).exitCode, 0);
    EXPECT_GT(StatOf(dir_ / "fresh.jpg").st_mtim.tv_sec, write_.tv_sec + 365 * 86400);
}

TEST_F(CliFilesTest, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode) {
    const mode_t umask = ::umask(0);
    ::umask(umask);
    const std::string in = dir_.Put("in.jpg", good_);
    ASSERT_EQ(RunCli({"-r", "180", in, dir_ / "new.jpg"}).exitCode, 0);
    EXPECT_EQ(StatOf(dir_ / "new.jpg").st_mode & 07777, 0666 & ~umask);

    const std::string secret = dir_.Put("secret.jpg", good_);
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    ASSERT_EQ(RunCli({"--in-place", "-r", "180", secret}).exitCode, 0);
    EXPECT_EQ(StatOf(secret).st_mode & 07777, 0600u);
}

TEST_F(CliFilesTest, InPlaceThroughASymbolicLinkKeepsTheLink) {
    const std::string real = dir_.Put("real.jpg", good_);
    fs::create_symlink(real, dir_ / "link.jpg");
    ASSERT_EQ(RunCli({"--in-place", "-m", "tb", dir_ / "link.jpg"}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.jpg"));
    EXPECT_EQ(ReadFileBytes(real), Expected(TransformKind::MirrorTB));
    EXPECT_EQ(ListFolder(dir_.Path()), (std::vector<std::string>{"link.jpg", "real.jpg"}));
}

// As root a read-only folder is still writable, so the tool then runs as nobody, from a copy
// that nobody can reach (the build tree may sit in a private folder).
TEST_F(CliFilesTest, ReadOnlyFolderFailsCleanly) {
    const std::string in = dir_.Put("in.jpg", good_);
    const std::string program = dir_ / "pivotta-cli";
    fs::copy_file(CliPath(), program);
    fs::create_directory(dir_ / "locked");
    const Bytes previous = {'o', 'l', 'd'};
    dir_.Put("locked/in.jpg", previous);
    ASSERT_EQ(::chmod((dir_ / "locked/in.jpg").c_str(), 0666), 0);
    ASSERT_EQ(::chmod((dir_ / "locked").c_str(), 0555), 0);

    CliResult r = RunCli({.args = {"-r", "90", "-o", dir_ / "locked", in}, .program = program, .asUnprivilegedUser = true});
    if (r.exitCode == kCannotDropPrivileges || r.exitCode == kCannotExecute) {
        GTEST_SKIP() << "cannot run the tool as an ordinary user from " << dir_.Path();
    }
    EXPECT_EQ(r.exitCode, 1);
    // The file itself may be written; its folder is what refuses a replacement.
    EXPECT_NE(r.err.find("pivotta-cli: " + in + ": error: cannot replace '" + (dir_ / "locked/in.jpg") +
                         "': its folder is not writable (Permission denied), so no new file can take its place"),
              std::string::npos) << r.err;
    r = RunCli({.args = {"-r", "90", in, dir_ / "locked/new.jpg"}, .program = program, .asUnprivilegedUser = true});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(": error: cannot write '"), std::string::npos) << r.err;
    EXPECT_EQ(ListFolder(dir_ / "locked"), std::vector<std::string>{"in.jpg"});
    EXPECT_EQ(ReadFileBytes(dir_ / "locked/in.jpg"), previous);
}

TEST_F(CliFilesTest, FullStandardOutputFailsCleanly) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const CliResult r = RunCli({.args = {"-r", "90", dir_.Put("in.jpg", good_), "-"}, .stdoutFile = "/dev/full"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(": error: cannot write standard output: "), std::string::npos) << r.err;
}

}  // namespace
}  // namespace pivotta::test
