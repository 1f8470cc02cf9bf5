// XMP values found in both forms, edits that keep the packet's size through its padding, the
// container directory and the marks of a gain map.
#include <gtest/gtest.h>

#include <string>

#include "XmpPacket.h"

namespace pivotta {
namespace {

std::vector<uint8_t> Payload(const std::string& packet) {
    std::string bytes(kXmpSignature);
    bytes += packet;
    return {bytes.begin(), bytes.end()};
}

std::string Packet(const std::string& body, size_t padding) {
    return "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?><x:xmpmeta>" + body + "</x:xmpmeta>" +
           std::string(padding, ' ') + "<?xpacket end=\"w\"?>";
}

TEST(XmpPacket, ValuesAreFoundInAttributeAndElementForm) {
    struct Case {
        const char* text;
        std::optional<uint64_t> orientation;
    };
    const Case cases[] = {
        {"<d tiff:Orientation=\"6\"/>", 6},
        {"<d tiff:Orientation = '8'/>", 8},
        {"<tiff:Orientation>3</tiff:Orientation>", 3},
        {"<tiff:Orientation>\n  5\n</tiff:Orientation>", 5},
        {"<d xtiff:Orientation=\"6\"/>", std::nullopt},       // another name that ends alike
        {"<d tiff:OrientationX=\"6\"/>", std::nullopt},
        {"<d tiff:Orientation=\"six\"/>", std::nullopt},      // found, but not digits
        {"<d tiff:Orientation=\"6", std::nullopt},            // unterminated
        {"tiff:Orientation", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto value = FindXmpValue(c.text, "tiff:Orientation");
        EXPECT_EQ(value && value->number ? value->number : std::nullopt, c.orientation);
    }
}

TEST(XmpPacket, EditsTradeLengthWithThePadding) {
    struct Case {
        const char* name;
        std::string body;
        size_t padding;
        std::string value;     // the new PixelXDimension
        long sizeChange;       // of the packet
    };
    const Case cases[] = {
        {"shorter", "<d exif:PixelXDimension=\"1000\"/>", 10, "992", 0},
        {"longer", "<d exif:PixelXDimension=\"992\"/>", 10, "10000", 0},
        {"element form", "<exif:PixelXDimension>992</exif:PixelXDimension>", 10, "10000", 0},
        {"padding runs out", "<d exif:PixelXDimension=\"9\"/>", 2, "12345", 2},
        {"no padding", "<d exif:PixelXDimension=\"9\"/>", 0, "123", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string packet = Packet(c.body, c.padding);
        const auto payload = Payload(packet);
        const auto value = FindXmpValue(XmpText(payload), "exif:PixelXDimension");
        ASSERT_TRUE(value);
        const auto edited = ApplyXmpEdits(payload, {{value->offset, value->length, c.value}});
        ASSERT_TRUE(edited);
        EXPECT_EQ(long(edited->size()) - long(payload.size()), c.sizeChange);
        const std::string_view text = XmpText(*edited);
        const auto after = FindXmpValue(text, "exif:PixelXDimension");
        ASSERT_TRUE(after);
        EXPECT_EQ(after->number, std::stoull(c.value));
        // Everything but the value and the padding stays as it was.
        EXPECT_EQ(text.substr(0, value->offset), std::string_view(packet).substr(0, value->offset));
        EXPECT_TRUE(text.ends_with("</x:xmpmeta>" + std::string(text.size() - text.find("</x:xmpmeta>") - 12 - 19, ' ') +
                                   "<?xpacket end=\"w\"?>"));
    }
    // A packet that cannot give up the room fails rather than be cut.
    const auto full = Payload(Packet("<d a=\"1\"/>", 0) + std::string(65533 - 29 - Packet("<d a=\"1\"/>", 0).size(), 'x'));
    EXPECT_FALSE(ApplyXmpEdits(full, {{FindXmpValue(XmpText(full), "a")->offset, 1, "22"}}));
}

TEST(XmpPacket, ContainerDirectoryInBothForms) {
    const std::string attributes =
        "<Container:Directory><rdf:Seq>"
        "<rdf:li><Container:Item Item:Semantic=\"Primary\" Item:Mime=\"image/jpeg\"/></rdf:li>"
        "<rdf:li><Container:Item Item:Semantic=\"GainMap\" Item:Mime=\"image/jpeg\" Item:Length=\"5120\"/></rdf:li>"
        "<rdf:li><Container:Item Item:Semantic=\"MotionPhoto\" Item:Mime=\"video/mp4\" Item:Length=\"99\" "
        "Item:Padding=\"0\"/></rdf:li>"
        "</rdf:Seq></Container:Directory>";
    const std::string elements =
        "<Container:Directory><rdf:Seq>"
        "<rdf:li><Container:Item><Item:Semantic>Primary</Item:Semantic><Item:Mime>image/jpeg</Item:Mime>"
        "</Container:Item></rdf:li>"
        "<rdf:li><Container:Item><Item:Semantic>GainMap</Item:Semantic><Item:Mime>image/jpeg</Item:Mime>"
        "<Item:Length>5120</Item:Length></Container:Item></rdf:li>"
        "<rdf:li><Container:Item><Item:Semantic>MotionPhoto</Item:Semantic><Item:Mime>video/mp4</Item:Mime>"
        "<Item:Length>99</Item:Length><Item:Padding>0</Item:Padding></Container:Item></rdf:li>"
        "</rdf:Seq></Container:Directory><Item:Length>7</Item:Length>";
    for (const std::string& text : {attributes, elements}) {
        const auto items = ReadContainerDirectory(text);
        ASSERT_EQ(items.size(), 3u);
        EXPECT_EQ(items[0].semantic, "Primary");
        EXPECT_FALSE(items[0].length);
        EXPECT_EQ(items[1].semantic, "GainMap");
        EXPECT_EQ(items[1].mime, "image/jpeg");
        ASSERT_TRUE(items[1].length);
        EXPECT_EQ(text.substr(items[1].length->offset, items[1].length->length), "5120");
        EXPECT_EQ(items[2].length->number, 99u);
        EXPECT_EQ(items[2].padding->number, 0u);
    }
    EXPECT_TRUE(ReadContainerDirectory("<Container:Item Item:Length=\"5\"/>").empty());  // no directory
}

TEST(XmpPacket, GainMapsAreToldByTheirOwnMetadata) {
    EXPECT_TRUE(DescribesGainMap("<d hdrgm:Version=\"1.0\"/>"));
    EXPECT_TRUE(DescribesGainMap("<hdrgm:Version>1.0</hdrgm:Version>"));
    EXPECT_TRUE(DescribesGainMap("<d apdi:AuxiliaryImageType=\"urn:com:apple:photo:2020:aux:hdrgainmap\"/>"));
    EXPECT_FALSE(DescribesGainMap("<d apdi:AuxiliaryImageType=\"urn:com:apple:photo:2019:aux:portraiteffectsmatte\"/>"));
    EXPECT_FALSE(DescribesGainMap("<d GCamera:MotionPhoto=\"1\"/>"));
}

}  // namespace
}  // namespace pivotta
