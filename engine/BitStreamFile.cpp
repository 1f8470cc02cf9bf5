#include "BitStreamFile.h"

#include <bit>
#include <cstring>

#include "Messages.h"

namespace pivotta {

namespace {

// The window holds at most eight bytes, so at most eight wide-byte bits are counted. Without
// a popcount instruction in the baseline x86-64 set, std::popcount is a library call.
inline size_t CountWideBytes(uint64_t wide) {
    unsigned x = static_cast<unsigned>(wide & 0xFF);
    x = x - ((x >> 1) & 0x55u);
    x = (x & 0x33u) + ((x >> 2) & 0x33u);
    return (x + (x >> 4)) & 0x0Fu;
}

}  // namespace

// ---------------------------------------------------------------- TInBitStreamFile

TInBitStreamFile::TInBitStreamFile(const TMemoryStream& stream, MessageHook onMessage)
    : data_(stream.Memory()), size_(stream.Size()), onMessage_(std::move(onMessage)) {}

bool TInBitStreamFile::LoadOneByte() {
    if (pos_ >= size_) return false;
    const uint8_t b = data_[pos_];
    if (b == 0xFF) {
        // FF 00 is a stuffed data byte; FF followed by anything else (or nothing) stops the window.
        if (pos_ + 1 >= size_ || data_[pos_ + 1] != 0x00) return false;
        pos_ += 2;
    } else {
        pos_ += 1;
    }
    acc_ |= uint64_t{b} << (56 - bits_);
    wideBytes_ = wideBytes_ << 1 | (b == 0xFF ? 1u : 0u);
    bits_ += 8;
    return true;
}

void TInBitStreamFile::FetchLiteral() {
    if (LoadOneByte()) return;
    if (pos_ >= size_ || pos_ + 1 >= size_) {
        pos_ = size_;
        throw EStreamError(kStreamReadError);
    }
    // A marker inside entropy-coded data: reported, and its 0xFF delivered as data.
    if (onMessage_) onMessage_(kMarkerInScanMessage, 2);
    acc_ |= uint64_t{0xFF} << (56 - bits_);
    wideBytes_ = wideBytes_ << 1 | 1u;
    bits_ += 8;
    pos_ += 2;
}

void TInBitStreamFile::ReportShortage() {
    if (pos_ + 1 < size_ && data_[pos_] == 0xFF && data_[pos_ + 1] != 0x00) {
        if (onMessage_) onMessage_(kMarkerInScanMessage, 2);
        return;
    }
    throw EStreamError(kStreamReadError);
}

bool TInBitStreamFile::StopsAtEndOfImage() const {
    size_t p = pos_;
    while (p + 1 < size_ && data_[p] == 0xFF && data_[p + 1] == 0xFF) ++p;
    return p + 1 < size_ && data_[p] == 0xFF && data_[p + 1] == 0xD9;
}

int TInBitStreamFile::ReadBit() {
    if (bits_ == 0) FetchLiteral();
    const int bit = static_cast<int>(acc_ >> 63);
    acc_ <<= 1;
    --bits_;
    return bit;
}

uint32_t TInBitStreamFile::ReadBits(int n) {
    if (n <= 0) return 0;
    if (n > 16) {
        // Only a DC category above 16 asks for this: the block cannot be decoded.
        if (onMessage_) onMessage_(msg::kBadBlock, 2);
        return 0;
    }
    while (bits_ < n) FetchLiteral();
    const uint32_t value = static_cast<uint32_t>(acc_ >> (64 - n));
    acc_ <<= n;
    bits_ -= n;
    return value;
}

size_t TInBitStreamFile::BytePosition() const {
    // Whole bytes still in the window were loaded ahead of need; a byte-level reader
    // would not have fetched them. Step back over them, two stream bytes for a wide one.
    const int unread = bits_ / 8;
    const uint64_t wide = wideBytes_ & ((uint64_t{1} << unread) - 1);
    return pos_ - static_cast<size_t>(unread) - CountWideBytes(wide);
}

void TInBitStreamFile::DropPendingBits() {
    if (bits_ == 0) return;
    pos_ = BytePosition();
    bits_ = 0;
    acc_ = 0;
}

void TInBitStreamFile::ReadBytes(void* buffer, size_t count) {
    DropPendingBits();
    if (count > size_ - pos_) {
        pos_ = size_;
        throw EStreamError(kStreamReadError);
    }
    if (count != 0) std::memcpy(buffer, data_ + pos_, count);
    pos_ += count;
}

void TInBitStreamFile::SkipBytes(size_t count) {
    DropPendingBits();
    if (count > size_ - pos_) {
        pos_ = size_;
        throw EStreamError(kStreamReadError);
    }
    pos_ += count;
}

void TInBitStreamFile::SetBytePosition(size_t position) {
    DropPendingBits();
    pos_ = position < size_ ? position : size_;
}

TInBitStreamFile TInBitStreamFile::ForkAt(size_t position) const {
    TInBitStreamFile fork(*this);
    fork.onMessage_ = nullptr;
    fork.SetBytePosition(position);
    return fork;
}

uint64_t TInBitStreamFile::BitPosition() const {
    const int held = (bits_ + 7) / 8;  // window bytes with an unread bit; the oldest may be partly read
    const uint64_t wide = wideBytes_ & ((uint64_t{1} << held) - 1);
    const size_t byte = pos_ - static_cast<size_t>(held) - CountWideBytes(wide);
    return uint64_t{byte} * 8 + static_cast<unsigned>(-bits_ & 7);
}

void TInBitStreamFile::SetBitPosition(uint64_t position) {
    acc_ = 0;
    bits_ = 0;
    wideBytes_ = 0;
    pos_ = static_cast<size_t>(position / 8);
    const int partlyRead = static_cast<int>(position % 8);
    if (partlyRead != 0 && LoadOneByte()) SkipBits(partlyRead);
}

uint8_t TInBitStreamFile::ReadByte() {
    DropPendingBits();
    if (pos_ >= size_) throw EStreamError(kStreamReadError);
    return data_[pos_++];
}

uint16_t TInBitStreamFile::ReadWord() {
    const uint16_t high = ReadByte();
    return static_cast<uint16_t>(high << 8 | ReadByte());
}

uint32_t TInBitStreamFile::ReadDWord() {
    const uint32_t high = ReadWord();
    return high << 16 | ReadWord();
}

uint16_t TInBitStreamFile::ReadMarker() {
    const uint8_t first = ReadByte();
    uint8_t second = ReadByte();
    while (first == 0xFF && second == 0xFF) second = ReadByte();
    return static_cast<uint16_t>(first << 8 | second);
}

int64_t TInBitStreamFile::MarkPosition() {
    markPos_ = static_cast<int64_t>(BytePosition());
    return markPos_;
}

void TInBitStreamFile::ReturnToMark() {
    bits_ = 0;
    acc_ = 0;
    pos_ = static_cast<size_t>(markPos_);
}

// ---------------------------------------------------------------- TOutBitStreamFile

TOutBitStreamFile::TOutBitStreamFile(TMemoryStream& stream, MessageHook onMessage)
    : stream_(stream), onMessage_(std::move(onMessage)) {}

TOutBitStreamFile::~TOutBitStreamFile() {
    try {
        EmitWholeBytes();
        DrainStaging();
    } catch (const EStreamError&) {
        // The run that owned this writer has already failed; nothing more to report.
    }
}

void TOutBitStreamFile::DrainStaging() {
    if (stagingUsed_ == 0) return;
    const size_t used = stagingUsed_;
    stagingUsed_ = 0;
    stream_.Write(staging_, used);
}

void TOutBitStreamFile::EmitWholeBytes() {
    while (bits_ >= 8) {
        bits_ -= 8;
        if (stagingUsed_ > kStagingSize - 8) DrainStaging();
        const uint8_t b = static_cast<uint8_t>(acc_ >> bits_);
        staging_[stagingUsed_++] = b;
        if (b == 0xFF) staging_[stagingUsed_++] = 0x00;
    }
}

void TOutBitStreamFile::FlushBits() {
    if (const int pad = (8 - bits_ % 8) % 8; pad > 0) {
        // T.81 B.1.1.5: a decoder that reads past the last code finds none in 1-bits.
        acc_ = acc_ << pad | ((uint64_t{1} << pad) - 1);
        bits_ += pad;
    }
    EmitWholeBytes();  // a padded byte of all ones is stuffed
    DrainStaging();
}

void TOutBitStreamFile::WriteBytes(const void* buffer, size_t count) {
    FlushBits();
    stream_.Write(buffer, count);
}

void TOutBitStreamFile::WriteByte(uint8_t b) {
    FlushBits();
    stream_.WriteByte(b);
}

void TOutBitStreamFile::WriteWord(uint16_t w) {
    FlushBits();
    const uint8_t bytes[2] = {static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w)};
    stream_.Write(bytes, 2);
}

void TOutBitStreamFile::WriteDWord(uint32_t d) {
    FlushBits();
    const uint8_t bytes[4] = {static_cast<uint8_t>(d >> 24), static_cast<uint8_t>(d >> 16),
                              static_cast<uint8_t>(d >> 8), static_cast<uint8_t>(d)};
    stream_.Write(bytes, 4);
}

int64_t TOutBitStreamFile::Position() {
    EmitWholeBytes();
    DrainStaging();
    return static_cast<int64_t>(stream_.Position());
}

}  // namespace pivotta
