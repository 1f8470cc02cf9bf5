// The other programs that tests use as oracles: jpegtran and exiftool. Tests skip when one
// is not installed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TransformKind.h"

namespace pivotta::test {

// The full path of a program on PATH, or empty.
std::string FindProgram(const std::string& name);

// Runs a shell command and gives what it wrote to standard output.
std::string RunCommand(const std::string& command);

bool HaveExiftool();

// jpegtran's options for a kind ("-rotate 90", "-transpose", ...).
const char* JpegtranTransform(TransformKind kind);

// jpegtran over a picture with the given options; an empty result and a test failure when it
// fails.
std::vector<uint8_t> RunJpegtran(const std::string& jpegtran, const std::vector<uint8_t>& jpeg,
                                 const std::string& options);
std::vector<uint8_t> RunJpegtran(const std::string& jpegtran, const std::vector<uint8_t>& jpeg, TransformKind kind,
                                 bool trim);

// A fresh file name in the test's temporary folder, unique across test processes.
std::string TempFileName(const std::string& suffix);

// Decoded samples, as libjpeg's default decode gives them (RGB or gray).
struct Pixels {
    int width = 0, height = 0, components = 0;
    std::vector<uint8_t> samples;
    bool operator==(const Pixels&) const = default;
};

// A decode failure adds a test failure and gives empty pixels.
Pixels DecodePixels(const std::vector<uint8_t>& jpeg);

}  // namespace pivotta::test
