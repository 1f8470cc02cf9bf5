// Lossless rotation and mirroring of baseline JPEG streams.
//
// Each operation parses its own input from the start and depends on no earlier call:
// CheckJpeg reads the headers up to the first scan header, VerifyJpeg also decodes every block
// and reads what follows the scan, and RotateJpeg also writes the transformed stream. Everything
// the engine has to say goes to OnCodedMessage (OnMessage and OnDHTWarning get the same
// events in the desktop program's form); an operation returns false after a level-2 message.
// One instance runs one operation at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "MemoryStream.h"
#include "Messages.h"
#include "PhotoInfo.h"
#include "ThreadStarter.h"
#include "TransformKind.h"

namespace pivotta {

class CoefficientStore;

// The frame of the last stream checked: its size and the size of its MCU in blocks.
struct PictureFrame {
    int ImageWidth = 0;
    int ImageHeight = 0;
    int MaxH = 1;
    int MaxV = 1;
};

// Whether the transform would move a ragged edge (a size that is not a whole number of MCUs)
// to the top or the left, where its padding would show unless it is trimmed.
bool RaggedEdgeMovesInside(const PictureFrame& frame, TransformKind kind);

class TJpegRotation {
public:
    TJpegRotation();
    ~TJpegRotation();
    TJpegRotation(const TJpegRotation&) = delete;
    TJpegRotation& operator=(const TJpegRotation&) = delete;

    bool CheckJpeg(const TMemoryStream& stream);
    // Empties output and writes the transformed stream into it; on success its position is 0,
    // on failure it stays empty.
    bool RotateJpeg(const TMemoryStream& input, TMemoryStream& output, TransformKind kind);
    // A transform that writes nothing: walks every segment and decodes every block as
    // RotateJpeg would, and fails with the same message where it would fail.
    bool VerifyJpeg(const TMemoryStream& input);

    CodedMessageHook OnCodedMessage;
    MessageHook OnMessage;                // every message but the optimized-table warning
    std::function<void()> OnDHTWarning;   // the optimized-table warning
    std::function<void(int)> OnProgressMax;
    std::function<void(int)> OnProgress;

    bool AllowBreakDCF = false;   // may the Exif thumbnail be turned sideways
    bool AllowAdjustMCU = false;  // trim a ragged MCU edge that a transform would move inside
    // A thumbnail's own engine leaves APP1 alone, so thumbnails never nest deeper than one.
    bool TransformExif = true;
    // A transform sets the Exif Orientation entries to 1, since its pixels are then the way
    // they are meant to be seen; this keeps them as they were.
    bool KeepOrientation = false;
    // Threads one operation may use; 0 means the machine's processors. The output is the same
    // whatever the count: callers that run several engines at once set 1.
    unsigned MaxThreads = 0;
    // Starts the worker threads; empty: std::jthread.
    ThreadStarter StartThread;

    // What the last CheckJpeg found (meaningful after it succeeded).
    const PictureFrame& Frame() const { return frame_; }
    // The Exif Orientation value of the last stream checked (any number, 1-8 being valid), or
    // none when it has no such entry. UprightKind maps it to the kind that rights the picture.
    std::optional<uint32_t> Orientation() const { return orientation_; }
    // The gain maps and previews of the last stream checked.
    const PhotoInfo& Photo() const { return photo_; }

private:
    enum class Operation { Check, Rotate };
    void Report(const EngineMessage& message);
    bool Fail(MessageCode code, const std::string& text, int64_t detail = -1);
    bool Transform(const TMemoryStream& input, TMemoryStream* output, TransformKind kind);
    bool TransformGuarded(const TMemoryStream& input, TMemoryStream* output, TransformKind kind);

    PictureFrame frame_;
    std::optional<uint32_t> orientation_;
    // Memory only, reused from run to run; every run starts it afresh.
    std::unique_ptr<CoefficientStore> store_;
    PhotoInfo photo_;

    // One picture; CheckJpeg and RotateJpeg add the file's further pictures around it.
    bool CheckPicture(const TMemoryStream& stream);
    bool RotatePicture(const TMemoryStream& input, TMemoryStream& output, TransformKind kind);
    void NotePhoto(const TMemoryStream& stream);
    [[nodiscard]] bool RotatePhoto(const TMemoryStream& input, TMemoryStream& output, TransformKind kind);
    [[nodiscard]] bool FollowXmp(TMemoryStream& picture, TransformKind kind,
                                 const std::vector<std::pair<size_t, uint64_t>>& lengths);
    [[nodiscard]] bool TurnSecondary(const TMemoryStream& picture, PictureRole role, TransformKind kind,
                                     TMemoryStream& output);
};

}  // namespace pivotta
