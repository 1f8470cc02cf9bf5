// Phone photos through pivotta-cli: --check names the gain map, a turn keeps the photo whole
// (the engine's own tests check every picture), a set of views is refused and left alone.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "JpegFixtures.h"
#include "PhonePhotoBuilder.h"

namespace pivotta::test {
namespace {

TEST(CliPhonePhoto, CheckTurnAndRefusal) {
    ScratchDir dir;
    PhonePhotoSpec spec;
    spec.trailerSize = 200;
    const PhonePhoto photo = MakePhonePhoto(spec);
    const std::string in = dir.Put("hdr.jpg", photo.bytes);

    const CliResult check = RunCli({"--check", in});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_NE(check.out.find("ok 512x384, gain map 128x96"), std::string::npos) << check.out;

    ASSERT_EQ(RunCli({"-r", "90", in, dir / "out.jpg"}).exitCode, 0);
    const std::vector<uint8_t> out = ReadFileBytes(dir / "out.jpg");
    const PhotoView view = ReadPhoto(out);
    ASSERT_TRUE(view.ok) << view.why;
    ASSERT_EQ(view.entries.size(), 2u);
    const size_t gainMapStart = view.mpfHeader + view.entries[1].offset;
    EXPECT_EQ(gainMapStart, view.entries[0].size);
    EXPECT_EQ(ContainerLengths(view.xmp)[1], view.entries[1].size);
    EXPECT_EQ(ReadCoefficients({out.begin() + gainMapStart, out.begin() + gainMapStart + view.entries[1].size}).width, 96);

    spec.extraTypes = {0x020002};  // a stereo view
    const std::vector<uint8_t> stereo = MakePhonePhoto(spec).bytes;
    const std::string mpo = dir.Put("stereo.jpg", stereo);
    const CliResult refused = RunCli({"--in-place", "-r", "90", mpo});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.err.find("[multi-picture-set]"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadFileBytes(mpo), stereo);
}

}  // namespace
}  // namespace pivotta::test
