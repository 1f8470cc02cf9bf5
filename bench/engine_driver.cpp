// Runs the engine on one file the way the desktop program does (CheckJpeg, then RotateJpeg
// with the same engine), without the command-line tool's file handling around it: the
// smallest program to profile the engine with.
//
//   engine_driver [-O | --keep-or-optimize] (-r 90|180|270 | -m lr|tb | --none) INPUT OUTPUT [REPEAT]
//
// The desktop program's standard-table rule unless a table policy is given first: -O for
// optimal tables always, --keep-or-optimize for the command-line tool's default.
// REPEAT > 1 transforms the same input that many times and prints the mean milliseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "JpegRotation.h"

namespace {

using pivotta::TransformKind;

bool ParseKind(const std::string& flag, const std::string& value, TransformKind& kind) {
    if (flag == "-r" && value == "90") kind = TransformKind::Rotate90;
    else if (flag == "-r" && value == "180") kind = TransformKind::Rotate180;
    else if (flag == "-r" && value == "270") kind = TransformKind::Rotate270;
    else if (flag == "-m" && value == "lr") kind = TransformKind::MirrorLR;
    else if (flag == "-m" && value == "tb") kind = TransformKind::MirrorTB;
    else return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    TransformKind kind = TransformKind::NoRotation;
    pivotta::HuffmanTablePolicy policy = pivotta::HuffmanTablePolicy::Standard;
    int next = 1;
    const std::string leading = argc > 1 ? argv[1] : "";
    if (leading == "-O" || leading == "--keep-or-optimize") {
        policy = leading == "-O" ? pivotta::HuffmanTablePolicy::Optimize : pivotta::HuffmanTablePolicy::KeepOrOptimize;
        next = 2;
    }
    const std::string first = argc > next ? argv[next] : "";
    if (first == "--none" || first == "--transpose" || first == "--transverse") {
        if (first == "--transpose") kind = TransformKind::Transpose;
        if (first == "--transverse") kind = TransformKind::Transverse;
        next += 1;
    } else if (argc > next + 1 && ParseKind(argv[next], argv[next + 1], kind)) {
        next += 2;
    } else {
        next = argc;  // fall through to the usage text
    }
    if (argc - next != 2 && argc - next != 3) {
        std::fprintf(stderr, "usage: engine_driver [-O | --keep-or-optimize] "
                             "(-r 90|180|270 | -m lr|tb | --transpose | --transverse | --none) INPUT OUTPUT [REPEAT]\n");
        return 2;
    }
    const int repeat = argc - next == 3 ? std::max(1, std::atoi(argv[next + 2])) : 1;

    try {
        pivotta::TMemoryStream input, output;
        input.LoadFromFile(argv[next]);
        pivotta::TJpegRotation engine;
        engine.TablePolicy = policy;
        engine.OnMessage = [](const std::string& text, int level) {
            std::fprintf(stderr, "%s: %s\n", level >= 2 ? "error" : "warning", text.c_str());
        };
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < repeat; ++i) {
            if (!engine.CheckJpeg(input) || !engine.RotateJpeg(input, output, kind)) return 1;
        }
        const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
        if (repeat > 1) std::printf("%.2f ms per run\n", elapsed.count() / repeat);
        output.SaveToFile(argv[next + 1]);
    } catch (const pivotta::EStreamError& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return 1;
    }
    return 0;
}
