#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "JpegFixtures.h"

namespace pivotta::test {

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string TestdataDir() {
    if (const char* fromEnvironment = std::getenv("PIVOTTA_TESTDATA_DIR"); fromEnvironment && *fromEnvironment)
        return fromEnvironment;
#ifdef PIVOTTA_TESTDATA_DIR
    return PIVOTTA_TESTDATA_DIR;
#else
    return {};
#endif
}

bool HaveTestdata() {
    const std::string dir = TestdataDir();
    std::error_code ignored;
    return !dir.empty() && std::filesystem::is_directory(dir, ignored);
}

}  // namespace pivotta::test
