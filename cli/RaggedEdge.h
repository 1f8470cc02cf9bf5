// What a transform does to a picture whose size is not a whole number of MCUs: which ragged
// edge it moves into the picture, and whether trimming can take that edge off.
#pragma once

#include "FrameState.h"
#include "TransformKind.h"

namespace pivotta::cli {

struct RaggedEdge {
    bool movesInside = false;  // the transform puts a partial MCU at the top or left
    bool trimmable = false;    // some such edge can be cut off
    bool untrimmable = false;  // some such edge cannot: the picture is smaller than one MCU across it
    int trimmedWidth = 0, trimmedHeight = 0;  // the size after trimming
};

RaggedEdge RaggedEdgeOf(const FrameState& frame, TransformKind kind);

}  // namespace pivotta::cli
