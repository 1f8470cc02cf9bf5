#include "NameQuoting.h"

#include <algorithm>
#include <cstdio>

namespace pivotta::cli {
namespace {

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

void AppendControl(std::string& out, char c) {
    switch (c) {
    case '\n': out += "\\n"; return;
    case '\t': out += "\\t"; return;
    case '\r': out += "\\r"; return;
    case '\033': out += "\\e"; return;
    default: {
        char octal[8];
        std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned char>(c));
        out += octal;
    }
    }
}

std::string ShellQuoted(std::string_view name) {
    std::string out;
    for (size_t at = 0; at < name.size();) {
        const bool control = IsControl(name[at]);
        size_t end = at;
        while (end < name.size() && IsControl(name[end]) == control) ++end;
        if (control) {
            out += "$'";
            for (size_t i = at; i < end; ++i) AppendControl(out, name[i]);
        } else {
            out += '\'';
            for (size_t i = at; i < end; ++i) {
                if (name[i] == '\'') {
                    out += "'\\''";
                } else {
                    out += name[i];
                }
            }
        }
        out += '\'';
        at = end;
    }
    return out;
}

}  // namespace

std::string NameForLine(std::string_view name) {
    if (std::none_of(name.begin(), name.end(), IsControl)) return std::string(name);
    return ShellQuoted(name);
}

std::string QuotedName(std::string_view name) {
    if (std::none_of(name.begin(), name.end(), IsControl)) return "'" + std::string(name) + "'";
    return ShellQuoted(name);
}

}  // namespace pivotta::cli
