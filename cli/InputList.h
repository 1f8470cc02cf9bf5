// The inputs of a run: the command line's, those of --files-from, and with -R the pictures in
// the folders among them.
#pragma once

#include <string>
#include <vector>

#include "CliOptions.h"

namespace pivotta::cli {

struct InputFile {
    std::string path;
    // For a file found by -R: its path under the folder given ("2024/a.jpg"), which -o makes
    // again under its folder. Empty for a file named as such.
    std::string underFolder;
    std::string refusal;  // a folder that could not be walked
};

struct InputList {
    std::vector<InputFile> files;
    std::string error;  // a --files-from list that cannot be read
};

InputList CollectInputs(const CliOptions& options);

// Whether a file name is one -R picks up: *.jpg or *.jpeg in any case.
bool HasJpegExtension(const std::string& name);

}  // namespace pivotta::cli
