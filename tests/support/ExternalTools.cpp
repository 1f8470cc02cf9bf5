#include "ExternalTools.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "JpegFixtures.h"
#include "LibjpegErrors.h"

namespace pivotta::test {

std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / name;
        std::error_code ignored;
        if (end > start && std::filesystem::is_regular_file(candidate, ignored)) return candidate.string();
        start = end + 1;
    }
    return {};
}

std::string RunCommand(const std::string& command) {
    std::string output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return output;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) output.append(buffer, n);
    return output;
}

bool HaveExiftool() { return !RunCommand("exiftool -ver 2>/dev/null").empty(); }

namespace {
// jpegtran's spelling of each kind, by code.
constexpr const char* kJpegtranTransforms[] = {"",           "-rotate 90",     "-rotate 270", "-rotate 180",
                                               "-flip horizontal", "-flip vertical", "-transpose", "-transverse"};
static_assert(std::size(kJpegtranTransforms) == kTransformKindCount);
}  // namespace

const char* JpegtranTransform(TransformKind kind) { return kJpegtranTransforms[static_cast<size_t>(kind)]; }

std::string TempFileName(const std::string& suffix) {
    // Test processes run in parallel: each needs names of its own.
    static const std::string process = std::to_string(std::random_device{}());
    static int counter = 0;
    const std::filesystem::path dir = ::testing::TempDir();
    return (dir / ("pivotta_" + process + "_" + std::to_string(counter++) + suffix)).string();
}

std::vector<uint8_t> RunJpegtran(const std::string& jpegtran, const std::vector<uint8_t>& jpeg,
                                 const std::string& options) {
    const std::string in = TempFileName("_in.jpg"), out = TempFileName("_out.jpg");
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()),
                                                static_cast<std::streamsize>(jpeg.size()));
    const std::string command = "\"" + jpegtran + "\" " + options + " -outfile \"" + out + "\" \"" + in + "\"";
    const int status = std::system(command.c_str());
    std::vector<uint8_t> result;
    if (status == 0) result = ReadFileBytes(out);
    else ADD_FAILURE() << command << " failed with status " << status;
    std::filesystem::remove(in);
    std::filesystem::remove(out);
    return result;
}

std::vector<uint8_t> RunJpegtran(const std::string& jpegtran, const std::vector<uint8_t>& jpeg, TransformKind kind,
                                 bool trim) {
    return RunJpegtran(jpegtran, jpeg, std::string(JpegtranTransform(kind)) + (trim ? " -trim" : ""));
}

namespace {

struct DecompressSession {
    jpeg_decompress_struct info{};
    LibjpegErrorManager errors;
};

// Owns nothing that a longjmp could skip: the rows go straight into out.samples.
bool Decode(DecompressSession& session, const std::vector<uint8_t>& jpeg, Pixels& out) {
    jpeg_decompress_struct& info = session.info;
    info.err = InstallErrorManager(session.errors, nullptr);
    jpeg_create_decompress(&info);
    if (setjmp(session.errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.components = info.output_components;
    const size_t stride = static_cast<size_t>(out.width) * out.components;
    out.samples.resize(stride * out.height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.samples.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

Pixels DecodePixels(const std::vector<uint8_t>& jpeg) {
    DecompressSession session;
    Pixels pixels;
    if (!Decode(session, jpeg, pixels)) {
        ADD_FAILURE() << "libjpeg cannot decode the picture: " << session.errors.error;
        return {};
    }
    return pixels;
}

}  // namespace pivotta::test
