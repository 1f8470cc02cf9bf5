// The shared path helpers: the tool's own separator, and Windows paths as the desktop program
// meets them on any platform.
#include <gtest/gtest.h>

#include "PathText.h"

namespace {

using pivotta::paths::FileNameOf;
using pivotta::paths::JoinPath;
using pivotta::paths::kAnySeparator;

struct PathCase {
    const char* folder;
    const char* name;
    const char* joined;
};

TEST(PathTextTest, JoinKeepsTheFoldersOwnSeparatorAndNeverDoublesOne)
{
    const PathCase cases[] = {
        {"/photos", "a.jpg", "/photos/a.jpg"},  {"/photos/", "a.jpg", "/photos/a.jpg"},
        {"/", "a.jpg", "/a.jpg"},               {"", "a.jpg", "a.jpg"},
        {"photos", "a.jpg", "photos/a.jpg"},    {"C:\\写真", "a.jpg", "C:\\写真\\a.jpg"},
        {"C:\\", "a.jpg", "C:\\a.jpg"},         {"C:\\x/y\\z", "a.jpg", "C:\\x/y\\z\\a.jpg"},
    };
    for (const PathCase& c : cases) EXPECT_EQ(JoinPath(c.folder, c.name, kAnySeparator), c.joined) << c.folder;
    EXPECT_EQ(JoinPath(u"D:\\旅行", u"b.jpg", kAnySeparator), u"D:\\旅行\\b.jpg");
}

TEST(PathTextTest, FileNameIsWhatFollowsTheLastSeparator)
{
    EXPECT_EQ(FileNameOf("a/b.jpg"), "b.jpg");
    EXPECT_EQ(FileNameOf("b.jpg"), "b.jpg");
    EXPECT_EQ(FileNameOf("a/b/"), "");
    EXPECT_EQ(FileNameOf("/"), "");
    EXPECT_EQ(FileNameOf("C:\\写真\\a.jpg", kAnySeparator), "a.jpg");
    EXPECT_EQ(FileNameOf(u"C:\\写真/b.jpg", kAnySeparator), u"b.jpg");
#ifndef _WIN32
    // Outside Windows a backslash is part of a file's name.
    EXPECT_EQ(FileNameOf("a/b\\c.jpg"), "b\\c.jpg");
    EXPECT_EQ(JoinPath("a\\b", "c.jpg"), "a\\b/c.jpg");
#endif
}

}  // namespace
