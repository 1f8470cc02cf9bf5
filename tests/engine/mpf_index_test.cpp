// The MP index: what the writer writes reads back, and every way an index can lie about its
// segment or its file is refused before anything is followed.
#include <gtest/gtest.h>

#include <functional>

#include "Endian.h"
#include "MpfIndex.h"

namespace pivotta {
namespace {

MpfIndex ThreePictures(bool little) {
    MpfIndex index;
    index.littleEndian = little;
    index.entries = {{0x20030000, 5000, 0, 0, 0}, {0, 700, 4900, 0, 0}, {0x010001, 900, 5600, 0, 0}};
    return index;
}

TEST(MpfIndex, WhatIsWrittenReadsBackInBothByteOrders) {
    for (const bool little : {false, true}) {
        MpfIndex index = ThreePictures(little);
        index.imageUids.assign(33 * 3, 'u');
        index.totalFrames = 3;
        index.attributes = {{0xB101, 4, 1, {1, 0, 0, 0}}, {0xB000, 7, 4, {'0', '1', '0', '0'}},
                            {0xB203, 5, 1, {0, 0, 0, 3, 0, 0, 0, 2}}};
        const std::vector<uint8_t> segment = WriteMpfSegment(index);
        const MpfParse parse = ParseMpfSegment(segment);
        ASSERT_EQ(parse.problem, MpfProblem::None);
        EXPECT_EQ(parse.index.littleEndian, little);
        ASSERT_EQ(parse.index.entries.size(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(parse.index.entries[i].attribute, index.entries[i].attribute);
            EXPECT_EQ(parse.index.entries[i].size, index.entries[i].size);
            EXPECT_EQ(parse.index.entries[i].offset, index.entries[i].offset);
        }
        EXPECT_EQ(parse.index.imageUids, index.imageUids);
        EXPECT_EQ(parse.index.totalFrames, 3u);
        // The attribute IFD comes back with its tags in order, its rational moved with it.
        ASSERT_EQ(parse.index.attributes.size(), 3u);
        EXPECT_EQ(parse.index.attributes[0].tag, 0xB000);
        EXPECT_EQ(parse.index.attributes[2].value, index.attributes[2].value);
        // The size depends on the number of pictures only.
        index.entries[1].size = 123456789;
        EXPECT_EQ(WriteMpfSegment(index).size(), segment.size());
    }
}

TEST(MpfIndex, AMalformedIndexIsRefused) {
    const ByteOrder be{false};
    // The segment written for three pictures, big-endian: "MPF\0", header at 4, IFD at 4 + 8.
    constexpr size_t tiff = 4, ifd = tiff + 8;
    constexpr size_t b001 = ifd + 2 + 12, b002 = ifd + 2 + 24, next = ifd + 2 + 36;
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
        MpfProblem problem;
    };
    const Case cases[] = {
        {"signature", [](auto& s) { s[2] = 'X'; }, MpfProblem::NotMpf},
        {"byte order", [](auto& s) { s[tiff] = 'X'; }, MpfProblem::BadHeader},
        {"IFD inside the header", [&](auto& s) { be.Store32(&s[tiff + 4], 4); }, MpfProblem::BadHeader},
        {"IFD past the end", [&](auto& s) { be.Store32(&s[tiff + 4], 0xFFFFFFF0); }, MpfProblem::BadIfd},
        {"entry count past the end", [&](auto& s) { be.Store16(&s[ifd], 0x7FFF); }, MpfProblem::BadIfd},
        {"entries past the end", [&](auto& s) { be.Store32(&s[b002 + 8], 0xFFFFFF00); }, MpfProblem::BadIfd},
        {"huge count", [&](auto& s) { be.Store32(&s[b002 + 4], 0xFFFFFFFF); }, MpfProblem::BadIfd},
        {"count and entries disagree", [&](auto& s) { be.Store32(&s[b001 + 8], 4); }, MpfProblem::BadCount},
        {"no pictures", [&](auto& s) { be.Store32(&s[b001 + 8], 0); }, MpfProblem::BadCount},
        {"duplicate tag", [&](auto& s) { be.Store16(&s[b001], 0xB000); }, MpfProblem::BadIfd},
        {"unknown type", [&](auto& s) { be.Store16(&s[b001 + 2], 99); }, MpfProblem::BadIfd},
        {"attribute IFD loops back", [&](auto& s) { be.Store32(&s[next], 8); }, MpfProblem::BadIfd},
        {"first entry elsewhere", [&](auto& s) { be.Store32(&s[tiff + be.Load32(&s[b002 + 8]) + 8], 16); },
         MpfProblem::BadEntries},
        {"cut short", [](auto& s) { s.resize(s.size() - 20); }, MpfProblem::BadIfd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> segment = WriteMpfSegment(ThreePictures(false));
        c.damage(segment);
        const MpfParse parse = ParseMpfSegment(segment);
        EXPECT_EQ(parse.problem, c.problem);
        EXPECT_TRUE(parse.index.entries.empty());
    }
    // A further picture's own MP segment holds attributes only: no index, not an error.
    MpfIndex attributesOnly;
    attributesOnly.entries = {};
    std::vector<uint8_t> segment = WriteMpfSegment(ThreePictures(false));
    be.Store16(&segment[b001], 0xB101);
    be.Store16(&segment[b002], 0xB102);
    EXPECT_EQ(ParseMpfSegment(segment).problem, MpfProblem::NoIndex);
}

TEST(MpfIndex, PicturesMustFollowInOrderInsideTheFile) {
    // A first picture of 100 bytes with its index at 20; pictures of 50 bytes follow.
    std::vector<uint8_t> file(300, 0);
    for (size_t at : {100u, 150u, 200u}) file[at] = 0xFF, file[at + 1] = 0xD8;
    const auto place = [&](std::vector<std::pair<uint32_t, uint32_t>> offsetsAndSizes) {
        MpfIndex index;
        index.entries.push_back({0x030000, 100, 0});
        for (auto [offset, size] : offsetsAndSizes) index.entries.push_back({0, size, offset});
        return PlaceMpfPictures(index, file, 20, 100);
    };
    const MpfLayout good = place({{80, 50}, {180, 50}});
    ASSERT_EQ(good.problem, MpfLayoutProblem::None);
    EXPECT_EQ(good.pictures[1].start, 200u);
    EXPECT_EQ(good.pictures[1].end, 250u);
    EXPECT_EQ(place({{0, 50}}).problem, MpfLayoutProblem::OutsideFile);          // the first picture again
    EXPECT_EQ(place({{60, 50}}).problem, MpfLayoutProblem::Overlapping);         // inside the first picture
    EXPECT_EQ(place({{180, 50}, {80, 50}}).problem, MpfLayoutProblem::Overlapping);  // backwards
    EXPECT_EQ(place({{80, 60}, {130, 50}}).problem, MpfLayoutProblem::Overlapping);
    EXPECT_EQ(place({{180, 110}}).problem, MpfLayoutProblem::OutsideFile);
    EXPECT_EQ(place({{0xFFFFFFF0, 50}}).problem, MpfLayoutProblem::OutsideFile);
    EXPECT_EQ(place({{90, 50}}).problem, MpfLayoutProblem::NotAPicture);
}

}  // namespace
}  // namespace pivotta
