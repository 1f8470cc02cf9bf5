// Runs the engine on one file the way the desktop program does (CheckJpeg, then RotateJpeg
// with the same engine), without the command-line tool's file handling around it: the
// smallest program to profile the engine with.
//
//   engine_driver (-r 90|180|270 | -m lr|tb | --none) INPUT OUTPUT [REPEAT]
//
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
    int next = 1;
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--none" || first == "--transpose" || first == "--transverse") {
        if (first == "--transpose") kind = TransformKind::Transpose;
        if (first == "--transverse") kind = TransformKind::Transverse;
        next = 2;
    } else if (argc > 2 && ParseKind(argv[1], argv[2], kind)) {
        next = 3;
    } else {
        next = argc;  // fall through to the usage text
    }
    if (argc - next != 2 && argc - next != 3) {
        std::fprintf(stderr, "usage: engine_driver (-r 90|180|270 | -m lr|tb | --transpose | --transverse | --none) "
                             "INPUT OUTPUT [REPEAT]\n");
        return 2;
    }
    const int repeat = argc - next == 3 ? std::max(1, std::atoi(argv[next + 2])) : 1;

    try {
        pivotta::TMemoryStream input, output;
        input.LoadFromFile(argv[next]);
        pivotta::TJpegRotation engine;
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
