// The small helpers every reader shares: little-endian fields with bounds, case folding,
// and errors that name their file and member.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "base/Exception.h"
#include "base/TextCase.h"

namespace orv {
namespace {

TEST(ByteReader, ReadsLittleEndianFieldsWithinTheSpanOnly)
{
    const std::array<uint8_t, 10> bytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xFF, 0x80};
    const TByteReader reader(bytes);
    EXPECT_EQ(reader.U8(8), 0xFFu);
    EXPECT_EQ(reader.U16(0), 0x0201u);
    EXPECT_EQ(reader.U32(1), 0x05040302u);
    EXPECT_EQ(reader.U64(0), 0x0807060504030201u);
    EXPECT_EQ(reader.S32(6), static_cast<int32_t>(0x80FF0807u));
    EXPECT_EQ(reader.U16(8), 0x80FFu);   // the last two bytes

    // One byte past the end, or an offset whose sum would wrap, is no field.
    EXPECT_THROW(reader.U16(9), EReadError);
    EXPECT_THROW(reader.U32(7), EReadError);
    EXPECT_THROW(reader.U64(3), EReadError);
    EXPECT_THROW(reader.U8(10), EReadError);
    EXPECT_THROW(reader.U32(SIZE_MAX - 1), EReadError);
    EXPECT_TRUE(reader.Holds(6, 4));
    EXPECT_FALSE(reader.Holds(7, 4));
    EXPECT_FALSE(reader.Holds(SIZE_MAX, 2));
    EXPECT_TRUE(reader.Holds(10, 0));
    EXPECT_EQ(reader.U32Or(7, 42), 42u);
    EXPECT_EQ(reader.U16Or(0, 42), 0x0201u);
    EXPECT_EQ(TByteReader({}).U16Or(0, 7), 7u);

    std::array<uint8_t, 6> out{};
    PutU32(out, 1, 0xA1B2C3D4);
    EXPECT_EQ(out, (std::array<uint8_t, 6>{0, 0xD4, 0xC3, 0xB2, 0xA1, 0}));
}

// What the tool and the export tell file kinds by: the last dot of the file name on.
TEST(TextCase, FoldedExtensionIsTheFileNamesLastDotOn)
{
    EXPECT_EQ(FoldedExtension("zones/sky/WISPS.TGA"), ".tga");
    EXPECT_EQ(FoldedExtension("out/Zone.111.GlTf"), ".gltf");
    EXPECT_EQ(FoldedExtension("dir.d/terrain"), "");   // a dot in a directory is not one
    EXPECT_EQ(FoldedExtension(".profile"), "");        // nor a name's leading dot
    EXPECT_EQ(FoldedExtension("map."), ".");
}

TEST(TextCase, FoldsOnlyLetters)
{
    EXPECT_TRUE(SameTextIgnoringCase("TERRAIN.PCX", "terrain.pcx"));
    EXPECT_TRUE(SameTextIgnoringCase("Tex07-03.DDS", "tex07-03.dds"));
    EXPECT_TRUE(SameTextIgnoringCase("", ""));
    EXPECT_TRUE(SameTextIgnoringCase("\xC4rger\xDE", "\xE4RGER\xFE"));   // Latin-1 letters
    EXPECT_FALSE(SameTextIgnoringCase("terrain.pcx", "terrain.pc"));
    EXPECT_FALSE(SameTextIgnoringCase("terrain.pcx", "terrain_pcx"));
    // Bytes that differ by the case bit but are not letters.
    EXPECT_FALSE(SameTextIgnoringCase("@[\\]^", "`{|}~"));
    EXPECT_FALSE(SameTextIgnoringCase("\xD7", "\xF7"));   // multiplication and division signs
    EXPECT_FALSE(SameTextIgnoringCase("\xC0", "\xA0"));
    EXPECT_FALSE(SameTextIgnoringCase(std::string_view("a\0b", 3), std::string_view("a\0c", 3)));
    // The folded text is the key equal texts share.
    EXPECT_EQ(FoldCase("River00 \xC4\xD7\xDE"), "river00 \xE4\xD7\xFE");
    EXPECT_EQ(FoldCase(std::string_view("A\0B", 3)), std::string("a\0b", 3));
}

TEST(Exception, NamesTheFileAndTheMemberOnce)
{
    EXPECT_EQ(Exception::NamedMessage("a/dat.mpk", "terrain.pcx", "error (damaged compressed data)"),
              "a/dat.mpk: terrain.pcx: error (damaged compressed data)");
    EXPECT_EQ(Exception::NamedMessage("a/dat.mpk", "", "Not an MPAK file"), "a/dat.mpk: Not an MPAK file");
    EXPECT_EQ(Exception::NamedMessage("", "", "error"), "error");
    // What the text names already is not repeated.
    EXPECT_EQ(Exception::NamedMessage("a/dat.mpk", "x.pcx", "a/dat.mpk: x.pcx: error"), "a/dat.mpk: x.pcx: error");
    EXPECT_EQ(Exception::NamedMessage("a/dat.mpk", "x.pcx", "a/dat.mpk: Source stream [x.pcx] not found in archive"),
              "a/dat.mpk: Source stream [x.pcx] not found in archive");
    EXPECT_EQ(Exception::NamedMessage("a/sky.tga", "", "Cannot open file a/sky.tga"), "Cannot open file a/sky.tga");
    EXPECT_EQ(Exception::NamedMessage("a/f", "", "Cannot open file a/f (a FIFO, not a regular file)"),
              "Cannot open file a/f (a FIFO, not a regular file)");
    // A name that only appears inside another word is no naming.
    EXPECT_EQ(Exception::NamedMessage("t", "a", "DDS header magic not found"),
              "t: a: DDS header magic not found");
    EXPECT_EQ(Exception::NamedMessage("dat.mpk", "", "old/dat.mpk.bak: broken"), "dat.mpk: old/dat.mpk.bak: broken");
}

TEST(Exception, NamingFailuresKeepsTheClassAndReportsOutOfMemory)
{
    try {
        NamingFailures("tex.mpk", "tex00-07.dds", [] { throw EReadError("Stream read error"); });
        ADD_FAILURE() << "nothing raised";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "tex.mpk: tex00-07.dds: Stream read error");
    }
    try {
        NamingFailures("big.tga", "", [] { throw std::bad_alloc(); });
        ADD_FAILURE() << "nothing raised";
    } catch (const EOutOfMemory& e) {
        EXPECT_EQ(e.Message(), "big.tga: out of memory");
    }
    try {
        NamingFailures("x.bmp", "", [] { throw std::filesystem::filesystem_error("cannot", std::error_code()); });
        ADD_FAILURE() << "nothing raised";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message().starts_with("x.bmp: ")) << e.Message();
    }
    EXPECT_EQ(NamingFailures("f", "m", [] { return 7; }), 7);
}

}  // namespace
}  // namespace orv
