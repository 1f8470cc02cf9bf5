// How the scans of a transformed picture are coded.
#pragma once

#include <cstdint>

namespace pivotta {

// The input's own process and scan script; one interleaved Huffman-coded sequential scan
// (baseline, or extended for 12-bit samples); or libjpeg's progression with Huffman coding.
enum class OutputCoding : uint8_t { AsInput, Baseline, Progressive };

}  // namespace pivotta
