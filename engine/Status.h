// The one way an error travels inside the engine: a status returned to the caller, which must
// look at it, up to the interface, where it becomes a message.
#pragma once

#include <cstdint>

#include "Messages.h"

namespace pivotta {

struct [[nodiscard]] Status {
    bool failed = false;
    MessageCode code = MessageCode::UnknownMarker;
    // The message's fixed text; null where the interface words it (the start-of-image and
    // unknown-marker texts differ between CheckJpeg and RotateJpeg).
    const char* text = nullptr;
    int64_t detail = -1;  // the MCU row or the marker, where the code has one

    bool ok() const { return !failed; }
};

inline Status Ok() { return {}; }
inline Status Failure(MessageCode code, const char* text, int64_t detail = -1) { return {true, code, text, detail}; }

}  // namespace pivotta
