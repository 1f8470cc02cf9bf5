#include "Usage.h"

#include <cctype>
#include <string_view>
#include <vector>

#include "CliOptions.h"
#include "FileReport.h"
#include "MessageTexts.h"
#include "ToolTexts.h"

#ifndef PIVOTTA_VERSION
#define PIVOTTA_VERSION "unknown"
#endif

namespace pivotta::cli {
namespace {

constexpr std::string_view kSummary = "rotate and mirror JPEG files without loss of quality";

constexpr std::string_view kSynopsis[] = {
    "[OPTIONS] INPUT OUTPUT",
    "[OPTIONS] [-R [-L]] [--files-from FILE [-0]] -o DIR [INPUT...]",
    "[OPTIONS] [-R [-L]] [--files-from FILE [-0]] --in-place [INPUT...]",
    "[OPTIONS] [-R [-L]] [--files-from FILE [-0]] --suffix TEXT [INPUT...]",
    "[--no-trim] [-q|-v] [-j N] [-R [-L]] [--files-from FILE [-0]] --check [TRANSFORM] [INPUT...]",
    "--clean FOLDER...",
};

constexpr std::string_view kDescription =
    "Rotates or mirrors JPEG files (baseline, progressive, arithmetic-coded, CMYK) without any loss of quality, "
    "each in its own coding: the picture is never decoded, its "
    "coefficients are rearranged and re-encoded. INPUT OUTPUT transforms one file; \"-\" is standard input or "
    "output.";

// Each paragraph of the help's closing part, with the man page section it goes under.
struct Paragraph {
    std::string_view section;
    std::string_view text;
};

constexpr Paragraph kParagraphs[] = {
    {"FILES",
     "A result is written only when its file was transformed without error: it goes to a temporary file beside "
     "the target, readable by its owner only, which then replaces the target. A failed or interrupted file "
     "(SIGINT, SIGTERM, SIGHUP) leaves the target, and with --in-place the input, untouched and no temporary "
     "file behind. A replaced file keeps its owner, mode and, with -p, times."},
    {"FILES",
     "A target that is a device, FIFO or socket is written into, as cat would, never replaced; --in-place and -o "
     "refuse such files. A write-protected target (one whose mode denies you writing, or has no write bit at all "
     "for the superuser) is left alone unless -f is given. OUTPUT may not name the input, nor may -o name a "
     "folder that holds an input: use --in-place to replace inputs."},
    {"BATCHES",
     "-R walks each folder argument for files named *.jpg or *.jpeg in any case, a folder's files in name order "
     "before its subfolders; links to folders only with -L, each folder once. With -o DIR a file found as "
     "FOLDER/2024/a.jpg is written as DIR/2024/a.jpg. --files-from - -0 reads the names that find -print0 writes. "
     "On a terminal, a run of more than one file draws a progress line on standard error, removed at the end."},
    {"MESSAGES",
     "Messages go to standard error as \"pivotta-cli: FILE: warning: TEXT [CODE]\" and "
     "\"pivotta-cli: FILE: error: TEXT [CODE]\", the lines of each file together, each file as soon as it is finished (in input order with -j 1). They are in "
     "English, or in Japanese when LC_ALL, LC_MESSAGES or LANG (the first one set) starts with \"ja\". "
     "A FILE with control characters is written as a shell reads it back: 'new'$'\\n''line.jpg'. "
     "The CODE names what happened, in any language:"},
};

constexpr std::string_view kExitStatus = "0 when every file succeeded, 1 when any failed, 2 for a usage error.";

constexpr size_t kHelpWidth = 80;
constexpr size_t kOptionColumn = 27;

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find(' ', at);
        const size_t stop = end == std::string_view::npos ? text.size() : end;
        if (stop > at) words.push_back(text.substr(at, stop - at));
        at = stop + 1;
    }
    return words;
}

// text wrapped to the help's width, every line indented by indent; the first line continues
// whatever already stands on it when firstIndent is shorter.
std::string Wrap(std::string_view text, size_t indent, size_t firstColumn) {
    std::string out;
    size_t column = firstColumn;
    if (column < indent) {
        out.append(indent - column, ' ');
        column = indent;
    }
    bool lineEmpty = true;
    for (std::string_view word : Words(text)) {
        if (!lineEmpty && column + 1 + word.size() > kHelpWidth) {
            out += '\n';
            out.append(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    return out + '\n';
}

std::string OptionSpelling(const OptionSpec& spec) {
    std::string s = spec.shortName ? std::string("-") + spec.shortName + ", " : "    ";
    s += "--";
    s += spec.longName;
    if (!spec.valueName.empty()) {
        s += ' ';
        s += spec.valueName;
    }
    return s;
}

std::string HelpRow(std::string_view left, std::string_view help) {
    std::string row = "  ";
    row += left;
    if (row.size() + 2 > kOptionColumn) {
        row += '\n';
        return row + Wrap(help, kOptionColumn, 0);
    }
    return row + Wrap(help, kOptionColumn, row.size());
}

std::string_view GroupTitle(OptionGroup group) {
    switch (group) {
    case OptionGroup::Mode: return "Modes (one at most; without one: INPUT OUTPUT)";
    case OptionGroup::Transform: return "Transform (exactly one, except with --check)";
    case OptionGroup::Other: return "Options";
    }
    return {};
}

constexpr OptionGroup kGroups[] = {OptionGroup::Mode, OptionGroup::Transform, OptionGroup::Other};

// ---- roff

std::string Roff(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '-') {
            out += "\\-";
        } else if (c == '\\') {
            out += "\\e";
        } else {
            out += c;
        }
    }
    // A line starting with a period or a quote would be read as a request.
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::string ManOptionTag(const OptionSpec& spec) {
    std::string tag;
    if (spec.shortName) tag += "\\fB\\-" + std::string(1, spec.shortName) + "\\fR, ";
    tag += "\\fB\\-\\-" + Roff(spec.longName) + "\\fR";
    if (!spec.valueName.empty()) tag += " \\fI" + Roff(spec.valueName) + "\\fR";
    return tag;
}

std::string ShellWords(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) {
        if (!out.empty()) out += ' ';
        out += w;
    }
    return out;
}

}  // namespace

std::string HelpText() {
    std::string text;
    for (size_t i = 0; i < std::size(kSynopsis); ++i) {
        text += i == 0 ? "Usage: " : "       ";
        text += kProgramName;
        text += ' ';
        text += kSynopsis[i];
        text += '\n';
    }
    text += '\n' + Wrap(kDescription, 0, 0);
    for (OptionGroup group : kGroups) {
        text += '\n';
        text += GroupTitle(group);
        text += ":\n";
        for (const OptionSpec& spec : OptionTable()) {
            if (spec.group == group) text += HelpRow(OptionSpelling(spec), spec.help);
        }
    }
    for (const Paragraph& p : kParagraphs) text += '\n' + Wrap(p.text, 0, 0);
    for (const MessageCodeInfo& info : MessageCodeTable()) text += HelpRow(info.name, info.meaning);
    for (const ToolCodeInfo& info : ToolCodeTable()) text += HelpRow(info.name, info.meaning);
    text += '\n' + Wrap("Exit status: " + std::string(kExitStatus), 0, 0);
    return text;
}

std::string VersionText() {
    return std::string(kProgramName) + " " PIVOTTA_VERSION "\n";
}

std::string UsageErrorText(const std::string& error, MessageLanguage language) {
    return std::string(kProgramName) + ": " + Say(language, ToolText::Error) + ": " + error + "\n" +
           Say(language, ToolText::UsageTryHelp, {kProgramName}) + "\n";
}

std::string ManPage() {
    std::string page = ".TH PIVOTTA\\-CLI 1 \"\" \"pivotta\\-cli " PIVOTTA_VERSION "\" \"User Commands\"\n";
    page += ".SH NAME\npivotta\\-cli \\- " + Roff(kSummary) + "\n.SH SYNOPSIS\n";
    for (std::string_view line : kSynopsis) page += ".B pivotta\\-cli\n" + Roff(line) + "\n.br\n";
    page += ".SH DESCRIPTION\n" + Roff(kDescription) + "\n";
    for (OptionGroup group : kGroups) {
        const std::string_view title = GroupTitle(group);
        std::string heading(title.substr(0, title.find(' ')));
        for (char& c : heading) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        page += ".SH " + heading + "\n";
        if (title.find('(') != std::string_view::npos) page += Roff(title.substr(title.find(' ') + 1)) + "\n";
        for (const OptionSpec& spec : OptionTable()) {
            if (spec.group == group) page += ".TP\n" + ManOptionTag(spec) + "\n" + Roff(spec.help) + "\n";
        }
    }
    std::string_view section;
    for (const Paragraph& p : kParagraphs) {
        if (p.section != section) {
            section = p.section;
            page += ".SH " + std::string(section) + "\n";
        } else {
            page += ".PP\n";
        }
        page += Roff(p.text) + "\n";
    }
    for (const MessageCodeInfo& info : MessageCodeTable()) {
        page += ".TP\n.B " + Roff(info.name) + "\n" + Roff(info.meaning) + "\n";
    }
    for (const ToolCodeInfo& info : ToolCodeTable()) {
        page += ".TP\n.B " + Roff(info.name) + "\n" + Roff(info.meaning) + "\n";
    }
    page += ".SH \"EXIT STATUS\"\n" + Roff(kExitStatus) + "\n";
    page += ".SH ENVIRONMENT\n.TP\n.BR LC_ALL \", \" LC_MESSAGES \", \" LANG\n"
            "the first one set chooses the language of the messages: Japanese when it starts with \"ja\", "
            "English otherwise\n";
    return page;
}

std::string BashCompletion() {
    std::vector<std::string> all;
    std::string valueCases;
    for (const OptionSpec& spec : OptionTable()) {
        std::vector<std::string> spellings;
        if (spec.shortName) spellings.push_back(std::string("-") + spec.shortName);
        spellings.push_back("--" + std::string(spec.longName));
        all.insert(all.end(), spellings.begin(), spellings.end());
        if (spec.valueName.empty()) continue;
        std::string pattern;
        for (const std::string& s : spellings) pattern += (pattern.empty() ? "" : "|") + s;
        std::string reply = "return";
        if (!spec.choices.empty()) {
            reply = "COMPREPLY=($(compgen -W '" + std::string(spec.choices) + "' -- \"$cur\")); return";
        } else if (spec.valueName == "DIR") {
            reply = "COMPREPLY=($(compgen -d -- \"$cur\")); return";
        } else if (spec.valueName == "FILE") {
            reply = "COMPREPLY=($(compgen -f -- \"$cur\")); return";
        }
        valueCases += "        " + pattern + ") " + reply + " ;;\n";
    }
    return "# bash completion for pivotta-cli, made from its option table\n"
           "_pivotta_cli() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    COMPREPLY=()\n"
           "    case $prev in\n" +
           valueCases +
           "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W '" + ShellWords(all) + "' -- \"$cur\"))\n"
           "        return\n"
           "    fi\n"
           "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "}\n"
           "complete -o filenames -F _pivotta_cli pivotta-cli\n";
}

}  // namespace pivotta::cli
