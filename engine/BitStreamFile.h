// Byte- and bit-level reader and writer over whole in-memory JPEG streams.
//
// The reader keeps a 64-bit window of entropy-coded bits with stuffing (FF 00) removed as
// bytes are loaded. Its observable behaviour is that of a reader which fetches one byte at a
// time only when a bit of it is needed: byte-level reads drop the rest of a partly used byte
// and continue right after it, and a marker inside entropy-coded data is reported only when
// one of its bits would be consumed.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "BitCursor.h"
#include "Endian.h"
#include "MemoryStream.h"
#include "Messages.h"

namespace pivotta {

class TInBitStreamFile {
public:
    // Reads the whole content of stream, from offset 0; the stream itself is never moved.
    TInBitStreamFile(const TMemoryStream& stream, MessageHook onMessage);

    // Byte-level reads drop pending bits; they raise EStreamError at the end of the data.
    void ReadBytes(void* buffer, size_t count);
    uint8_t ReadByte();
    uint16_t ReadWord();
    uint32_t ReadDWord();
    // A marker code, skipping the fill bytes (0xFF) that may precede any marker (ITU T.81
    // B.1.1.2). Without fill bytes it reads exactly what ReadWord reads.
    uint16_t ReadMarker();

    // Bit-level reads of entropy-coded data (stuffing removed). ReadBits takes 0..16 bits;
    // a larger request reads nothing, yields 0 and is reported as a damaged block (level 2).
    int ReadBit();
    uint32_t ReadBits(int n);

    int64_t MarkPosition();
    void ReturnToMark();
    int64_t BytesSinceMark() const { return static_cast<int64_t>(BytePosition()) - markPos_; }

    // Position of the next unread byte, as a byte-level read would see it.
    size_t BytePosition() const;
    size_t Size() const { return size_; }
    // Bytes left for byte-level reads from BytePosition() on.
    size_t Remaining() const { return size_ - BytePosition(); }
    const uint8_t* Data() const { return data_; }
    // Skips count bytes as byte-level reads would; raises EStreamError past the end.
    void SkipBytes(size_t count);
    // Drops pending bits and continues at a byte position within the data.
    void SetBytePosition(size_t position);
    // A second reader over the same data at a byte position, for another thread; it sends no
    // messages.
    TInBitStreamFile ForkAt(size_t position) const;
    // The next unread bit of entropy-coded data as 8 x stream offset of its byte + bit index:
    // two readers over the same data agree on it exactly when they stand at the same bit.
    uint64_t BitPosition() const;
    // Continues at a position BitPosition() gave on this data.
    void SetBitPosition(uint64_t position);

    // ---- Scan decoding fast path ----
    // Tops the window up to at least 57 bits unless a marker or the end of data comes first.
    void FillBits() {
        while (bits_ <= 56) {
            if (FillPlainHere()) continue;
            if (!LoadOneByte()) return;
        }
    }
    int BitsAvailable() const { return bits_; }
    // The next n (1..32) bits; bits beyond those available read as 0.
    uint32_t PeekBits(int n) const { return static_cast<uint32_t>(acc_ >> (64 - n)); }
    // Consumes n (0..32) bits; the caller has checked n <= BitsAvailable().
    void SkipBits(int n) {
        acc_ <<= n;
        bits_ -= n;
    }
    // Called when fewer bits are available than needed: a marker follows (its message is
    // sent at level 2 and the reader stays where it is) or the data ends (EStreamError).
    void ReportShortage();
    // Whether the data stops, where ReportShortage looks, at the end-of-image marker (after
    // any fill bytes).
    bool StopsAtEndOfImage() const;

    // The window's state, for a decoding loop to hold in locals (where stores through other
    // pointers cannot force it back to memory) and hand back before any other call.
    struct Window {
        uint64_t acc;
        uint64_t wideBytes;
        size_t pos;
        int bits;
    };
    Window TakeWindow() const { return {acc_, wideBytes_, pos_, bits_}; }
    void PutWindow(const Window& w) {
        acc_ = w.acc;
        wideBytes_ = w.wideBytes;
        pos_ = w.pos;
        bits_ = w.bits;
    }
    // Tops a window up with whole bytes when none of the next eight is 0xFF; false otherwise.
    bool FillPlain(Window& w) const {
        if (w.pos + 8 > size_) return false;
        const uint64_t word = LoadWordBE64(data_ + w.pos);
        if (HasFFByte(word)) return false;
        const int count = (64 - w.bits) / 8;  // 1..8 whole bytes fit
        w.acc |= (word & (~uint64_t{0} << (64 - 8 * count))) >> w.bits;
        w.wideBytes <<= count;
        w.bits += 8 * count;
        w.pos += static_cast<size_t>(count);
        return true;
    }

private:
    bool LoadOneByte();    // one data byte into the window, stopping before markers and the end
    bool FillPlainHere() {
        Window w = TakeWindow();
        if (!FillPlain(w)) return false;
        PutWindow(w);
        return true;
    }
    void FetchLiteral();   // one byte for a slow bit read, markers included
    void DropPendingBits();

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;       // next byte to load
    uint64_t acc_ = 0;     // the top bits_ bits are the unread window; every bit below is 0
    int bits_ = 0;
    // One bit per byte of the window, in the same order: set when the byte took two bytes of
    // the stream (a stuffed FF 00, or the 0xFF of a marker), so positions need no guessing.
    uint64_t wideBytes_ = 0;
    int64_t markPos_ = 0;
    MessageHook onMessage_;
};

class TOutBitStreamFile {
public:
    // Appends at the stream's position (the engine empties the stream first).
    TOutBitStreamFile(TMemoryStream& stream, MessageHook onMessage);
    // Writes out complete pending bytes; a partial byte is left unwritten, as the next
    // byte-level write would have completed it.
    ~TOutBitStreamFile();
    TOutBitStreamFile(const TOutBitStreamFile&) = delete;
    TOutBitStreamFile& operator=(const TOutBitStreamFile&) = delete;

    void WriteBytes(const void* buffer, size_t count);
    void WriteByte(uint8_t b);
    void WriteWord(uint16_t w);
    void WriteDWord(uint32_t d);

    // Only the value 1 gives a 1-bit.
    void WriteBit(int bit) { PutBits(bit == 1 ? 1u : 0u, 1); }
    // The low n (0..32) bits of value, most significant first.
    void WriteBits(uint32_t value, int n) {
        if (n > 0) PutBits(n == 32 ? value : value & ((uint32_t{1} << n) - 1), n);
    }
    // Completes the partly filled byte with 1-bits and writes it.
    void FlushBits();

    // Position after every complete byte written so far.
    int64_t Position();
    uint8_t* Memory() {
        DrainStaging();
        return stream_.Memory();
    }
    TMemoryStream& Stream() {
        DrainStaging();
        return stream_;
    }

    // n is 1..32 and value holds no bits above n. Fewer than 32 bits are pending between
    // calls, so the 64-bit accumulator cannot overflow.
    void PutBits(uint32_t value, int n) {
        BitCursor<true> cursor = OpenCursor(8);
        cursor.PutBits(value, n);
        CloseCursor(cursor);
    }

    // Hot path: a cursor with room for maxBytes staged bytes; nothing else may write to the
    // writer until it is closed.
    BitCursor<true> OpenCursor(size_t maxBytes) {
        if (stagingUsed_ + maxBytes > kStagingSize) DrainStaging();
        return {acc_, bits_, staging_ + stagingUsed_};
    }
    void CloseCursor(const BitCursor<true>& cursor) {
        acc_ = cursor.acc;
        bits_ = cursor.bits;
        stagingUsed_ = static_cast<size_t>(cursor.p - staging_);
    }

private:
    void EmitWholeBytes();  // every complete byte of the accumulator, stuffing FF
    void DrainStaging();    // staged bytes into the stream

    static constexpr size_t kStagingSize = 16384;
    TMemoryStream& stream_;
    MessageHook onMessage_;
    uint64_t acc_ = 0;  // the low bits_ bits are pending, oldest on top
    int bits_ = 0;
    size_t stagingUsed_ = 0;
    uint8_t staging_[kStagingSize];
};

}  // namespace pivotta
