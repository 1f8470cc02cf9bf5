// XMP is RDF/XML, but the few properties a transform touches are plain values that writers
// put either in an attribute or in an element of their own. Finding those two forms by text is
// enough, and it never risks changing what it does not understand.
#include "XmpPacket.h"

#include <algorithm>

namespace pivotta {
namespace {

constexpr size_t kMaxPayload = 65535 - 2;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' || c == '_' ||
           c == '-' || c == '.';
}

std::optional<uint64_t> DigitsValue(std::string_view digits) {
    if (digits.empty() || digits.size() > 18) return std::nullopt;
    uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

XmpValue MakeValue(std::string_view text, size_t offset, size_t length) {
    return {offset, length, DigitsValue(text.substr(offset, length))};
}

// The value of an occurrence of name at `at` (already known to be a whole name): attribute
// form when '=' follows, element form when the name opens an element.
std::optional<XmpValue> ValueAt(std::string_view text, size_t at, size_t nameLength, bool opensElement) {
    size_t i = at + nameLength;
    if (opensElement) {
        if (i >= text.size() || text[i] != '>') return std::nullopt;
        const size_t start = i + 1;
        const size_t end = text.find('<', start);
        if (end == std::string_view::npos) return std::nullopt;
        size_t first = start, last = end;  // element content may be framed by whitespace
        while (first < last && IsSpace(text[first])) ++first;
        while (last > first && IsSpace(text[last - 1])) --last;
        return MakeValue(text, first, last - first);
    }
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i >= text.size() || text[i] != '=') return std::nullopt;
    ++i;
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) return std::nullopt;
    const char quote = text[i];
    const size_t start = i + 1;
    const size_t end = text.find(quote, start);
    if (end == std::string_view::npos) return std::nullopt;
    return MakeValue(text, start, end - start);
}

}  // namespace

bool IsXmpPayload(std::span<const uint8_t> payload) {
    return payload.size() >= kXmpSignature.size() &&
           std::equal(kXmpSignature.begin(), kXmpSignature.end(), payload.begin());
}

std::string_view XmpText(std::span<const uint8_t> payload) {
    if (!IsXmpPayload(payload)) return {};
    return {reinterpret_cast<const char*>(payload.data()) + kXmpSignature.size(), payload.size() - kXmpSignature.size()};
}

std::vector<XmpValue> FindXmpValues(std::string_view text, std::string_view name) {
    std::vector<XmpValue> values;
    for (size_t at = text.find(name); at != std::string_view::npos; at = text.find(name, at + 1)) {
        const size_t after = at + name.size();
        if (at == 0 || (after < text.size() && IsNameChar(text[after]))) continue;
        const char before = text[at - 1];
        if (!IsSpace(before) && before != '<') continue;
        if (auto value = ValueAt(text, at, name.size(), before == '<')) values.push_back(*value);
    }
    return values;
}

std::optional<XmpValue> FindXmpValue(std::string_view text, std::string_view name) {
    auto values = FindXmpValues(text, name);
    if (values.empty()) return std::nullopt;
    return values.front();
}

std::vector<ContainerItem> ReadContainerDirectory(std::string_view text) {
    std::vector<ContainerItem> items;
    const size_t begin = text.find("<Container:Directory");
    if (begin == std::string_view::npos) return items;
    const size_t end = std::min(text.find("</Container:Directory", begin), text.size());
    const std::string_view directory = text.substr(0, end);
    constexpr std::string_view kItem = "<Container:Item";
    for (size_t at = directory.find(kItem, begin); at != std::string_view::npos;) {
        const size_t next = directory.find(kItem, at + kItem.size());
        const size_t itemEnd = next == std::string_view::npos ? directory.size() : next;
        const std::string_view item = directory.substr(at, itemEnd - at);
        // Offsets are made those of the whole text, so that values can be edited in place.
        const auto valueIn = [&](std::string_view name) -> std::optional<XmpValue> {
            auto v = FindXmpValue(item, name);
            if (v) v->offset += at;
            return v;
        };
        ContainerItem entry;
        if (auto v = valueIn("Item:Semantic")) entry.semantic = std::string(text.substr(v->offset, v->length));
        if (auto v = valueIn("Item:Mime")) entry.mime = std::string(text.substr(v->offset, v->length));
        entry.length = valueIn("Item:Length");
        entry.padding = valueIn("Item:Padding");
        items.push_back(std::move(entry));
        at = next;
    }
    return items;
}

bool DescribesGainMap(std::string_view text) {
    if (FindXmpValue(text, "hdrgm:Version")) return true;
    const auto type = FindXmpValue(text, "apdi:AuxiliaryImageType");
    return type && text.substr(type->offset, type->length).find("hdrgainmap") != std::string_view::npos;
}

std::optional<std::vector<uint8_t>> ApplyXmpEdits(std::span<const uint8_t> payload, std::vector<XmpEdit> edits) {
    const std::string_view text = XmpText(payload);
    std::sort(edits.begin(), edits.end(), [](const XmpEdit& a, const XmpEdit& b) { return a.offset < b.offset; });
    std::string out;
    out.reserve(text.size() + 64);
    size_t copied = 0;
    for (const XmpEdit& edit : edits) {
        if (edit.offset < copied || edit.offset + edit.length > text.size()) return std::nullopt;
        out.append(text.substr(copied, edit.offset - copied));
        out.append(edit.text);
        copied = edit.offset + edit.length;
    }
    out.append(text.substr(copied));

    // The padding is the whitespace just before the trailer processing instruction.
    const size_t trailer = out.rfind("<?xpacket end");
    if (trailer != std::string::npos) {
        size_t padStart = trailer;
        while (padStart > 0 && IsSpace(out[padStart - 1])) --padStart;
        if (out.size() > text.size()) {
            const size_t take = std::min(out.size() - text.size(), trailer - padStart);
            out.erase(trailer - take, take);
        } else {
            out.insert(trailer, text.size() - out.size(), ' ');
        }
    }
    if (kXmpSignature.size() + out.size() > kMaxPayload) return std::nullopt;
    std::vector<uint8_t> result(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(kXmpSignature.size()));
    result.insert(result.end(), out.begin(), out.end());
    return result;
}

}  // namespace pivotta
