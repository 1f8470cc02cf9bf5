// Real signals delivered to pivotta-cli while it writes a large result: the temporary file goes,
// the target stays as it was, files finished before stay finished, and the exit status says
// which signal ended the run.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

// A sanitized build notes on standard error that it cannot read its executable's name where
// /proc is hidden; those notes are the sanitizer's, not the tool's.
std::string WithoutSanitizerNotes(const std::string& text) {
    std::string kept;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        if (text.compare(start, 2, "==") != 0) kept.append(text, start, end - start);
        start = end;
    }
    return kept;
}

// A small picture followed by a large tail after its end-of-image marker, which the result
// keeps: writing it takes long enough to be interrupted.
Bytes LargeFile() {
    Bytes bytes = MakeJpeg(FixtureSpec{.width = 64, .height = 48});
    bytes.resize(bytes.size() + (size_t{96} << 20), 0x5A);
    return bytes;
}

// Whether the process has ended (a zombie not yet reaped counts as ended).
bool HasEnded(int pid) {
    std::FILE* stat = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!stat) return true;
    char state = 0;
    const bool read = std::fscanf(stat, "%*d (%*[^)]) %c", &state) == 1;
    std::fclose(stat);
    return !read || state == 'Z' || state == 'X';
}

// The path of a file the process has open in folder, named or not ("/dir/#123 (deleted)" for
// an unnamed one) other than `after`, once the file `after` (when given) exists; polls its
// descriptors. None when the process ends first.
std::optional<std::string> WaitForFileBeingWritten(int pid, const std::string& folder, int timeoutMs,
                                                   const std::string& after = {}) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    for (int waited = 0; waited < timeoutMs; waited += 2) {
        if (HasEnded(pid)) return std::nullopt;
        std::error_code ec;
        if (!after.empty() && !fs::exists(after, ec)) {
            ::usleep(2000);
            continue;
        }
        for (const auto& entry : fs::directory_iterator(fds, ec)) {
            std::error_code linkError;
            const std::string target = fs::read_symlink(entry.path(), linkError).string();
            if (linkError || !target.starts_with(folder + "/")) continue;
            // `after` may still be open for a moment once it has its name, which an unnamed
            // file's descriptor does not show: told apart by its inode.
            struct stat open {}, named {};
            if (!after.empty() && ::stat(entry.path().c_str(), &open) == 0 && ::stat(after.c_str(), &named) == 0 &&
                open.st_dev == named.st_dev && open.st_ino == named.st_ino) {
                continue;
            }
            return entry.path().string();
        }
        ::usleep(2000);
    }
    return std::nullopt;
}

// How the tool may get to write: an unnamed file linked by linkat(AT_EMPTY_PATH) or through
// /proc (which of the two works depends on the kernel and the capabilities), or a named
// temporary file where the file system has no unnamed files, or neither link works.
struct WriteWay {
    const char* name;
    bool unprivileged;
    bool procHidden;
    bool noUnnamedFiles;
};
constexpr WriteWay kWriteWays[] = {{"as is", false, false, false},
                                   {"unprivileged", true, false, false},
                                   {"unprivileged, no /proc", true, true, false},
                                   {"no unnamed files", false, false, true}};

CliRun RunIn(const WriteWay& way, std::vector<std::string> args) {
    if (way.noUnnamedFiles) {
        return {.args = std::move(args), .env = {std::string("LD_PRELOAD=") + PIVOTTA_NO_TMPFILE_SHIM}};
    }
    if (!way.procHidden) return {.args = std::move(args), .asUnprivilegedUser = way.unprivileged};
    std::vector<std::string> wrapped = {
        "-m", "sh", "-c",
        "mount -t tmpfs none /proc && exec setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" \"$@\"",
        CliPath()};
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    return {.args = std::move(wrapped), .program = "/usr/bin/unshare"};
}

bool CanHideProc() {
    return ::geteuid() == 0 && RunCli({.args = {"-m", "sh", "-c", "mount -t tmpfs none /proc"},
                                       .program = "/usr/bin/unshare"})
                                       .exitCode == 0;
}

// Every signal while the result is written: the target stays as it was and files finished
// before stay finished. Caught signals remove what was being written; SIGKILL cannot be
// caught, so only the unnamed file leaves nothing, and --clean removes a named one.
TEST(CliInterruptTest, ASignalWhileWritingLeavesNoTemporaryAndKeepsTheTarget) {
    ScratchDir dir;
    const Bytes small = MakeJpeg(FixtureSpec{.width = 64, .height = 48, .seed = 3});
    const std::string first = dir.Put("first.jpg", small);
    const std::string big = dir.Put("big.jpg", LargeFile());
    const Bytes old = {'o', 'l', 'd'};
    const std::string out = dir / "out";
    const bool canHideProc = CanHideProc();
    for (const WriteWay& way : kWriteWays) {
        if (way.procHidden && !canHideProc) {
            std::printf("skipped: %s needs root and mount namespaces\n", way.name);
            continue;
        }
        // The build may sit in a folder that nobody may enter (mktemp -d makes it 0700).
        if (RunCli(RunIn(way, {"--version"})).exitCode != 0) {
            std::printf("skipped: %s cannot run the tool from its folder\n", way.name);
            continue;
        }
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
            SCOPED_TRACE(std::string(way.name) + ", " + strsignal(signal));
            // The signal may come too late, once the result is in place: then try again.
            bool caughtWhileWriting = false;
            for (int attempt = 0; attempt < 5 && !caughtWhileWriting; ++attempt) {
                fs::remove_all(out);
                fs::create_directory(out);
                dir.Put("out/big.jpg", old);
                if (::geteuid() == 0) {
                    ASSERT_EQ(::chown(out.c_str(), 65534, 65534), 0);
                    ASSERT_EQ(::chown((out + "/big.jpg").c_str(), 65534, 65534), 0);
                }
                StartedCli cli(RunIn(way, {"-v", "-j", "1", "-r", "90", "-o", out, first, big}));
                const std::optional<std::string> writing = WaitForFileBeingWritten(cli.Pid(), out, 60'000, out + "/first.jpg");
                struct stat st {};
                const bool seen = writing && ::stat(writing->c_str(), &st) == 0;
                ::kill(cli.Pid(), signal);
                const CliResult r = cli.Finish();
                EXPECT_EQ(ReadFileBytes(out + "/first.jpg"), RunEngine(small, TransformKind::Rotate90, true).bytes);
                caughtWhileWriting = writing && ReadFileBytes(out + "/big.jpg") == old;
                if (!caughtWhileWriting) {
                    // Too late: the run ended, or the result took the target's place.
                    ASSERT_NE(ReadFileBytes(out + "/big.jpg"), old) << "big.jpg's result was never written: " << r.err;
                    continue;
                }
                EXPECT_EQ(r.signal, signal) << "exit code " << r.exitCode << ": " << r.err;
                EXPECT_EQ(WithoutSanitizerNotes(r.err), "pivotta-cli: " + first + ": done\n");
                // Never readable by others while it holds data.
                if (seen) {
                    EXPECT_EQ(st.st_mode & 07777, 0600u);
                }
                std::vector<std::string> left = ListFolder(out);
                // Where the system can link no unnamed file: the named one a kill cannot remove.
                const bool named = way.noUnnamedFiles || (way.procHidden && left.size() == 3);
                if (signal == SIGKILL && named) {
                    ASSERT_EQ(left.size(), 3u) << "the named temporary file a kill cannot remove";
                    EXPECT_TRUE(left[0].starts_with(".big.jpg.pivotta-")) << left[0];
                    const CliResult clean = RunCli({"--clean", out});
                    EXPECT_EQ(clean.exitCode, 0) << clean.err;
                    EXPECT_EQ(clean.out, out + ": removed '" + left[0] + "'\n");
                    left = ListFolder(out);
                }
                EXPECT_EQ(left, (std::vector<std::string>{"big.jpg", "first.jpg"}));
            }
            EXPECT_TRUE(caughtWhileWriting) << "the signal never came while the result was written";
        }
    }
}

// --clean removes only the tool's own temporary files whose writer is gone: not one whose
// process still runs, nor anything merely named like one.
TEST(CliInterruptTest, CleanRemovesOnlyStaleTemporariesOfItsOwn) {
    ScratchDir dir;
    const Bytes data = {1, 2, 3};
    const std::string gone = ".a.jpg.pivotta-999999999-0123456789ab.tmp";  // above any pid_max
    const std::string alive = ".a.jpg.pivotta-" + std::to_string(::getpid()) + "-0123456789ab.tmp";
    const std::vector<std::string> kept = {alive,
                                           ".a.jpg.pivotta-999999999-0123456789ab.tmp.bak",
                                           ".a.jpg.pivotta-999999999-0123456789a.tmp",
                                           ".a.jpg.pivotta-99x-0123456789ab.tmp",
                                           "a.jpg.pivotta-999999999-0123456789ab.tmp",
                                           "a.jpg"};
    dir.Put(gone, data);
    for (const std::string& name : kept) dir.Put(name, data);
    fs::create_directory(dir / ".b.jpg.pivotta-999999999-0123456789ab.tmp");
    const CliResult r = RunCli({"--clean", dir.Path().string(), dir / "a.jpg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, dir.Path().string() + ": removed '" + gone + "'\n");
    EXPECT_EQ(r.err, "pivotta-cli: " + (dir / "a.jpg") + ": error: not a folder\n");
    std::vector<std::string> expected = kept;
    expected.push_back(".b.jpg.pivotta-999999999-0123456789ab.tmp");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFolder(dir.Path()), expected);
}

// Waits until count results have taken their place in a folder (a rename onto, or a link to,
// a name that is no temporary one).
bool WaitForResults(int inotifyFd, int count, int timeoutMs) {
    alignas(inotify_event) char buffer[8192];
    pollfd p{inotifyFd, POLLIN, 0};
    while (count > 0 && ::poll(&p, 1, timeoutMs) > 0) {
        const ssize_t n = ::read(inotifyFd, buffer, sizeof buffer);
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && event->name[0] != '.') --count;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return count <= 0;
}

// An interrupted parallel batch: every file its -v output calls done is done, and of the files
// it does not, at most the one each worker had just finished is: resuming after the reported
// files never turns a file twice.
TEST(CliInterruptTest, VerboseLinesOfAnInterruptedParallelRunTellWhatIsDone) {
    ScratchDir dir;
    constexpr int kFiles = 40;
    std::vector<std::string> inputs;
    std::vector<Bytes> originals, turned;
    for (int i = 0; i < kFiles; ++i) {
        // A large first file finishes long after the small ones that follow it.
        const int width = i == 0 ? 4096 : 1024, height = i == 0 ? 3072 : 768;
        originals.push_back(MakeJpeg(FixtureSpec{.width = width, .height = height, .seed = static_cast<uint32_t>(i)}));
        turned.push_back(RunEngine(originals.back(), TransformKind::Rotate90, true).bytes);
        inputs.push_back(dir.Put("photo-" + std::to_string(i) + ".jpg", originals.back()));
    }
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ::inotify_add_watch(watch, dir.Path().c_str(), IN_MOVED_TO | IN_CREATE);
    std::vector<std::string> args{"-v", "-j", "2", "-r", "90", "--in-place"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    StartedCli cli({.args = args});
    const bool started = WaitForResults(watch, 3, 60'000);
    ::close(watch);
    ::kill(cli.Pid(), SIGTERM);
    const CliResult r = cli.Finish();
    ASSERT_TRUE(started) << r.err;
    ASSERT_EQ(r.signal, SIGTERM) << "the batch ended before the signal: " << r.err;

    int doneButUnreported = 0, reported = 0;
    for (int i = 0; i < kFiles; ++i) {
        SCOPED_TRACE(inputs[i]);
        const Bytes now = ReadFileBytes(inputs[i]);
        const bool saidDone = r.err.find("pivotta-cli: " + inputs[i] + ": done\n") != std::string::npos;
        reported += saidDone;
        if (saidDone) {
            EXPECT_EQ(now, turned[i]);
        } else if (now != originals[i]) {
            EXPECT_EQ(now, turned[i]) << "neither the input nor its result";
            ++doneButUnreported;
        }
    }
    EXPECT_GE(reported, 1);
    EXPECT_LE(doneButUnreported, 2) << "more finished files than workers went unreported";
    EXPECT_EQ(ListFolder(dir.Path()).size(), size_t{kFiles}) << "a temporary file was left";
}

// A signal the caller ignores (nohup) stays ignored.
TEST(CliInterruptTest, IgnoredHangupStaysIgnored) {
    ScratchDir dir;
    struct sigaction ignore {}, previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGHUP, &ignore, &previous), 0);
    const std::string big = dir.Put("big.jpg", LargeFile());
    StartedCli cli({.args = {"-r", "90", big, dir / "big-out.jpg"}});
    ::sigaction(SIGHUP, &previous, nullptr);
    if (WaitForFileBeingWritten(cli.Pid(), dir.Path().string(), 60'000)) ::kill(cli.Pid(), SIGHUP);
    const CliResult done = cli.Finish();
    EXPECT_EQ(done.signal, 0);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_GT(fs::file_size(dir / "big-out.jpg"), size_t{96} << 20) << "a complete result";
}

}  // namespace
}  // namespace pivotta::test
