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
    // Usage errors and refused command lines
    UsageConflict,
    UsageUnknownOption,
    UsageTakesNoValue,
    UsageNeedsValue,
    UsageInvalidValue,
    UsageJobsRange,
    UsageRotateValues,
    UsageMirrorValues,
    UsageNeedsFolder,
    UsageNeedsFileName,
    UsageNeedsSuffix,
    UsageSuffixSeparator,
    UsageManyTransforms,
    UsageGivenTwice,
    UsageSuffixMode,
    UsageLinksNeedRecursive,
    UsageNullNeedsList,
    UsageNoClobberMode,
    UsageCleanArguments,
    UsageCleanTransform,
    UsageNoFolder,
    UsageQuietVerbose,
    UsageCheckWritesNothing,
    UsageCheckPerfect,
    UsageNoTransform,
    UsageAutoKeep,
    UsageBatchNeedsMode,
    UsageMissingBoth,
    UsageMissingOutput,
    UsageTooManyFiles,
    UsageNoInput,
    UsageStdinNoName,
    UsageStdinTwice,
    UsageStdinAndList,
    UsageNoArguments,
    UsageTryHelp,
    PlanNoOutputFolder,
    PlanOutputIsInput,
    PlanOutputFolderHoldsInput,
    PlanSuffixHitsInput,
    PlanCannotReadList,
};

// The text in a language, each "{}" replaced by the next of values, or "{N}" by the Nth (from 0)
// where a language puts them in another order.
std::string Say(MessageLanguage language, ToolText text, std::initializer_list<std::string_view> values = {});

}  // namespace pivotta::cli
