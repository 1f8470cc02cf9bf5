// The header walk here only locates segments; checking what they say is the engine's work.
#include "PhotoLayout.h"

#include <algorithm>
#include <cstring>

#include "Endian.h"
#include "XmpPacket.h"

namespace pivotta {
namespace {

constexpr uint8_t kSOS = 0xDA, kEOI = 0xD9, kAPP1 = 0xE1, kAPP2 = 0xE2;

bool IsRestart(uint8_t marker) { return marker >= 0xD0 && marker <= 0xD7; }

bool StartsWith(std::span<const uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

std::span<const uint8_t> PayloadOf(std::span<const uint8_t> file, const HeaderSegment& s) {
    return file.subspan(s.payload, s.size);
}

PictureRole RoleOf(const MpfEntry& entry, std::span<const uint8_t> picture) {
    switch (entry.Type()) {
        case MpfImageType::LargePreview1:
        case MpfImageType::LargePreview2: return PictureRole::Preview;
        default: return MarksGainMap(picture) ? PictureRole::GainMap : PictureRole::Auxiliary;
    }
}

bool IsViewOfASet(MpfImageType type) {
    return type == MpfImageType::Panorama || type == MpfImageType::Disparity || type == MpfImageType::MultiAngle;
}

}  // namespace

std::vector<HeaderSegment> ReadHeaderSegments(std::span<const uint8_t> file) {
    std::vector<HeaderSegment> segments;
    if (file.size() < 2 || file[0] != 0xFF || file[1] != 0xD8) return segments;
    size_t pos = 2;
    for (;;) {
        if (pos >= file.size() || file[pos] != 0xFF) return {};
        while (pos + 1 < file.size() && file[pos + 1] == 0xFF) ++pos;  // fill bytes
        if (pos + 4 > file.size()) return {};
        const uint8_t marker = file[pos + 1];
        const size_t length = loadBE16(file.data() + pos + 2);
        if (length < 2 || length - 2 > file.size() - pos - 4) return {};
        segments.push_back({marker, pos, pos + 4, length - 2});
        pos += 2 + length;
        if (marker == kSOS) return segments;
        if (marker == kEOI || IsRestart(marker) || marker == 0xD8 || marker == 0x01) return {};
    }
}

std::optional<size_t> FindPictureEnd(std::span<const uint8_t> file, const HeaderSegment& sos) {
    const uint8_t* data = file.data();
    size_t pos = sos.payload + sos.size;
    while (pos < file.size()) {
        const void* ff = std::memchr(data + pos, 0xFF, file.size() - pos);
        if (!ff) return std::nullopt;
        pos = static_cast<size_t>(static_cast<const uint8_t*>(ff) - data);
        size_t next = pos + 1;
        while (next < file.size() && data[next] == 0xFF) ++next;
        if (next >= file.size()) return std::nullopt;
        const uint8_t marker = data[next];
        if (marker == 0 || IsRestart(marker)) {
            pos = next + 1;
            continue;
        }
        if (marker == kEOI) return next + 1;
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<FrameSize> ReadFrameSize(std::span<const uint8_t> picture) {
    for (const HeaderSegment& s : ReadHeaderSegments(picture)) {
        const bool isFrame = s.marker >= 0xC0 && s.marker <= 0xCF && s.marker != 0xC4 && s.marker != 0xC8 && s.marker != 0xCC;
        if (isFrame && s.size >= 5) {
            const uint8_t* p = picture.data() + s.payload;
            return FrameSize{loadBE16(p + 3), loadBE16(p + 1)};
        }
    }
    return std::nullopt;
}

bool MarksGainMap(std::span<const uint8_t> picture) {
    for (const HeaderSegment& s : ReadHeaderSegments(picture)) {
        const auto payload = PayloadOf(picture, s);
        if (s.marker == kAPP1 && IsXmpPayload(payload) && DescribesGainMap(XmpText(payload))) return true;
        if (s.marker == kAPP2 && StartsWith(payload, kIsoGainMapSignature)) return true;
    }
    return false;
}

PhotoLayout ReadPhotoLayout(std::span<const uint8_t> file) {
    PhotoLayout layout;
    layout.segments = ReadHeaderSegments(file);
    const std::vector<HeaderSegment>& segments = layout.segments;
    for (size_t i = 0; i < segments.size(); ++i) {
        const auto payload = PayloadOf(file, segments[i]);
        if (segments[i].marker == kAPP1 && !layout.xmpSegment && IsXmpPayload(payload)) layout.xmpSegment = i;
        if (segments[i].marker == kAPP2 && !layout.mpfSegment && StartsWith(payload, {"MPF\0", 4})) {
            MpfParse parse = ParseMpfSegment(payload);
            if (parse.problem == MpfProblem::NoIndex) continue;
            layout.mpfSegment = i;
            if (parse.problem != MpfProblem::None) {
                layout.problem = PhotoProblem::DamagedIndex;
                return layout;
            }
            layout.index = std::move(parse.index);
        }
    }
    if (!layout.mpfSegment || layout.index.entries.size() < 2) return layout;

    // Sets of views are told by type first: their pictures need not be checked to be refused.
    if (std::any_of(layout.index.entries.begin(), layout.index.entries.end(),
                    [](const MpfEntry& e) { return IsViewOfASet(e.Type()); })) {
        layout.problem = PhotoProblem::MultiPictureSet;
        return layout;
    }
    const std::optional<size_t> end = FindPictureEnd(file, segments.back());
    if (!end) return layout;  // the engine reports the missing EOI
    layout.pictureEnd = *end;
    const size_t header = segments[*layout.mpfSegment].start + kMpfHeaderOffset;
    const MpfLayout placed = PlaceMpfPictures(layout.index, file, header, *end);
    if (placed.problem != MpfLayoutProblem::None) {
        layout.problem = PhotoProblem::DamagedIndex;
        return layout;
    }
    for (size_t i = 0; i < placed.pictures.size(); ++i) {
        const MpfEntry& entry = layout.index.entries[i + 1];
        const MpfPlacement& p = placed.pictures[i];
        layout.secondaries.push_back(
            {p.start, p.end, entry.attribute, RoleOf(entry, file.subspan(p.start, p.end - p.start))});
    }
    return layout;
}

}  // namespace pivotta
