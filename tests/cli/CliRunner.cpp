#include "CliRunner.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>

#include <gtest/gtest.h>

#include "JpegRotation.h"
#include "MemoryStream.h"

namespace pivotta::test {
namespace {

namespace fs = std::filesystem;


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

bool IsLocaleVariable(std::string_view entry) {
    for (std::string_view name : {"LC_ALL=", "LC_MESSAGES=", "LANG="}) {
        if (entry.starts_with(name)) return true;
    }
    return false;
}

std::vector<std::string> ChildEnvironment(const CliRun& run) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (!IsLocaleVariable(*e)) env.emplace_back(*e);
    }
    env.insert(env.end(), run.env.begin(), run.env.end());
    return env;
}

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void ExecChild(const CliRun& run, const std::string& outFile, const std::string& errFile,
                            const std::vector<char*>& argv, const std::vector<char*>& envp) {
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
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(kCannotExecute);
}

}  // namespace

std::string CliPath() {
    return std::string(PIVOTTA_BIN_DIR) + "/pivotta-cli";
}

StartedCli::StartedCli(const CliRun& run)
    : timeoutSeconds_(run.timeoutSeconds), outCapture_(TemporaryCapture()), errCapture_(TemporaryCapture()) {
    const std::string outFile = run.stdoutFile.empty() ? outCapture_ : run.stdoutFile;
    std::string program = run.program.empty() ? CliPath() : run.program;
    std::vector<std::string> args = run.args;
    std::vector<char*> argv{program.data()};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = ChildEnvironment(run);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) ExecChild(run, outFile, errCapture_, argv, envp);
}

StartedCli::~StartedCli() {
    if (!finished_) Finish();
}

CliResult StartedCli::Finish() {
    finished_ = true;
    CliResult result;
    int status = 0;
    // A tool that blocks (a FIFO nobody opens) must fail its test, not hang the suite.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds_);
    pid_t waited = 0;
    while (pid_ > 0 && (waited = ::waitpid(pid_, &status, WNOHANG)) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "pivotta-cli did not finish within " << timeoutSeconds_ << " s";
            ::kill(pid_, SIGKILL);
            deadline = std::chrono::steady_clock::time_point::max();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (waited == pid_) {
        if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    }
    result.out = ReadText(outCapture_);
    result.err = ReadText(errCapture_);
    ::unlink(outCapture_.c_str());
    ::unlink(errCapture_.c_str());
    return result;
}

CliResult RunCli(const CliRun& run) {
    return StartedCli(run).Finish();
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

EngineOutcome RunEngine(const std::vector<uint8_t>& jpeg, TransformKind kind, bool trim, HuffmanTablePolicy tables) {
    EngineOutcome outcome;
    TJpegRotation engine;
    engine.AllowAdjustMCU = trim;
    engine.TablePolicy = tables;
    engine.OnCodedMessage = [&](const EngineMessage& message) {
        if (message.level == 1) outcome.warnings.push_back(message.text);
    };
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
