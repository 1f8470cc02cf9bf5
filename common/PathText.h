// The last name of a path and the joining of a folder and a name, on path text alone (the
// file system is not asked). The desktop program and the command-line tool share them.
#pragma once

#include <string>
#include <string_view>

namespace pivotta::paths {

// What separates names in this platform's paths. The desktop program passes kAnySeparator:
// the paths it is given may be Windows paths whatever it runs on.
#ifdef _WIN32
inline constexpr std::string_view kPlatformSeparators = "\\/";
#else
inline constexpr std::string_view kPlatformSeparators = "/";
#endif
inline constexpr std::string_view kAnySeparator = "/\\";

namespace detail {

template <typename Char>
constexpr bool IsSeparator(Char c, std::string_view separators)
{
    for (char separator : separators) {
        if (c == static_cast<Char>(separator)) return true;
    }
    return false;
}

template <typename Char>
constexpr size_t LastSeparator(std::basic_string_view<Char> path, std::string_view separators)
{
    for (size_t i = path.size(); i-- > 0;) {
        if (IsSeparator(path[i], separators)) return i;
    }
    return std::basic_string_view<Char>::npos;
}

template <typename Char>
std::basic_string<Char> FileNameOf(std::basic_string_view<Char> path, std::string_view separators)
{
    const size_t last = LastSeparator(path, separators);
    return std::basic_string<Char>(last == path.npos ? path : path.substr(last + 1));
}

template <typename Char>
std::basic_string<Char> JoinPath(std::basic_string_view<Char> folder, std::basic_string_view<Char> name,
                                 std::string_view separators)
{
    std::basic_string<Char> joined(folder);
    if (!folder.empty() && !IsSeparator(folder.back(), separators)) {
        // The separator the folder already uses, so that a Windows path stays one.
        const size_t last = LastSeparator(folder, separators);
        joined += last == folder.npos ? static_cast<Char>(separators.front()) : folder[last];
    }
    joined += name;
    return joined;
}

}  // namespace detail

// What follows the last separator: "b.jpg" of "a/b.jpg"; empty when path ends in one.
inline std::string FileNameOf(std::string_view path, std::string_view separators = kPlatformSeparators)
{
    return detail::FileNameOf(path, separators);
}
inline std::u16string FileNameOf(std::u16string_view path, std::string_view separators = kPlatformSeparators)
{
    return detail::FileNameOf(path, separators);
}

// folder, a separator and name: none added after a folder that ends with one (a root such as
// "/" or "C:\"), and an empty folder gives the name alone. The separator added is the last
// one folder uses, or the first of separators.
inline std::string JoinPath(std::string_view folder, std::string_view name,
                            std::string_view separators = kPlatformSeparators)
{
    return detail::JoinPath(folder, name, separators);
}
inline std::u16string JoinPath(std::u16string_view folder, std::u16string_view name,
                               std::string_view separators = kPlatformSeparators)
{
    return detail::JoinPath(folder, name, separators);
}

}  // namespace pivotta::paths
