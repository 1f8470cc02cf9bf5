// Lossless rotation and mirroring of baseline JPEG streams.
//
// CheckJpeg reads the headers up to the scan header and records the frame geometry;
// RotateJpeg must then run on the same stream with the same engine. Everything the engine
// has to say goes through its hooks; it returns false after a level-2 message.
// One instance per thread: the engine holds per-run state.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "BitStreamFile.h"
#include "CoefBlock.h"
#include "HuffmanTables.h"
#include "MemoryStream.h"
#include "Messages.h"
#include "PackedBlocks.h"
#include "ThreadStarter.h"
#include "TransformKind.h"

namespace pivotta {

inline constexpr int kMaxComponents = 4;

// Frame geometry and per-component layout. Slots are the components in frame order.
struct FrameState {
    int ImageWidth = 0;    // X of the last frame header read
    int ImageHeight = 0;   // Y of the last frame header read
    int MaxH = 1;
    int MaxV = 1;
    int OutputWidth = 0;   // after MCU trimming
    int OutputHeight = 0;
    int McuCols = 0;
    int McuRows = 0;
    int ComponentCount = 0;
    std::array<int, kMaxComponents> ComponentId{};
    std::array<int, kMaxComponents> CompH{};  // sampling factors as used for the block grid
    std::array<int, kMaxComponents> CompV{};
    std::array<int, kMaxComponents> CompTq{};
    std::array<int, kMaxComponents> DcTableSel{};
    std::array<int, kMaxComponents> AcTableSel{};
    std::array<int, kMaxComponents> ScanOrder{};  // slots in the order of the scan header
    int ScanComponentCount = 0;
    bool RestartEnabled = false;
    int RestartInterval = 0;
};

// Whether the transform would move a ragged edge (a size that is not a whole number of MCUs)
// to the top or the left, where its padding would show unless it is trimmed.
bool RaggedEdgeMovesInside(const FrameState& frame, TransformKind kind);

class TJpegRotation {
public:
    TJpegRotation();

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
    // Threads one operation may use; 0 means the machine's processors. The output is the same
    // whatever the count: callers that run several engines at once set 1.
    unsigned MaxThreads = 0;
    // Starts the worker threads; empty: std::jthread.
    ThreadStarter StartThread;

    const FrameState& Frame() const { return frame_; }
    const HuffmanSlot& HuffSlot(int tableClass, int id) const { return huff_.Slot(tableClass, id); }
    // The blocks of a component slot from the last run, already transformed, in raster order.
    std::vector<CoefBlock> Coefficients(int slot) const;

private:
    using Kind = TransformKind;

    // Messages.
    void Report(MessageCode code, int level, const std::string& text, int64_t detail = -1);
    [[nodiscard]] bool Fail(MessageCode code, const std::string& text, int64_t detail = -1);
    MessageHook BitStreamHook();

    // Marker walk.
    [[nodiscard]] bool RunGuarded(bool (TJpegRotation::*walk)());
    [[nodiscard]] bool CheckWalk();
    [[nodiscard]] bool RotateWalk();
    [[nodiscard]] bool TransformScan();
    [[nodiscard]] bool CopyTail();
    void SkipSegment();  // also reads a comment: the text is not used
    void ResetComponents();

    // Marker segments.
    [[nodiscard]] bool ProcessDQT();
    [[nodiscard]] bool ProcessSOF();
    [[nodiscard]] bool ProcessSOS();
    [[nodiscard]] bool ProcessDRI();
    [[nodiscard]] bool ProcessApp1();
    [[nodiscard]] bool ProcessDHT(bool& allFull);
    void CheckMcuSize();
    void SettleOutputSize();

    // Scan.
    [[nodiscard]] bool AllocateCoefficients();
    [[nodiscard]] bool DecodeScan();
    enum class RangeResult { Done, Bad, Short };
    struct DecodeState {
        int dcPred[kMaxComponents] = {};
        int restartCounter = 0;
        int nextRestart = 0;
        int64_t stoppedAt = -1;  // the MCU a failed range stopped in
    };
    struct DecodeTables {
        const HuffmanDecoder* dc[kMaxComponents] = {};
        const HuffmanDecoder* ac[kMaxComponents] = {};
        const HuffmanEncoder* acCodes[kMaxComponents] = {};
        StoreOrder order;
        bool transposed = false;
        bool copyCodes = false;
    };
    RangeResult DecodeMcus(TInBitStreamFile& in, const DecodeTables& tables, int64_t begin, int64_t end,
                           DecodeState& state, RecordArena& arena, bool progress, const std::atomic<bool>* cancel);
    [[nodiscard]] bool ReportDecodeFailure(RangeResult result, const DecodeState& state);
    [[nodiscard]] bool DecodeRestartHalves(const DecodeTables& tables, DecodeState& state, int64_t& done);
    [[nodiscard]] bool DecodeSpeculatively(const DecodeTables& tables, DecodeState& state, int64_t& done);
    // A worker's decode from the middle of a scan without restart markers.
    struct SpeculativeRun {
        std::vector<uint64_t> mcuStart;  // bit position where each whole MCU starts, then where the last ends
        std::vector<int16_t*> records;   // the blocks of the whole MCUs, in scan order
        bool failed = false;
    };
    void DecodeFromAnywhere(TInBitStreamFile& in, const DecodeTables& tables, int64_t total, SpeculativeRun& run,
                            const std::atomic<bool>& cancel);
    void AdoptWorkerMcus(const SpeculativeRun& run, size_t first, int64_t at, DecodeState& state);
    int BlocksPerMcu() const;
    void ReplayProgress(int64_t from, int64_t to);
    // Tells a worker to stop when the scope is left without joining its result.
    struct CancelUnlessJoined {
        std::atomic<bool>& flag;
        const bool& joined;
        ~CancelUnlessJoined() {
            if (!joined) flag = true;
        }
    };
    bool FindRestartSplit(int64_t& split, size_t& start) const;
    [[nodiscard]] bool EncodeScan();
    struct ScanLayout;
    struct EncodeState;
    // Below this many MCUs a second thread costs more than it saves.
    static constexpr int64_t kParallelMinimumMcus = 2048;
    size_t SourceIndex(const ScanLayout& layout, int slot, int x, int y) const;
    const int16_t* SourceBlock(const ScanLayout& layout, int slot, int x, int y) const;
    template <class Sink>
    int EncodeRows(const ScanLayout& layout, int rowBegin, int rowEnd, EncodeState& state, Sink& out,
                   const std::function<void(int)>& progress, const std::atomic<bool>* cancel) const;
    EncodeState StateAtRow(const ScanLayout& layout, int row) const;

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
    HuffTables huff_;
    // Where each block of one component is, in raster order of the input. Not zeroed when
    // allocated: decoding sets every entry.
    class BlockIndex {
    public:
        BlockIndex() = default;
        BlockIndex(const BlockIndex&) = delete;
        BlockIndex& operator=(const BlockIndex&) = delete;
        ~BlockIndex() { Release(); }
        // False when the memory cannot be had.
        [[nodiscard]] bool Resize(size_t count);
        int16_t** Data() { return records_; }
        const int16_t* const* Data() const { return records_; }
        size_t Size() const { return size_; }

    private:
        void Release();
        int16_t** records_ = nullptr;
        size_t size_ = 0;
        size_t capacity_ = 0;
    };
    std::array<BlockIndex, kMaxComponents> coefficients_;
    // Packed blocks: one arena for this thread, one for a decoding worker.
    std::array<RecordArena, 2> arenas_;
    FrameState frame_;
    bool frameSeen_ = false;
    size_t scanBytes_ = 0;  // entropy-coded bytes of the last scan decoded
    bool codesCopied_ = false;  // the store holds Codes records rather than Values
};

}  // namespace pivotta
