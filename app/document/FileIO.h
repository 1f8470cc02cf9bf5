// Whole-file reads and atomic whole-file writes, reporting failures in the user's words.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace pivotta::app {

// False, with "ファイル … を開けません" in error, when the file cannot be read whole.
bool ReadWholeFile(const QString& path, std::vector<uint8_t>& bytes, QString* error);

// Replaces path with the bytes, or leaves whatever stood there untouched: a failed write
// (no room, no permission) never leaves a truncated file, a write-protected file or a folder
// is refused, a device is written into. False, with "ファイル … を作成できません" in error, on
// failure.
bool WriteFileAtomically(const QString& path, const uint8_t* data, size_t size, QString* error);

}  // namespace pivotta::app
