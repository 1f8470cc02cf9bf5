// Reading and strict writing of the MP index. The reader trusts no count, offset or size: each
// is checked against the segment (and, for the pictures, against the file) before use.
#include "MpfIndex.h"

#include <algorithm>
#include <cstring>

#include "Endian.h"

namespace pivotta {
namespace {

namespace mpf_tag {
constexpr uint16_t Version = 0xB000;
constexpr uint16_t NumberOfImages = 0xB001;
constexpr uint16_t Entries = 0xB002;
constexpr uint16_t ImageUids = 0xB003;
constexpr uint16_t TotalFrames = 0xB004;
}  // namespace mpf_tag

constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeUndefined = 7;
constexpr size_t kHeaderSize = 8;  // byte order, 42, first IFD offset
constexpr size_t kIfdEntrySize = 12;
constexpr size_t kMpEntrySize = 16;
constexpr size_t kUidSize = 33;
constexpr uint8_t kVersion[4] = {'0', '1', '0', '0'};

size_t TypeSize(uint16_t type) {
    switch (type) {
        case 1: case 2: case 6: case 7: return 1;  // BYTE, ASCII, SBYTE, UNDEFINED
        case 3: case 8: return 2;                  // SHORT, SSHORT
        case 4: case 9: case 11: return 4;         // LONG, SLONG, FLOAT
        case 5: case 10: case 12: return 8;        // RATIONAL, SRATIONAL, DOUBLE
        default: return 0;
    }
}

// The TIFF data of the segment: everything from the byte-order field on.
class MpfReader {
public:
    MpfReader(std::span<const uint8_t> tiff, ByteOrder order) : tiff_(tiff), order_(order) {}

    bool Fits(size_t offset, size_t count) const { return offset <= tiff_.size() && count <= tiff_.size() - offset; }
    uint16_t U16(size_t offset) const { return order_.Load16(tiff_.data() + offset); }
    uint32_t U32(size_t offset) const { return order_.Load32(tiff_.data() + offset); }

    // The entries of the IFD at offset, each with its value bytes; none when any part of it
    // lies outside the data, a type is unknown or a tag repeats.
    std::optional<std::vector<MpfTiffEntry>> ReadIfd(size_t offset, uint32_t& next) const {
        if (!Fits(offset, 2)) return std::nullopt;
        const size_t count = U16(offset);
        const size_t first = offset + 2;
        if (!Fits(first, count * kIfdEntrySize + 4)) return std::nullopt;
        std::vector<MpfTiffEntry> entries;
        for (size_t i = 0; i < count; ++i) {
            const size_t at = first + i * kIfdEntrySize;
            MpfTiffEntry entry{U16(at), U16(at + 2), U32(at + 4), {}};
            const size_t unit = TypeSize(entry.type);
            if (unit == 0 || entry.count > tiff_.size() / unit) return std::nullopt;
            const size_t bytes = unit * entry.count;
            const size_t valueAt = bytes <= 4 ? at + 8 : U32(at + 8);
            if (!Fits(valueAt, bytes)) return std::nullopt;
            const auto same = [&](const MpfTiffEntry& e) { return e.tag == entry.tag; };
            if (std::any_of(entries.begin(), entries.end(), same)) return std::nullopt;
            entry.value.assign(tiff_.begin() + valueAt, tiff_.begin() + valueAt + bytes);
            entries.push_back(std::move(entry));
        }
        next = U32(first + count * kIfdEntrySize);
        return entries;
    }

private:
    std::span<const uint8_t> tiff_;
    ByteOrder order_;
};

const MpfTiffEntry* FindTag(const std::vector<MpfTiffEntry>& entries, uint16_t tag) {
    const auto it = std::find_if(entries.begin(), entries.end(), [tag](const MpfTiffEntry& e) { return e.tag == tag; });
    return it == entries.end() ? nullptr : &*it;
}

MpfProblem ReadIndex(const std::vector<MpfTiffEntry>& ifd, ByteOrder order, MpfIndex& index) {
    const MpfTiffEntry* count = FindTag(ifd, mpf_tag::NumberOfImages);
    const MpfTiffEntry* entries = FindTag(ifd, mpf_tag::Entries);
    if (!count && !entries) return MpfProblem::NoIndex;
    if (!count || !entries || count->type != kTypeLong || count->count != 1) return MpfProblem::BadCount;
    const uint32_t pictures = order.Load32(count->value.data());
    if (pictures == 0 || entries->value.size() != size_t{pictures} * kMpEntrySize) return MpfProblem::BadCount;
    for (size_t i = 0; i < pictures; ++i) {
        const uint8_t* raw = entries->value.data() + i * kMpEntrySize;
        index.entries.push_back({order.Load32(raw), order.Load32(raw + 4), order.Load32(raw + 8),
                                 order.Load16(raw + 12), order.Load16(raw + 14)});
    }
    if (index.entries.front().offset != 0) return MpfProblem::BadEntries;
    if (const MpfTiffEntry* uids = FindTag(ifd, mpf_tag::ImageUids); uids && uids->value.size() == pictures * kUidSize) {
        index.imageUids = uids->value;
    }
    if (const MpfTiffEntry* frames = FindTag(ifd, mpf_tag::TotalFrames);
        frames && frames->type == kTypeLong && frames->count == 1) {
        index.totalFrames = order.Load32(frames->value.data());
    }
    return MpfProblem::None;
}

// Appends IFD entries and their out-of-line values at the end of tiff, in ascending tag order.
void WriteIfd(std::vector<uint8_t>& tiff, std::vector<MpfTiffEntry> entries, ByteOrder order) {
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.tag < b.tag; });
    const size_t start = tiff.size();
    const size_t tableSize = 2 + entries.size() * kIfdEntrySize + 4;
    tiff.resize(start + tableSize);
    order.Store16(tiff.data() + start, static_cast<uint16_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const MpfTiffEntry& e = entries[i];
        const size_t at = start + 2 + i * kIfdEntrySize;
        order.Store16(tiff.data() + at, e.tag);
        order.Store16(tiff.data() + at + 2, e.type);
        order.Store32(tiff.data() + at + 4, e.count);
        if (e.value.size() <= 4) {
            std::copy(e.value.begin(), e.value.end(), tiff.begin() + static_cast<std::ptrdiff_t>(at + 8));
        } else {
            if (tiff.size() % 2) tiff.push_back(0);  // TIFF values start on a word boundary
            order.Store32(tiff.data() + at + 8, static_cast<uint32_t>(tiff.size()));
            tiff.insert(tiff.end(), e.value.begin(), e.value.end());
        }
    }
    // The next-IFD field stays 0; a caller that chains another IFD patches it.
}

std::vector<uint8_t> Long(ByteOrder order, uint32_t value) {
    std::vector<uint8_t> bytes(4);
    order.Store32(bytes.data(), value);
    return bytes;
}

}  // namespace

MpfParse ParseMpfSegment(std::span<const uint8_t> payload) {
    MpfParse result;
    if (payload.size() < sizeof kMpfSignature || std::memcmp(payload.data(), kMpfSignature, 4) != 0) {
        result.problem = MpfProblem::NotMpf;
        return result;
    }
    const std::span<const uint8_t> tiff = payload.subspan(sizeof kMpfSignature);
    const auto fail = [&](MpfProblem problem) {
        result.problem = problem;
        result.index = {};
        return result;
    };
    if (tiff.size() < kHeaderSize) return fail(MpfProblem::BadHeader);
    ByteOrder order;
    if (std::memcmp(tiff.data(), "II*\0", 4) == 0) {
        order.little = true;
    } else if (std::memcmp(tiff.data(), "MM\0*", 4) != 0) {
        return fail(MpfProblem::BadHeader);
    }
    result.index.littleEndian = order.little;
    const MpfReader reader(tiff, order);
    const uint32_t first = reader.U32(4);
    if (first < kHeaderSize) return fail(MpfProblem::BadHeader);
    uint32_t next = 0;
    const auto ifd = reader.ReadIfd(first, next);
    if (!ifd) return fail(MpfProblem::BadIfd);
    if (const MpfProblem problem = ReadIndex(*ifd, order, result.index); problem != MpfProblem::None) return fail(problem);
    // The primary's attribute IFD follows the index; one that points back into it is a loop.
    if (next != 0) {
        uint32_t ignored = 0;
        if (next <= first) return fail(MpfProblem::BadIfd);
        auto attributes = reader.ReadIfd(next, ignored);
        if (!attributes) return fail(MpfProblem::BadIfd);
        result.index.attributes = std::move(*attributes);
    }
    return result;
}

std::vector<uint8_t> WriteMpfSegment(const MpfIndex& index) {
    const ByteOrder order{index.littleEndian};
    std::vector<uint8_t> tiff(kHeaderSize);
    std::memcpy(tiff.data(), index.littleEndian ? "II*\0" : "MM\0*", 4);
    order.Store32(tiff.data() + 4, kHeaderSize);

    std::vector<MpfTiffEntry> ifd;
    ifd.push_back({mpf_tag::Version, kTypeUndefined, 4, {std::begin(kVersion), std::end(kVersion)}});
    const auto pictures = static_cast<uint32_t>(index.entries.size());
    ifd.push_back({mpf_tag::NumberOfImages, kTypeLong, 1, Long(order, pictures)});
    std::vector<uint8_t> raw(index.entries.size() * kMpEntrySize);
    for (size_t i = 0; i < index.entries.size(); ++i) {
        const MpfEntry& e = index.entries[i];
        uint8_t* at = raw.data() + i * kMpEntrySize;
        order.Store32(at, e.attribute);
        order.Store32(at + 4, e.size);
        order.Store32(at + 8, i == 0 ? 0 : e.offset);
        order.Store16(at + 12, e.dependent1);
        order.Store16(at + 14, e.dependent2);
    }
    ifd.push_back({mpf_tag::Entries, kTypeUndefined, static_cast<uint32_t>(raw.size()), std::move(raw)});
    if (index.imageUids.size() == index.entries.size() * kUidSize) {
        ifd.push_back({mpf_tag::ImageUids, kTypeUndefined, static_cast<uint32_t>(index.imageUids.size()),
                       index.imageUids});
    }
    if (index.totalFrames) ifd.push_back({mpf_tag::TotalFrames, kTypeLong, 1, Long(order, *index.totalFrames)});
    const size_t nextField = kHeaderSize + 2 + ifd.size() * kIfdEntrySize;
    WriteIfd(tiff, std::move(ifd), order);
    if (!index.attributes.empty()) {
        if (tiff.size() % 2) tiff.push_back(0);
        order.Store32(tiff.data() + nextField, static_cast<uint32_t>(tiff.size()));
        WriteIfd(tiff, index.attributes, order);
    }
    tiff.insert(tiff.begin(), std::begin(kMpfSignature), std::end(kMpfSignature));
    return tiff;
}

MpfLayout PlaceMpfPictures(const MpfIndex& index, std::span<const uint8_t> file, size_t headerPosition,
                           size_t firstEnd) {
    MpfLayout layout;
    size_t previousEnd = firstEnd;
    for (size_t i = 1; i < index.entries.size(); ++i) {
        const MpfEntry& e = index.entries[i];
        const size_t start = headerPosition + e.offset;
        if (e.offset == 0 || start < headerPosition || start > file.size() || e.size > file.size() - start) {
            layout.problem = MpfLayoutProblem::OutsideFile;
        } else if (start < previousEnd) {
            layout.problem = MpfLayoutProblem::Overlapping;
        } else if (e.size < 4 || file[start] != 0xFF || file[start + 1] != 0xD8) {
            layout.problem = MpfLayoutProblem::NotAPicture;
        }
        if (layout.problem != MpfLayoutProblem::None) {
            layout.pictures.clear();
            return layout;
        }
        layout.pictures.push_back({start, start + e.size});
        previousEnd = start + e.size;
    }
    return layout;
}

}  // namespace pivotta
