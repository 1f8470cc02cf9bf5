#include "JpegLayout.h"

namespace pivotta::test {
namespace {

bool Fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}

bool IsRestart(uint16_t marker) { return marker >= 0xFFD0 && marker <= 0xFFD7; }

}  // namespace

bool ParseJpegLayout(const std::vector<uint8_t>& jpeg, JpegLayout& layout, std::string* why) {
    layout = JpegLayout{};
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return Fail(why, "no SOI");
    size_t pos = 2;
    for (;;) {
        if (pos + 4 > jpeg.size()) return Fail(why, "headers end at " + std::to_string(pos));
        const uint16_t marker = static_cast<uint16_t>(jpeg[pos] << 8 | jpeg[pos + 1]);
        const size_t length = static_cast<size_t>(jpeg[pos + 2] << 8 | jpeg[pos + 3]);
        if (jpeg[pos] != 0xFF || length < 2 || pos + 2 + length > jpeg.size())
            return Fail(why, "bad segment at " + std::to_string(pos));
        layout.headers.push_back({marker, {jpeg.begin() + pos, jpeg.begin() + pos + 2 + length}});
        pos += 2 + length;
        if (marker == 0xFFDA) break;
    }
    // Entropy-coded data: FF 00 is a stuffed FF, FF Dn a restart; any other marker ends it.
    // Fill bytes (FF) may stand before a marker (ITU T.81 B.1.1.2).
    for (;;) {
        while (pos + 1 < jpeg.size() && !(jpeg[pos] == 0xFF && jpeg[pos + 1] != 0x00)) ++pos;
        while (pos + 1 < jpeg.size() && jpeg[pos + 1] == 0xFF) ++pos;
        if (pos + 1 >= jpeg.size()) return Fail(why, "scan runs to the end of the data");
        const uint16_t marker = static_cast<uint16_t>(jpeg[pos] << 8 | jpeg[pos + 1]);
        layout.scanMarkers.push_back(marker);
        pos += 2;
        if (IsRestart(marker)) continue;
        if (marker != 0xFFD9) return Fail(why, "scan not followed by EOI");
        break;
    }
    layout.trailing.assign(jpeg.begin() + pos, jpeg.end());
    return true;
}

}  // namespace pivotta::test
