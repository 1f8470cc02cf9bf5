#include "ExifBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "Endian.h"

namespace pivotta::test {
namespace {

size_t UnitSize(TiffType type) {
    switch (type) {
        case TiffType::Short: return 2;
        case TiffType::Long:
        case TiffType::Rational: return 4;
        default: return 1;
    }
}

uint32_t EntryCount(TiffType type, size_t units) {
    return static_cast<uint32_t>(type == TiffType::Rational ? units / 2 : units);
}

constexpr size_t kEntrySize = 12;

}  // namespace

IfdBuilder& IfdBuilder::Short(uint16_t tag, uint16_t value) { return Entry(tag, TiffType::Short, {value}); }
IfdBuilder& IfdBuilder::Long(uint16_t tag, uint32_t value) { return Entry(tag, TiffType::Long, {value}); }
IfdBuilder& IfdBuilder::Rational(uint16_t tag, uint32_t numerator, uint32_t denominator) {
    return Entry(tag, TiffType::Rational, {numerator, denominator});
}
IfdBuilder& IfdBuilder::Ascii(uint16_t tag, const std::string& text) {
    std::vector<uint32_t> units(text.begin(), text.end());
    units.push_back(0);
    return Entry(tag, TiffType::Ascii, std::move(units));
}
IfdBuilder& IfdBuilder::Entry(uint16_t tag, TiffType type, std::vector<uint32_t> units) {
    entries_.push_back({tag, type, std::move(units)});
    return *this;
}

ExifBuilder& ExifBuilder::Thumbnail(std::vector<uint8_t> bytes) {
    thumbnail_ = std::move(bytes);
    return *this;
}

ExifBuilder& ExifBuilder::Trailer(std::vector<uint8_t> bytes) {
    trailer_ = std::move(bytes);
    return *this;
}

namespace {

// Serialises IFDs at known offsets; values longer than four bytes follow the entry table.
class TiffWriter {
public:
    explicit TiffWriter(bool little) { order_.little = little; }

    static size_t IfdSize(const std::vector<IfdBuilder::Item>& entries) {
        size_t size = 2 + entries.size() * kEntrySize + 4;
        for (const auto& e : entries) {
            const size_t bytes = e.units.size() * UnitSize(e.type);
            if (bytes > 4) size += bytes + (bytes & 1);
        }
        return size;
    }

    void Header(uint32_t ifd0) {
        const uint8_t mark = order_.little ? 'I' : 'M';
        tiff_ = {mark, mark, 0, 0, 0, 0, 0, 0};
        order_.Store16(&tiff_[2], 42);
        order_.Store32(&tiff_[4], ifd0);
    }

    void Ifd(const std::vector<IfdBuilder::Item>& entries, uint32_t nextIfd) {
        const size_t base = tiff_.size();
        size_t data = base + 2 + entries.size() * kEntrySize + 4;
        tiff_.resize(base + IfdSize(entries));
        order_.Store16(&tiff_[base], static_cast<uint16_t>(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            const auto& e = entries[i];
            uint8_t* entry = &tiff_[base + 2 + i * kEntrySize];
            order_.Store16(entry, e.tag);
            order_.Store16(entry + 2, static_cast<uint16_t>(e.type));
            order_.Store32(entry + 4, EntryCount(e.type, e.units.size()));
            const size_t bytes = e.units.size() * UnitSize(e.type);
            uint8_t* value = entry + 8;
            if (bytes > 4) {
                order_.Store32(value, static_cast<uint32_t>(data));
                value = &tiff_[data];
                data += bytes + (bytes & 1);
            }
            PutUnits(value, e);
        }
        order_.Store32(&tiff_[base + 2 + entries.size() * kEntrySize], nextIfd);
    }

    void Append(const std::vector<uint8_t>& bytes) { tiff_.insert(tiff_.end(), bytes.begin(), bytes.end()); }
    std::vector<uint8_t>& Bytes() { return tiff_; }

private:
    void PutUnits(uint8_t* p, const IfdBuilder::Item& e) const {
        for (uint32_t unit : e.units) {
            switch (UnitSize(e.type)) {
                case 2: order_.Store16(p, static_cast<uint16_t>(unit)); break;
                case 4: order_.Store32(p, unit); break;
                default: *p = static_cast<uint8_t>(unit); break;
            }
            p += UnitSize(e.type);
        }
    }

    ByteOrder order_;
    std::vector<uint8_t> tiff_;
};

void SetOrAdd(std::vector<IfdBuilder::Item>& entries, uint16_t tag, TiffType type, uint32_t value) {
    auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.tag == tag; });
    if (it == entries.end()) entries.push_back({tag, type, {value}});
    else it->units = {value};
}

void SortByTag(std::vector<IfdBuilder::Item>& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.tag < b.tag; });
}

}  // namespace

std::vector<uint8_t> ExifBuilder::Build() {
    auto ifd0 = ifd0_.Items(), exif = exif_.Items(), ifd1 = ifd1_.Items();
    const bool hasExif = !exif.empty();
    const uint32_t thumbnailLength = thumbnail_ ? static_cast<uint32_t>(thumbnail_->size()) : 0;
    // Placeholders first: the sizes, and so the offsets, do not depend on the values.
    if (hasExif) SetOrAdd(ifd0, exif_tag::ExifIfdPointer, TiffType::Long, 0);
    if (thumbnail_) {
        SetOrAdd(ifd1, exif_tag::JpegInterchangeFormat, TiffType::Long, 0);
        SetOrAdd(ifd1, exif_tag::JpegInterchangeFormatLength, TiffType::Long, thumbnailLength);
    }
    SortByTag(ifd0);
    SortByTag(exif);
    SortByTag(ifd1);

    layout_ = {};
    layout_.ifd0 = 8;
    size_t next = layout_.ifd0 + TiffWriter::IfdSize(ifd0);
    if (hasExif) {
        layout_.exifIfd = static_cast<uint32_t>(next);
        next += TiffWriter::IfdSize(exif);
    }
    if (!ifd1.empty()) {
        layout_.ifd1 = static_cast<uint32_t>(next);
        next += TiffWriter::IfdSize(ifd1);
    }
    if (thumbnail_) {
        layout_.thumbnail = static_cast<uint32_t>(next);
        layout_.thumbnailLength = thumbnailLength;
    }
    if (hasExif) SetOrAdd(ifd0, exif_tag::ExifIfdPointer, TiffType::Long, layout_.exifIfd);
    if (thumbnail_) SetOrAdd(ifd1, exif_tag::JpegInterchangeFormat, TiffType::Long, layout_.thumbnail);

    TiffWriter writer(little_);
    writer.Header(layout_.ifd0);
    writer.Ifd(ifd0, layout_.ifd1);
    if (hasExif) writer.Ifd(exif, 0);
    if (!ifd1.empty()) writer.Ifd(ifd1, 0);
    if (thumbnail_) writer.Append(*thumbnail_);
    writer.Append(trailer_);
    layout_.tiffSize = writer.Bytes().size();

    static constexpr uint8_t kSignature[kTiffStart] = {'E', 'x', 'i', 'f', 0, 0};
    std::vector<uint8_t> payload(kTiffStart + writer.Bytes().size());
    std::copy(std::begin(kSignature), std::end(kSignature), payload.begin());
    std::copy(writer.Bytes().begin(), writer.Bytes().end(), payload.begin() + kTiffStart);
    return payload;
}

ExifBuilder CameraExif(const CameraExifSpec& spec) {
    using namespace camera;
    ExifBuilder b(spec.little);
    b.Ifd0()
        .Ascii(exif_tag::Make, "Pivotta Test Camera")
        .Short(exif_tag::Orientation, kOrientation)
        .Rational(exif_tag::XResolution, kIfd0XRes, 1)
        .Rational(exif_tag::YResolution, kIfd0YRes, 1)
        .Short(exif_tag::ResolutionUnit, 2);
    b.ExifIfd()
        .Rational(exif_tag::ExposureTime, 1, 160)
        .Entry(exif_tag::PixelXDimension, spec.pixelType, {spec.pixelWidth})
        .Rational(exif_tag::FocalPlaneXResolution, kFocalXRes, 1)
        .Rational(exif_tag::FocalPlaneYResolution, kFocalYRes, 1);
    if (spec.pixelY) b.ExifIfd().Entry(exif_tag::PixelYDimension, spec.pixelType, {spec.pixelHeight});
    if (spec.withIfd1) {
        if (spec.compression) b.Ifd1().Short(exif_tag::Compression, *spec.compression);
        b.Ifd1()
            .Long(exif_tag::ImageWidth, kThumbWidth)
            .Long(exif_tag::ImageLength, kThumbHeight)
            .Rational(exif_tag::XResolution, kIfd1XRes, 1)
            .Rational(exif_tag::YResolution, kIfd1YRes, 1);
    }
    if (spec.thumbnail) b.Thumbnail(*spec.thumbnail);
    b.Trailer(spec.trailer);
    return b;
}

ExifView::ExifView(const std::vector<uint8_t>& payload)
    : payload_(payload), little_(payload.size() >= kTiffStart + 2 && payload[kTiffStart] == 'I') {}

uint16_t ExifView::U16(size_t offset) const {
    if (offset + 2 > TiffSize()) {
        ADD_FAILURE() << "16-bit read at " << offset << " outside the TIFF data";
        return 0;
    }
    return little_ ? loadLE16(Tiff() + offset) : loadBE16(Tiff() + offset);
}

uint32_t ExifView::U32(size_t offset) const {
    if (offset + 4 > TiffSize()) {
        ADD_FAILURE() << "32-bit read at " << offset << " outside the TIFF data";
        return 0;
    }
    return little_ ? loadLE32(Tiff() + offset) : loadBE32(Tiff() + offset);
}

std::optional<ExifEntry> ExifView::Find(uint32_t ifdOffset, uint16_t tag) const {
    const uint16_t count = U16(ifdOffset);
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = ifdOffset + 2 + i * kEntrySize;
        if (U16(entry) == tag) return ExifEntry{entry, U16(entry + 2), U32(entry + 4), U32(entry + 8)};
    }
    return std::nullopt;
}

std::optional<uint32_t> ExifView::Number(uint32_t ifdOffset, uint16_t tag) const {
    const auto entry = Find(ifdOffset, tag);
    if (!entry) return std::nullopt;
    if (entry->type == static_cast<uint16_t>(TiffType::Short)) return U16(entry->offset + 8);
    return entry->value;
}

std::optional<std::pair<uint32_t, uint32_t>> ExifView::Fraction(uint32_t ifdOffset, uint16_t tag) const {
    const auto entry = Find(ifdOffset, tag);
    if (!entry) return std::nullopt;
    return std::make_pair(U32(entry->value), U32(entry->value + 4));
}

std::vector<uint8_t> ExifView::Thumbnail(uint32_t ifd1Offset) const {
    const auto offset = Number(ifd1Offset, exif_tag::JpegInterchangeFormat);
    const auto length = Number(ifd1Offset, exif_tag::JpegInterchangeFormatLength);
    if (!offset || !length) return {};
    if (*offset > TiffSize() || *length > TiffSize() - *offset) {
        ADD_FAILURE() << "thumbnail at " << *offset << " + " << *length << " outside the TIFF data";
        return {};
    }
    return {Tiff() + *offset, Tiff() + *offset + *length};
}

std::vector<uint8_t> WithApp1(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> out(jpeg.size() + 4 + payload.size());
    auto at = std::copy(jpeg.begin(), jpeg.begin() + 2, out.begin());
    *at++ = 0xFF;
    *at++ = 0xE1;
    storeBE16(&*at, static_cast<uint16_t>(payload.size() + 2));
    at = std::copy(payload.begin(), payload.end(), at + 2);
    std::copy(jpeg.begin() + 2, jpeg.end(), at);
    return out;
}

std::vector<uint8_t> FirstApp1Payload(const std::vector<uint8_t>& jpeg) {
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF && jpeg[pos + 1] != 0xDA) {
        const size_t length = loadBE16(&jpeg[pos + 2]);
        if (length < 2 || pos + 2 + length > jpeg.size()) break;
        if (jpeg[pos + 1] == 0xE1) return {jpeg.begin() + pos + 4, jpeg.begin() + pos + 2 + length};
        pos += 2 + length;
    }
    return {};
}

}  // namespace pivotta::test
