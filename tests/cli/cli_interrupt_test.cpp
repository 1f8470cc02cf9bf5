// Real signals delivered to pivotta-cli while it writes a large result: the temporary file goes,
// the target stays as it was, files finished before stay finished, and the exit status says
// which signal ended the run.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

// Waits for a file whose name starts with prefix to be created in the watched folder.
class CreationWatch {
public:
    explicit CreationWatch(const std::string& dir) : fd_(::inotify_init1(IN_CLOEXEC)) {
        if (fd_ >= 0) ::inotify_add_watch(fd_, dir.c_str(), IN_CREATE);
    }
    ~CreationWatch() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }

    std::optional<std::string> Wait(const std::string& prefix, int timeoutMs) {
        alignas(inotify_event) char buffer[8192];
        pollfd p{fd_, POLLIN, 0};
        while (::poll(&p, 1, timeoutMs) > 0) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && std::strncmp(event->name, prefix.c_str(), prefix.size()) == 0) return event->name;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return std::nullopt;
    }

private:
    int fd_;
};

// A small picture followed by a large tail after its end-of-image marker, which the result
// keeps: writing it takes long enough to be interrupted.
Bytes LargeFile() {
    Bytes bytes = MakeJpeg(FixtureSpec{.width = 64, .height = 48});
    bytes.resize(bytes.size() + (size_t{96} << 20), 0x5A);
    return bytes;
}

TEST(CliInterruptTest, ASignalWhileWritingLeavesNoTemporaryAndKeepsTheTarget) {
    ScratchDir dir;
    const Bytes small = MakeJpeg(FixtureSpec{.width = 64, .height = 48, .seed = 3});
    const std::string first = dir.Put("first.jpg", small);
    const std::string big = dir.Put("big.jpg", LargeFile());
    const Bytes old = {'o', 'l', 'd'};
    fs::create_directory(dir / "out");
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        // The signal may come too late, once the result is in place: then try again.
        bool caughtWhileWriting = false;
        for (int attempt = 0; attempt < 5 && !caughtWhileWriting; ++attempt) {
            fs::remove_all(dir / "out");
            fs::create_directory(dir / "out");
            dir.Put("out/big.jpg", old);
            CreationWatch watch(dir / "out");
            ASSERT_TRUE(watch.Ok());
            StartedCli cli({.args = {"-v", "-j", "1", "-r", "90", "-o", dir / "out", first, big}});
            const std::optional<std::string> temporary = watch.Wait(".big.jpg.pivotta-", 60'000);
            ASSERT_TRUE(temporary) << "no temporary file was made for big.jpg";
            struct stat st {};
            const bool seen = ::stat((dir / "out/" + *temporary).c_str(), &st) == 0;
            ::kill(cli.Pid(), signal);
            const CliResult r = cli.Finish();

            EXPECT_EQ(r.signal, signal) << "exit code " << r.exitCode << ": " << r.err;
            EXPECT_EQ(ListFolder(dir / "out"), (std::vector<std::string>{"big.jpg", "first.jpg"}));
            EXPECT_EQ(ReadFileBytes(dir / "out/first.jpg"), RunEngine(small, TransformKind::Rotate90, true).bytes);
            EXPECT_EQ(r.err, "pivotta-cli: " + first + ": done\n");
            caughtWhileWriting = ReadFileBytes(dir / "out/big.jpg") == old;
            // Never readable by others while it holds data.
            if (seen && caughtWhileWriting) {
                EXPECT_EQ(st.st_mode & 07777, 0600u);
            }
        }
        EXPECT_TRUE(caughtWhileWriting) << "the signal never came while the result was written";
    }
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
    CreationWatch watch(dir.Path().string());
    StartedCli cli({.args = {"-r", "90", big, dir / "big-out.jpg"}});
    ::sigaction(SIGHUP, &previous, nullptr);
    if (watch.Wait(".big-out.jpg.pivotta-", 60'000)) ::kill(cli.Pid(), SIGHUP);
    const CliResult done = cli.Finish();
    EXPECT_EQ(done.signal, 0);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_GT(fs::file_size(dir / "big-out.jpg"), size_t{96} << 20) << "a complete result";
}

}  // namespace
}  // namespace pivotta::test
