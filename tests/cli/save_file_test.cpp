// The one-file save the desktop program calls: which targets it writes, replaces or refuses,
// and what a replaced file keeps.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "CliRunner.h"
#include "JpegFixtures.h"

namespace pivotta::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

TEST(SaveFileTest, EachKindOfTargetGetsItsRule) {
    ScratchDir dir;
    const Bytes fresh = {'n', 'e', 'w'};
    const std::string plain = dir.Put("plain.jpg", {'o', 'l', 'd'});
    const std::string locked = dir.Put("locked.jpg", {'o', 'l', 'd'});
    ::chmod(locked.c_str(), 0444);
    fs::create_directory(dir / "folder");
    fs::create_symlink("plain.jpg", dir / "link.jpg");
    struct Case {
        std::string target;
        bool saved;
        std::string after;  // the path whose bytes show the result
    };
    const Case cases[] = {
        {plain, true, plain},
        {dir / "link.jpg", true, plain},  // the link stays, the file it names is saved
        {dir / "new.jpg", true, dir / "new.jpg"},
        {locked, false, locked},
        {dir / "folder", false, {}},
        {"/dev/null", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        ::chmod(plain.c_str(), 0640);
        const files::WriteResult r = files::SaveFile(c.target, fresh);
        EXPECT_EQ(r.ok, c.saved) << r.error;
        EXPECT_EQ(r.error.empty(), c.saved);
        if (!c.after.empty()) {
            EXPECT_EQ(ReadFileBytes(c.after), c.saved ? fresh : Bytes({'o', 'l', 'd'}));
        }
    }
    EXPECT_TRUE(fs::is_symlink(dir / "link.jpg"));
    struct stat st {};
    ASSERT_EQ(::stat(plain.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "a replaced file keeps its mode";
    EXPECT_EQ(ListFolder(dir.Path()),
              (std::vector<std::string>{"folder", "link.jpg", "locked.jpg", "new.jpg", "plain.jpg"}));
}

TEST(SaveFileTest, GivenTimesArriveWithTheBytes) {
    ScratchDir dir;
    const std::string target = dir / "timed.jpg";
    const files::FileTimes times{1'000'000'000, 123'456'789, 1'100'000'000, 987'654'321};
    ASSERT_TRUE(files::SaveFile(target, Bytes{1, 2, 3}, &times).ok);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1'100'000'000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 987'654'321);
    EXPECT_EQ(st.st_atim.tv_sec, 1'000'000'000);
}

}  // namespace
}  // namespace pivotta::test
