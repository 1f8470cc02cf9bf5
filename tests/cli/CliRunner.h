// Runs the built pivotta-cli as a child process and gives scratch folders to run it in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "HuffmanTablePolicy.h"
#include "TransformKind.h"

namespace pivotta::test {

struct CliRun {
    std::vector<std::string> args = {};
    std::string program = {};          // empty: the built pivotta-cli
    std::string stdinFile = {};        // empty: /dev/null
    std::string stdoutFile = {};       // empty: captured
    bool asUnprivilegedUser = false;  // when the tests run as root, run the tool as nobody
    // "NAME=value" entries added to the environment, which otherwise keeps no locale
    // variable (LC_ALL, LC_MESSAGES, LANG), so that messages are in English.
    std::vector<std::string> env = {};
    int timeoutSeconds = 300;  // then the tool is killed (SIGKILL) and the run reads as a crash
};

// Exit codes of a child that could not become nobody or could not start the program.
inline constexpr int kCannotDropPrivileges = 126;
inline constexpr int kCannotExecute = 127;

std::string CliPath();

struct CliResult {
    int exitCode = -1;  // -1 when the tool did not exit normally (a crash)
    int signal = 0;     // the signal that ended it, if one did
    std::string out;
    std::string err;
};

CliResult RunCli(const CliRun& run);

// The tool started without waiting for it, for tests that signal it while it works.
class StartedCli {
public:
    explicit StartedCli(const CliRun& run);
    ~StartedCli();  // waits, if Finish was not called
    StartedCli(const StartedCli&) = delete;
    StartedCli& operator=(const StartedCli&) = delete;

    int Pid() const { return pid_; }
    CliResult Finish();

private:
    int pid_ = -1;
    int timeoutSeconds_;
    std::string outCapture_, errCapture_;
    bool finished_ = false;
};
inline CliResult RunCli(std::vector<std::string> args) { return RunCli(CliRun{.args = std::move(args)}); }

// A fresh folder that everyone may enter, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // Writes a file of that name and gives its path.
    std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::filesystem::path path_;
};

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// The names in a folder, sorted: shows leftover temporary files.
std::vector<std::string> ListFolder(const std::filesystem::path& dir);

// What the engine itself makes of a file, run in this process: the oracle for the tool's
// output bytes and messages.
struct EngineOutcome {
    bool ok = false;
    std::vector<uint8_t> bytes;
    std::vector<std::string> warnings;  // level-1 texts and the optimized-table warning, in order
};
// The engine as the tool drives it by default (keep or optimize the tables).
EngineOutcome RunEngine(const std::vector<uint8_t>& jpeg, TransformKind kind, bool trim = false,
                        HuffmanTablePolicy tables = HuffmanTablePolicy::KeepOrOptimize);

}  // namespace pivotta::test

namespace pivotta::test {

// Test inputs the engine refuses: one at CheckJpeg, one only in RotateJpeg after part of the
// result has been written (the case that must not leave a partial file).
std::vector<uint8_t> NotAJpeg();
std::vector<uint8_t> CutInsideScan(const std::vector<uint8_t>& jpeg);

}  // namespace pivotta::test
