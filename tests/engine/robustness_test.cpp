// Damaged input: the regressions the fuzzers found, and sweeps of cut-off and corrupted files
// that must all end the way the engine promises: false after a level-2 message (never an
// exception), or a result that the engine itself accepts again.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "BitStreamFile.h"
#include "EngineHarness.h"
#include "ExifBuilder.h"
#include "JpegFixtures.h"
#include "MiniJpeg.h"

namespace pivotta {
namespace {

using test::Bytes;
using test::EngineHarness;

// Every kind that moves something.
constexpr std::span<const TransformKind> kKinds = std::span(kAllTransformKinds).subspan(1);
static_assert(kAllTransformKinds[0] == TransformKind::NoRotation);

// ---------------------------------------------------------------- bit reader positions

// After a marker's 0xFF has been delivered as data, byte-level reads resume right after the
// marker even when the window was topped up beyond it and the next byte is 0x00.
TEST(FuzzRegressions, BytePositionAfterAMarkerFollowedByZero) {
    const TMemoryStream stream(Bytes{0x12, 0xFF, 0xFF, 0x00, 0x34, 0x56, 0x78, 0x9A});
    TInBitStreamFile in(stream);
    EXPECT_EQ(in.ReadByte(), 0x12);
    EXPECT_EQ(in.ReadBits(4), 0xFu);  // FF FF: a marker, its 0xFF delivered
    EXPECT_EQ(in.Error(), TInBitStreamFile::ReadError::MarkerInData);
    in.FillBits();
    EXPECT_EQ(in.MarkPosition(), 3);
    EXPECT_EQ(in.ReadWord(), 0x0034);
}

// A window that starts on the 0x00 of an FF 00 pair (after a return to a mark there) holds
// that 0x00 as a plain byte.
TEST(FuzzRegressions, BytePositionAfterReturnIntoAStuffedPair) {
    const TMemoryStream stream(Bytes{0xE5, 0xFF, 0x00, 0xEA, 0xBD, 0x56, 0x8F, 0x11, 0x22, 0x33, 0x44});
    TInBitStreamFile in(stream);
    EXPECT_EQ(in.ReadWord(), 0xE5FF);
    EXPECT_EQ(in.MarkPosition(), 2);
    EXPECT_EQ(in.ReadDWord(), 0x00EABD56u);
    in.ReturnToMark();
    in.FillBits();
    EXPECT_EQ(in.BytesSinceMark(), 0);
    EXPECT_EQ(in.ReadWord(), 0x00EA);
}

// ---------------------------------------------------------------- whole files

// A camera-like file: Exif with a thumbnail, restart markers, a ragged size, trailing bytes.
Bytes CameraLikeFile() {
    const Bytes thumbnail = test::MakeJpeg({.width = 24, .height = 16, .seed = 3});
    const Bytes picture = test::MakeJpeg({.width = 40, .height = 24, .restartInterval = 2, .seed = 5});
    test::ExifBuilder exif = test::CameraExif(test::CameraExifSpec(true).Pixels(40, 24, test::TiffType::Short)
                                                  .Thumbnail(thumbnail));
    Bytes file = test::WithApp1(picture, exif.Build());
    file.insert(file.end(), {0x00, 0x01, 0x02});
    return file;
}

// Every promise a finished operation keeps, whatever the input was.
void ExpectPromisesKept(EngineHarness& harness, bool ok, const std::string& context) {
    if (!ok) {
        EXPECT_FALSE(harness.Messages(2).empty()) << context << ": failed without a level-2 message";
        EXPECT_EQ(harness.OutputPosition(), harness.Output().size()) << context;
        return;
    }
    EXPECT_TRUE(harness.Messages(2).empty()) << context << ": succeeded after an error\n" << harness.Transcript();
    EXPECT_EQ(harness.OutputPosition(), 0u) << context;
    EngineHarness again;
    EXPECT_TRUE(again.Check(harness.Output())) << context << ": the result is refused\n" << again.Transcript();
    EXPECT_TRUE(again.Rotate(harness.Output(), TransformKind::NoRotation)) << context << ": the result does not re-encode\n"
                                                                        << again.Transcript();
}

TEST(DamagedFiles, EveryCutShortFileFailsCleanly) {
    const Bytes file = CameraLikeFile();
    ASSERT_GT(file.size(), 1000u);
    const size_t endOfImage = file.size() - 3;  // the trailing bytes may go
    for (size_t length = 0; length < file.size(); ++length) {
        const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
        EngineHarness harness(length % 2 == 0, length % 3 == 0);
        const std::string context = "cut at " + std::to_string(length);
        if (!harness.Check(cut)) {
            EXPECT_FALSE(harness.Messages(2).empty()) << context;
            continue;
        }
        const TransformKind kind = kKinds[length % kKinds.size()];
        const bool ok = harness.Rotate(cut, kind);
        EXPECT_EQ(ok, length >= endOfImage) << context << "\n" << harness.Transcript();
        ExpectPromisesKept(harness, ok, context);
        if (HasFailure()) return;  // one transcript is enough
    }
}

// Deterministic damage of every kind a card or a download does: flipped bits, bytes
// overwritten, runs lost or repeated.
class Damage {
public:
    explicit Damage(uint32_t seed) : state_(seed) {}

    Bytes Apply(Bytes file) {
        const size_t at = Next() % file.size();
        switch (Next() % 4) {
            case 0: file[at] ^= static_cast<uint8_t>(1u << (Next() % 8)); break;
            case 1: file[at] = static_cast<uint8_t>(Next()); break;
            case 2: file.erase(file.begin() + static_cast<std::ptrdiff_t>(at),
                               file.begin() + static_cast<std::ptrdiff_t>(std::min(file.size(), at + 1 + Next() % 16)));
                    break;
            case 3: {
                const size_t length = std::min<size_t>(file.size() - at, 1 + Next() % 16);
                const Bytes run(file.begin() + static_cast<std::ptrdiff_t>(at),
                                file.begin() + static_cast<std::ptrdiff_t>(at + length));
                file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), run.begin(), run.end());
                break;
            }
        }
        return file;
    }

private:
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    uint32_t state_;
};

TEST(DamagedFiles, DamagedFilesFailCleanlyOrTransformToValidFiles) {
    const Bytes file = CameraLikeFile();
    Damage damage(20260101);
    int transformed = 0;
    for (int round = 0; round < 1500; ++round) {
        Bytes damaged = damage.Apply(file);
        if (round % 3 == 0) damaged = damage.Apply(damaged);
        const std::string context = "damage round " + std::to_string(round);
        EngineHarness harness(round % 2 == 0, round % 4 < 2);
        if (!harness.Check(damaged)) {
            EXPECT_FALSE(harness.Messages(2).empty()) << context;
            continue;
        }
        harness.ClearCalls();
        const bool ok = harness.Rotate(damaged, kKinds[round % kKinds.size()]);
        transformed += ok;
        ExpectPromisesKept(harness, ok, context);
        if (HasFailure()) return;
    }
    // Damage inside the entropy-coded data often still decodes; the sweep must reach it.
    EXPECT_GT(transformed, 100);
}

}  // namespace
}  // namespace pivotta
