#include "Usage.h"

#include "FileReport.h"

#ifndef PIVOTTA_VERSION
#define PIVOTTA_VERSION "unknown"
#endif

namespace pivotta::cli {

std::string HelpText() {
    return R"(Usage: pivotta-cli [OPTIONS] INPUT OUTPUT
       pivotta-cli [OPTIONS] -o DIR INPUT...
       pivotta-cli [OPTIONS] --in-place INPUT...
       pivotta-cli [-t] [-q] [-j N] --check INPUT...

Rotates or mirrors baseline JPEG files without any loss of quality: the picture is
never decoded, its coefficients are rearranged and re-encoded.

Modes:
  INPUT OUTPUT           transform one file; "-" is standard input or output
  -o, --output-dir DIR   write each result into the existing folder DIR under the
                         input's file name
      --in-place         replace each input by its result
      --check            only check that each input can be transformed; prints one
                         line per file to standard output: "FILE: ok WIDTHxHEIGHT"
                         or "FILE: failed"

Transform (exactly one, except with --check):
  -r, --rotate 90|180|270   rotate clockwise
  -m, --mirror lr|tb        mirror left-right or top-bottom
      --transpose           mirror about the top-left to bottom-right diagonal
      --transverse          mirror about the top-right to bottom-left diagonal
  -a, --auto-orient         turn each file as its Exif Orientation tag says; a file
                            without the tag or with tag 1 is upright already: not
                            rewritten with --in-place, copied unchanged otherwise
      --none                re-encode without turning

Options:
  -t, --trim             trim a ragged edge (a size that is not a whole number of
                         MCUs) that the transform would move into the picture
      --turn-thumbnail   turn the Exif thumbnail for 90 and 270 degrees too
      --keep-orientation keep the Exif Orientation tag as it was; by default every
                         transform sets it to 1, so that viewers show the result
                         the way its pixels are
  -p, --keep-times       give each result the input's last-write and access times
                         (not for standard input)
  -j, --jobs N           use N processors: N files at once, or N threads for one
                         file (default: every processor)
  -q, --quiet            no warnings and no --check lines; errors still show
  -h, --help             show this help
  -V, --version          show the version

A result is written only when its file was transformed without error: it goes to a
temporary file beside the target first and then replaces the target, so a failed
file leaves the target, and with --in-place the input, untouched.
Messages go to standard error as "pivotta-cli: FILE: warning: TEXT" or
"pivotta-cli: FILE: error: TEXT", the lines of each file together and in input order.

Exit status: 0 when every file succeeded, 1 when any failed, 2 for a usage error.
)";
}

std::string VersionText() {
    return std::string(kProgramName) + " " PIVOTTA_VERSION "\n";
}

std::string UsageErrorText(const std::string& error) {
    return std::string(kProgramName) + ": error: " + error + "\nTry '" + kProgramName +
           " --help' for more information.\n";
}

}  // namespace pivotta::cli
