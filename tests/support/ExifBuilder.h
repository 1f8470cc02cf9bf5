// Test-side writer and reader of Exif APP1 payloads ("Exif\0\0" + TIFF) in either byte order.
//
// The writer lays the data out as cameras do: TIFF header, IFD0 and its values, the Exif IFD
// and its values, IFD1 and its values, the thumbnail, then optional trailing bytes. It fills in
// the Exif IFD pointer, the next-IFD offsets and the thumbnail's offset and length itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pivotta::test {

enum class TiffType : uint16_t { Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5, Undefined = 7 };

namespace exif_tag {
inline constexpr uint16_t ImageWidth = 0x0100;
inline constexpr uint16_t ImageLength = 0x0101;
inline constexpr uint16_t Compression = 0x0103;
inline constexpr uint16_t Make = 0x010F;
inline constexpr uint16_t Orientation = 0x0112;
inline constexpr uint16_t XResolution = 0x011A;
inline constexpr uint16_t YResolution = 0x011B;
inline constexpr uint16_t ResolutionUnit = 0x0128;
inline constexpr uint16_t JpegInterchangeFormat = 0x0201;
inline constexpr uint16_t JpegInterchangeFormatLength = 0x0202;
inline constexpr uint16_t ExifIfdPointer = 0x8769;
inline constexpr uint16_t ExposureTime = 0x829A;
inline constexpr uint16_t PixelXDimension = 0xA002;
inline constexpr uint16_t PixelYDimension = 0xA003;
inline constexpr uint16_t FocalPlaneXResolution = 0xA20E;
inline constexpr uint16_t FocalPlaneYResolution = 0xA20F;
}  // namespace exif_tag

// The entries of one IFD, kept as typed values until the byte order is known.
class IfdBuilder {
public:
    IfdBuilder& Short(uint16_t tag, uint16_t value);
    IfdBuilder& Long(uint16_t tag, uint32_t value);
    IfdBuilder& Rational(uint16_t tag, uint32_t numerator, uint32_t denominator);
    IfdBuilder& Ascii(uint16_t tag, const std::string& text);
    // Value units in the entry's type (each pair of a RATIONAL is two units).
    IfdBuilder& Entry(uint16_t tag, TiffType type, std::vector<uint32_t> units);

    struct Item {
        uint16_t tag;
        TiffType type;
        std::vector<uint32_t> units;
    };
    const std::vector<Item>& Items() const { return entries_; }

private:
    std::vector<Item> entries_;
};

// Offsets from the TIFF header of what Build() laid out; 0 when absent.
struct ExifLayout {
    uint32_t ifd0 = 0;
    uint32_t exifIfd = 0;
    uint32_t ifd1 = 0;
    uint32_t thumbnail = 0;
    uint32_t thumbnailLength = 0;
    size_t tiffSize = 0;
};

inline constexpr size_t kTiffStart = 6;  // offset of the TIFF header within the payload

class ExifBuilder {
public:
    explicit ExifBuilder(bool littleEndian) : little_(littleEndian) {}

    IfdBuilder& Ifd0() { return ifd0_; }
    IfdBuilder& ExifIfd() { return exif_; }
    IfdBuilder& Ifd1() { return ifd1_; }
    // JPEGInterchangeFormat and JPEGInterchangeFormatLength are added to IFD1 for it.
    ExifBuilder& Thumbnail(std::vector<uint8_t> bytes);
    ExifBuilder& Trailer(std::vector<uint8_t> bytes);

    std::vector<uint8_t> Build();
    const ExifLayout& Layout() const { return layout_; }

private:
    bool little_;
    IfdBuilder ifd0_, exif_, ifd1_;
    std::optional<std::vector<uint8_t>> thumbnail_;
    std::vector<uint8_t> trailer_;
    ExifLayout layout_;
};

// A camera-like Exif structure whose horizontal and vertical entries all differ, so that any
// exchange shows. IFD0: Make, Orientation, X/YResolution, ResolutionUnit. Exif IFD:
// ExposureTime, PixelX/YDimension, FocalPlaneX/YResolution. IFD1 (withIfd1): Compression,
// ImageWidth, ImageLength, X/YResolution and, with a thumbnail, its offset and length.
struct CameraExifSpec {
    explicit CameraExifSpec(bool littleEndian) : little(littleEndian) {}
    CameraExifSpec& Pixels(uint32_t width, uint32_t height, TiffType type) {
        pixelWidth = width, pixelHeight = height, pixelType = type;
        return *this;
    }
    CameraExifSpec& WithoutPixelY() { return pixelY = false, *this; }
    CameraExifSpec& WithoutIfd1() { return withIfd1 = false, *this; }
    CameraExifSpec& Compression(uint16_t value) { return compression = value, *this; }
    CameraExifSpec& WithoutCompression() { return compression.reset(), *this; }
    CameraExifSpec& Thumbnail(std::vector<uint8_t> bytes) { return thumbnail = std::move(bytes), *this; }
    CameraExifSpec& Trailer(std::vector<uint8_t> bytes) { return trailer = std::move(bytes), *this; }

    bool little;
    uint32_t pixelWidth = 4000, pixelHeight = 3000;
    TiffType pixelType = TiffType::Long;
    bool pixelY = true;
    bool withIfd1 = true;
    std::optional<uint16_t> compression = 6;  // no entry when empty
    std::optional<std::vector<uint8_t>> thumbnail;
    std::vector<uint8_t> trailer;
};

namespace camera {
inline constexpr uint32_t kIfd0XRes = 72, kIfd0YRes = 300;
inline constexpr uint32_t kFocalXRes = 4438, kFocalYRes = 4445;
inline constexpr uint32_t kThumbWidth = 160, kThumbHeight = 120;
inline constexpr uint32_t kIfd1XRes = 96, kIfd1YRes = 180;
inline constexpr uint16_t kOrientation = 1;
}  // namespace camera

ExifBuilder CameraExif(const CameraExifSpec& spec);

// One entry as found in a payload.
struct ExifEntry {
    size_t offset = 0;  // of the 12-byte entry, from the TIFF header
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t value = 0;  // the 4-byte field read as a 32-bit value in the file's order
};

// Reads what the tests check; every read is bounds-checked and fails the test when outside.
class ExifView {
public:
    explicit ExifView(const std::vector<uint8_t>& payload);

    bool Little() const { return little_; }
    const uint8_t* Tiff() const { return payload_.data() + kTiffStart; }
    size_t TiffSize() const { return payload_.size() - kTiffStart; }

    uint16_t U16(size_t offset) const;
    uint32_t U32(size_t offset) const;
    std::optional<ExifEntry> Find(uint32_t ifdOffset, uint16_t tag) const;
    uint32_t Ifd0() const { return U32(4); }
    uint32_t NextIfd(uint32_t ifdOffset) const { return U32(ifdOffset + 2 + 12 * size_t{U16(ifdOffset)}); }
    // The value of a SHORT or LONG entry (a SHORT's first unit).
    std::optional<uint32_t> Number(uint32_t ifdOffset, uint16_t tag) const;
    // The fraction of a RATIONAL entry, as numerator / denominator.
    std::optional<std::pair<uint32_t, uint32_t>> Fraction(uint32_t ifdOffset, uint16_t tag) const;
    // The thumbnail as IFD1's offset and length entries name it.
    std::vector<uint8_t> Thumbnail(uint32_t ifd1Offset) const;

private:
    const std::vector<uint8_t>& payload_;
    bool little_;
};

// A JPEG stream with the payload inserted as an APP1 segment right after FF D8.
std::vector<uint8_t> WithApp1(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& payload);
// The payload of the first APP1 segment of a JPEG stream (empty when there is none).
std::vector<uint8_t> FirstApp1Payload(const std::vector<uint8_t>& jpeg);

}  // namespace pivotta::test
