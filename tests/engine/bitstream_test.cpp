#include <gtest/gtest.h>

#include <algorithm>

#include "BitStreamFile.h"
#include "Messages.h"
#include "RawBitBuffer.h"
#include "MiniJpeg.h"

namespace pivotta {
namespace {

using test::Bytes;

struct Reader {
    explicit Reader(Bytes bytes) : stream(std::move(bytes)), in(stream, [this](const std::string& t, int l) {
        messages.emplace_back(t, l);
    }) {}
    TMemoryStream stream;
    std::vector<std::pair<std::string, int>> messages;
    TInBitStreamFile in;
};

std::string ReadBitString(TInBitStreamFile& in, int count) {
    std::string bits;
    for (int i = 0; i < count; ++i) bits += static_cast<char>('0' + in.ReadBit());
    return bits;
}

TEST(InBitStream, StuffedZeroIsNeverDelivered) {
    Reader r({0xFF, 0x00, 0x80});
    EXPECT_EQ(ReadBitString(r.in, 16), "1111111110000000");
    EXPECT_TRUE(r.messages.empty());
}

TEST(InBitStream, MarkerInsideDataIsReportedOnceAndItsFFDelivered) {
    Reader r({0xFF, 0xD9, 0x55});
    EXPECT_EQ(ReadBitString(r.in, 8), "11111111");
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].first, kMarkerInScanMessage);
    EXPECT_EQ(r.messages[0].second, 2);
    // The marker's second byte is lost; the next fetch reads the byte after it.
    EXPECT_EQ(r.in.ReadBits(8), 0x55u);
    EXPECT_EQ(r.messages.size(), 1u);
}

TEST(InBitStream, ReadBitsFollowsByteBoundaries) {
    Reader r({0xAB, 0xCD, 0xEF, 0x12});
    EXPECT_EQ(r.in.ReadBits(5), 0xABu >> 3);
    EXPECT_EQ(r.in.ReadBits(3), 0xABu & 7);  // the byte is used up: the next read fetches anew
    EXPECT_EQ(r.in.ReadBits(6), 0xCDu >> 2);
    EXPECT_EQ(r.in.ReadBits(9), (0xCDu & 3) << 7 | 0xEFu >> 1);  // two bits left, one more byte
    EXPECT_EQ(r.in.ReadBit(), 1);  // last bit of 0xEF
    EXPECT_EQ(r.in.ReadBits(0), 0u);
    EXPECT_EQ(r.in.ReadBits(8), 0x12u);
}

TEST(InBitStream, MoreThanSixteenBitsAreADamagedBlockAndReadNothing) {
    // Only a DC table with a category above 16 asks for them.
    Reader r({0xAB, 0xCD, 0xEF});
    EXPECT_EQ(r.in.ReadBits(4), 0xAu);
    EXPECT_EQ(r.in.ReadBits(17), 0u);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], std::make_pair(std::string(msg::kBadBlock), 2));
    EXPECT_EQ(r.in.ReadBits(12), 0xBCDu);
}

TEST(InBitStream, TwelveBitsAcrossTwoMoreBytes) {
    Reader r({0xFF, 0x00, 0x0F, 0xF0, 0xAA});
    EXPECT_EQ(r.in.ReadBits(6), 0x3Fu);
    EXPECT_EQ(r.in.ReadBits(12), 0b11'0000'1111'11u);
    EXPECT_EQ(r.in.ReadBits(6), 0b110000u);  // BitPos had been left at 5
}

TEST(InBitStream, ByteReadsDropPendingBits) {
    Reader r({0xE0, 0x12, 0x34, 0x56});
    EXPECT_EQ(r.in.ReadBits(3), 7u);
    EXPECT_EQ(r.in.ReadWord(), 0x1234);
    EXPECT_EQ(r.in.ReadByte(), 0x56);
}

TEST(InBitStream, ByteReadsAfterFastFillResumeAfterTheLastConsumedByte) {
    // The window loads ahead across stuffed bytes; a byte read must still continue right after
    // the byte that held the last consumed bit.
    Reader r({0x81, 0xFF, 0x00, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xFF, 0x00, 0xFF, 0xD9});
    r.in.FillBits();
    ASSERT_GE(r.in.BitsAvailable(), 57);
    EXPECT_EQ(r.in.PeekBits(12), 0x81Fu);
    r.in.SkipBits(12);  // into the stuffed FF
    EXPECT_EQ(r.in.BytePosition(), 3u);
    EXPECT_EQ(r.in.ReadByte(), 0x22);
    EXPECT_EQ(r.in.ReadBits(8), 0x33u);
    r.in.FillBits();
    while (r.in.BitsAvailable() > 0) r.in.SkipBits(std::min(r.in.BitsAvailable(), 32));  // up to the marker
    EXPECT_EQ(r.in.ReadWord(), 0xFFD9);
    EXPECT_TRUE(r.messages.empty());
}

TEST(InBitStream, MarkAndReturnCopiesASegment) {
    Bytes bytes = {0x00, 0x10};
    for (int i = 0; i < 14; ++i) bytes.push_back(static_cast<uint8_t>(i + 1));
    Reader r(bytes);
    EXPECT_EQ(r.in.MarkPosition(), 0);
    EXPECT_EQ(r.in.ReadWord(), 0x0010);
    for (int i = 0; i < 14; ++i) r.in.ReadByte();
    EXPECT_EQ(r.in.BytesSinceMark(), 16);
    r.in.ReturnToMark();
    Bytes copy(16);
    r.in.ReadBytes(copy.data(), 16);
    EXPECT_EQ(copy, bytes);
}

TEST(InBitStream, EveryReadRaisesTheStreamErrorAtTheEnd) {
    Reader r({0x12});
    EXPECT_EQ(r.in.ReadByte(), 0x12);
    EXPECT_THROW(r.in.ReadByte(), EStreamError);
    EXPECT_THROW(r.in.ReadWord(), EStreamError);
    EXPECT_THROW(r.in.ReadBit(), EStreamError);
    Bytes buffer(2);
    EXPECT_THROW(r.in.ReadBytes(buffer.data(), 2), EStreamError);
    try {
        r.in.ReadDWord();
    } catch (const EStreamError& e) {
        EXPECT_STREQ(e.what(), kStreamReadError);
    }
    // A lone FF at the end cannot be a data byte.
    Reader lone({0xFF});
    EXPECT_THROW(lone.in.ReadBits(4), EStreamError);
}

TEST(InBitStream, FillBitsStopsBeforeMarkersAndShortageTellsWhy) {
    Reader marker({0x12, 0xFF, 0xD0, 0x34});
    marker.in.FillBits();
    EXPECT_EQ(marker.in.BitsAvailable(), 8);
    marker.in.ReportShortage();
    ASSERT_EQ(marker.messages.size(), 1u);
    EXPECT_EQ(marker.messages[0].second, 2);

    Reader end({0x12, 0x34});
    end.in.FillBits();
    EXPECT_EQ(end.in.BitsAvailable(), 16);
    EXPECT_EQ(end.in.PeekBits(20), 0x12340u);  // bits past the end read as zeros
    EXPECT_THROW(end.in.ReportShortage(), EStreamError);
}

TEST(InBitStream, BitPositionsAgreeWhateverWasLoadedAheadAndCanBeResumed) {
    // Stuffed bytes in the middle, so positions count stream bytes, not data bytes.
    const Bytes data = {0x12, 0xFF, 0x00, 0x34, 0x56, 0xFF, 0x00, 0xFF, 0x00, 0x78, 0x9A, 0xBC,
                        0xDE, 0xF0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
    for (int skip = 0; skip <= 120; ++skip) {
        // One reader loads 57 bits ahead, the other only what it needs.
        Reader ahead(data), lazy(data);
        ahead.in.FillBits();
        for (int left = skip; left > 0;) {
            const int n = std::min(left, 7);
            if (ahead.in.BitsAvailable() < n) ahead.in.FillBits();
            ahead.in.SkipBits(n);
            left -= n;
        }
        lazy.in.ReadBits(0);
        for (int i = 0; i < skip; ++i) lazy.in.ReadBit();
        ASSERT_EQ(ahead.in.BitPosition(), lazy.in.BitPosition()) << skip;

        Reader resumed(data);
        resumed.in.SetBitPosition(lazy.in.BitPosition());
        EXPECT_EQ(resumed.in.BytePosition(), lazy.in.BytePosition()) << skip;
        const int rest = std::min(16, 8 * 22 - skip - 24);  // stay clear of the end
        if (rest > 0) {
            EXPECT_EQ(resumed.in.ReadBits(rest), lazy.in.ReadBits(rest)) << skip;
        }
    }
    Reader r(data);
    r.in.ReadBits(12);  // the 4 bits after 0x12 come from the stuffed FF, two stream bytes
    EXPECT_EQ(r.in.BitPosition(), 8u * 1 + 4);
    r.in.ReadBits(4);
    EXPECT_EQ(r.in.BitPosition(), 8u * 3);
}

TEST(InBitStream, MarkersSkipFillBytesOnlyWhenAsked) {
    Reader r({0xFF, 0xFF, 0xFF, 0xD9, 0xFF, 0xFF, 0xD9});
    EXPECT_EQ(r.in.ReadMarker(), 0xFFD9);
    EXPECT_EQ(r.in.ReadWord(), 0xFFFF);
}

struct Writer {
    TMemoryStream stream;
    TOutBitStreamFile out{stream, nullptr};
    Bytes Flushed() {
        out.Position();
        return stream.Bytes();
    }
};

TEST(OutBitStream, StuffsAFullFFByte) {
    Writer w;
    w.out.WriteBits(0xFF, 8);
    EXPECT_EQ(w.Flushed(), (Bytes{0xFF, 0x00}));
}

TEST(OutBitStream, ByteWritesPadTheLastByteWithOneBits) {
    // T.81 B.1.1.5: a padded byte of all ones is stuffed like any other.
    struct Case {
        uint32_t value;
        int bits;
        Bytes expected;
    };
    const Case cases[] = {
        {5, 3, {0xBF, 0xFF, 0xD9}},
        {0x1FF, 9, {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0xD9}},
        {0x100, 9, {0x80, 0x7F, 0xFF, 0xD9}},
        {0xAB, 8, {0xAB, 0xFF, 0xD9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Writer w;
        w.out.WriteBits(c.value, c.bits);
        w.out.WriteWord(0xFFD9);
        EXPECT_EQ(w.stream.Bytes(), c.expected);
    }
}

TEST(OutBitStream, OnlyOneIsAOneBit) {
    Writer w;
    for (int bit : {1, 2, 0, 1, -1, 1, 1, 1}) w.out.WriteBit(bit);
    EXPECT_EQ(w.Flushed(), (Bytes{0x97}));
}

TEST(OutBitStream, NoExtraByteWhenAligned) {
    Writer w;
    w.out.WriteWord(0x1234);
    for (int i = 0; i < 8; ++i) w.out.WriteBit(1);
    w.out.WriteByte(0x12);
    w.out.WriteDWord(0xDEADBEEF);
    EXPECT_EQ(w.stream.Bytes(), (Bytes{0x12, 0x34, 0xFF, 0x00, 0x12, 0xDE, 0xAD, 0xBE, 0xEF}));
}

TEST(OutBitStream, LongRunsMatchBitByBitWriting) {
    // The accumulator must give exactly what single-bit writes give, stuffing included.
    Writer fast, slow;
    uint32_t seed = 12345;
    for (int i = 0; i < 5000; ++i) {
        seed = seed * 1103515245 + 12345;
        const int n = 1 + static_cast<int>(seed >> 27);  // 1..32
        const uint32_t value = (seed ^ (seed << 7)) | (i % 7 == 0 ? 0xFFFFFFFFu : 0);
        fast.out.WriteBits(value, n);
        for (int b = n - 1; b >= 0; --b) slow.out.WriteBit(static_cast<int>((value >> b) & 1));
    }
    fast.out.FlushBits();
    slow.out.FlushBits();
    EXPECT_EQ(fast.stream.Bytes(), slow.stream.Bytes());
}

TEST(OutBitStream, DestructionWritesCompleteBytesOnly) {
    TMemoryStream stream;
    {
        TOutBitStreamFile out(stream, nullptr);
        out.WriteBits(0xABC, 12);
    }
    EXPECT_EQ(stream.Bytes(), (Bytes{0xAB}));
}

TEST(RawBitBuffer, AppendingGivesTheBytesOfWritingDirectlyAtEveryAlignment) {
    // Bits written to a raw buffer, with markers among them, then appended behind 0..7 bits
    // (and behind whole pending bytes) must give exactly the bytes of writing them directly:
    // long stretches go 64 bits at a time, and runs of ones make FF bytes that need stuffing.
    for (int lead = 0; lead < 40; ++lead) {
        Writer direct, appended;
        RawBitBuffer raw;
        direct.out.WriteBits(0x5A5A5A5Au, 32), appended.out.WriteBits(0x5A5A5A5Au, 32);
        for (int i = 0; i < lead; ++i) direct.out.WriteBit(i % 3 == 0), appended.out.WriteBit(i % 3 == 0);
        uint32_t seed = 777u + static_cast<uint32_t>(lead);
        for (int i = 0; i < 3000; ++i) {
            seed = seed * 1103515245 + 12345;
            const int n = 1 + static_cast<int>(seed >> 27);
            const uint32_t value = (i / 200 % 2 == 0 ? 0xFFFFFFFFu : seed ^ (seed << 9)) >> (32 - n);
            direct.out.WriteBits(value, n);
            BitCursor<false> cursor = raw.OpenCursor(kMaxBlockBytes);
            cursor.PutBits(value, n);
            raw.CloseCursor(cursor);
            if (i % 1000 == 999) {  // a restart marker, written byte-aligned
                direct.out.WriteWord(static_cast<uint16_t>(0xFFD0 + i / 1000));
                raw.WriteWord(static_cast<uint16_t>(0xFFD0 + i / 1000));
            }
        }
        raw.AppendTo(appended.out);
        direct.out.FlushBits();
        appended.out.FlushBits();
        ASSERT_EQ(direct.stream.Bytes(), appended.stream.Bytes()) << "lead " << lead;
    }
}


// The stream's bytes move from ordinary memory to large blocks as it grows past 1 MiB, and
// growing zeroes nothing: what was written must survive every move, and a gap left by a
// position past the end must read as zeros even where earlier bytes lay.
TEST(MemoryStream, ContentSurvivesGrowthAndGapsReadAsZeros) {
    TMemoryStream stream;
    Bytes expected;
    uint32_t seed = 99;
    while (expected.size() < (size_t{3} << 20)) {
        seed = seed * 1103515245 + 12345;
        Bytes piece(1 + seed % 70000, static_cast<uint8_t>(seed >> 24 | 1));
        piece.front() = static_cast<uint8_t>(expected.size());
        stream.Write(piece.data(), piece.size());
        expected.insert(expected.end(), piece.begin(), piece.end());
        if (expected.size() > (size_t{1} << 20) && expected.size() < (size_t{1} << 21)) stream.Reserve(5 << 20);
    }
    EXPECT_EQ(stream.Bytes(), expected);
    EXPECT_EQ(TMemoryStream(ByteBuffer(expected.begin(), expected.end())).Bytes(), expected);

    stream.Clear();  // keeps the block with the bytes just written
    const size_t gap = size_t{2} << 20;
    const uint8_t last[] = {1, 2, 3};
    stream.SetPosition(gap);
    stream.Write(last, sizeof last);
    Bytes gapped(gap + sizeof last, 0);
    std::copy(std::begin(last), std::end(last), gapped.begin() + static_cast<long>(gap));
    EXPECT_EQ(stream.Bytes(), gapped);
}

}  // namespace
}  // namespace pivotta
