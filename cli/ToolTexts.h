// The words of pivotta-cli's own messages, in English and Japanese: one text for each in both.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "CliOptions.h"

namespace pivotta::cli {

enum class ToolText {
    Warning, Error, Note, Done,  // the severity in a message line
    NotEnoughMemory, CheckFailed, TransformFailed, CannotRead, CannotWrite, StandardOutput, TerminalOutput,
    WriteProtected, FolderNotWritable, InPlaceSpecial, OutputDirSpecial, CannotMakeFolder, Exists,
    TooLarge, BadOrientation, NeedsTrim, CannotTrim, NoValidTransform,
    NotAFolder, CannotRemove, CannotReadFolder, GivenTwice, SharedTarget, NotAFileName,
};

// The text in a language, each "{}" replaced by the next of values.
std::string Say(MessageLanguage language, ToolText text, std::initializer_list<std::string_view> values = {});

}  // namespace pivotta::cli
