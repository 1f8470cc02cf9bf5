#include "PhonePhotoBuilder.h"

#include <algorithm>
#include <cstring>
#include <regex>

#include "Endian.h"
#include "ExifBuilder.h"

namespace pivotta::test {
namespace {

constexpr char kXmpSignature[] = "http://ns.adobe.com/xap/1.0/";  // and its terminating zero
constexpr size_t kMpfIfdEntries = 3;
constexpr size_t kMpfFixedSize = 4 + 8 + 2 + kMpfIfdEntries * 12 + 4;

std::vector<uint8_t> Segment(uint8_t marker, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> out(4 + payload.size());
    out[0] = 0xFF;
    out[1] = marker;
    storeBE16(&out[2], static_cast<uint16_t>(payload.size() + 2));
    std::copy(payload.begin(), payload.end(), out.begin() + 4);
    return out;
}

// The picture with segments inserted after SOI and libjpeg's JFIF APP0.
std::vector<uint8_t> WithSegments(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& segments) {
    size_t at = 2;
    if (jpeg.size() > 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0) at = 4 + loadBE16(&jpeg[4]);
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(at));
    out.insert(out.end(), segments.begin(), segments.end());
    out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
    return out;
}

std::vector<uint8_t> XmpPayload(const std::string& packet) {
    std::vector<uint8_t> payload(sizeof kXmpSignature + packet.size());
    std::memcpy(payload.data(), kXmpSignature, sizeof kXmpSignature);
    std::copy(packet.begin(), packet.end(), payload.begin() + sizeof kXmpSignature);
    return payload;
}

std::string Property(bool element, const std::string& name, const std::string& value) {
    return element ? "<" + name + ">" + value + "</" + name + ">\n" : " " + name + "=\"" + value + "\"";
}

std::string Packet(const std::string& attributes, const std::string& elements) {
    return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
           " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
           "  <rdf:Description rdf:about=\"\" xmlns:hdrgm=\"http://ns.adobe.com/hdr-gain-map/1.0/\"\n"
           "    xmlns:Container=\"http://ns.google.com/photos/1.0/container/\"\n"
           "    xmlns:Item=\"http://ns.google.com/photos/1.0/container/item/\"\n"
           "    xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\" xmlns:exif=\"http://ns.adobe.com/exif/1.0/\"\n"
           "    xmlns:GCamera=\"http://ns.google.com/photos/1.0/camera/\"" +
           attributes + ">\n" + elements +
           "  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n" + std::string(120, ' ') + "\n<?xpacket end=\"w\"?>";
}

struct Item {
    std::string semantic, mime;
    size_t length = 0;  // 0: none
};

std::string MainXmp(const PhonePhotoSpec& spec, const std::vector<Item>& items) {
    const bool e = spec.elementForm;
    std::string props = Property(e, "hdrgm:Version", "1.0") +
                        Property(e, "tiff:Orientation", std::to_string(spec.xmpOrientation)) +
                        Property(e, "tiff:ImageWidth", std::to_string(spec.main.width)) +
                        Property(e, "tiff:ImageLength", std::to_string(spec.main.height)) +
                        Property(e, "exif:PixelXDimension", std::to_string(spec.main.width)) +
                        Property(e, "exif:PixelYDimension", std::to_string(spec.main.height));
    if (spec.trailerSize) props += Property(e, "GCamera:MotionPhoto", "1");
    std::string directory = "   <Container:Directory>\n    <rdf:Seq>\n";
    for (const Item& item : items) {
        std::string fields = Property(e, "Item:Semantic", item.semantic) + Property(e, "Item:Mime", item.mime);
        if (item.length) fields += Property(e, "Item:Length", std::to_string(item.length));
        if (item.semantic == "MotionPhoto") fields += Property(e, "Item:Padding", "0");
        directory += e ? "     <rdf:li rdf:parseType=\"Resource\"><Container:Item rdf:parseType=\"Resource\">\n" + fields +
                             "</Container:Item></rdf:li>\n"
                       : "     <rdf:li rdf:parseType=\"Resource\"><Container:Item" + fields + "/></rdf:li>\n";
    }
    directory += "    </rdf:Seq>\n   </Container:Directory>\n";
    return e ? Packet("", props + directory) : Packet(props, directory);
}

std::string GainMapXmp() {
    return Packet(" hdrgm:Version=\"1.0\" hdrgm:GainMapMin=\"0\" hdrgm:GainMapMax=\"2.3\" hdrgm:Gamma=\"1\""
                  " hdrgm:HDRCapacityMin=\"0\" hdrgm:HDRCapacityMax=\"2.3\" hdrgm:BaseRenditionIsHDR=\"False\"",
                  "");
}

struct MpfPicture {
    uint32_t attribute, size, offset;
};

std::vector<uint8_t> MpfPayload(bool little, const std::vector<MpfPicture>& pictures) {
    const ByteOrder order{little};
    std::vector<uint8_t> p(kMpfFixedSize + 16 * pictures.size());
    std::memcpy(p.data(), "MPF\0", 4);
    uint8_t* tiff = p.data() + 4;
    std::memcpy(tiff, little ? "II*\0" : "MM\0*", 4);
    order.Store32(tiff + 4, 8);
    order.Store16(tiff + 8, kMpfIfdEntries);
    const auto entry = [&](int i, uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        uint8_t* at = tiff + 10 + 12 * i;
        order.Store16(at, tag);
        order.Store16(at + 2, type);
        order.Store32(at + 4, count);
        order.Store32(at + 8, value);
    };
    entry(0, 0xB000, 7, 4, 0);
    std::memcpy(tiff + 10 + 8, "0100", 4);
    entry(1, 0xB001, 4, 1, static_cast<uint32_t>(pictures.size()));
    const uint32_t values = 8 + 2 + kMpfIfdEntries * 12 + 4;
    entry(2, 0xB002, 7, static_cast<uint32_t>(16 * pictures.size()), values);
    for (size_t i = 0; i < pictures.size(); ++i) {
        uint8_t* at = tiff + values + 16 * i;
        order.Store32(at, pictures[i].attribute);
        order.Store32(at + 4, pictures[i].size);
        order.Store32(at + 8, pictures[i].offset);
    }
    return p;
}

std::vector<uint8_t> Thumbnail() {
    FixtureSpec spec{.width = 160, .height = 120, .hSamp = 2, .vSamp = 1, .seed = 11};
    return MakeJpeg(spec);
}

}  // namespace

PhonePhoto MakePhonePhoto(const PhonePhotoSpec& spec) {
    PhonePhoto photo;
    photo.gainMap = WithSegments(MakeJpeg(spec.gainMap), Segment(0xE1, XmpPayload(GainMapXmp())));
    if (spec.preview) photo.preview = MakeJpeg(*spec.preview);
    for (size_t i = 0; i < spec.trailerSize; ++i) {
        static constexpr char kBox[] = "\0\0\0\x18" "ftypmp42\0\0\0\0mp42isom";
        photo.trailer.push_back(i < sizeof kBox - 1 ? static_cast<uint8_t>(kBox[i]) : static_cast<uint8_t>(i * 131 + 7));
    }

    std::vector<Item> items{{"Primary", "image/jpeg"}, {"GainMap", "image/jpeg", photo.gainMap.size()}};
    if (spec.preview) items.push_back({"Preview", "image/jpeg", photo.preview.size()});
    if (spec.trailerSize) items.push_back({"MotionPhoto", "video/mp4", spec.trailerSize});

    std::vector<uint8_t> segments;
    if (spec.exifThumbnail) {
        CameraExifSpec exif(spec.mpfLittleEndian);
        exif.Pixels(spec.main.width, spec.main.height, TiffType::Long).Thumbnail(Thumbnail());
        const auto app1 = Segment(0xE1, CameraExif(exif).Build());
        segments.insert(segments.end(), app1.begin(), app1.end());
    }
    const auto xmp = Segment(0xE1, XmpPayload(MainXmp(spec, items)));
    segments.insert(segments.end(), xmp.begin(), xmp.end());

    std::vector<std::pair<uint32_t, const std::vector<uint8_t>*>> secondaries{{0, &photo.gainMap}};
    if (spec.preview) secondaries.push_back({0x010001, &photo.preview});
    for (uint32_t type : spec.extraTypes) secondaries.push_back({type, &photo.gainMap});

    const std::vector<uint8_t> jpeg = MakeJpeg(spec.main);
    const size_t mpfSegmentSize = 4 + kMpfFixedSize + 16 * (1 + secondaries.size());
    const size_t mainSize = jpeg.size() + segments.size() + mpfSegmentSize;
    const size_t app0 = jpeg.size() > 6 && jpeg[3] == 0xE0 ? 4 + loadBE16(&jpeg[4]) : 2;
    const size_t header = app0 + segments.size() + 8;
    std::vector<MpfPicture> pictures{{0x20030000, static_cast<uint32_t>(mainSize), 0}};
    size_t position = mainSize;
    for (const auto& [type, bytes] : secondaries) {
        pictures.push_back({type, static_cast<uint32_t>(bytes->size()), static_cast<uint32_t>(position - header)});
        position += bytes->size();
    }
    const auto mpf = Segment(0xE2, MpfPayload(spec.mpfLittleEndian, pictures));
    segments.insert(segments.end(), mpf.begin(), mpf.end());
    photo.main = WithSegments(jpeg, segments);

    photo.bytes = photo.main;
    for (const auto& s : secondaries) photo.bytes.insert(photo.bytes.end(), s.second->begin(), s.second->end());
    photo.bytes.insert(photo.bytes.end(), photo.trailer.begin(), photo.trailer.end());
    return photo;
}

PhotoView ReadPhoto(const std::vector<uint8_t>& file) {
    PhotoView view;
    size_t pos = 2;
    size_t mpfAt = 0, mpfSize = 0;
    while (pos + 4 <= file.size() && file[pos] == 0xFF && file[pos + 1] != 0xDA) {
        const size_t length = loadBE16(&file[pos + 2]);
        if (length < 2 || pos + 2 + length > file.size()) break;
        const uint8_t* payload = &file[pos + 4];
        const size_t size = length - 2;
        if (file[pos + 1] == 0xE1 && size > sizeof kXmpSignature && std::memcmp(payload, kXmpSignature, sizeof kXmpSignature) == 0) {
            view.xmp.assign(reinterpret_cast<const char*>(payload) + sizeof kXmpSignature, size - sizeof kXmpSignature);
        } else if (file[pos + 1] == 0xE1 && size > 6 && std::memcmp(payload, "Exif\0\0", 6) == 0) {
            view.exif.assign(payload, payload + size);
        } else if (file[pos + 1] == 0xE2 && size > 4 && std::memcmp(payload, "MPF\0", 4) == 0 && !mpfAt) {
            mpfAt = pos + 4, mpfSize = size;
        }
        pos += 2 + length;
    }
    if (!mpfAt) return view.why = "no MPF segment", view;
    view.mpfHeader = mpfAt + 4;
    const uint8_t* tiff = &file[view.mpfHeader];
    const size_t tiffSize = mpfSize - 4;
    const ByteOrder order{tiff[0] == 'I'};
    const uint32_t ifd = order.Load32(tiff + 4);
    if (ifd + 2 > tiffSize) return view.why = "IFD outside", view;
    const size_t count = order.Load16(tiff + ifd);
    uint16_t previousTag = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = tiff + ifd + 2 + 12 * i;
        if (ifd + 2 + 12 * (i + 1) > tiffSize) return view.why = "entries outside", view;
        const uint16_t tag = order.Load16(e);
        if (tag <= previousTag || tag < 0xB000 || tag > 0xB004) return view.why = "tags not strict", view;
        previousTag = tag;
        if (tag != 0xB002) continue;
        const uint32_t bytes = order.Load32(e + 4), at = order.Load32(e + 8);
        if (bytes % 16 || at + bytes > tiffSize) return view.why = "B002 outside", view;
        for (uint32_t k = 0; k < bytes / 16; ++k) {
            const uint8_t* m = tiff + at + 16 * k;
            view.entries.push_back({order.Load32(m), order.Load32(m + 4), order.Load32(m + 8)});
        }
    }
    view.ok = !view.entries.empty();
    if (!view.ok) view.why = "no entries";
    return view;
}

std::optional<uint64_t> XmpNumber(const std::string& xmp, const std::string& name) {
    std::smatch m;
    const std::regex pattern("[ <]" + name + "(?:=\"|>)([0-9]+)");
    if (!std::regex_search(xmp, m, pattern)) return std::nullopt;
    return std::stoull(m[1]);
}

std::vector<uint64_t> ContainerLengths(const std::string& xmp) {
    std::vector<uint64_t> lengths;
    const std::regex item("<Container:Item");
    std::vector<size_t> starts;
    for (auto it = std::sregex_iterator(xmp.begin(), xmp.end(), item); it != std::sregex_iterator(); ++it)
        starts.push_back(static_cast<size_t>(it->position()));
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t end = i + 1 < starts.size() ? starts[i + 1] : xmp.size();
        lengths.push_back(XmpNumber(xmp.substr(starts[i], end - starts[i]), "Item:Length").value_or(0));
    }
    return lengths;
}

}  // namespace pivotta::test
