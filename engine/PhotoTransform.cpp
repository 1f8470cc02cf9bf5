// A photo is its main picture plus what follows the main picture's EOI: gain maps and previews
// that an MP index names, then any other trailer (a motion photo's video, vendor data).
//
// The main picture is turned alone; each further picture is turned by an engine of its own with
// the same kind; then the main picture's XMP and MP index are rewritten for the new sizes and
// the pieces are put back in their order, with every byte between and after the pictures kept.
// Nothing is written to the output until every picture has been turned.
#include <algorithm>
#include <string>

#include "BitStreamFile.h"
#include "GainMapCoverage.h"
#include "JpegRotation.h"
#include "PhotoLayout.h"
#include "XmpPacket.h"

namespace pivotta {
namespace {

constexpr size_t kMaxPayload = 65535 - 2;

std::span<const uint8_t> BytesOf(const TMemoryStream& stream) { return {stream.Memory(), stream.Size()}; }

// Replaces one segment's payload, fixing its length field.
void SpliceSegment(TMemoryStream& picture, const HeaderSegment& segment, const std::vector<uint8_t>& payload) {
    const uint8_t* bytes = picture.Memory();
    std::vector<uint8_t> out;
    out.reserve(picture.Size() - segment.size + payload.size());
    out.insert(out.end(), bytes, bytes + segment.start + 2);
    const size_t length = payload.size() + 2;
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), bytes + segment.payload + segment.size, bytes + picture.Size());
    picture.Assign(out.data(), out.size());
}

std::optional<HeaderSegment> FindSegment(std::span<const uint8_t> picture, bool (*matches)(const HeaderSegment&,
                                                                                            std::span<const uint8_t>)) {
    for (const HeaderSegment& s : ReadHeaderSegments(picture)) {
        if (matches(s, picture.subspan(s.payload, s.size))) return s;
    }
    return std::nullopt;
}

bool IsXmpSegment(const HeaderSegment& s, std::span<const uint8_t> payload) {
    return s.marker == 0xE1 && IsXmpPayload(payload);
}

bool IsMpfIndexSegment(const HeaderSegment& s, std::span<const uint8_t> payload) {
    if (s.marker != 0xE2) return false;
    const MpfProblem problem = ParseMpfSegment(payload).problem;
    return problem != MpfProblem::NotMpf && problem != MpfProblem::NoIndex;
}

void EditNumber(std::vector<XmpEdit>& edits, const std::optional<XmpValue>& value, uint64_t number) {
    if (value && value->number && *value->number != number) edits.push_back({value->offset, value->length, std::to_string(number)});
}

}  // namespace

bool TJpegRotation::CheckJpeg(const TMemoryStream& stream) {
    photo_ = {};
    if (!CheckPicture(stream)) return false;
    if (TransformExif) NotePhoto(stream);
    return true;
}

void TJpegRotation::NotePhoto(const TMemoryStream& stream) {
    const PhotoLayout layout = ReadPhotoLayout(BytesOf(stream));
    photo_.viewSet = layout.problem == PhotoProblem::MultiPictureSet;
    photo_.damagedIndex = layout.problem == PhotoProblem::DamagedIndex;
    for (const SecondaryPicture& s : layout.secondaries) {
        TJpegRotation nested;
        nested.TransformExif = false;
        TMemoryStream picture;
        picture.Assign(stream.Memory() + s.start, s.end - s.start);
        PictureInfo info{s.role};
        if (nested.CheckPicture(picture)) info.width = nested.Frame().ImageWidth, info.height = nested.Frame().ImageHeight;
        photo_.pictures.push_back(info);
    }
}

bool TJpegRotation::RotateJpeg(const TMemoryStream& input, TMemoryStream& output, TransformKind kind) {
    // A picture's own engine (thumbnail, gain map) and a verification see one picture only.
    if (!TransformExif || verifyOnly_) return RotatePicture(input, output, kind);
    const PhotoLayout layout = ReadPhotoLayout(BytesOf(input));
    if (layout.problem != PhotoProblem::None) {
        output.Clear();
        if (layout.problem == PhotoProblem::MultiPictureSet) return Fail(MessageCode::MultiPictureSet, msg::kMultiPictureSet);
        return Fail(MessageCode::DamagedPictureIndex, msg::kDamagedPictureIndex);
    }
    if (layout.HasSecondaries()) return RotatePhoto(input, output, kind);
    return RotatePicture(input, output, kind) && FollowXmp(output, kind, {});
}

bool TJpegRotation::TurnSecondary(const TMemoryStream& picture, PictureRole role, TransformKind kind, TMemoryStream& output) {
    TJpegRotation nested;
    nested.MaxThreads = MaxThreads;
    nested.StartThread = StartThread;
    nested.AllowBreakDCF = AllowBreakDCF;
    nested.KeepOrientation = KeepOrientation;
    nested.AllowAdjustMCU = AllowAdjustMCU;
    if (!nested.CheckPicture(picture)) return Fail(MessageCode::SecondaryPictureFailed, msg::kSecondaryPictureFailed);
    if (role != PictureRole::Preview) {
        // A gain map lies over the main picture: it must keep covering what the main picture shows.
        const auto& m = Frame();
        const auto& g = nested.Frame();
        const auto plan = PlanGainMap({m.ImageWidth, m.ImageHeight, 8 * m.MaxH, 8 * m.MaxV}, AllowAdjustMCU,
                                      {g.ImageWidth, g.ImageHeight, 8 * g.MaxH, 8 * g.MaxV}, kind);
        if (!plan) return Fail(MessageCode::GainMapGrid, msg::kGainMapGrid);
        nested.AllowAdjustMCU = plan->trim;
    }
    if (!nested.RotatePicture(picture, output, kind)) {
        return Fail(MessageCode::SecondaryPictureFailed, msg::kSecondaryPictureFailed);
    }
    return true;
}

bool TJpegRotation::RotatePhoto(const TMemoryStream& input, TMemoryStream& output, TransformKind kind) {
    output.Clear();
    const PhotoLayout layout = ReadPhotoLayout(BytesOf(input));
    const uint8_t* file = input.Memory();

    TMemoryStream main;
    {
        TMemoryStream mainInput;
        mainInput.Assign(file, layout.pictureEnd);
        if (!RotatePicture(mainInput, main, kind)) return false;
    }
    std::vector<TMemoryStream> turned(layout.secondaries.size());
    for (size_t i = 0; i < layout.secondaries.size(); ++i) {
        const SecondaryPicture& s = layout.secondaries[i];
        TMemoryStream picture;
        picture.Assign(file + s.start, s.end - s.start);
        if (!TurnSecondary(picture, s.role, kind, turned[i])) return false;
    }

    // Google's container lists its items packed after the main picture in directory order: an
    // item that starts where a turned picture started takes that picture's new length.
    std::vector<std::pair<size_t, uint64_t>> lengths;
    if (const auto xmp = FindSegment(BytesOf(main), IsXmpSegment)) {
        const std::vector<ContainerItem> items = ReadContainerDirectory(XmpText(BytesOf(main).subspan(xmp->payload, xmp->size)));
        size_t position = layout.pictureEnd;
        for (size_t k = 0; k < items.size(); ++k) {
            if (k > 0 && items[k].length && items[k].length->number) {
                for (size_t i = 0; i < layout.secondaries.size(); ++i) {
                    const SecondaryPicture& s = layout.secondaries[i];
                    if (s.start == position && s.end - s.start == *items[k].length->number)
                        lengths.emplace_back(items[k].length->offset, turned[i].Size());
                }
                position += *items[k].length->number;
            }
            if (items[k].padding && items[k].padding->number) position += *items[k].padding->number;
        }
    }
    if (!FollowXmp(main, kind, lengths)) return false;

    // The index's size does not depend on its values, so the final layout is known before it is written.
    const auto mpf = FindSegment(BytesOf(main), IsMpfIndexSegment);
    if (!mpf) return Fail(MessageCode::DamagedPictureIndex, msg::kDamagedPictureIndex);
    MpfIndex index = layout.index;
    const size_t mpfSize = WriteMpfSegment(index).size();
    if (mpfSize > kMaxPayload) return Fail(MessageCode::WriteFailed, kStreamWriteError);
    const size_t mainSize = main.Size() - mpf->size + mpfSize;
    const size_t header = mpf->start + kMpfHeaderOffset;
    std::vector<size_t> starts;
    size_t cursor = mainSize, previousEnd = layout.pictureEnd;
    for (size_t i = 0; i < layout.secondaries.size(); ++i) {
        cursor += layout.secondaries[i].start - previousEnd;  // what lay between stays
        starts.push_back(cursor);
        cursor += turned[i].Size();
        previousEnd = layout.secondaries[i].end;
    }
    if (cursor > UINT32_MAX) return Fail(MessageCode::WriteFailed, kStreamWriteError);
    index.entries[0].size = static_cast<uint32_t>(mainSize);
    for (size_t i = 0; i < starts.size(); ++i) {
        index.entries[i + 1].size = static_cast<uint32_t>(turned[i].Size());
        index.entries[i + 1].offset = static_cast<uint32_t>(starts[i] - header);
    }
    SpliceSegment(main, *mpf, WriteMpfSegment(index));

    output.Reserve(input.Size() + input.Size() / 8);
    output.Write(main.Memory(), main.Size());
    previousEnd = layout.pictureEnd;
    for (size_t i = 0; i < layout.secondaries.size(); ++i) {
        const SecondaryPicture& s = layout.secondaries[i];
        output.Write(file + previousEnd, s.start - previousEnd);
        output.Write(turned[i].Memory(), turned[i].Size());
        previousEnd = s.end;
    }
    output.Write(file + previousEnd, input.Size() - previousEnd);
    output.SetPosition(0);
    return true;
}

// XMP says what Exif says: the orientation is reset with Exif's, and the pixel sizes follow a
// trimmed frame and exchange for kinds that swap the axes, as their Exif twins do.
bool TJpegRotation::FollowXmp(TMemoryStream& picture, TransformKind kind,
                              const std::vector<std::pair<size_t, uint64_t>>& lengths) {
    const auto xmp = FindSegment(BytesOf(picture), IsXmpSegment);
    if (!xmp) return true;
    const std::span<const uint8_t> payload = BytesOf(picture).subspan(xmp->payload, xmp->size);
    const std::string_view text = XmpText(payload);
    std::vector<XmpEdit> edits;
    if (kind != TransformKind::NoRotation && !KeepOrientation) {
        for (const XmpValue& v : FindXmpValues(text, "tiff:Orientation")) EditNumber(edits, v, 1);
    }
    // The written frame says what trimming left, in the input's axes once a swap is undone.
    const auto written = ReadFrameSize(BytesOf(picture));
    if (!written) return true;
    const bool swaps = SwapsAxes(kind);
    const uint64_t imageWidth = uint64_t(Frame().ImageWidth), imageHeight = uint64_t(Frame().ImageHeight);
    const uint64_t outputWidth = uint64_t(swaps ? written->height : written->width);
    const uint64_t outputHeight = uint64_t(swaps ? written->width : written->height);
    const auto follow = [&](std::string_view xName, std::string_view yName) {
        const auto x = FindXmpValue(text, xName), y = FindXmpValue(text, yName);
        uint64_t newX = x && x->number ? *x->number : 0, newY = y && y->number ? *y->number : 0;
        if (outputWidth != imageWidth && newX == imageWidth) newX = outputWidth;
        if (outputHeight != imageHeight && newY == imageHeight) newY = outputHeight;
        if (swaps && x && y) std::swap(newX, newY);
        EditNumber(edits, x, newX);
        EditNumber(edits, y, newY);
    };
    follow("exif:PixelXDimension", "exif:PixelYDimension");
    follow("tiff:ImageWidth", "tiff:ImageLength");
    for (const auto& item : lengths) {
        const size_t offset = item.first;
        const auto it = std::find_if(edits.begin(), edits.end(), [offset](const XmpEdit& e) { return e.offset == offset; });
        if (it == edits.end()) {
            const size_t digits = std::min(text.find_first_not_of("0123456789", offset), text.size()) - offset;
            edits.push_back({offset, digits, std::to_string(item.second)});
        }
    }
    if (edits.empty()) return true;
    const auto edited = ApplyXmpEdits(payload, std::move(edits));
    // A packet at the segment's limit without padding: sizes it names would be wrong.
    if (!edited) return lengths.empty() || Fail(MessageCode::WriteFailed, kStreamWriteError);
    // The padding usually absorbs the change: then the packet is overwritten where it lies.
    if (edited->size() == xmp->size) {
        std::copy(edited->begin(), edited->end(), picture.Memory() + xmp->payload);
    } else {
        SpliceSegment(picture, *xmp, *edited);
    }
    return true;
}

}  // namespace pivotta
