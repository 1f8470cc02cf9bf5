// What pivotta-cli holds in memory: a file larger than any JPEG it accepts is refused unread,
// and files run side by side only as far as the memory available allows.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

using Bytes = std::vector<uint8_t>;

bool UnderAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

// The tool under an address-space limit (ulimit -v, in KiB), with one malloc arena, so that
// only what the tool holds counts, not what each thread's arena reserves.
CliResult RunLimited(uint64_t kilobytes, std::vector<std::string> args, const std::string& stdinFile = {}) {
    args.insert(args.begin(), {"-c", "ulimit -v " + std::to_string(kilobytes) + " && exec \"$0\" \"$@\"", CliPath()});
    return RunCli({.args = std::move(args), .program = "/bin/sh", .stdinFile = stdinFile, .env = {"MALLOC_ARENA_MAX=1"}});
}

// A sparse file of that size that starts as a JPEG does.
std::string SparseJpegStart(const ScratchDir& dir, const std::string& name, off_t size) {
    const std::string path = dir.Put(name, {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10});
    EXPECT_EQ(::truncate(path.c_str(), size), 0);
    return path;
}

struct OversizeCase {
    const char* name;
    bool fromStandardInput;
    std::vector<std::string> extraArgs;
};

// 3 GB under a 1 GB address-space limit: a read would fail for want of memory, not refuse.
TEST(CliMemoryTest, AFileLargerThanAnyJpegIsRefusedUnread) {
    if (UnderAddressSanitizer()) GTEST_SKIP() << "the address sanitizer's shadow memory does not fit a limit";
    const OversizeCase cases[] = {
        {"named", false, {"-a"}},
        {"checked", false, {"--check"}},
        {"standard input", true, {"-r", "90"}},
    };
    for (const OversizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string big = SparseJpegStart(dir, "panorama.jpg", off_t{3} << 30);
        std::vector<std::string> args = c.extraArgs;
        std::string shownAs = big;
        if (c.fromStandardInput) {
            args.insert(args.end(), {"-", dir / "out.jpg"});
            shownAs = "<stdin>";
        } else if (c.extraArgs[0] != "--check") {
            args.insert(args.end(), {big, dir / "out.jpg"});
        } else {
            args.push_back(big);
        }
        const CliResult r = RunLimited(1'000'000, args, c.fromStandardInput ? big : std::string());
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find("pivotta-cli: " + shownAs + ": error: larger than 2 GiB, the largest JPEG pivotta-cli "
                             "accepts: not read [too-large]\n"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.err.find("not enough memory"), std::string::npos) << r.err;
        EXPECT_EQ(ListFolder(dir.Path()), std::vector<std::string>{"panorama.jpg"});
    }
}

// The least address-space limit, to 4 MiB, under which the tool turns one file.
uint64_t LeastLimitForOneFile(const std::string& in, const std::string& out) {
    uint64_t low = 4 << 10, high = 1 << 20;  // KiB
    while (high - low > 4 << 10) {
        const uint64_t middle = (low + high) / 2;
        (RunLimited(middle, {"-q", "-j", "1", "-r", "90", in, out}).exitCode == 0 ? high : low) = middle;
    }
    return high;
}

// Two files each needing more than half of the memory there is: run one after the other
// they succeed, where side by side both would fail for want of memory.
TEST(CliMemoryTest, ParallelFilesWaitForMemory) {
    if (UnderAddressSanitizer()) GTEST_SKIP() << "the address sanitizer's shadow memory does not fit a limit";
    ScratchDir dir;
    const Bytes dense = MakeJpeg({.width = 2400, .height = 2400, .hSamp = 1, .vSamp = 1, .quality = 100, .seed = 7});
    ASSERT_GT(dense.size(), size_t{3} << 20);
    const std::string first = dir.Put("first.jpg", dense), second = dir.Put("second.jpg", dense);
    ::mkdir((dir / "out").c_str(), 0777);
    const uint64_t limit = LeastLimitForOneFile(first, dir / "single.jpg") * 5 / 4;
    const CliResult r = RunLimited(limit, {"-q", "-j", "2", "-r", "90", "-o", dir / "out", first, second});
    EXPECT_EQ(r.exitCode, 0) << "under " << limit << " KiB: " << r.err;
    const Bytes expected = ReadFileBytes(dir / "single.jpg");
    EXPECT_EQ(ReadFileBytes(dir / "out/first.jpg"), expected);
    EXPECT_EQ(ReadFileBytes(dir / "out/second.jpg"), expected);
}

}  // namespace
}  // namespace pivotta::test
