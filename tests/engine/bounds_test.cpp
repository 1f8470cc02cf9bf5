// What any input may cost: adversarial files of about 1 MB must finish within a second, and
// peak memory stays within a fixed amount plus a small multiple of the input, plus 128 bytes
// per block of the frame, where the frame may claim at most four blocks per byte of data (each
// block costs at least two bits). A header alone never sizes anything. The Exif step turns a
// thumbnail with an engine of its own that leaves the thumbnail's own Exif data as it is.
//
// Each run happens in a child process, so that its peak memory is its own.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "ExifBuilder.h"
#include "JpegFixtures.h"
#include "JpegRotation.h"
#include "MiniJpeg.h"

#if defined(__SANITIZE_ADDRESS__)
#define PIVOTTA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIVOTTA_SANITIZED 1
#endif
#endif

namespace pivotta {
namespace {

using test::Bytes;
using test::MiniComponent;

#ifdef PIVOTTA_SANITIZED
// Sanitizers slow the engine several times over and keep freed memory in quarantine: the
// shapes are the same, the sizes smaller and the limits wider.
constexpr size_t kInputSize = 256 * 1024;
constexpr double kSecondLimit = 4.0;
constexpr long kFixedKb = 256 * 1024;
#else
constexpr size_t kInputSize = 1024 * 1024;
constexpr double kSecondLimit = 1.0;
constexpr long kFixedKb = 16 * 1024;
#endif
constexpr long kPerInputByte = 16;  // input, output (re-encoding may grow it) and their growth

struct Cost {
    bool ok = false;
    // Processor time of all threads in user mode: a busy machine inflates neither it nor the
    // engine's share of the kernel's time, but the time the kernel takes to hand out fresh
    // pages under memory pressure varies from one second to the next, so it is left out.
    double seconds = 0;
    long peakKb = 0;     // over the run, beyond what the process held before it
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

// Waits for the child; false when it did not end normally.
bool Reap(pid_t pid, Cost& cost) {
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    cost.peakKb = usage.ru_maxrss;
    cost.seconds = Seconds(usage.ru_utime);
    return true;
}

// CheckJpeg, then (when it passes) RotateJpeg, in a child process.
Cost Measure(const Bytes& file, TransformKind kind, bool trim = false) {
    const auto runChild = [&](bool run) -> Cost {
        int channel[2];
        if (pipe(channel) != 0) return {};
        const pid_t pid = fork();
        if (pid == 0) {
            close(channel[0]);
            bool ok = false;
            if (run) {
                TJpegRotation engine;
                engine.AllowAdjustMCU = trim;
                const TMemoryStream input(file);
                TMemoryStream output;
                ok = engine.CheckJpeg(input) && engine.RotateJpeg(input, output, kind);
            }
            const bool written = write(channel[1], &ok, sizeof ok) == static_cast<ssize_t>(sizeof ok);
            _exit(written ? 0 : 1);
        }
        close(channel[1]);
        Cost cost;
        const bool reported = read(channel[0], &cost.ok, sizeof cost.ok) == static_cast<ssize_t>(sizeof cost.ok);
        close(channel[0]);
        EXPECT_TRUE(Reap(pid, cost) && reported) << "the measuring child failed";
        return cost;
    };
    // The same child without the run: what forking and the test itself cost.
    const Cost idle = runChild(false);
    Cost cost = runChild(true);
    cost.peakKb = std::max(0L, cost.peakKb - idle.peakKb);
    cost.seconds = std::max(0.0, cost.seconds - idle.seconds);
    return cost;
}

void ExpectWithinBounds(const Cost& cost, size_t inputSize, uint64_t frameBlocks, const std::string& shape) {
    const long limitKb = kFixedKb + static_cast<long>((kPerInputByte * inputSize + 128 * frameBlocks) / 1024);
    EXPECT_LE(cost.seconds, kSecondLimit) << shape;
    EXPECT_LE(cost.peakKb, limitKb) << shape;
    std::printf("[ measured ] %s: %zu bytes, %.3f s, peak %ld KB (limit %ld KB)\n", shape.c_str(), inputSize,
                cost.seconds, cost.peakKb, limitKb);
}

void Append(Bytes& out, const Bytes& part) { out.insert(out.end(), part.begin(), part.end()); }

// DHT with one DC and one AC table of a single 1-bit code: symbol 0, which is DC difference 0
// and end of block. Every block then costs two bits, the least any block can.
Bytes OneBitTables() {
    Bytes body;
    for (const uint8_t classId : {0x00, 0x10}) {
        body.push_back(classId);
        body.push_back(1);
        body.insert(body.end(), 15, 0);
        body.push_back(0);  // the symbol
    }
    return test::Segment(0xFFC4, body);
}

// A grayscale frame with the densest possible scan: `scanBytes` bytes of 2-bit blocks.
Bytes DenseScan(size_t scanBytes, int restartInterval, uint64_t& blocks) {
    const int width = 8 * 1024;
    // A block takes two bits, or a byte and a restart marker after it.
    const int rows = static_cast<int>((restartInterval > 0 ? scanBytes / 3 : scanBytes * 4) / 1024);
    blocks = static_cast<uint64_t>(rows) * 1024;
    Bytes out = {0xFF, 0xD8};
    Append(out, test::Dqt(0));
    Append(out, test::Sof0(width, 8 * rows, test::Gray()));
    Append(out, OneBitTables());
    if (restartInterval > 0) Append(out, test::Dri(restartInterval));
    Append(out, test::Sos(test::Gray()));
    if (restartInterval > 0) {
        // One MCU is one block: a byte holds the 2-bit block and its 0-bit padding.
        for (uint64_t mcu = 0; mcu < blocks; ++mcu) {
            out.push_back(0x00);
            if (mcu + 1 < blocks && (mcu + 1) % restartInterval == 0) {
                out.push_back(0xFF);
                out.push_back(static_cast<uint8_t>(0xD0 + (mcu / restartInterval) % 8));
            }
        }
    } else {
        out.insert(out.end(), scanBytes, 0x00);
    }
    Append(out, {0xFF, 0xD9});
    return out;
}

// About a megabyte of copies of `segment` before a small valid picture (24 blocks): every
// copy is handled on its own and the picture still transforms.
void ExpectManySegmentsCheap(const Bytes& segment, TransformKind kind, const std::string& shape) {
    const Bytes picture = test::MakeJpeg({.width = 32, .height = 32, .seed = 9});
    Bytes file(picture.begin(), picture.begin() + 2);
    while (file.size() + segment.size() < kInputSize) Append(file, segment);
    file.insert(file.end(), picture.begin() + 2, picture.end());
    const Cost cost = Measure(file, kind);
    EXPECT_TRUE(cost.ok) << shape;
    ExpectWithinBounds(cost, file.size(), 24, shape);
}

TEST(Bounds, AHeaderClaimingTheLargestFrameFailsAtOnceWithoutAllocating) {
    Bytes file = {0xFF, 0xD8};
    Append(file, test::Dqt(0));
    Append(file, test::Dqt(1));
    Append(file, test::Sof0(65535, 65535, test::Ycc(2, 2)));
    Append(file, test::StandardDht());
    Append(file, test::Sos(test::Ycc(2, 2)));
    file.resize(1024, 0x55);
    Append(file, {0xFF, 0xD9});
    const Cost cost = Measure(file, TransformKind::Rotate90);
    EXPECT_FALSE(cost.ok);
    EXPECT_LT(cost.seconds, 0.05);
    EXPECT_LT(cost.peakKb, 4 * 1024) << "a 1 KB file made the engine allocate";
    std::printf("[ measured ] 65535x65535 claim in 1 KB: %.4f s, peak %ld KB\n", cost.seconds, cost.peakKb);
}

TEST(Bounds, TheDensestScanCostsLinearTimeAndTheBlocksItHolds) {
    uint64_t blocks = 0;
    const Bytes file = DenseScan(kInputSize, 0, blocks);
    for (const TransformKind kind : {TransformKind::Rotate90, TransformKind::MirrorLR}) {
        const Cost cost = Measure(file, kind);
        EXPECT_TRUE(cost.ok);
        ExpectWithinBounds(cost, file.size(), blocks, "2-bit blocks, kind " + std::to_string(static_cast<int>(kind)));
    }
}

TEST(Bounds, ARestartMarkerAfterEveryBlock) {
    uint64_t blocks = 0;
    const Bytes file = DenseScan(kInputSize, 1, blocks);
    const Cost cost = Measure(file, TransformKind::Rotate270);
    EXPECT_TRUE(cost.ok);
    ExpectWithinBounds(cost, file.size(), blocks, "restart interval 1");
}

TEST(Bounds, ZeroBytesDecodedToTheEndBeforeFailing) {
    // With the standard tables, zero bytes decode as long runs of small coefficients; the frame
    // claims more blocks than the data holds, so the whole megabyte is decoded before the end.
    Bytes file = {0xFF, 0xD8};
    Append(file, test::Dqt(0));
    const int rows = static_cast<int>(kInputSize / 1024);
    Append(file, test::Sof0(8 * 1024, 8 * rows, test::Gray()));
    Append(file, test::StandardDht());
    Append(file, test::Sos(test::Gray()));
    file.insert(file.end(), kInputSize, 0x00);
    Append(file, {0xFF, 0xD9});
    const Cost cost = Measure(file, TransformKind::Rotate180);
    EXPECT_FALSE(cost.ok);
    ExpectWithinBounds(cost, file.size(), static_cast<uint64_t>(rows) * 1024, "zero bytes");
}

TEST(Bounds, ManyTinySegments) {
    const Bytes group = test::Concat({test::Segment(0xFFFE, {}), test::Dri(4), test::Dqt(0), test::StandardDht(),
                                      test::Segment(0xFFE5, {1, 2, 3})});
    ExpectManySegmentsCheap(group, TransformKind::Rotate90, "tiny segments");
}

TEST(Bounds, ManyExifSegmentsEachWithAThumbnail) {
    const Bytes thumbnail = test::MakeJpeg({.width = 64, .height = 48, .seed = 4});
    const Bytes payload = test::CameraExif(test::CameraExifSpec(false).Thumbnail(thumbnail)).Build();
    ExpectManySegmentsCheap(test::Segment(0xFFE1, payload), TransformKind::Rotate180, "Exif segments with thumbnails");
}

TEST(Bounds, FillBytesBeforeTheEndAndBytesAfterIt) {
    Bytes file = test::MakeJpeg({.width = 32, .height = 32, .seed = 6});
    file.insert(file.end() - 2, kInputSize / 2, 0xFF);
    file.insert(file.end(), kInputSize / 2, 0xD9);
    const Cost cost = Measure(file, TransformKind::MirrorTB);
    EXPECT_TRUE(cost.ok);
    ExpectWithinBounds(cost, file.size(), 16, "fill and trailing bytes");
}

// A thumbnail whose own Exif data holds a thumbnail, three levels deep: only the first level
// is transformed; the nested engine copies the thumbnail's APP1 segment as it is.
TEST(Bounds, ThumbnailsAreTransformedOneLevelDeepOnly) {
    Bytes inner = test::MakeJpeg({.width = 16, .height = 16, .seed = 1});
    for (int level = 0; level < 2; ++level) {
        const Bytes picture = test::MakeJpeg({.width = 32, .height = 16, .seed = static_cast<uint32_t>(2 + level)});
        inner = test::WithApp1(picture, test::CameraExif(test::CameraExifSpec(level == 0).Thumbnail(inner)).Build());
    }
    const Bytes thumbnail = inner;  // a picture with an Exif thumbnail with an Exif thumbnail
    const Bytes file = test::WithApp1(test::MakeJpeg({.width = 48, .height = 32, .seed = 7}),
                                      test::CameraExif(test::CameraExifSpec(true).Thumbnail(thumbnail)).Build());

    TJpegRotation engine;
    const TMemoryStream input(file);
    TMemoryStream output;
    ASSERT_TRUE(engine.CheckJpeg(input));
    ASSERT_TRUE(engine.RotateJpeg(input, output, TransformKind::Rotate180));
    const Bytes outerPayload = test::FirstApp1Payload(output.Bytes());
    const test::ExifView exif(outerPayload);
    const uint32_t ifd1 = exif.U32(exif.U32(4) + 2 + 12 * exif.U16(exif.U32(4)));
    const Bytes turned = exif.Thumbnail(ifd1);
    ASSERT_FALSE(turned.empty());
    EXPECT_NE(turned, thumbnail) << "the first level was not transformed";
    EXPECT_EQ(test::FirstApp1Payload(turned), test::FirstApp1Payload(thumbnail))
        << "the thumbnail's own Exif data was rewritten: the nested engine recursed";
}

}  // namespace
}  // namespace pivotta
