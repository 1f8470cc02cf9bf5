// The command line of pivotta-cli, parsed into one plain struct.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "HuffmanTablePolicy.h"
#include "OutputCoding.h"
#include "TransformKind.h"

namespace pivotta::cli {

enum class RunMode {
    SingleFile,  // INPUT OUTPUT, either may be "-"
    OutputDir,   // -o DIR INPUT...
    InPlace,     // --in-place INPUT...
    BesideInput, // --suffix TEXT INPUT...: each result beside its input
    Check,       // --check INPUT..., with a transform a dry run of it
    Clean,       // --clean FOLDER...
};

inline constexpr const char* kStandardStream = "-";

// What happens to a ragged edge (a size that is not a whole number of MCUs) that the
// transform would move into the picture.
enum class TrimMode {
    Trim,     // cut it off (the default)
    Keep,     // --no-trim: full size, the padding shows as a band along one edge
    Perfect,  // --perfect: refuse such a file
};

enum class MessageLanguage { English, Japanese };

// Whether the progress line is drawn: on a terminal by default, or as forced.
enum class ProgressChoice { Auto, Always, Never };

struct CliOptions {
    RunMode mode = RunMode::SingleFile;
    std::optional<TransformKind> kind;  // set in every mode but Check and auto-orientation
    bool autoOrient = false;            // each file's kind comes from its Exif Orientation
    bool keepOrientation = false;       // KeepOrientation
    TrimMode trim = TrimMode::Trim;
    bool turnThumbnail = false;         // AllowBreakDCF
    HuffmanTablePolicy tables = HuffmanTablePolicy::KeepOrOptimize;  // -O, --standard-tables
    OutputCoding coding = OutputCoding::AsInput;  // --baseline, --progressive
    bool keepTimes = false;
    bool force = false;                 // replace write-protected files
    bool quiet = false;
    bool verbose = false;
    MessageLanguage language = MessageLanguage::English;  // from the locale, not the command line
    unsigned jobs = 0;                  // 0: one per processor
    bool recursive = false;             // -R: folder arguments are walked
    bool followLinks = false;           // -L: symbolic links to folders are walked too
    std::string filesFrom;              // --files-from: a list of inputs; "-" for standard input
    bool nullSeparated = false;         // -0: that list is NUL-separated
    bool noClobber = false;             // -n: an existing output is never replaced
    std::string suffix;                 // --suffix: NAME + suffix + extension
    ProgressChoice progress = ProgressChoice::Auto;
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

enum class OptionGroup { Mode, Transform, Other };

// One row of the option table that the parser, --help, the man page and the shell completion
// are all made from.
struct OptionSpec {
    char shortName;              // 0: long form only
    std::string_view longName;
    std::string_view valueName;  // empty: a flag
    OptionGroup group;
    std::string_view help;       // one sentence or two; wrapped by whoever shows it
    std::string_view choices;    // the values a shell may offer, space-separated; empty: any
    int id;                      // the parser's own
};

std::span<const OptionSpec> OptionTable();

// args excludes the program name. -h and -V win over anything else on the line, so that a
// user who asks for help gets it even after a mistake.
// Usage errors are worded in language.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args,
                                   MessageLanguage language = MessageLanguage::English);

}  // namespace pivotta::cli
