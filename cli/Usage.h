// The texts pivotta-cli shows about itself, and its man page and bash completion: all made
// from the one option table and the one table of message codes, so none can drift from --help.
#pragma once

#include <string>

#include "CliOptions.h"

namespace pivotta::cli {

std::string HelpText();
std::string VersionText();
// A usage error and the hint that follows it, for standard error.
std::string UsageErrorText(const std::string& error, MessageLanguage language = MessageLanguage::English);

// pivotta-cli(1) in roff, for man.
std::string ManPage();
// A bash completion script for pivotta-cli.
std::string BashCompletion();

}  // namespace pivotta::cli
