// TStream, TMemoryStream and TFileStream: positions, short reads, exact transfers and
// the platform error texts.
#include "formats/Stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "formats/ArchiveTestSupport.h"

namespace orv {
namespace {

using test::ScratchDir;

std::vector<uint8_t> ReadAll(TStream& stream, int64_t count)
{
    std::vector<uint8_t> out(static_cast<size_t>(count));
    out.resize(static_cast<size_t>(stream.Read(out.data(), count)));
    return out;
}

TEST(MemoryStream, ReadsWhatWasWrittenAndStopsAtTheEnd)
{
    TMemoryStream stream;
    const auto data = test::SampleText(100);
    EXPECT_EQ(stream.Write(data.data(), 100), 100);
    EXPECT_EQ(stream.Position(), 100);
    EXPECT_EQ(stream.Size(), 100);

    stream.SetPosition(60);
    const auto tail = ReadAll(stream, 1000);
    EXPECT_EQ(tail, std::vector<uint8_t>(data.begin() + 60, data.end()));
    EXPECT_EQ(stream.Position(), 100);
    EXPECT_TRUE(ReadAll(stream, 10).empty());

    char byte = 0;
    EXPECT_EQ(stream.Read(&byte, 0), 0);
    EXPECT_EQ(stream.Read(&byte, -5), 0);
    EXPECT_EQ(stream.Position(), 100);
}

TEST(MemoryStream, WritesOverwriteAndExtendFromThePosition)
{
    TMemoryStream stream;
    stream.Write("abcdef", 6);
    stream.SetPosition(4);
    stream.Write("XYZ", 3);
    EXPECT_EQ(std::string(stream.Bytes().begin(), stream.Bytes().end()), "abcdXYZ");

    // Writing past the end fills the gap with zeros.
    stream.Seek(3, TSeekOrigin::End);
    stream.Write("!", 1);
    ASSERT_EQ(stream.Size(), 11);
    EXPECT_EQ(std::memcmp(stream.Memory() + 7, "\0\0\0!", 4), 0);
    EXPECT_EQ(stream.Write("x", 0), 0);
    EXPECT_EQ(stream.Size(), 11);
}

TEST(MemoryStream, SeeksFromEachOriginAndNeverBelowZero)
{
    TMemoryStream stream;
    stream.SetSize(50);
    EXPECT_EQ(stream.Seek(10, TSeekOrigin::Beginning), 10);
    EXPECT_EQ(stream.Seek(5, TSeekOrigin::Current), 15);
    EXPECT_EQ(stream.Seek(-20, TSeekOrigin::End), 30);
    EXPECT_EQ(stream.Seek(-100, TSeekOrigin::Current), 0);
    EXPECT_EQ(stream.Seek(80, TSeekOrigin::Beginning), 80);
    EXPECT_TRUE(ReadAll(stream, 4).empty());

    // Huge moves saturate instead of overflowing.
    constexpr int64_t Huge = std::numeric_limits<int64_t>::max();
    EXPECT_EQ(stream.Seek(Huge, TSeekOrigin::Current), Huge);
    EXPECT_EQ(stream.Seek(Huge, TSeekOrigin::End), Huge);
    EXPECT_TRUE(ReadAll(stream, 4).empty());
    EXPECT_EQ(stream.Write("x", 1), 0);
    EXPECT_EQ(stream.Size(), 50);
}

TEST(MemoryStream, SetSizeAndClearKeepThePositionInside)
{
    TMemoryStream stream;
    stream.Write("0123456789", 10);
    stream.SetSize(4);
    EXPECT_EQ(stream.Size(), 4);
    EXPECT_EQ(stream.Position(), 4);
    stream.SetPosition(2);
    stream.SetSize(8);
    EXPECT_EQ(stream.Position(), 2);
    EXPECT_EQ(std::memcmp(stream.Memory(), "0123\0\0\0\0", 8), 0);
    stream.Clear();
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Position(), 0);
}

TEST(StreamExactTransfers, ShortReadRaisesStreamReadError)
{
    TMemoryStream stream;
    stream.Write("abc", 3);
    stream.SetPosition(0);
    char buffer[8] = {};
    stream.ReadBuffer(buffer, 0);
    stream.ReadBuffer(buffer, 2);
    EXPECT_EQ(std::string(buffer, 2), "ab");
    try {
        stream.ReadBuffer(buffer, 2);
        FAIL() << "no error";
    } catch (const EReadError& error) {
        EXPECT_STREQ(error.what(), "Stream read error");
    }
}

TEST(StreamExactTransfers, CopyFromCopiesCountOrTheWholeSource)
{
    const auto data = test::SampleText(200000);
    TMemoryStream source;
    source.Write(data.data(), static_cast<int64_t>(data.size()));

    source.SetPosition(1000);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(source, 150000), 150000);
    EXPECT_EQ(part.Bytes(), std::vector<uint8_t>(data.begin() + 1000, data.begin() + 151000));

    // Count 0 (or less) copies the whole source from its start.
    for (const int64_t count : {int64_t{0}, int64_t{-3}}) {
        TMemoryStream whole;
        source.SetPosition(777);
        EXPECT_EQ(whole.CopyFrom(source, count), static_cast<int64_t>(data.size()));
        EXPECT_EQ(whole.Bytes(), data);
    }

    source.SetPosition(199990);
    TMemoryStream tooMuch;
    EXPECT_THROW(tooMuch.CopyFrom(source, 11), EReadError);
}

TEST(FileStream, OpenErrorsCarryThePlatformTexts)
{
    ScratchDir dir;
    const std::string missing = dir.File("missing.bin");
    try {
        TFileStream file(missing, TFileMode::OpenRead);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(error.Message(), "Cannot open file " + missing);
    }
    EXPECT_THROW(TFileStream(missing, TFileMode::OpenReadWrite), EFOpenError);

    // A directory is not a file: it would open, but its size is meaningless.
    try {
        TFileStream file(dir.Path().string(), TFileMode::OpenRead);
        FAIL() << "opened a directory";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(error.Message(), "Cannot open file " + dir.Path().string() + " (a directory, not a regular file)");
    }
    EXPECT_THROW(ReadWholeFile(dir.Path().string()), EFOpenError);

    const std::string uncreatable = dir.File("no/such/dir/file.bin");
    try {
        TFileStream file(uncreatable, TFileMode::Create);
        FAIL() << "created a file in a missing directory";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message(), "Cannot create file " + uncreatable);
    }
}

// A FIFO would block in open() until a writer comes, a device would never end: both are
// refused at once, for reading and for writing. (Should open() block, the alarm ends the
// test program.)
TEST(FileStream, OnlyRegularFilesOpen)
{
    SKIP_ON_WINDOWS("no FIFOs in the file system; Windows' devices are refused by PlatformTest");
    ScratchDir dir;
    const std::string fifo = dir.File("archive.mpk");
    ASSERT_TRUE(test::MakeFifo(fifo));
    test::Alarm(20);
    for (const TFileMode mode : {TFileMode::OpenRead, TFileMode::OpenReadWrite}) {
        try {
            TFileStream file(fifo, mode);
            ADD_FAILURE() << "opened a FIFO";
        } catch (const EFOpenError& error) {
            EXPECT_EQ(error.Message(), "Cannot open file " + fifo + " (a FIFO, not a regular file)");
        }
    }
    try {
        TFileStream file(fifo, TFileMode::Create);
        ADD_FAILURE() << "wrote into a FIFO";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message(), "Cannot create file " + fifo + " (a FIFO, not a regular file)");
    }
    try {
        TFileStream file("/dev/zero", TFileMode::OpenRead);
        ADD_FAILURE() << "opened a device";
    } catch (const EFOpenError& error) {
        EXPECT_EQ(error.Message(), "Cannot open file /dev/zero (a device, not a regular file)");
    }
    test::Alarm(0);
}

TEST(FileStream, CreateTruncatesAndReadsBackWhatWasWritten)
{
    ScratchDir dir;
    const std::string path = dir.File("data.bin");
    const auto data = test::SampleNoise(70000);
    WriteWholeFile(path, data.data(), data.size());
    EXPECT_EQ(ReadWholeFile(path), data);

    {
        TFileStream file(path, TFileMode::Create);
        EXPECT_EQ(file.Size(), 0);
        EXPECT_EQ(file.Write("hello", 5), 5);
    }
    EXPECT_EQ(ReadWholeFile(path), test::Bytes("hello"));
    WriteWholeFile(dir.File("empty"), nullptr, 0);
    EXPECT_TRUE(ReadWholeFile(dir.File("empty")).empty());
}

TEST(FileStream, SeekingBeyondTheEndGivesEmptyReads)
{
    ScratchDir dir;
    const std::string path = dir.File("data.bin");
    const auto data = test::SampleText(1000);
    WriteWholeFile(path, data.data(), data.size());

    TFileStream file(path, TFileMode::OpenRead);
    EXPECT_EQ(file.Size(), 1000);
    EXPECT_EQ(file.Position(), 0) << "Size() moves the position back";
    EXPECT_EQ(file.Seek(-10, TSeekOrigin::End), 990);
    EXPECT_EQ(ReadAll(file, 100), std::vector<uint8_t>(data.end() - 10, data.end()));
    EXPECT_EQ(file.Seek(5000, TSeekOrigin::Beginning), 5000);
    EXPECT_TRUE(ReadAll(file, 100).empty());
    EXPECT_EQ(file.Seek(-4100, TSeekOrigin::Current), 900);
    EXPECT_EQ(ReadAll(file, 3), std::vector<uint8_t>(data.begin() + 900, data.begin() + 903));
    // A read-only file takes no writes.
    EXPECT_EQ(file.Write("x", 1), 0);
    EXPECT_THROW(file.WriteBuffer("x", 1), EWriteError);
}

}  // namespace
}  // namespace orv
