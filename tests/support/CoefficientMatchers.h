// Comparison of decoded coefficient sets that names the first difference precisely.
#pragma once

#include <gtest/gtest.h>

#include "JpegFixtures.h"

namespace pivotta::test {

// Frame size, components (identifier, sampling, grid), quantization tables and every block.
::testing::AssertionResult SameCoefficients(const JpegCoefs& actual, const JpegCoefs& expected);

}  // namespace pivotta::test
