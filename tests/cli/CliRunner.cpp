#include "CliRunner.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "JpegRotation.h"
#include "MemoryStream.h"

namespace pivotta::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOptimizedTablesWarning = "ハフマンテーブルが最適化されています。標準のテーブルで補完します。";

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string TemporaryCapture() {
    std::string name = (fs::temp_directory_path() / "pivotta-cli-capture-XXXXXX").string();
    int fd = ::mkstemp(name.data());
    if (fd >= 0) ::close(fd);
    return name;
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void ExecChild(const CliRun& run, const std::string& outFile, const std::string& errFile,
                            const std::vector<char*>& argv) {
    const int in = ::open(run.stdinFile.empty() ? "/dev/null" : run.stdinFile.c_str(), O_RDONLY);
    const int out = ::open(outFile.c_str(), O_WRONLY | O_TRUNC);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_TRUNC);
    if (in < 0 || out < 0 || err < 0) ::_exit(kCannotExecute);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (run.asUnprivilegedUser && ::geteuid() == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(kCannotDropPrivileges);
    }
    ::execv(argv[0], argv.data());
    ::_exit(kCannotExecute);
}

}  // namespace

std::string CliPath() {
    return std::string(PIVOTTA_BIN_DIR) + "/pivotta-cli";
}

CliResult RunCli(const CliRun& run) {
    const std::string outCapture = TemporaryCapture();
    const std::string errCapture = TemporaryCapture();
    const std::string outFile = run.stdoutFile.empty() ? outCapture : run.stdoutFile;

    std::string program = run.program.empty() ? CliPath() : run.program;
    std::vector<std::string> args = run.args;
    std::vector<char*> argv{program.data()};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    CliResult result;
    const pid_t pid = ::fork();
    if (pid == 0) ExecChild(run, outFile, errCapture, argv);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    result.out = ReadText(outCapture);
    result.err = ReadText(errCapture);
    ::unlink(outCapture.c_str());
    ::unlink(errCapture.c_str());
    return result;
}

ScratchDir::ScratchDir() {
    std::string name = (fs::temp_directory_path() / "pivotta-cli-test-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) ADD_FAILURE() << "cannot create a scratch folder";
    path_ = name;
    fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    // Tests make folders read-only; give the owner the right to empty them again.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (it->is_directory(ignored)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
}

std::string ScratchDir::Put(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string path = *this / name;
    WriteFileBytes(path, bytes);
    return path;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) ADD_FAILURE() << "cannot write " << path;
}

std::vector<std::string> ListFolder(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(dir, ignored)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

EngineOutcome RunEngine(const std::vector<uint8_t>& jpeg, TransformKind kind, bool trim) {
    EngineOutcome outcome;
    TJpegRotation engine;
    engine.AllowAdjustMCU = trim;
    engine.OnMessage = [&](const std::string& text, int level) {
        if (level == 1) outcome.warnings.push_back(text);
    };
    engine.OnDHTWarning = [&] { outcome.warnings.push_back(kOptimizedTablesWarning); };
    const TMemoryStream input(jpeg);
    TMemoryStream output;
    outcome.ok = engine.CheckJpeg(input) && engine.RotateJpeg(input, output, kind);
    if (outcome.ok) outcome.bytes = output.Bytes();
    return outcome;
}

}  // namespace pivotta::test

namespace pivotta::test {

std::vector<uint8_t> NotAJpeg() {
    const std::string text = "GIF89a this is not a JPEG file";
    return {text.begin(), text.end()};
}

std::vector<uint8_t> CutInsideScan(const std::vector<uint8_t>& jpeg) {
    // Keeps every header and the first part of the scan, then ends the image too early.
    const uint8_t sos[] = {0xFF, 0xDA};
    auto scan = std::search(jpeg.begin(), jpeg.end(), std::begin(sos), std::end(sos));
    EXPECT_NE(scan, jpeg.end());
    const size_t scanStart = static_cast<size_t>(scan - jpeg.begin());
    std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(scanStart + (jpeg.size() - scanStart) / 2));
    cut.insert(cut.end(), {0xFF, 0xD9});
    return cut;
}

}  // namespace pivotta::test
