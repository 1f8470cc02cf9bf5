// Writes pivotta-cli's man page or bash completion to standard output, from the same tables
// as --help, so that the installed documents never drift from the program.
#include <cstdio>
#include <string>
#include <string_view>

#include "Usage.h"

int main(int argc, char** argv) {
    const std::string_view what = argc == 2 ? argv[1] : "";
    std::string text;
    if (what == "man") {
        text = pivotta::cli::ManPage();
    } else if (what == "bash-completion") {
        text = pivotta::cli::BashCompletion();
    } else {
        std::fputs("usage: pivotta-cli-docs man|bash-completion\n", stderr);
        return 2;
    }
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0 ? 0 : 1;
}
