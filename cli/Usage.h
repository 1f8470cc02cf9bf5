// The texts pivotta-cli shows about itself.
#pragma once

#include <string>

namespace pivotta::cli {

std::string HelpText();
std::string VersionText();
// A usage error and the hint that follows it, for standard error.
std::string UsageErrorText(const std::string& error);

}  // namespace pivotta::cli
