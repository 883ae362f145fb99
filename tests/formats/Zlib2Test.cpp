// TDecompressionStream: output, where it leaves its source, the remembered source
// position, seeking, and the errors of damaged data and unsupported operations.
#include "formats/zlib2.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "formats/ArchiveTestSupport.h"

namespace orv {
namespace {

using test::Compress;
using test::Concat;

// A memory stream holding `bytes`, positioned at `position`.
struct TSourceStream : TMemoryStream {
    explicit TSourceStream(std::span<const uint8_t> bytes, int64_t position = 0)
    {
        Write(bytes.data(), static_cast<int64_t>(bytes.size()));
        SetPosition(position);
    }
};

// Everything the stream produces, read in pieces of `piece` bytes.
std::vector<uint8_t> Drain(TStream& stream, int64_t piece)
{
    std::vector<uint8_t> out;
    std::vector<uint8_t> buffer(static_cast<size_t>(piece));
    int64_t got = 0;
    while ((got = stream.Read(buffer.data(), piece)) > 0) {
        EXPECT_LE(got, piece);
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return out;
}

template <typename Call>
void ExpectMessage(Call&& call, const std::string& message)
{
    try {
        call();
        ADD_FAILURE() << "no error, expected \"" << message << "\"";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), message);
    }
}

// --- Output and the source position ---------------------------------------------------

class DecompressionStreamPieces : public testing::TestWithParam<int64_t> {};

TEST_P(DecompressionStreamPieces, ProducesTheDataAndLeavesTheSourceJustAfterTheTrailer)
{
    // Incompressible data makes the compressed stream span several 64 KiB refills, so
    // the last refill reads far past the trailer into the bytes after it.
    const auto data = Concat({test::SampleNoise(150000), test::SampleText(90000)});
    const auto packed = Compress(data);
    const auto prefix = test::Bytes("prefix");
    const auto suffix = test::SampleNoise(70000, 9);
    TSourceStream source(Concat({prefix, packed, suffix}), static_cast<int64_t>(prefix.size()));

    TDecompressionStream inflater(source);
    EXPECT_EQ(Drain(inflater, GetParam()), data);
    EXPECT_EQ(source.Position(), static_cast<int64_t>(prefix.size() + packed.size()));
    EXPECT_EQ(inflater.Position(), static_cast<int64_t>(data.size()));
}

INSTANTIATE_TEST_SUITE_P(ReadSizes, DecompressionStreamPieces, testing::Values(1, 333, 4096, 65536, 1 << 20));

TEST(DecompressionStream, ReadOfExactlyTheRestReturnsItThenOnlyZeros)
{
    const auto data = test::SampleText(10000);
    const auto packed = Compress(data);
    TSourceStream source(Concat({packed, test::Bytes("tail")}));
    const auto trailerEnd = static_cast<int64_t>(packed.size());

    TDecompressionStream inflater(source);
    std::vector<uint8_t> out(data.size());
    ASSERT_EQ(inflater.Read(out.data(), 4000), 4000);
    ASSERT_EQ(inflater.Read(out.data() + 4000, 6000), 6000);
    EXPECT_EQ(out, data);

    std::array<uint8_t, 16> more{};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(inflater.Read(more.data(), static_cast<int64_t>(more.size())), 0);
        EXPECT_EQ(source.Position(), trailerEnd);
    }
    // Even after someone else moved the source.
    source.SetPosition(2);
    EXPECT_EQ(inflater.Read(more.data(), 1), 0);
    EXPECT_EQ(source.Position(), trailerEnd);
}

TEST(DecompressionStream, ReadOfZeroBytesReturnsZeroAndProducesNothing)
{
    const auto data = test::SampleText(500);
    TSourceStream source(Compress(data));
    TDecompressionStream inflater(source);
    uint8_t byte = 0;
    EXPECT_EQ(inflater.Read(&byte, 0), 0);
    EXPECT_EQ(inflater.Read(&byte, -1), 0);
    EXPECT_EQ(inflater.Position(), 0);
    EXPECT_EQ(Drain(inflater, 100), data);
}

TEST(DecompressionStream, BackToBackStreamsAreReadByOneObjectEach)
{
    const auto first = test::SampleText(80000, 3);
    const auto second = test::SampleNoise(5000, 4);
    const auto third = std::vector<uint8_t>{};
    const auto packedFirst = Compress(first);
    const auto packedSecond = Compress(second, 1);
    const auto packedThird = Compress(third);
    TSourceStream source(Concat({packedFirst, packedSecond, packedThird}));

    {
        TDecompressionStream inflater(source);
        EXPECT_EQ(Drain(inflater, 1024), first);
    }
    EXPECT_EQ(source.Position(), static_cast<int64_t>(packedFirst.size()));
    {
        TDecompressionStream inflater(source);
        EXPECT_EQ(Drain(inflater, 4096), second);
    }
    {
        TDecompressionStream inflater(source);
        EXPECT_TRUE(Drain(inflater, 4096).empty());
    }
    EXPECT_EQ(source.Position(), source.Size());
}

TEST(DecompressionStream, ObjectsTakingTurnsOnOneSourceEachKeepTheirPlace)
{
    const auto a = test::SampleNoise(200000, 5);
    const auto b = test::SampleText(300000, 6);
    const auto packedA = Compress(a);
    const auto packedB = Compress(b);
    TSourceStream source(Concat({packedA, packedB}));

    TDecompressionStream first(source);   // remembers position 0
    source.SetPosition(static_cast<int64_t>(packedA.size()));
    TDecompressionStream second(source);  // remembers the start of the second stream
    source.SetPosition(12345);            // neither cares where the source is now

    std::vector<uint8_t> outA, outB;
    std::vector<uint8_t> piece(7000);
    bool more = true;
    while (more) {
        more = false;
        for (auto [stream, out] : {std::pair{&first, &outA}, std::pair{&second, &outB}}) {
            const int64_t got = stream->Read(piece.data(), static_cast<int64_t>(piece.size()));
            out->insert(out->end(), piece.begin(), piece.begin() + got);
            more = more || got > 0;
        }
    }
    EXPECT_EQ(outA, a);
    EXPECT_EQ(outB, b);
}

TEST(DecompressionStream, ProgressFiresOncePerRefill)
{
    const auto packed = Compress(test::SampleNoise(200000));
    TSourceStream source{packed};
    TDecompressionStream inflater(source);
    int refills = 0;
    inflater.OnProgress = [&](TCustomZlibStream& stream) {
        EXPECT_EQ(&stream, &inflater);
        ++refills;
    };
    Drain(inflater, 4096);
    const auto bufferSize = static_cast<int>(TCustomZlibStream::InputBufferSize);
    EXPECT_EQ(refills, (static_cast<int>(packed.size()) + bufferSize - 1) / bufferSize);
}

// --- Short and damaged input ------------------------------------------------------------

TEST(DecompressionStream, SourceEndingEarlyEndsTheOutputWithoutError)
{
    const auto data = test::SampleNoise(50000);
    auto packed = Compress(data);
    packed.resize(packed.size() / 2);
    TSourceStream source{packed};
    TDecompressionStream inflater(source);
    const auto out = Drain(inflater, 4096);
    ASSERT_GT(out.size(), 0u);
    ASSERT_LT(out.size(), data.size());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
    uint8_t byte = 0;
    EXPECT_EQ(inflater.Read(&byte, 1), 0);

    TMemoryStream empty;
    TDecompressionStream nothing(empty);
    EXPECT_EQ(nothing.Read(&byte, 1), 0);
}

TEST(DecompressionStream, DamagedDataRaisesError)
{
    const auto data = test::SampleText(20000);
    const auto packed = Compress(data);

    auto badHeader = packed;
    badHeader[0] = 0x12;   // not the deflate method
    auto badTrailer = packed;
    const size_t last = badTrailer.size() - 1;
    badTrailer[last] = static_cast<uint8_t>(badTrailer[last] ^ 0x55);   // Adler-32 mismatch, found only at the very end
    auto badBlockType = packed;
    badBlockType[2] = 0x07;      // a final block of the reserved type 3

    for (const auto* bytes : {&badHeader, &badTrailer, &badBlockType}) {
        TSourceStream source(*bytes);
        TDecompressionStream inflater(source);
        ExpectMessage([&] { Drain(inflater, 4096); }, "error (damaged compressed data)");
    }
    TSourceStream source(badTrailer);
    TDecompressionStream inflater(source);
    EXPECT_THROW(Drain(inflater, 4096), EDecompressionError);
}

TEST(DecompressionStream, DamageInBitsAlreadyTakenInEndsQuietlyAtTheEndOfTheSource)
{
    // A damaged stream (found by fuzzing) whose bad distance code lies in bits zlib has
    // already consumed when the last input byte is gone. zlib would report it on one more
    // call, but with no input left the stream refills first, finds the source at its end
    // and returns what came out, as for any stream cut short.
    const std::vector<uint8_t> bytes = {0x78, 0xda, 0x6d, 0xcb, 0xc1, 0x09, 0x00, 0x21, 0x0c, 0x44, 0xd1,
                                        0x56, 0xa6, 0xb5, 0xb0, 0x8c, 0x6b, 0x50, 0x0c, 0x24, 0xc1, 0x65,
                                        0xad, 0x5e, 0x0b, 0xf0, 0xf6, 0x0f, 0xef, 0x2f, 0x1b, 0x7e, 0xd2};
    TSourceStream source(bytes);
    TDecompressionStream inflater(source);
    EXPECT_EQ(Drain(inflater, 1).size(), 4u);
    EXPECT_EQ(source.Position(), source.Size());

    // With more input behind it, inflate is called again and the damage is reported.
    TSourceStream longer(Concat({bytes, test::Bytes("more")}));
    TDecompressionStream again(longer);
    ExpectMessage([&] { Drain(again, 1); }, "error (damaged compressed data)");
}

TEST(DecompressionStream, StreamNeedingAPresetDictionaryRaisesError)
{
    const auto dictionary = test::Bytes("terrain water sky");
    const auto data = test::Bytes("terrain water sky terrain water sky");
    z_stream z{};
    ASSERT_EQ(deflateInit(&z, 9), Z_OK);
    ASSERT_EQ(deflateSetDictionary(&z, dictionary.data(), static_cast<uInt>(dictionary.size())), Z_OK);
    std::vector<uint8_t> packed(256);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    packed.resize(z.total_out);
    deflateEnd(&z);

    TSourceStream source{packed};
    TDecompressionStream inflater(source);
    ExpectMessage([&] { Drain(inflater, 64); }, "error (damaged compressed data)");
}

// --- Writing and seeking ------------------------------------------------------------------

TEST(DecompressionStream, WriteIsAnInvalidOperation)
{
    TSourceStream source(Compress(test::SampleText(10)));
    TDecompressionStream inflater(source);
    ExpectMessage([&] { inflater.Write("abc", 3); }, "Invalid stream operation");
    ExpectMessage([&] { inflater.Write("", 0); }, "Invalid stream operation");
    EXPECT_THROW(inflater.WriteBuffer("abc", 3), EDecompressionError);
}

class DecompressionStreamSeek : public testing::Test {
protected:
    const std::vector<uint8_t> data = test::SampleText(30000, 11);
    const std::vector<uint8_t> packed = Compress(data);
    TSourceStream source{packed};
    TDecompressionStream inflater{source};

    std::vector<uint8_t> Next(int64_t count)
    {
        std::vector<uint8_t> out(static_cast<size_t>(count));
        out.resize(static_cast<size_t>(inflater.Read(out.data(), count)));
        return out;
    }
    std::vector<uint8_t> Expected(size_t from, size_t count) const
    {
        return {data.begin() + static_cast<ptrdiff_t>(from), data.begin() + static_cast<ptrdiff_t>(from + count)};
    }
};

TEST_F(DecompressionStreamSeek, PositionIsTheCountProducedAndChangesNothing)
{
    EXPECT_EQ(inflater.Position(), 0);
    ASSERT_EQ(Next(40), Expected(0, 40));
    const int64_t sourceAt = source.Position();
    EXPECT_EQ(inflater.Seek(0, TSeekOrigin::Current), 40);
    EXPECT_EQ(inflater.Position(), 40);
    EXPECT_EQ(source.Position(), sourceAt);
    EXPECT_EQ(Next(10), Expected(40, 10));
}

TEST_F(DecompressionStreamSeek, ForwardSeeksDiscardTheBytesInBetween)
{
    ASSERT_EQ(Next(40), Expected(0, 40));
    EXPECT_EQ(inflater.Seek(100, TSeekOrigin::Beginning), 100);
    EXPECT_EQ(Next(5), Expected(100, 5));
    // More than one 4096-byte piece, and a remainder.
    EXPECT_EQ(inflater.Seek(9000, TSeekOrigin::Current), 9105);
    EXPECT_EQ(Next(7), Expected(9105, 7));
    EXPECT_EQ(inflater.Seek(8192, TSeekOrigin::Current), 17304);
    EXPECT_EQ(Next(1), Expected(17304, 1));
}

TEST_F(DecompressionStreamSeek, SeekingPastTheEndRaisesStreamReadError)
{
    ExpectMessage([&] { inflater.Seek(static_cast<int64_t>(data.size()) + 1, TSeekOrigin::Beginning); },
                  "Stream read error");
    EXPECT_EQ(inflater.Position(), static_cast<int64_t>(data.size()));
}

TEST_F(DecompressionStreamSeek, BackwardAndFromEndSeeksAreInvalid)
{
    ASSERT_EQ(Next(40), Expected(0, 40));
    for (auto [offset, origin] : {std::pair{int64_t{40}, TSeekOrigin::Beginning},
                                  std::pair{int64_t{39}, TSeekOrigin::Beginning},
                                  std::pair{int64_t{-1}, TSeekOrigin::Current},
                                  std::pair{int64_t{0}, TSeekOrigin::End},
                                  std::pair{int64_t{10}, TSeekOrigin::End}})
        ExpectMessage([&] { inflater.Seek(offset, origin); }, "Invalid stream operation");
    ExpectMessage([&] { inflater.Size(); }, "Invalid stream operation");
    EXPECT_EQ(Next(10), Expected(40, 10)) << "failed seeks must not move the stream";
}

TEST_F(DecompressionStreamSeek, SeekToZeroRestartsFromTheStartOfTheSource)
{
    ASSERT_EQ(Next(20000), Expected(0, 20000));
    EXPECT_EQ(inflater.Seek(0, TSeekOrigin::Beginning), 0);
    EXPECT_EQ(inflater.Position(), 0);
    EXPECT_EQ(Next(static_cast<int64_t>(data.size()) + 10), data);
}

TEST(DecompressionStream, SeekToZeroGoesToSourcePositionZeroNotToWhereItBegan)
{
    const auto first = test::SampleText(3000, 20);
    const auto second = test::SampleText(3000, 21);
    const auto packedFirst = Compress(first);
    TSourceStream source(Concat({packedFirst, Compress(second)}),
                                      static_cast<int64_t>(packedFirst.size()));
    TDecompressionStream inflater(source);
    std::vector<uint8_t> out(10);
    ASSERT_EQ(inflater.Read(out.data(), 10), 10);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), second.begin()));
    inflater.Seek(0, TSeekOrigin::Beginning);
    EXPECT_EQ(Drain(inflater, 512), first);
}

}  // namespace
}  // namespace orv
