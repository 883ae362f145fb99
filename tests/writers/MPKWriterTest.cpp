// The archive writer: its layout checked with zlib itself, its output read back by the
// archive reader.
#include "writers/MPKWriter.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "formats/ArchiveTestSupport.h"
#include "formats/MPKFile.h"

namespace orv {
namespace {

using test::Bytes;
using test::ScratchDir;

// Inflates the zlib stream at `at` with zlib itself; returns the data and moves `at` to
// the first byte after the stream.
std::vector<uint8_t> InflateAt(const std::vector<uint8_t>& bytes, size_t& at)
{
    z_stream z{};
    EXPECT_EQ(inflateInit(&z), Z_OK);
    std::vector<uint8_t> out(1 << 20);
    z.next_in = const_cast<Bytef*>(bytes.data() + at);
    z.avail_in = static_cast<uInt>(bytes.size() - at);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    at += z.total_in;
    inflateEnd(&z);
    return out;
}

uint32_t Get32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

TEST(MPKWriter, LaysOutHeaderBlocksRecordsAndMembers)
{
    const std::vector<TMPKMember> members = {{"terrain.pcx", test::SampleText(9000), 946684800u},
                                             {"empty", {}, 7},
                                             {std::string(256, 'z'), test::SampleNoise(300), 0}};
    const auto bytes = BuildMPK("dat111", members, 6);
    ASSERT_GE(bytes.size(), 21u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "MPAK");

    size_t at = 21;
    EXPECT_EQ(InflateAt(bytes, at), Bytes("dat111"));
    const auto directory = InflateAt(bytes, at);
    const size_t dataStart = at;
    ASSERT_EQ(directory.size(), members.size() * MPKRecordSize);
    size_t expectedOffset = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        const uint8_t* record = directory.data() + i * MPKRecordSize;
        const auto& member = members[i];
        const std::string name(reinterpret_cast<const char*>(record),
                               strnlen(reinterpret_cast<const char*>(record), 256));
        EXPECT_EQ(name, member.Name);
        EXPECT_EQ(Get32(record + 256), member.Timestamp);
        EXPECT_EQ(Get32(record + 268), member.Data.size());
        EXPECT_EQ(Get32(record + 272), expectedOffset) << "offsets count from the data area";
        size_t memberAt = dataStart + Get32(record + 272);
        EXPECT_EQ(InflateAt(bytes, memberAt), member.Data);
        EXPECT_EQ(Get32(record + 276), memberAt - dataStart - expectedOffset);
        expectedOffset += Get32(record + 276);
    }
    EXPECT_EQ(dataStart + expectedOffset, bytes.size());
}

TEST(MPKWriter, OutputIsDeterministicAndReadsBack)
{
    ScratchDir dir;
    const std::vector<TMPKMember> members = {{"a.dds", test::SampleNoise(5000), 1}, {"B.bmp", test::SampleText(70000), 2}};
    EXPECT_EQ(BuildMPK("tex111", members), BuildMPK("tex111", members));
    EXPECT_NE(BuildMPK("tex111", members, 0), BuildMPK("tex111", members, 9));

    const std::string path = dir.File("tex111.mpk");
    WriteMPK(path, "tex111", members, 1);
    EXPECT_EQ(ReadWholeFile(path), BuildMPK("tex111", members, 1));
    TMPKFile archive(path);
    EXPECT_EQ(archive.ArchiveName(), "tex111");
    ASSERT_EQ(archive.Directory().Count(), 2);
    for (const auto& member : members) {
        EXPECT_EQ(archive.ExtractToMemory(member.Name)->Bytes(), member.Data);
        const auto& entry = archive.Directory().Items(archive.Directory().IndexOf(member.Name));
        EXPECT_EQ(entry.UnixTime, member.Timestamp);
        EXPECT_EQ(entry.UncompressedSize, static_cast<int32_t>(member.Data.size()));
    }
}

TEST(MPKWriter, RefusesWhatTheReaderCouldNotTakeBack)
{
    EXPECT_THROW(BuildMPK(std::string(1025, 'a'), {}), EMPKError);
    EXPECT_THROW(BuildMPK("n", {{std::string(257, 'a'), {}, 0}}), EMPKError);
    EXPECT_THROW(BuildMPK("n", {{std::string("a\0b", 3), {}, 0}}), EMPKError);
    EXPECT_THROW(BuildMPK("n", {}, 10), EMPKError);
    EXPECT_THROW(BuildMPK("n", {}, -1), EMPKError);
    EXPECT_NO_THROW(BuildMPK(std::string(1024, 'a'), {{std::string(256, 'a'), {}, 0}}, 0));
}

}  // namespace
}  // namespace orv
