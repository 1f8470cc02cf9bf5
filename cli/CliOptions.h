// The command line of pivotta-cli, parsed into one plain struct.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "TransformKind.h"

namespace pivotta::cli {

enum class RunMode {
    SingleFile,  // INPUT OUTPUT, either may be "-"
    OutputDir,   // -o DIR INPUT...
    InPlace,     // --in-place INPUT...
    Check,       // --check INPUT...
};

inline constexpr const char* kStandardStream = "-";

struct CliOptions {
    RunMode mode = RunMode::SingleFile;
    std::optional<TransformKind> kind;  // set in every mode but Check and auto-orientation
    bool autoOrient = false;            // each file's kind comes from its Exif Orientation
    bool keepOrientation = false;       // KeepOrientation
    bool trim = false;                  // AllowAdjustMCU
    bool turnThumbnail = false;         // AllowBreakDCF
    bool keepTimes = false;
    bool quiet = false;
    unsigned jobs = 0;                  // 0: one per processor
    std::string outputDir;              // OutputDir mode
    std::string output;                 // SingleFile mode
    std::vector<std::string> inputs;
};

enum class ParseOutcome { Run, ShowHelp, ShowVersion, UsageError };

struct ParsedCommandLine {
    ParseOutcome outcome = ParseOutcome::UsageError;
    CliOptions options;
    std::string error;  // UsageError only
};

// args excludes the program name. -h and -V win over anything else on the line, so that a
// user who asks for help gets it even after a mistake.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace pivotta::cli
