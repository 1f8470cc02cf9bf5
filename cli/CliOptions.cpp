#include "CliOptions.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "ToolTexts.h"

namespace pivotta::cli {
namespace {

using T = ToolText;

enum OptionId : int { Rotate, Mirror, Transpose, Transverse, AutoOrient, NoTransform, Trim, NoTrim, Perfect,
                     TurnThumbnail, KeepOrientation, KeepTimes, Force, Jobs, Verbose, Quiet, Help, Version, OutputDir,
                     InPlace, Check, Clean, Optimize, StandardTables, Recursive, FollowLinks, FilesFrom,
                     NullSeparated, NoClobber, Suffix, Progress, NoProgress, Baseline,
                     Progressive };

using enum OptionGroup;

constexpr OptionSpec kOptions[] = {
    {'o', "output-dir", "DIR", Mode, "write each result into the existing folder DIR under the input's file name", "", OutputDir},
    {0, "in-place", "", Mode, "replace each input by its result", "", InPlace},
    {0, "suffix", "TEXT", Mode,
     "write each result beside its input as NAME + TEXT + extension (\"a.jpg\" with -turned: \"a-turned.jpg\"); "
     "with -o DIR, so named in DIR", "", Suffix},
    {0, "check", "", Mode,
     "only check that each input would transform without error (the whole file is read, nothing is written); "
     "prints \"FILE: ok WIDTHxHEIGHT tables=kept|optimized|standard\" (what a quarter turn does to the "
     "Huffman tables) or \"FILE: failed\" to standard output. With a transform, a dry run of it: "
     "\"FILE: would turn 90; would trim 600x450 to 592x448; tables: optimized\", \"FILE: upright: unchanged\"",
     "", Check},
    {0, "clean", "", Mode,
     "remove the temporary files that a killed pivotta-cli left in each FOLDER given: only its own, only those "
     "whose process is gone; prints \"FILE: removed\" for each", "", Clean},
    {'r', "rotate", "90|180|270", Transform, "rotate clockwise", "90 180 270", Rotate},
    {'m', "mirror", "lr|tb", Transform, "mirror left-right or top-bottom", "lr tb", Mirror},
    {0, "transpose", "", Transform, "mirror about the top-left to bottom-right diagonal", "", Transpose},
    {0, "transverse", "", Transform, "mirror about the top-right to bottom-left diagonal", "", Transverse},
    {'a', "auto-orient", "", Transform,
     "turn each file as its Exif Orientation tag says and set the tag to 1; a file without the tag or with tag 1 "
     "is upright already: not rewritten with --in-place, copied unchanged otherwise", "", AutoOrient},
    {0, "none", "", Transform, "re-encode without turning", "", NoTransform},
    {'t', "trim", "", Other,
     "trim a ragged edge (a size that is not a whole number of MCUs) that the transform would move into the "
     "picture (the default)", "", Trim},
    {0, "no-trim", "", Other,
     "keep the full size: the ragged edge's padding then shows as a band of up to 15 pixels along one edge", "",
     NoTrim},
    {0, "perfect", "", Other, "fail every file whose transform would need trimming, writing nothing for it", "", Perfect},
    {'O', "optimize", "", Other,
     "build Huffman tables for each result, even where the file's own tables could code it: the smallest output",
     "", Optimize},
    {0, "standard-tables", "", Other,
     "replace Huffman tables that lack codes a result may need (tables optimized for the input) by the standard "
     "tables of the JPEG standard, with a warning, as the desktop program does; by default they are rebuilt for "
     "the result", "", StandardTables},
    {0, "baseline", "", Other,
     "write each result as one interleaved Huffman-coded sequential scan (baseline; extended for 12-bit "
     "samples), whatever the input's coding; by default a result keeps the input's process and scan script",
     "", Baseline},
    {0, "progressive", "", Other,
     "write each result progressive with Huffman coding, in libjpeg's scan script (DC first with one bit of "
     "successive approximation, then AC bands 1-5 and 6-63, then the refinements)", "", Progressive},
    {0, "turn-thumbnail", "", Other, "turn the Exif thumbnail for 90 and 270 degrees too", "", TurnThumbnail},
    {0, "keep-orientation", "", Other,
     "keep the Exif Orientation tag as it was; by default every transform sets it to 1, so that viewers show the "
     "result the way its pixels are", "", KeepOrientation},
    {'p', "keep-times", "", Other, "give each result the input's last-write and access times (not for standard input)",
     "", KeepTimes},
    {'f', "force", "", Other, "replace write-protected files too, as cp -f does", "", Force},
    {'n', "no-clobber", "", Other,
     "never replace an existing output (-o, --suffix or OUTPUT): such a file is skipped with a note and counts as "
     "done", "", NoClobber},
    {'R', "recursive", "", Other,
     "walk each folder given for files named *.jpg or *.jpeg (any case); with -o DIR the folders under it are "
     "made again in DIR", "", Recursive},
    {'L', "dereference", "", Other, "with -R, walk symbolic links to folders too (each folder once)", "",
     FollowLinks},
    {0, "files-from", "FILE", Other,
     "take the inputs from FILE too, one name a line (\"-\": standard input); folders among them are walked with -R",
     "", FilesFrom},
    {'0', "null", "", Other, "the names of --files-from end with a NUL byte, as find -print0 writes them", "",
     NullSeparated},
    {0, "progress", "", Other,
     "draw a progress line on standard error (files done of all, files a second, time left); by default only "
     "when it is a terminal, the run has more than one file and -q is not given", "", Progress},
    {0, "no-progress", "", Other, "never draw the progress line", "", NoProgress},
    {'j', "jobs", "N", Other, "use N processors: N files at once, or N threads for one file (default: every processor)",
     "", Jobs},
    {'v', "verbose", "", Other, "print \"pivotta-cli: FILE: done\" to standard error for every file finished", "", Verbose},
    {'q', "quiet", "", Other, "no warnings and no --check lines; errors still show", "", Quiet},
    {'h', "help", "", Other, "show this help", "", Help},
    {'V', "version", "", Other, "show the version", "", Version},
};

constexpr unsigned kMaxJobs = 1024;

bool TakesValue(const OptionSpec& spec) { return !spec.valueName.empty(); }

const OptionSpec* FindShort(char c) {
    auto it = std::find_if(std::begin(kOptions), std::end(kOptions), [c](const OptionSpec& o) { return o.shortName == c; });
    return it == std::end(kOptions) ? nullptr : &*it;
}

const OptionSpec* FindLong(std::string_view name) {
    auto it = std::find_if(std::begin(kOptions), std::end(kOptions), [name](const OptionSpec& o) { return o.longName == name; });
    return it == std::end(kOptions) ? nullptr : &*it;
}

std::optional<TransformKind> RotationFromText(std::string_view v) {
    if (v == "90") return TransformKind::Rotate90;
    if (v == "180") return TransformKind::Rotate180;
    if (v == "270") return TransformKind::Rotate270;
    return std::nullopt;
}

std::optional<TransformKind> MirrorFromText(std::string_view v) {
    if (v == "lr" || v == "LR") return TransformKind::MirrorLR;
    if (v == "tb" || v == "TB") return TransformKind::MirrorTB;
    return std::nullopt;
}

std::optional<unsigned> JobsFromText(std::string_view v) {
    unsigned n = 0;
    auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (ec != std::errc() || end != v.data() + v.size() || n < 1 || n > kMaxJobs) return std::nullopt;
    return n;
}

class Parser {
public:
    explicit Parser(MessageLanguage language) { options_.language = language; }
    ParsedCommandLine Run(const std::vector<std::string>& args);

private:
    void ParseLong(std::string_view arg, const std::vector<std::string>& args, size_t& i);
    void ParseShortCluster(std::string_view arg, const std::vector<std::string>& args, size_t& i);
    void Apply(const OptionSpec& spec, std::string_view spelling, std::string_view value);
    void SetTransform(std::optional<TransformKind> kind, std::string_view spelling, std::string_view value,
                      std::optional<ToolText> allowed);
    void SetMode(RunMode mode, std::string_view spelling);
    // The options of one such group exclude each other; the same one twice is no conflict.
    template <class Choice>
    void SetChoice(Choice& field, Choice value, std::string& givenAs, std::string_view spelling) {
        if (!givenAs.empty() && field != value) {
            return Fail(T::UsageConflict, {givenAs, spelling});
        }
        givenAs = spelling;
        field = value;
    }
    void SetTrim(TrimMode mode, std::string_view spelling) { SetChoice(options_.trim, mode, trimSpelling_, spelling); }
    void SetTables(HuffmanTablePolicy policy, std::string_view spelling) {
        SetChoice(options_.tables, policy, tablesSpelling_, spelling);
    }
    void SetCoding(OutputCoding coding, std::string_view spelling) {
        SetChoice(options_.coding, coding, codingSpelling_, spelling);
    }
    void Validate();
    void Fail(std::string message) {
        if (error_.empty()) error_ = std::move(message);
    }
    void Fail(ToolText text, std::initializer_list<std::string_view> values = {}) {
        Fail(Say(options_.language, text, values));
    }

    CliOptions options_;
    std::vector<std::string> positionals_;
    bool help_ = false;
    bool version_ = false;
    int transformCount_ = 0;
    std::string modeSpelling_;
    std::string trimSpelling_;
    std::string tablesSpelling_;
    std::string codingSpelling_;
    std::string error_;
};

ParsedCommandLine Parser::Run(const std::vector<std::string>& args) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positionals_.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg.starts_with("--")) {
            ParseLong(arg.substr(2), args, i);
        } else {
            ParseShortCluster(arg.substr(1), args, i);
        }
    }

    if (help_) return {ParseOutcome::ShowHelp, {}, {}};
    if (version_) return {ParseOutcome::ShowVersion, {}, {}};
    if (error_.empty()) Validate();
    if (!error_.empty()) return {ParseOutcome::UsageError, {}, error_};
    return {ParseOutcome::Run, std::move(options_), {}};
}

void Parser::ParseLong(std::string_view body, const std::vector<std::string>& args, size_t& i) {
    size_t eq = body.find('=');
    std::string_view name = body.substr(0, eq);
    std::string spelling = "--" + std::string(name);
    const OptionSpec* spec = FindLong(name);
    if (!spec) return Fail(T::UsageUnknownOption, {spelling});
    if (!TakesValue(*spec)) {
        if (eq != std::string_view::npos) return Fail(T::UsageTakesNoValue, {spelling});
        return Apply(*spec, spelling, {});
    }
    if (eq != std::string_view::npos) return Apply(*spec, spelling, body.substr(eq + 1));
    if (i + 1 >= args.size()) return Fail(T::UsageNeedsValue, {spelling});
    Apply(*spec, spelling, args[++i]);
}

void Parser::ParseShortCluster(std::string_view cluster, const std::vector<std::string>& args, size_t& i) {
    for (size_t k = 0; k < cluster.size(); ++k) {
        std::string spelling = std::string("-") + cluster[k];
        const OptionSpec* spec = FindShort(cluster[k]);
        if (!spec) return Fail(T::UsageUnknownOption, {spelling});
        if (!TakesValue(*spec)) {
            Apply(*spec, spelling, {});
            continue;
        }
        // The rest of the cluster is the value ("-r90"), or else the next argument ("-r 90").
        if (k + 1 < cluster.size()) return Apply(*spec, spelling, cluster.substr(k + 1));
        if (i + 1 >= args.size()) return Fail(T::UsageNeedsValue, {spelling});
        return Apply(*spec, spelling, args[++i]);
    }
}

void Parser::Apply(const OptionSpec& spec, std::string_view spelling, std::string_view value) {
    switch (static_cast<OptionId>(spec.id)) {
    case Rotate: return SetTransform(RotationFromText(value), spelling, value, T::UsageRotateValues);
    case Mirror: return SetTransform(MirrorFromText(value), spelling, value, T::UsageMirrorValues);
    case Transpose: return SetTransform(TransformKind::Transpose, spelling, {}, {});
    case Transverse: return SetTransform(TransformKind::Transverse, spelling, {}, {});
    case AutoOrient:
        options_.autoOrient = true;
        return SetTransform(std::nullopt, spelling, {}, {});
    case NoTransform: return SetTransform(TransformKind::NoRotation, spelling, {}, {});
    case KeepOrientation: options_.keepOrientation = true; return;
    case Trim: return SetTrim(TrimMode::Trim, spelling);
    case NoTrim: return SetTrim(TrimMode::Keep, spelling);
    case Perfect: return SetTrim(TrimMode::Perfect, spelling);
    case TurnThumbnail: options_.turnThumbnail = true; return;
    case Optimize: return SetTables(HuffmanTablePolicy::Optimize, spelling);
    case StandardTables: return SetTables(HuffmanTablePolicy::Standard, spelling);
    case Baseline: return SetCoding(OutputCoding::Baseline, spelling);
    case Progressive: return SetCoding(OutputCoding::Progressive, spelling);
    case KeepTimes: options_.keepTimes = true; return;
    case Force: options_.force = true; return;
    case Quiet: options_.quiet = true; return;
    case Verbose: options_.verbose = true; return;
    case Help: help_ = true; return;
    case Version: version_ = true; return;
    case Jobs:
        if (auto n = JobsFromText(value)) {
            options_.jobs = *n;
        } else {
            Fail(T::UsageInvalidValue,
                 {value, spelling, Say(options_.language, T::UsageJobsRange, {std::to_string(kMaxJobs)})});
        }
        return;
    case OutputDir:
        if (value.empty() || value == kStandardStream) {
            return Fail(T::UsageNeedsFolder, {spelling});
        }
        options_.outputDir = value;
        return SetMode(RunMode::OutputDir, spelling);
    case InPlace: return SetMode(RunMode::InPlace, spelling);
    case Check: return SetMode(RunMode::Check, spelling);
    case Clean: return SetMode(RunMode::Clean, spelling);
    case Recursive: options_.recursive = true; return;
    case FollowLinks: options_.followLinks = true; return;
    case NullSeparated: options_.nullSeparated = true; return;
    case NoClobber: options_.noClobber = true; return;
    case Progress: options_.progress = ProgressChoice::Always; return;
    case NoProgress: options_.progress = ProgressChoice::Never; return;
    case FilesFrom:
        if (value.empty()) return Fail(T::UsageNeedsFileName, {spelling});
        options_.filesFrom = value;
        return;
    case Suffix:
        if (value.empty()) return Fail(T::UsageNeedsSuffix, {spelling});
        if (value.find_first_of("/\\") != std::string_view::npos) {
            return Fail(T::UsageSuffixSeparator, {spelling});
        }
        options_.suffix = value;
        return;
    }
}

// A value that names no kind is an error, except for auto-orientation, which has no value and
// leaves the kind to each file.
void Parser::SetTransform(std::optional<TransformKind> kind, std::string_view spelling, std::string_view value,
                          std::optional<ToolText> allowed) {
    if (!kind && allowed) return Fail(T::UsageInvalidValue, {value, spelling, Say(options_.language, *allowed)});
    if (++transformCount_ > 1) return Fail(T::UsageManyTransforms);
    options_.kind = kind;
}

void Parser::SetMode(RunMode mode, std::string_view spelling) {
    if (!modeSpelling_.empty()) {
        if (modeSpelling_ == spelling) return Fail(T::UsageGivenTwice, {modeSpelling_});
        return Fail(T::UsageConflict, {modeSpelling_, spelling});
    }
    modeSpelling_ = spelling;
    options_.mode = mode;
}

void Parser::Validate() {
    if (!options_.suffix.empty()) {
        if (options_.mode == RunMode::SingleFile) {
            options_.mode = RunMode::BesideInput;
        } else if (options_.mode != RunMode::OutputDir) {
            return Fail(T::UsageSuffixMode, {modeSpelling_});
        }
    }
    const bool check = options_.mode == RunMode::Check;
    const bool manyInputs = options_.recursive || !options_.filesFrom.empty();
    if (options_.followLinks && !options_.recursive) return Fail(T::UsageLinksNeedRecursive);
    if (options_.nullSeparated && options_.filesFrom.empty()) return Fail(T::UsageNullNeedsList);
    if (options_.noClobber && options_.mode != RunMode::SingleFile && options_.mode != RunMode::OutputDir &&
        options_.mode != RunMode::BesideInput) {
        return Fail(T::UsageNoClobberMode, {modeSpelling_});
    }
    if (options_.mode == RunMode::Clean) {
        if (manyInputs) return Fail(T::UsageCleanArguments);
        if (transformCount_ > 0) return Fail(T::UsageCleanTransform);
        if (positionals_.empty()) return Fail(T::UsageNoFolder);
        options_.inputs = std::move(positionals_);
        return;
    }
    if (options_.quiet && options_.verbose) return Fail(T::UsageQuietVerbose);
    if (check) {
        if (options_.keepTimes) return Fail(T::UsageCheckWritesNothing, {"-p/--keep-times"});
        if (options_.turnThumbnail) return Fail(T::UsageCheckWritesNothing, {"--turn-thumbnail"});
        if (options_.force) return Fail(T::UsageCheckWritesNothing, {"-f/--force"});
        if (options_.trim == TrimMode::Perfect && transformCount_ == 0) {
            return Fail(T::UsageCheckPerfect);
        }
        if (options_.keepOrientation) return Fail(T::UsageCheckWritesNothing, {"--keep-orientation"});
    } else if (transformCount_ == 0) {
        return Fail(T::UsageNoTransform);
    }
    if (options_.autoOrient && options_.keepOrientation) {
        return Fail(T::UsageAutoKeep);
    }

    if (options_.mode == RunMode::SingleFile) {
        if (manyInputs) return Fail(T::UsageBatchNeedsMode);
        if (positionals_.empty()) return Fail(T::UsageMissingBoth);
        if (positionals_.size() == 1) return Fail(T::UsageMissingOutput, {positionals_[0]});
        if (positionals_.size() > 2) return Fail(T::UsageTooManyFiles);
        options_.inputs = {positionals_[0]};
        options_.output = positionals_[1];
        return;
    }

    if (positionals_.empty() && options_.filesFrom.empty()) return Fail(T::UsageNoInput);
    const auto stdinCount = std::count(positionals_.begin(), positionals_.end(), kStandardStream);
    if (stdinCount > 0 && !check) {
        return Fail(T::UsageStdinNoName);
    }
    if (stdinCount > 1) return Fail(T::UsageStdinTwice);
    if (stdinCount > 0 && options_.filesFrom == kStandardStream) {
        return Fail(T::UsageStdinAndList);
    }
    options_.inputs = std::move(positionals_);
}

}  // namespace

std::span<const OptionSpec> OptionTable() {
    return kOptions;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args, MessageLanguage language) {
    if (args.empty()) return {ParseOutcome::UsageError, {}, Say(language, ToolText::UsageNoArguments)};
    return Parser(language).Run(args);
}

}  // namespace pivotta::cli
