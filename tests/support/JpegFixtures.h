// Test pictures made and read back through libjpeg, and an independent model of what each
// lossless transform must do to a picture's quantized coefficients.
//
// Everything here works in natural (row, column) coefficient order, not the engine's zig-zag
// order, so that the model shares nothing with the code it checks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "TransformKind.h"

namespace pivotta::test {

struct FixtureSpec {
    int width = 64, height = 48;
    int components = 3;        // 1 (grayscale), 3 (YCbCr) or 4 (CMYK, with an Adobe segment)
    int hSamp = 2, vSamp = 2;  // luminance sampling factors; chroma 1x1
    int restartInterval = 0;   // in MCUs; 0 = none
    bool optimizeHuffman = false;
    bool progressive = false;
    bool arithmetic = false;   // arithmetic coding (libjpeg's default conditioning)
    bool rgbIds = false;       // JCS_RGB components with identifiers 82, 71, 66
    int quality = 85;
    uint32_t seed = 1;         // photo-like texture: gradients, edges, noise
};

// A baseline (or progressive) JPEG of a synthetic photo-like picture. Adds a GoogleTest
// failure and returns an empty vector when libjpeg refuses the FixtureSpec.
std::vector<uint8_t> MakeJpeg(const FixtureSpec& spec);

using NaturalBlock = std::array<int16_t, 64>;  // [row * 8 + column] = [v * 8 + u]

struct ComponentCoefs {
    int id = 0;
    int h = 1, v = 1;  // sampling factors of the frame header
    // The blocks the file carries: the whole MCU grid, padding blocks included, for an
    // interleaved scan; just the component's own blocks for a non-interleaved one (a
    // one-component picture, where an MCU is one block).
    int widthInBlocks = 0, heightInBlocks = 0;
    std::vector<NaturalBlock> blocks;  // row-major over the grid
    std::array<uint16_t, 64> quant{};  // natural order

    const NaturalBlock& At(int x, int y) const { return blocks[static_cast<size_t>(y) * widthInBlocks + x]; }
};

struct JpegCoefs {
    int width = 0, height = 0;
    std::vector<ComponentCoefs> comps;
};

// Decodes the coefficients with jpeg_read_coefficients. Decode errors add a GoogleTest
// failure and give an empty result. libjpeg's warnings are appended to *warnings, one per
// line; without a warnings string any warning is a test failure (a warning-free decode).
JpegCoefs ReadCoefficients(const std::vector<uint8_t>& jpeg, std::string* warnings = nullptr);

// Same decode without GoogleTest reporting, for tests that expect libjpeg to refuse a file.
// Returns false with the libjpeg error text in *error.
bool TryReadCoefficients(const std::vector<uint8_t>& jpeg, JpegCoefs& out, std::string* error,
                         std::vector<std::string>* warnings);

// What the coefficients of `in` must become under `kind`, with or without trimming of the
// ragged MCU edge that the transform would move to the top or left.
JpegCoefs ExpectedTransform(const JpegCoefs& in, pivotta::TransformKind kind, bool trim);

// "Rotate90", "MirrorLR", ...: for test names and traces.
const char* TransformName(pivotta::TransformKind kind);

std::vector<uint8_t> ReadFileBytes(const std::string& path);

// The real camera files beside the checkout; PIVOTTA_TESTDATA_DIR in the environment wins
// over the build's default.
std::string TestdataDir();
bool HaveTestdata();

}  // namespace pivotta::test
