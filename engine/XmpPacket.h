// Reading and in-place editing of the XMP packet an APP1 segment holds: single numeric
// properties in attribute or element form, Google's container directory, and the marks that
// tell a gain map. A packet is never re-serialized: edits replace digits and give or take the
// difference from the packet's padding, so everything else stays byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pivotta {

// "http://ns.adobe.com/xap/1.0/" and its terminating zero start a main XMP packet's payload.
inline constexpr std::string_view kXmpSignature{"http://ns.adobe.com/xap/1.0/\0", 29};
// Extended XMP (a GUID-chained continuation) is copied as it is and never read.
inline constexpr std::string_view kExtendedXmpSignature{"http://ns.adobe.com/xmp/extension/\0", 35};
// ISO 21496-1 gain-map metadata in an APP2 segment.
inline constexpr std::string_view kIsoGainMapSignature{"urn:iso:std:iso:ts:21496:-1\0", 28};

bool IsXmpPayload(std::span<const uint8_t> payload);
// The packet text of an XMP payload (after the signature).
std::string_view XmpText(std::span<const uint8_t> payload);

// A property's value as it stands in the text: its range and, when it is all digits, its number.
struct XmpValue {
    size_t offset = 0;
    size_t length = 0;
    std::optional<uint64_t> number;
};

// Every value of a property written as name="..." (or '...') or as <name>...</name>; name is
// the qualified name as the file spells it ("tiff:Orientation").
std::vector<XmpValue> FindXmpValues(std::string_view text, std::string_view name);
std::optional<XmpValue> FindXmpValue(std::string_view text, std::string_view name);

// One Container:Item of Google's container directory, in directory order.
struct ContainerItem {
    std::string semantic;  // Primary, GainMap, MotionPhoto, ...
    std::string mime;
    std::optional<XmpValue> length;
    std::optional<XmpValue> padding;
};
std::vector<ContainerItem> ReadContainerDirectory(std::string_view text);

// An XMP packet that describes a gain map: hdrgm:Version (Ultra HDR) or Apple's auxiliary image
// type for an HDR gain map.
bool DescribesGainMap(std::string_view text);

struct XmpEdit {
    size_t offset = 0;  // within the packet text
    size_t length = 0;
    std::string text;
};

// The payload with the edits (not overlapping) applied. A change of length is taken from, or
// given to, the whitespace before "<?xpacket end"; only when that runs out does the packet
// grow. None when the result would not fit an APP1 segment.
std::optional<std::vector<uint8_t>> ApplyXmpEdits(std::span<const uint8_t> payload, std::vector<XmpEdit> edits);

}  // namespace pivotta
