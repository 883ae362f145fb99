// TMPKFile and its directory: loading, lookup, extraction, damaged archives, checked
// against archives assembled here byte by byte.
#include "formats/MPKFile.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>

#include "BadFiles.h"
#include "formats/ArchiveTestSupport.h"
#include "formats/zlib2.h"

namespace orv {
namespace {

using test::Bytes;
using test::Compress;
using test::Concat;
using test::ScratchDir;

// --- Assembling archives by hand -------------------------------------------------------

struct TRecordFields {
    std::string Name;
    uint32_t Timestamp = 0;
    int32_t Aux1 = 0;
    int32_t UncompressedSize = 0;
    int64_t Offset = 0;   // relative to the data area
    int32_t CompressedSize = 0;
    int32_t Aux2 = 0;
};

void Put32(std::vector<uint8_t>& record, int at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        record[static_cast<size_t>(at + i)] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> Record(const TRecordFields& fields)
{
    std::vector<uint8_t> record(MPKRecordSize, 0);
    std::memcpy(record.data(), fields.Name.data(), std::min<size_t>(fields.Name.size(), 256));
    Put32(record, 256, fields.Timestamp);
    Put32(record, 260, 0xDEADBEEF);   // ignored by the reader
    Put32(record, 264, static_cast<uint32_t>(fields.Aux1));
    Put32(record, 268, static_cast<uint32_t>(fields.UncompressedSize));
    Put32(record, 272, static_cast<uint32_t>(fields.Offset));
    Put32(record, 276, static_cast<uint32_t>(fields.CompressedSize));
    Put32(record, 280, static_cast<uint32_t>(fields.Aux2));
    return record;
}

// "MPAK", 17 filler bytes, the name and directory blocks as given (already compressed),
// then the data area.
std::vector<uint8_t> RawArchive(std::span<const uint8_t> nameBlock, std::span<const uint8_t> directoryBlock,
                                std::span<const uint8_t> data = {})
{
    const std::vector<uint8_t> header = Concat({Bytes("MPAK"), std::vector<uint8_t>(17, 0xA5)});
    return Concat({header, nameBlock, directoryBlock, data});
}

// An archive whose members are stored in order, with correct records.
struct TRawMember {
    std::string Name;
    std::vector<uint8_t> Data;
};

std::vector<uint8_t> SimpleArchive(const std::vector<TRawMember>& members, const std::string& name = "test")
{
    std::vector<uint8_t> directory, data;
    for (const auto& member : members) {
        const auto packed = Compress(member.Data);
        const auto record = Record({member.Name, 0, 0, static_cast<int32_t>(member.Data.size()),
                                    static_cast<int64_t>(data.size()), static_cast<int32_t>(packed.size()), 0});
        directory.insert(directory.end(), record.begin(), record.end());
        data.insert(data.end(), packed.begin(), packed.end());
    }
    return RawArchive(Compress(Bytes(name)), Compress(directory), data);
}

class MPKFileTest : public testing::Test {
protected:
    ScratchDir dir;

    std::string Save(const std::vector<uint8_t>& bytes, const std::string& name = "archive.mpk")
    {
        const std::string path = dir.File(name);
        WriteWholeFile(path, bytes.data(), bytes.size());
        return path;
    }

    static std::vector<uint8_t> Extract(TMPKFile& archive, std::string_view member)
    {
        return archive.ExtractToMemory(member)->Bytes();
    }
};

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

// The message of a missing member, after the archive's path when it has one.
std::string NotFound(const std::string& member, const std::string& archive = "")
{
    return (archive.empty() ? "" : archive + ": ") + "Source stream [" + member + "] not found in archive";
}

// --- Loading ---------------------------------------------------------------------------

TEST_F(MPKFileTest, LoadsTheNameAndEveryRecord)
{
    const auto terrain = test::SampleNoise(70000);
    const auto sector = Bytes("[river01]\nheight=1000\n");
    const std::string path = Save(SimpleArchive({{"terrain.pcx", terrain}, {"sector.dat", sector}}, "dat111"));

    TMPKFile archive(path);
    EXPECT_TRUE(archive.Loaded());
    EXPECT_EQ(archive.FileName(), path);
    EXPECT_EQ(archive.ArchiveName(), "dat111");
    ASSERT_EQ(archive.Directory().Count(), 2);
    const auto& first = archive.Directory().Items(0);
    const auto& second = archive.Directory().Items(1);
    EXPECT_EQ(first.Name, "terrain.pcx");
    EXPECT_EQ(second.Name, "sector.dat");
    EXPECT_EQ(first.UncompressedSize, 70000);
    EXPECT_EQ(second.UncompressedSize, static_cast<int32_t>(sector.size()));
    // Offsets are absolute: the second member starts right after the first.
    EXPECT_EQ(second.Offset, first.Offset + first.CompressedSize);
    const auto bytes = ReadWholeFile(path);
    EXPECT_EQ(second.Offset + second.CompressedSize, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(bytes[static_cast<size_t>(first.Offset)], 0x78) << "a zlib header";

    EXPECT_EQ(Extract(archive, "terrain.pcx"), terrain);
    EXPECT_EQ(Extract(archive, "sector.dat"), sector);
    EXPECT_THROW(archive.Directory().Items(2), EListError);
    ExpectMessage([&] { archive.Directory().Items(-1); }, "List index out of bounds (-1)");
}

TEST_F(MPKFileTest, CopiesTheRecordFieldsAndConvertsTheTimestamp)
{
    const auto data = Bytes("payload");
    const auto packed = Compress(data);
    // 2000-01-01 12:00:00 is day 36526.5 counted from 1899-12-30.
    const auto record = Record({"a.bin", 946684800u + 43200u, -7, 1000, 0, 250, 0x12345678});
    const std::string path = Save(RawArchive(Compress(Bytes("n")), Compress(record), packed));

    TMPKFile archive(path);
    const auto& entry = archive.Directory().Items(0);
    EXPECT_EQ(entry.UnixTime, 946684800u + 43200u);
    EXPECT_DOUBLE_EQ(entry.Timestamp, 36526.5);
    EXPECT_EQ(entry.Aux1, -7);
    EXPECT_EQ(entry.Aux2, 0x12345678);
    EXPECT_EQ(entry.UncompressedSize, 1000);
    EXPECT_EQ(entry.CompressedSize, 250);
    EXPECT_EQ(entry.Ratio, 75);
    // Sizes the member's stream does not have are damage.
    EXPECT_THROW(Extract(archive, "a.bin"), EMPKError);
}

TEST(MPKDirectoryEntry, TimestampIsUnsignedDaysSince1899)
{
    auto record = Record({"x", 0xFFFFFFFFu});
    const TMPKDirectoryEntry late(std::span<const uint8_t, MPKRecordSize>(record.data(), MPKRecordSize));
    EXPECT_DOUBLE_EQ(late.Timestamp, 4294967295.0 / 86400.0 + 25569.0);
    EXPECT_GT(late.Timestamp, 25569.0 + 49710.0);
    record = Record({"x", 0});
    const TMPKDirectoryEntry epoch(std::span<const uint8_t, MPKRecordSize>(record.data(), MPKRecordSize));
    EXPECT_DOUBLE_EQ(epoch.Timestamp, 25569.0);
}

TEST(MPKDirectoryEntry, RatioIsWholePercentSavedTruncatedTowardZero)
{
    struct TCase {
        int32_t Uncompressed, Compressed, Ratio;
    };
    const TCase cases[] = {
        {1000, 250, 75},
        {1000, 1000, 0},
        {3, 2, 33},
        {3, 4, -33},     // toward zero, not down to -34
        {0, 99, 0},      // an empty member
        {7, 0, 100},
        // (30 000 000 - 0) * 100 wraps in 32 bits to -1 294 967 296.
        {30000000, 0, -43},
        // The difference itself wraps: 2^31 - 1 - (-2) is -2^31 + 1.
        {2147483647, -2, 0},
    };
    for (const auto& c : cases) {
        auto record = Record({"x", 0, 0, c.Uncompressed, 0, c.Compressed});
        TMPKDirectoryEntry entry(std::span<const uint8_t, MPKRecordSize>(record.data(), MPKRecordSize));
        EXPECT_EQ(entry.Ratio, c.Ratio) << c.Uncompressed << " / " << c.Compressed;
        entry.UncompressedSize = 200;
        entry.CompressedSize = 50;
        entry.UpdateRatio();
        EXPECT_EQ(entry.Ratio, 75);
    }
}

TEST_F(MPKFileTest, NameFillingAllOfItsFieldIsKeptWhole)
{
    const std::string longName(256, 'n');
    const std::string path = Save(SimpleArchive({{longName, Bytes("long")}, {"short", Bytes("s")}}));
    TMPKFile archive(path);
    EXPECT_EQ(archive.Directory().Items(0).Name, longName);
    EXPECT_EQ(archive.Directory().Items(1).Name, "short");
    EXPECT_EQ(Extract(archive, longName), Bytes("long"));
}

TEST_F(MPKFileTest, ArchiveNameKeepsEmbeddedNulsAndMayBe1024Bytes)
{
    const std::string withNul("dat\0x", 5);
    TMPKFile first(Save(SimpleArchive({{"m", Bytes("1")}}, withNul), "with-nul.mpk"));
    EXPECT_EQ(first.ArchiveName(), withNul);

    const std::string longest(1024, 'a');
    TMPKFile second(Save(SimpleArchive({{"m", Bytes("2")}}, longest), "long.mpk"));
    EXPECT_EQ(second.ArchiveName(), longest);
    EXPECT_EQ(Extract(second, "m"), Bytes("2")) << "the directory is still found";
}

TEST_F(MPKFileTest, NameBlockOver1024BytesIsRejected)
{
    const std::string path = Save(SimpleArchive({{"m", Bytes("1")}}, std::string(1025, 'a')));
    ExpectMessage([&] { TMPKFile archive(path); }, path + ": archive name block longer than 1024 bytes");
}

TEST_F(MPKFileTest, EmptyDirectoryLoadsAndFindsNothing)
{
    TMPKFile archive(Save(RawArchive(Compress(Bytes("empty")), Compress({}))));
    EXPECT_TRUE(archive.Loaded());
    EXPECT_EQ(archive.ArchiveName(), "empty");
    EXPECT_EQ(archive.Directory().Count(), 0);
    EXPECT_FALSE(archive.Directory().Exists("terrain.pcx"));
    ExpectMessage([&] { archive.ExtractToMemory("terrain.pcx"); }, NotFound("terrain.pcx", archive.FileName()));
}

// A directory cut inside a record, and a file cut inside either block, are damage: they
// fail to open instead of listing fewer members (or none, for a 4-byte "MPAK").
TEST_F(MPKFileTest, ACutOrPartialDirectoryIsRefused)
{
    const auto packed = Compress(Bytes("one"));
    const auto directory = Concat({Record({"one", 0, 0, 3, 0, static_cast<int32_t>(packed.size())}),
                                   std::vector<uint8_t>(100, 'x')});
    const std::string partial = Save(RawArchive(Compress(Bytes("n")), Compress(directory), packed), "partial.mpk");
    ExpectMessage([&] { TMPKFile archive(partial); },
                  partial + ": damaged: the directory holds 384 bytes, not whole records of 284");

    const auto whole = SimpleArchive({{"m", test::SampleNoise(3000)}});
    const size_t directoryEnd = whole.size() - Compress(test::SampleNoise(3000)).size();
    const struct {
        size_t Length;
        std::string Where;
    } cuts[] = {{4, "archive name block"}, {MPKNameBlockStart + 3, "archive name block"},
                {directoryEnd - 1, "directory block"}};
    for (const auto& cut : cuts) {
        const std::string path = Save({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut.Length)});
        ExpectMessage([&] { TMPKFile archive(path); },
                      path + ": the archive is cut short (the file ends inside the " + cut.Where + ")");
    }
}

TEST_F(MPKFileTest, WrongMagicOrTooShortFileIsNotAnMPAKFile)
{
    auto lower = SimpleArchive({{"m", Bytes("1")}});
    std::memcpy(lower.data(), "mpak", 4);
    const std::vector<std::vector<uint8_t>> files = {lower, Bytes("MPA"), {}, Bytes("PAKM....")};
    int n = 0;
    for (const auto& bytes : files) {
        const std::string path = Save(bytes, "bad" + std::to_string(n++) + ".mpk");
        ExpectMessage([&] { TMPKFile archive(path); }, path + ": Not an MPAK file");
    }
}

TEST_F(MPKFileTest, MissingFileRaisesCannotOpen)
{
    const std::string path = dir.File("nowhere.mpk");
    try {
        TMPKFile archive(path);
        FAIL() << "opened a missing archive";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(error.Message(), "Cannot open file " + path);
    }
}

TEST_F(MPKFileTest, DamagedBlocksRaiseTheInflateError)
{
    const auto member = test::SampleText(5000);
    auto good = SimpleArchive({{"m", member}});
    const std::string goodPath = Save(good, "good.mpk");
    int32_t memberOffset = 0;
    {
        TMPKFile archive(goodPath);
        memberOffset = archive.Directory().Items(0).Offset;
    }

    // The inflate stream's "error" after the archive's path (and the member's name).
    auto badName = good;
    badName[21] = 0x00;   // the name block's zlib header
    const std::string namePath = Save(badName, "name.mpk");
    ExpectMessage([&] { TMPKFile archive(namePath); }, namePath + ": error (damaged compressed data)");

    const std::vector<uint8_t> reservedBlock = {0x78, 0xDA, 0xFF, 0xFF, 0xFF, 0xFF};
    auto badDirectory = RawArchive(Compress(Bytes("n")), reservedBlock);
    const std::string directoryPath = Save(badDirectory, "dir.mpk");
    ExpectMessage([&] { TMPKFile archive(directoryPath); }, directoryPath + ": error (damaged compressed data)");

    auto badMember = good;
    badMember[static_cast<size_t>(memberOffset) + 2] = 0x07;   // reserved block type
    const std::string memberPath = Save(badMember, "member.mpk");
    TMPKFile archive(memberPath);
    ExpectMessage([&] { archive.ExtractToMemory("m"); }, memberPath + ": m: error (damaged compressed data)");
    EXPECT_THROW(archive.ExtractToMemory("m"), EDecompressionError);
}

// A member cut short or disagreeing with its record is an error naming the member, for
// every way of taking it, never the bytes so far; only a reader that stops early by its
// own limit never looks at the rest.
TEST_F(MPKFileTest, AMemberCutShortOrUnlikeItsRecordIsAnError)
{
    const auto data = test::SampleNoise(60000);
    auto bytes = SimpleArchive({{"m", data}});
    bytes.resize(bytes.size() - 30000);
    const std::string cutPath = Save(bytes, "cut.mpk");
    TMPKFile cut(cutPath);
    const TMPKDirectoryEntry& m = cut.Directory().Items(0);
    const std::string pastTheEnd = cutPath + ": m: the archive is cut short (m reaches past the end of the file: " +
                                   std::to_string(m.Offset) + " + " + std::to_string(m.CompressedSize) +
                                   " bytes of " + std::to_string(bytes.size()) + ")";
    ExpectMessage([&] { cut.ExtractToMemory("m"); }, pastTheEnd);
    ExpectMessage([&] { cut.ExtractToMemory("m", {10, TExtractLimit::Stop}); }, pastTheEnd);
    ExpectMessage([&] { cut.OpenMember("m"); }, pastTheEnd);

    // A record within the file whose stream the file ends inside: packed size 0 at the
    // very end, claiming 1000 bytes.
    const auto one = Compress(Bytes("one"));
    const auto directory = Concat({Record({"one", 0, 0, 3, 0, static_cast<int32_t>(one.size())}),
                                   Record({"zero", 0, 0, 1000, static_cast<int64_t>(one.size()), 0}),
                                   Record({"long", 0, 0, 3, 0, static_cast<int32_t>(one.size()) - 1}),
                                   Record({"big", 0, 0, 4, 0, static_cast<int32_t>(one.size())})});
    const std::string path = Save(RawArchive(Compress(Bytes("n")), Compress(directory), one));
    TMPKFile archive(path);
    EXPECT_EQ(Extract(archive, "one"), Bytes("one"));
    ExpectMessage([&] { archive.ExtractToMemory("zero"); },
                  path + ": zero: the archive is cut short (the file ends inside the member's compressed stream)");
    ExpectMessage([&] { archive.ExtractToMemory("long"); },
                  path + ": long: damaged: its compressed stream takes " + std::to_string(one.size()) +
                      " bytes, its record says " + std::to_string(one.size() - 1));
    const std::string inflatesOther = path + ": big: damaged: it inflates to 3 bytes, its record says 4";
    ExpectMessage([&] { archive.ExtractToMemory("big"); }, inflatesOther);
    TMemoryStream sink;
    EXPECT_THROW(archive.ExtractToStream("big", sink, {4, TExtractLimit::Refuse}), EMPKError);
    EXPECT_EQ(archive.ExtractToMemory("big", {2, TExtractLimit::Stop})->Bytes(), Bytes("on"));
    const std::unique_ptr<TStream> stream = archive.OpenMember("big");
    std::array<char, 8> buffer{};
    EXPECT_EQ(stream->Read(buffer.data(), 2), 2);
    ExpectMessage([&] { stream->Read(buffer.data(), 8); }, inflatesOther);
}

TEST_F(MPKFileTest, OffsetsOutsideTheFileNeverReadOtherBytes)
{
    const auto packed = Compress(Bytes("real"));
    const auto directory = Concat({Record({"real", 0, 0, 4, 0, static_cast<int32_t>(packed.size())}),
                                   Record({"beyond", 0, 0, 0x7FFFFFFF, 1 << 30, 0x7FFFFFFF}),
                                   Record({"before", 0, 0, 100, -1000000, 10})});
    TMPKFile archive(Save(RawArchive(Compress(Bytes("n")), Compress(directory), packed)));
    // Past the end there is nothing: the archive is cut short. The huge claimed size is
    // not trusted for anything.
    const std::string path = archive.FileName();
    EXPECT_THROW(archive.ExtractToMemory("beyond"), EMPKError);
    ExpectMessage([&] { archive.ExtractToMemory("before"); },
                  path + ": member [before] starts before the beginning of the file");
    EXPECT_EQ(Extract(archive, "real"), Bytes("real"));
}

// --- Lookup ----------------------------------------------------------------------------

TEST_F(MPKFileTest, LookupIgnoresCaseAndTheFirstOfEqualNamesWins)
{
    const std::string path = Save(SimpleArchive({{"terrain.pcx", Bytes("first")},
                                                 {"Terrain.PCX", Bytes("second")},
                                                 {"offset.pcx", Bytes("offset")},
                                                 {"TERRAIN.pcx", Bytes("third")}}));
    TMPKFile archive(path);
    const auto& directory = archive.Directory();
    EXPECT_EQ(directory.IndexOf("TERRAIN.PCX"), 0);
    EXPECT_EQ(directory.IndexOf("Offset.PCX"), 2);
    EXPECT_EQ(directory.IndexOf("offset"), -1);
    EXPECT_TRUE(directory.Exists("terrain.PCX"));
    EXPECT_FALSE(directory.Exists("terrain.dds"));

    EXPECT_EQ(Extract(archive, "TERRAIN.PCX"), Bytes("first"));
    TMemoryStream stream;
    archive.ExtractToStream("Terrain.Pcx", stream);
    EXPECT_EQ(stream.Bytes(), Bytes("first"));
    archive.ExtractToFile("terrain.PCX", dir.File("out.pcx"));
    EXPECT_EQ(ReadWholeFile(dir.File("out.pcx")), Bytes("first"));
}

// --- Extraction ------------------------------------------------------------------------

TEST_F(MPKFileTest, ExtractToMemoryIsPositionedAtZeroAndSizedToTheMember)
{
    const auto big = test::SampleText(300000);
    TMPKFile archive(Save(SimpleArchive({{"big", big}, {"empty", {}}})));
    auto stream = archive.ExtractToMemory("big");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->Position(), 0);
    EXPECT_EQ(stream->Size(), 300000);
    std::vector<uint8_t> head(10);
    ASSERT_EQ(stream->Read(head.data(), 10), 10);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), big.begin()));

    auto empty = archive.ExtractToMemory("empty");
    EXPECT_EQ(empty->Size(), 0);
    EXPECT_EQ(empty->Position(), 0);
}

TEST_F(MPKFileTest, ClaimedSizesMustBeTheTrueOnes)
{
    const auto data = test::SampleText(20000);
    const auto packed = Compress(data);
    const auto packedSize = static_cast<int32_t>(packed.size());
    for (const int32_t claimed : {0, 5, -1, 20000, 0x7FFFFFFF}) {
        const auto record = Record({"m", 0, 0, claimed, 0, claimed == 20000 ? packedSize : claimed});
        const auto bytes = RawArchive(Compress(Bytes("n")), Compress(record), packed);
        TMPKFile archive(Save(bytes));
        if (claimed != 20000) {
            EXPECT_THROW(archive.ExtractToMemory("m"), EMPKError) << claimed;
            continue;
        }
        const auto stream = archive.ExtractToMemory("m");
        EXPECT_EQ(stream->Bytes(), data) << claimed;
        EXPECT_EQ(stream->Position(), 0);
        EXPECT_EQ(stream->Bytes().capacity(), data.size()) << "a true size is reserved once";
    }
}

TEST_F(MPKFileTest, ExtractToStreamWritesAtTheDestinationsPosition)
{
    TMPKFile archive(Save(SimpleArchive({{"m", Bytes("payload")}})));
    TMemoryStream appended;
    appended.Write("HEAD", 4);
    archive.ExtractToStream("m", appended);
    EXPECT_EQ(appended.Bytes(), Bytes("HEADpayload"));
    EXPECT_EQ(appended.Position(), 11) << "not rewound";

    TMemoryStream overwritten;
    overwritten.Write("0123456789ABCDEF", 16);
    overwritten.SetPosition(2);
    archive.ExtractToStream("m", overwritten);
    EXPECT_EQ(overwritten.Bytes(), Bytes("01payload9ABCDEF"));
}

TEST_F(MPKFileTest, ExtractionsSetTheSharedFilePositionAfresh)
{
    const auto a = test::SampleNoise(100000, 1);
    const auto b = test::SampleText(100000, 2);
    TMPKFile archive(Save(SimpleArchive({{"a", a}, {"b", b}})));
    EXPECT_EQ(Extract(archive, "b"), b);
    EXPECT_EQ(Extract(archive, "a"), a);
    EXPECT_EQ(Extract(archive, "b"), b);
    // A half-read member does not disturb the next extraction either.
    TMemoryStream sink;
    EXPECT_THROW(archive.ExtractToStream("zzz", sink), EMPKError);
    EXPECT_EQ(Extract(archive, "a"), a);
}

TEST_F(MPKFileTest, ExtractionLimitsStopOrRefuse)
{
    const auto data = test::SampleText(200000);
    const std::string path = Save(SimpleArchive({{"m", data}, {"n", Bytes("after")}}));
    TMPKFile archive(path);
    using enum TExtractLimit::TAction;
    EXPECT_EQ(archive.ExtractToMemory("m", {1000, Stop})->Bytes(), std::vector<uint8_t>(data.begin(), data.begin() + 1000));
    EXPECT_EQ(archive.ExtractToMemory("m", {0, Stop})->Size(), 0);
    EXPECT_EQ(archive.ExtractToMemory("m", {200000, Stop})->Bytes(), data);
    EXPECT_EQ(archive.ExtractToMemory("m", {200000, Refuse})->Bytes(), data);
    ExpectMessage([&] { archive.ExtractToMemory("m", {199999, Refuse}); }, path + ": m: larger than 199999 bytes");
    EXPECT_THROW(archive.ExtractToMemory("m", {0, Refuse}), EMPKError);
    TMemoryStream sink;
    EXPECT_THROW(archive.ExtractToStream("m", sink, {100, Refuse}), EMPKError);
    EXPECT_EQ(Extract(archive, "n"), Bytes("after")) << "a refused member leaves the next one alone";
}

// A member that inflates to a gigabyte in a megabyte of archive: whoever reads only its
// start inflates only its start, and whoever knows how large it may be refuses it in
// time. The child process could not hold the member.
TEST_F(MPKFileTest, ABombIsNeverInflatedPastTheLimit)
{
    const std::vector<uint8_t> bomb = test::ZeroBomb(uint64_t{1} << 30);
    const auto directory = Record({"bomb", 0, 0, 0, 0, static_cast<int32_t>(bomb.size())});
    const std::string path = Save(RawArchive(Compress(Bytes("b")), Compress(directory), bomb));
    const test::TChildOutcome run = test::RunWithMemoryLimit(uint64_t{48} << 20, [&] {
        TMPKFile archive(path);
        using enum TExtractLimit::TAction;
        if (archive.ExtractToMemory("bomb", {1 << 20, Stop})->Bytes() != std::vector<uint8_t>(1 << 20, 0))
            throw std::runtime_error("wrong start");
        const std::unique_ptr<TStream> stream = archive.OpenMember("bomb");
        std::vector<uint8_t> head(4096, 1);
        if (stream->Read(head.data(), 4096) != 4096 || head != std::vector<uint8_t>(4096, 0))
            throw std::runtime_error("wrong stream");
        archive.ExtractToMemory("bomb", {4 << 20, Refuse});
    });
    EXPECT_FALSE(run.Succeeded);
    EXPECT_EQ(run.Message, path + ": bomb: larger than 4194304 bytes");
}

TEST_F(MPKFileTest, MembersOpenAsStreamsThatInflateAsTheyAreRead)
{
    const auto a = test::SampleNoise(100000, 3);
    const auto b = test::SampleText(70000, 4);
    const std::string path = Save(SimpleArchive({{"a", a}, {"B", b}}));
    TMPKFile archive(path);
    const std::unique_ptr<TStream> stream = archive.OpenMember("b");
    std::vector<uint8_t> got(200000);
    EXPECT_EQ(stream->Read(got.data(), 10), 10);
    EXPECT_EQ(stream->Position(), 10);
    EXPECT_EQ(stream->Read(got.data() + 10, 199990), 69990);
    got.resize(70000);
    EXPECT_EQ(got, b);
    EXPECT_EQ(Extract(archive, "a"), a);
    ExpectMessage([&] { archive.OpenMember("c"); }, NotFound("c", path));
}

TEST_F(MPKFileTest, ExtractToFileOfAMissingMemberLeavesAnEmptyFile)
{
    TMPKFile archive(Save(SimpleArchive({{"m", Bytes("payload")}})));
    const std::string target = dir.File("target.dat");
    const auto old = Bytes("old contents");
    WriteWholeFile(target, old.data(), old.size());
    ExpectMessage([&] { archive.ExtractToFile("sector.dat", target); }, NotFound("sector.dat", archive.FileName()));
    ASSERT_TRUE(std::filesystem::exists(target));
    EXPECT_EQ(std::filesystem::file_size(target), 0u);

    const std::string uncreatable = dir.File("missing/dir/x");
    ExpectMessage([&] { archive.ExtractToFile("m", uncreatable); }, "Cannot create file " + uncreatable);
}

TEST_F(MPKFileTest, ExtractToDirectoryPlacesTheFileInsideTheDirectory)
{
    TMPKFile archive(Save(SimpleArchive({{"sector.dat", Bytes("water")}})));
    std::filesystem::create_directory(dir.Path() / "a");
    std::filesystem::create_directory(dir.Path() / "b");
    archive.ExtractToDirectory("sector.dat", dir.File("a"));
    archive.ExtractToDirectory("SECTOR.DAT", dir.File("b") + "/");
    EXPECT_EQ(ReadWholeFile(dir.File("a/sector.dat")), Bytes("water"));
    // The file takes the name as asked for, not as stored.
    EXPECT_EQ(ReadWholeFile(dir.File("b/SECTOR.DAT")), Bytes("water"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("asector.dat")));

    // "." is the working directory.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path() / "a");
    std::filesystem::remove("sector.dat");
    archive.ExtractToDirectory("sector.dat", ".");
    const bool placed = std::filesystem::exists("sector.dat");
    std::filesystem::current_path(previous);
    EXPECT_TRUE(placed);
}

// --- Lifecycle -------------------------------------------------------------------------

TEST_F(MPKFileTest, EmptyPathStaysClosed)
{
    TMPKFile archive("");
    EXPECT_FALSE(archive.Loaded());
    archive.Load();
    EXPECT_FALSE(archive.Loaded());
    EXPECT_EQ(archive.Directory().Count(), 0);
    ExpectMessage([&] { archive.ExtractToMemory("terrain.pcx"); }, NotFound("terrain.pcx"));
    const std::string target = dir.File("t");
    EXPECT_THROW(archive.ExtractToFile("terrain.pcx", target), EMPKError);
    EXPECT_EQ(std::filesystem::file_size(target), 0u);
}

TEST_F(MPKFileTest, LoadAgainDoesNothingButSetFileNameRereads)
{
    const std::string path = Save(SimpleArchive({{"one", Bytes("1")}}, "first"));
    TMPKFile archive(path);
    ASSERT_EQ(archive.Directory().Count(), 1);

    // Replace the file under the open archive (a new file, the old one stays open; moved
    // aside, as Windows keeps the name of an open file that is removed).
    std::filesystem::rename(path, path + ".old");
    Save(SimpleArchive({{"one", Bytes("1")}, {"two", Bytes("22")}}, "second"));

    archive.Load();
    EXPECT_EQ(archive.ArchiveName(), "first");
    EXPECT_EQ(archive.Directory().Count(), 1);
    EXPECT_EQ(Extract(archive, "one"), Bytes("1")) << "still reads the file it opened";

    archive.SetFileName(path);
    EXPECT_TRUE(archive.Loaded());
    EXPECT_EQ(archive.ArchiveName(), "second");
    EXPECT_EQ(archive.Directory().Count(), 2);
    EXPECT_EQ(Extract(archive, "two"), Bytes("22"));
}

TEST_F(MPKFileTest, CloseForgetsEverythingAndFailedReloadLeavesItClosed)
{
    const std::string path = Save(SimpleArchive({{"one", Bytes("1")}}));
    TMPKFile archive(path);
    archive.Close();
    EXPECT_FALSE(archive.Loaded());
    EXPECT_EQ(archive.Directory().Count(), 0);
    EXPECT_EQ(archive.ArchiveName(), "");
    EXPECT_EQ(archive.FileName(), path);
    ExpectMessage([&] { archive.ExtractToMemory("one"); }, NotFound("one", path));
    archive.Load();
    EXPECT_EQ(Extract(archive, "one"), Bytes("1"));

    const std::string bad = Save(Bytes("JUNKJUNK"), "junk.mpk");
    EXPECT_THROW(archive.SetFileName(bad), EMPKError);
    EXPECT_FALSE(archive.Loaded());
    EXPECT_EQ(archive.FileName(), bad);
    EXPECT_EQ(archive.Directory().Count(), 0);
}

}  // namespace
}  // namespace orv
