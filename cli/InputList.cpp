#include "InputList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <system_error>
#include <utility>

#include "FileSystem.h"
#include "ToolTexts.h"

namespace pivotta::cli {
namespace {

namespace fs = std::filesystem;

// Paths are UTF-8 everywhere; a plain std::string would be read in the ANSI code page on Windows.
fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool ReadAll(const std::string& name, std::string& text) {
    if (name == kStandardStream) {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    std::ifstream file(PathOf(name), std::ios::binary);
    if (!file) return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

// One name a line (a CR before the line end is part of no name), or NUL-terminated names;
// empty entries name nothing.
std::vector<std::string> NamesIn(const std::string& text, bool nullSeparated) {
    std::vector<std::string> names;
    const char separator = nullSeparated ? '\0' : '\n';
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(separator, at);
        if (end == std::string::npos) end = text.size();
        std::string name = text.substr(at, end - at);
        if (!nullSeparated && !name.empty() && name.back() == '\r') name.pop_back();
        if (!name.empty()) names.push_back(std::move(name));
        at = end + 1;
    }
    return names;
}

// Walks one folder given with -R: its pictures in name order, folders after the files of
// their parent; each folder once, so that a link back to a parent cannot loop.
class FolderWalk {
public:
    // The output folder of -o is not walked: its results would be taken as inputs.
    FolderWalk(const CliOptions& options, std::vector<InputFile>& out)
        : followLinks_(options.followLinks), language_(options.language), out_(out) {
        if (options.mode == RunMode::OutputDir) outputFolder_ = InspectPath(options.outputDir).identity;
    }

    void Walk(const std::string& root) { Visit(PathOf(root), fs::path()); }

private:
    void Visit(const fs::path& folder, const fs::path& under) {
        const FileIdentity identity = InspectPath(Utf8Of(folder)).identity;
        if (identity == outputFolder_) return;
        if (identity.known && !seen_.insert({identity.device, identity.file}).second) return;
        std::error_code ec;
        std::vector<fs::directory_entry> entries;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
        if (ec) {
            out_.push_back({Utf8Of(folder), {}, Say(language_, ToolText::CannotReadFolder, {ec.message()})});
            return;
        }
        std::sort(entries.begin(), entries.end(),
                  [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
        std::vector<fs::path> folders;
        for (const fs::directory_entry& entry : entries) {
            std::error_code typeError;
            const bool link = entry.is_symlink(typeError);
            if (entry.is_directory(typeError)) {
                if (!link || followLinks_) folders.push_back(entry.path().filename());
            } else if (entry.is_regular_file(typeError) && HasJpegExtension(Utf8Of(entry.path().filename()))) {
                out_.push_back({JoinPath(Utf8Of(folder), Utf8Of(entry.path().filename())),
                                Utf8Of(under / entry.path().filename()), {}});
            }
        }
        for (const fs::path& name : folders) Visit(folder / name, under / name);
    }

    bool followLinks_;
    MessageLanguage language_;
    FileIdentity outputFolder_;
    std::vector<InputFile>& out_;
    std::set<std::pair<uint64_t, uint64_t>> seen_;
};

}  // namespace

bool HasJpegExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == "jpg" || extension == "jpeg";
}

InputList CollectInputs(const CliOptions& options) {
    InputList list;
    std::vector<std::string> names = options.inputs;
    if (!options.filesFrom.empty()) {
        std::string text;
        if (!ReadAll(options.filesFrom, text)) {
            list.error = Say(options.language, ToolText::PlanCannotReadList, {options.filesFrom});
            return list;
        }
        std::vector<std::string> listed = NamesIn(text, options.nullSeparated);
        names.insert(names.end(), std::make_move_iterator(listed.begin()), std::make_move_iterator(listed.end()));
    }
    for (const std::string& name : names) {
        if (options.recursive && name != kStandardStream && IsDirectory(name)) {
            FolderWalk(options, list.files).Walk(name);
        } else {
            list.files.push_back({name, {}, {}});
        }
    }
    return list;
}

}  // namespace pivotta::cli
