// What a refused file is, in the words of the line that a refusal adds below its message.
#pragma once

#include <QString>
#include <cstdint>
#include <span>

#include "Messages.h"

namespace pivotta::app {

// For an engine message that refuses a kind of JPEG; empty for every other message.
QString RefusedKindLine(pivotta::MessageCode code);

// For a file the display decoder cannot decode by its kind (lossless, hierarchical, 12-bit),
// from its frame header; empty when the header names no such kind.
QString UndecodableKindLine(std::span<const uint8_t> bytes);

}  // namespace pivotta::app
