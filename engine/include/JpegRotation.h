// Lossless rotation and mirroring of DCT JPEG streams: baseline ones on a path of their own,
// the other processes, multi-scan and four-component pictures through the scan transcoder.
//
// CheckJpeg reads the headers up to the scan header and records the frame geometry;
// RotateJpeg reads its own input from the start and needs no earlier call. Everything the
// engine has to say goes through its hooks; it returns false after a level-2 message.
// One instance per thread: the engine holds per-run state.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "FrameState.h"
#include "HuffmanTablePolicy.h"
#include "MemoryStream.h"
#include "Messages.h"
#include "OutputCoding.h"
#include "PhotoInfo.h"
#include "ThreadStarter.h"
#include "TransformKind.h"

namespace pivotta {

class CoefficientStore;
class HuffTables;
class TInBitStreamFile;
class TOutBitStreamFile;
struct EngineInternals;
struct OutputTables;
struct TranscodeWalk;

bool RaggedEdgeMovesInside(const FrameState& frame, TransformKind kind);

class TJpegRotation {
public:
    TJpegRotation();
    ~TJpegRotation();
    TJpegRotation(const TJpegRotation&) = delete;
    TJpegRotation& operator=(const TJpegRotation&) = delete;

    bool CheckJpeg(const TMemoryStream& stream);
    // Empties output and writes the transformed stream into it; on success its position is 0.
    bool RotateJpeg(const TMemoryStream& input, TMemoryStream& output, TransformKind kind);
    // A transform that writes nothing: walks every segment and decodes every block as
    // RotateJpeg would, and fails with the same message where it would fail.
    bool VerifyJpeg(const TMemoryStream& input);

    MessageHook OnMessage;
    // Every message OnMessage gets, and the optimized-table warning, with its code.
    CodedMessageHook OnCodedMessage;
    std::function<void()> OnDHTWarning;
    std::function<void(int)> OnProgressMax;
    std::function<void(int)> OnProgress;

    bool AllowBreakDCF = false;   // may the Exif thumbnail be turned sideways
    bool AllowAdjustMCU = false;  // trim a ragged MCU edge that a transform would move inside
    // A thumbnail's own engine leaves APP1 alone, so thumbnails never nest deeper than one.
    bool TransformExif = true;
    // A transform sets the Exif Orientation entries to 1, since its pixels are then the way
    // they are meant to be seen; this keeps them as they were.
    bool KeepOrientation = false;
    // Which Huffman tables a result is coded with; only Standard raises the optimized-tables
    // warning.
    HuffmanTablePolicy TablePolicy = HuffmanTablePolicy::Standard;
    // The coding of the result: the input's own process and scan script, or another.
    OutputCoding Coding = OutputCoding::AsInput;
    // Threads one operation may use; 0 means the machine's processors. The output is the same
    // whatever the count: callers that run several engines at once set 1.
    unsigned MaxThreads = 0;
    // Starts the worker threads; empty: std::jthread.
    ThreadStarter StartThread;

    const FrameState& Frame() const { return frame_; }
    // The Exif Orientation value of the last stream checked (any number, 1-8 being valid), or
    // none when it has no such entry. UprightKind maps it to the kind that rights the picture.
    std::optional<uint32_t> Orientation() const { return orientation_; }
    // What a transform of the last stream checked does to its tables under TablePolicy.
    TableOutcome PlannedTables() const { return PlannedOutcome(TablePolicy, scanTablesFull_); }
    // The gain maps and previews of the last stream checked.
    const PhotoInfo& Photo() const { return photo_; }

private:
    friend struct EngineInternals;
    using Kind = TransformKind;

    // Messages.
    void Report(MessageCode code, int level, const std::string& text, int64_t detail = -1);
    [[nodiscard]] bool Fail(MessageCode code, const std::string& text, int64_t detail = -1);
    MessageHook BitStreamHook();

    // One picture; CheckJpeg and RotateJpeg add the file's further pictures around it.
    [[nodiscard]] bool CheckPicture(const TMemoryStream& stream);
    [[nodiscard]] bool RotatePicture(const TMemoryStream& input, TMemoryStream& output, TransformKind kind);
    void NotePhoto(const TMemoryStream& stream);
    [[nodiscard]] bool RotatePhoto(const TMemoryStream& input, TMemoryStream& output, TransformKind kind);
    [[nodiscard]] bool FollowXmp(TMemoryStream& picture, TransformKind kind,
                                 const std::vector<std::pair<size_t, uint64_t>>& lengths);
    [[nodiscard]] bool TurnSecondary(const TMemoryStream& picture, PictureRole role, TransformKind kind,
                                     TMemoryStream& output);

    // Marker walk.
    [[nodiscard]] bool RunGuarded(bool (TJpegRotation::*walk)());
    [[nodiscard]] bool CheckWalk();
    [[nodiscard]] bool RotateWalk();
    [[nodiscard]] bool TransformScan();
    [[nodiscard]] bool CopyTail();
    void SkipSegment();  // also reads a comment: the text is not used
    void NoteOrientation();  // skips an APP1 segment, taking the first Exif Orientation value
    // Everything a stream defines (tables, restart interval, frame) starts afresh.
    void ForgetStream();

    // Pictures of other DCT processes, several scans or four components, turned through the
    // scan transcoder.
    [[nodiscard]] bool TranscodedCheckWalk();
    [[nodiscard]] bool TranscodedRotateWalk();
    [[nodiscard]] bool TranscodedSegments(TranscodeWalk& walk);
    [[nodiscard]] bool TranscodedFrame(TranscodeWalk& walk, uint16_t marker);
    [[nodiscard]] bool TranscodedScan(TranscodeWalk& walk);
    [[nodiscard]] bool TranscodeScans(TranscodeWalk& walk);
    [[nodiscard]] bool FailUnknownMarker(uint16_t marker);

    // Marker segments.
    [[nodiscard]] bool ProcessDQT();
    [[nodiscard]] bool ProcessSOF();
    [[nodiscard]] bool ProcessSOS();
    [[nodiscard]] bool ProcessDRI();
    [[nodiscard]] bool ProcessApp1();
    // Writes the segment unless the tables are chosen after decoding (deferDht_).
    [[nodiscard]] bool ProcessDHT(bool& allFull);
    void CheckMcuSize();
    // The frame geometry of the input's frame header, read ahead of the walk: the Exif
    // segment before it needs the output size.
    void ReadOwnFrame(const TMemoryStream& input);
    void SettleOutputSize();

    // Scan.
    [[nodiscard]] bool DecodeScan();
    [[nodiscard]] bool EncodeScan();
    // The tables chosen after decoding in one DHT segment, then the scan header.
    void WriteDeferredHeaders(const OutputTables& chosen);
    bool ScanTablesFull() const;

    void Progress(int position) {
        if (OnProgress) OnProgress(position);
    }

    TInBitStreamFile* in_ = nullptr;   // valid during an operation
    TOutBitStreamFile* out_ = nullptr;
    bool rotating_ = false;            // RotateJpeg rather than CheckJpeg
    bool verifyOnly_ = false;          // VerifyJpeg: no scan is encoded
    // Where the walk stands, so that a stream that ends early is named for where it ended.
    enum class Stage { Headers, Scan, Tail } stage_ = Stage::Headers;
    // What the reader's marker message means where it is sent, and the MCU row it concerns.
    MessageCode bitStreamCode_ = MessageCode::MarkerInScan;
    int64_t bitStreamRow_ = -1;
    Kind kind_ = Kind::NoRotation;
    std::unique_ptr<HuffTables> huff_;
    std::unique_ptr<CoefficientStore> store_;
    FrameState frame_;
    bool frameSeen_ = false;
    std::optional<uint32_t> orientation_;
    PhotoInfo photo_;
    size_t scanBytes_ = 0;  // entropy-coded bytes of the last scan decoded
    bool scanTablesFull_ = true;  // of the last stream checked
    // With a policy other than Standard the DHT segments whose tables may change, and then the
    // scan header, wait for the decoded scan: the tables they define, and the header's bytes.
    bool deferDht_ = false;
    std::array<std::array<bool, 2>, 2> deferredTables_{};
    std::vector<uint8_t> scanHeader_;
};

}  // namespace pivotta
