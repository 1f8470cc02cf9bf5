// Phone photos as Android (Ultra HDR) and camera makers write them: a main picture whose XMP
// holds Google's container directory and whose APP2 holds an MP index, followed by a grayscale
// gain map with hdrgm XMP, optionally a large preview and an MP4-like motion-photo trailer.
// The MP index and the XMP are written here independently of the engine's own writers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "JpegFixtures.h"

namespace pivotta::test {

struct PhonePhotoSpec {
    FixtureSpec main{.width = 512, .height = 384};
    FixtureSpec gainMap{.width = 128, .height = 96, .components = 1, .hSamp = 1, .vSamp = 1, .seed = 7};
    std::optional<FixtureSpec> preview;  // a large preview after the gain map
    bool mpfLittleEndian = false;
    bool exifThumbnail = false;          // an Exif APP1 with a 160x120 thumbnail
    bool elementForm = false;            // XMP properties as elements instead of attributes
    uint16_t xmpOrientation = 6;
    size_t trailerSize = 0;              // motion-photo video bytes after the pictures
    std::vector<uint32_t> extraTypes;    // MP type codes of further entries (a stereo view...)
};

struct PhonePhoto {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> main, gainMap, preview, trailer;  // each picture as written
};

PhonePhoto MakePhonePhoto(const PhonePhotoSpec& spec);

// Reading the same structures back, for checking a transformed file.
struct MpfEntryView {
    uint32_t attribute = 0, size = 0, offset = 0;
};
struct PhotoView {
    bool ok = false;
    std::string why;
    size_t mpfHeader = 0;                 // byte-order field
    std::vector<MpfEntryView> entries;
    std::string xmp;                      // the main XMP packet text
    std::vector<uint8_t> exif;            // the main Exif payload, when present
};
PhotoView ReadPhoto(const std::vector<uint8_t>& file);

// The value of a numeric XMP property in either form; none when absent.
std::optional<uint64_t> XmpNumber(const std::string& xmp, const std::string& name);
// Item:Length values of the container directory, in order (0 where an item has none).
std::vector<uint64_t> ContainerLengths(const std::string& xmp);

}  // namespace pivotta::test
