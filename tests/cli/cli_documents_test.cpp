// --help, the man page, the bash completion and the README against the one option table and
// the one table of message codes: none may leave out an option or a code.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "CliOptions.h"
#include "ExternalTools.h"
#include "MessageTexts.h"
#include "Usage.h"

namespace pivotta::cli {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << path;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string RoffEscaped(std::string_view text) {
    std::string out;
    for (char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

const std::string kManPage = std::string(PIVOTTA_DOC_DIR) + "/pivotta-cli.1";
const std::string kCompletion = std::string(PIVOTTA_DOC_DIR) + "/pivotta-cli.bash";

TEST(CliDocumentsTest, EveryOptionAndCodeIsInHelpManPageCompletionAndReadme) {
    const std::string help = HelpText();
    const std::string man = ReadText(kManPage);
    const std::string completion = ReadText(kCompletion);
    const std::string readme = ReadText(std::string(PIVOTTA_SOURCE_DIR) + "/README.md");
    EXPECT_EQ(man, ManPage()) << "the built man page is out of date";
    EXPECT_EQ(completion, BashCompletion()) << "the built completion is out of date";
    for (const OptionSpec& spec : OptionTable()) {
        const std::string name = "--" + std::string(spec.longName);
        SCOPED_TRACE(name);
        EXPECT_FALSE(spec.help.empty());
        EXPECT_NE(help.find(name), std::string::npos);
        EXPECT_NE(man.find(RoffEscaped(name)), std::string::npos);
        EXPECT_TRUE(completion.find(name + " ") != std::string::npos || completion.find(name + "'") != std::string::npos);
        EXPECT_NE(readme.find(name), std::string::npos);
        if (spec.shortName) {
            const std::string shortName = std::string("-") + spec.shortName;
            EXPECT_NE(help.find(shortName + ", " + name), std::string::npos);
            EXPECT_NE(completion.find(shortName + " " + name), std::string::npos);
        }
    }
    std::vector<std::string> codes;
    for (const MessageCodeInfo& info : MessageCodeTable()) codes.emplace_back(info.name);
    for (const ToolCodeInfo& info : ToolCodeTable()) codes.emplace_back(info.name);
    for (const std::string& name : codes) {
        SCOPED_TRACE(name);
        EXPECT_NE(help.find("  " + name + " "), std::string::npos);
        EXPECT_NE(man.find(".B " + RoffEscaped(name) + "\n"), std::string::npos);
        EXPECT_NE(readme.find("`" + name + "`"), std::string::npos);
    }
}

// The completion as bash runs it: option names, the values an option takes, folders for -o.
TEST(CliDocumentsTest, BashCompletesOptionsAndTheirValues) {
    if (test::RunCommand("command -v bash").empty()) GTEST_SKIP() << "no bash";
    const std::pair<std::string, std::string> cases[] = {
        {"pivotta-cli --ro", "--rotate"},
        {"pivotta-cli --no", "--none --no-trim --no-clobber --no-progress"},
        {"pivotta-cli -r ", "90 180 270"},
        {"pivotta-cli --mirror l", "lr"},
        {"pivotta-cli -j ", ""},
        {"pivotta-cli --in-p", "--in-place"},
    };
    for (const auto& [line, expected] : cases) {
        SCOPED_TRACE(line);
        const std::string script = std::string(::testing::TempDir()) + "/pivotta-completion-test.sh";
        std::ofstream(script) << "source '" << kCompletion << "'\nCOMP_WORDS=(" << line
                              << (line.back() == ' ' ? "''" : "")
                              << ")\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_pivotta_cli\n"
                                 "printf '%s\\n' \"${COMPREPLY[*]}\"\n";
        EXPECT_EQ(test::RunCommand("bash '" + script + "' 2>&1"), expected + "\n");
        std::remove(script.c_str());
    }
}

TEST(CliDocumentsTest, ManPageRendersWithoutWarnings) {
    if (test::RunCommand("command -v groff").empty()) GTEST_SKIP() << "no groff";
    EXPECT_EQ(test::RunCommand("groff -man -Tutf8 -ww -z '" + kManPage + "' 2>&1"), "");
}

}  // namespace
}  // namespace pivotta::cli
