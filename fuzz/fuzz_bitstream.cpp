// The bit streams driven by the input: a sequence of reads of every kind, marks and returns
// over a byte stream, and a sequence of writes. Each is checked against a literal model that
// fetches and writes one byte at a time, so the 64-bit windows must give exactly the same
// values, positions, messages and bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BitStreamFile.h"

namespace {

using pivotta::EStreamError;
using pivotta::TInBitStreamFile;
using pivotta::TMemoryStream;
using pivotta::TOutBitStreamFile;

[[noreturn]] void Mismatch(const char* what, long expected, long actual) {
    std::fprintf(stderr, "bit stream differs from the model: %s: expected %ld, got %ld\n", what, expected, actual);
    std::abort();
}

void Same(const char* what, long expected, long actual) {
    if (expected != actual) Mismatch(what, expected, actual);
}

struct EndOfData {};

// PIVOTTA_FUZZ_TRACE=1 prints every read when a mismatch is replayed.
bool Tracing() {
    static const bool tracing = std::getenv("PIVOTTA_FUZZ_TRACE") != nullptr;
    return tracing;
}

long Mix(long hash, uint8_t byte) { return static_cast<long>(static_cast<uint64_t>(hash) * 31 + byte); }

// One byte fetched at a time; FF 00 is a stuffed 0xFF, FF xx a marker that is reported and
// whose 0xFF is delivered as data while xx is lost.
class ModelReader {
public:
    explicit ModelReader(const std::vector<uint8_t>& data) : data_(data) {}

    uint8_t ReadByte() {
        bitPos_ = 7;
        if (pos_ >= data_.size()) throw EndOfData{};
        return data_[pos_++];
    }
    uint16_t ReadWord() {
        const uint16_t high = ReadByte();
        return static_cast<uint16_t>(high << 8 | ReadByte());
    }
    uint32_t ReadDWord() {
        const uint32_t high = ReadWord();
        return high << 16 | ReadWord();
    }
    uint16_t ReadMarker() {
        const uint8_t first = ReadByte();
        uint8_t second = ReadByte();
        while (first == 0xFF && second == 0xFF) second = ReadByte();
        return static_cast<uint16_t>(first << 8 | second);
    }
    std::vector<uint8_t> ReadBytes(size_t count) {
        bitPos_ = 7;  // even for no bytes at all
        std::vector<uint8_t> bytes(count);
        for (uint8_t& b : bytes) b = ReadByte();
        return bytes;
    }
    void SkipBytes(size_t count) {
        bitPos_ = 7;
        if (count > data_.size() - pos_) throw EndOfData{};
        pos_ += count;
    }
    int ReadBit() {
        if (bitPos_ == 7) Fetch();
        const int bit = (cur_ >> bitPos_) & 1;
        if (--bitPos_ < 0) bitPos_ = 7;
        return bit;
    }
    uint32_t ReadBits(int n) {
        if (n > 16) {
            ++messages;
            return 0;
        }
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) value = value << 1 | static_cast<uint32_t>(ReadBit());
        return value;
    }
    int64_t MarkPosition() { return mark_ = static_cast<int64_t>(pos_); }
    void ReturnToMark() {
        pos_ = static_cast<size_t>(mark_);
        bitPos_ = 7;
    }
    int64_t BytesSinceMark() const { return static_cast<int64_t>(pos_) - mark_; }
    size_t Position() const { return pos_; }
    int messages = 0;

private:
    void Fetch() {
        cur_ = ReadByte();
        if (cur_ == 0xFF && ReadByte() != 0x00) ++messages;
    }

    const std::vector<uint8_t>& data_;
    size_t pos_ = 0;
    int bitPos_ = 7;
    uint8_t cur_ = 0;
    int64_t mark_ = 0;
};

void FuzzReader(FuzzedDataProvider& provider) {
    const std::vector<uint8_t> bytes = provider.ConsumeBytes<uint8_t>(provider.ConsumeIntegralInRange<size_t>(0, 512));
    const TMemoryStream stream(bytes);
    int messages = 0;
    TInBitStreamFile reader(stream, [&messages](const std::string&, int level) {
        Same("message level", 2, level);
        ++messages;
    });
    ModelReader model(bytes);

    for (int step = 0; step < 200 && provider.remaining_bytes() > 0; ++step) {
        const int op = provider.ConsumeIntegralInRange<int>(0, 12);
        const int n = provider.ConsumeIntegralInRange<int>(0, 17);
        bool modelEnded = false, readerEnded = false;
        long expected = 0, actual = 0;
        if (op == 12) {
            // The scan decoder's path: a window topped up ahead, then peeks and skips. It never
            // reaches past a marker or the end, where the model would go on.
            if (n == 0) continue;
            reader.FillBits();
            if (n > 16 || n > reader.BitsAvailable()) continue;
            actual = reader.PeekBits(n);
            reader.SkipBits(n);
            Same("window bits", static_cast<long>(model.ReadBits(n)), actual);
            Same("messages", model.messages, messages);
            continue;
        }
        try {
            switch (op) {
                case 0: expected = model.ReadByte(); break;
                case 1: expected = model.ReadWord(); break;
                case 2: expected = static_cast<long>(model.ReadDWord()); break;
                case 3: expected = model.ReadBit(); break;
                case 4: case 5: expected = static_cast<long>(model.ReadBits(n)); break;
                case 6: expected = model.ReadMarker(); break;
                case 7: expected = model.MarkPosition(); break;
                case 8: model.ReturnToMark(); break;
                case 9: model.SkipBytes(static_cast<size_t>(n)); break;
                case 10: expected = model.BytesSinceMark(); break;
                case 11: {
                    // ReadBytes of n bytes, compared as a hash of the bytes.
                    for (const uint8_t b : model.ReadBytes(static_cast<size_t>(n))) expected = Mix(expected, b);
                    break;
                }
            }
        } catch (const EndOfData&) {
            modelEnded = true;
        }
        try {
            switch (op) {
                case 0: actual = reader.ReadByte(); break;
                case 1: actual = reader.ReadWord(); break;
                case 2: actual = static_cast<long>(reader.ReadDWord()); break;
                case 3: actual = reader.ReadBit(); break;
                case 4: case 5: actual = static_cast<long>(reader.ReadBits(n)); break;
                case 6: actual = reader.ReadMarker(); break;
                case 7: actual = reader.MarkPosition(); break;
                case 8: reader.ReturnToMark(); break;
                case 9: reader.SkipBytes(static_cast<size_t>(n)); break;
                case 10: actual = reader.BytesSinceMark(); break;
                case 11: {
                    uint8_t buffer[17];
                    reader.ReadBytes(buffer, static_cast<size_t>(n));
                    for (int i = 0; i < n; ++i) actual = Mix(actual, buffer[i]);
                    break;
                }
            }
        } catch (const EStreamError&) {
            readerEnded = true;
        }
        if (Tracing()) {
            std::fprintf(stderr, "op %d n %d: model %ld%s at %zu, reader %ld%s at %zu\n", op, n, expected,
                         modelEnded ? " (end)" : "", model.Position(), actual, readerEnded ? " (end)" : "",
                         reader.BytePosition());
        }
        Same("read past the end", modelEnded, readerEnded);
        if (modelEnded) return;  // callers never read on after the read error
        Same("value", expected, actual);
        Same("messages", model.messages, messages);
        // Where a byte-level read would continue.
        Same("byte position", static_cast<long>(model.Position()), static_cast<long>(reader.BytePosition()));
    }
}

// Appends whole bytes as soon as they are complete, stuffing 0xFF with 0x00.
class ModelWriter {
public:
    void WriteBit(int bit) {
        if (bit == 1) cur_ |= static_cast<uint8_t>(1 << bitPos_);
        if (--bitPos_ >= 0) return;
        bitPos_ = 7;
        bytes.push_back(cur_);
        if (cur_ == 0xFF) bytes.push_back(0x00);
        cur_ = 0;
    }
    void WriteBits(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) WriteBit(static_cast<int>((value >> i) & 1));
    }
    // The rest of the byte is padded with 1-bits (T.81 B.1.1.5), stuffed like any other byte.
    void FlushBits() {
        while (bitPos_ != 7) WriteBit(1);
    }
    void WriteByte(uint8_t b) {
        FlushBits();
        bytes.push_back(b);
    }

    std::vector<uint8_t> bytes;

private:
    int bitPos_ = 7;
    uint8_t cur_ = 0;
};

void FuzzWriter(FuzzedDataProvider& provider) {
    ModelWriter model;
    TMemoryStream stream;
    {
        TOutBitStreamFile writer(stream, nullptr);
        for (int step = 0; step < 300 && provider.remaining_bytes() > 0; ++step) {
            const int op = provider.ConsumeIntegralInRange<int>(0, 7);
            const uint32_t value = provider.ConsumeIntegral<uint32_t>();
            const int n = provider.ConsumeIntegralInRange<int>(0, 32);
            switch (op) {
                case 0: model.WriteBit(static_cast<int>(value % 3)); writer.WriteBit(static_cast<int>(value % 3)); break;
                case 1: case 2:
                    model.WriteBits(value, n);
                    writer.WriteBits(value, n);
                    break;
                case 3: model.FlushBits(); writer.FlushBits(); break;
                case 4: model.WriteByte(static_cast<uint8_t>(value)); writer.WriteByte(static_cast<uint8_t>(value)); break;
                case 5: {
                    model.WriteByte(static_cast<uint8_t>(value >> 8));
                    model.bytes.push_back(static_cast<uint8_t>(value));
                    writer.WriteWord(static_cast<uint16_t>(value));
                    break;
                }
                case 6: {
                    model.WriteByte(static_cast<uint8_t>(value >> 24));
                    for (int shift = 16; shift >= 0; shift -= 8) model.bytes.push_back(static_cast<uint8_t>(value >> shift));
                    writer.WriteDWord(value);
                    break;
                }
                case 7: {
                    Same("position", static_cast<long>(model.bytes.size()), static_cast<long>(writer.Position()));
                    if (!model.bytes.empty()) Same("memory", model.bytes.back(), writer.Memory()[model.bytes.size() - 1]);
                    break;
                }
            }
        }
    }
    // The writer's last partial byte stays unwritten, as the model's does.
    Same("bytes written", static_cast<long>(model.bytes.size()), static_cast<long>(stream.Size()));
    const std::vector<uint8_t> written = stream.Bytes();
    for (size_t i = 0; i < model.bytes.size(); ++i) Same("byte", model.bytes[i], written[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    if (provider.ConsumeBool()) {
        FuzzReader(provider);
    } else {
        FuzzWriter(provider);
    }
    return 0;
}
