// Format with argument indexes, the integer syntax, comma lists and the INI reader.
#include <gtest/gtest.h>

#include <string>

#include "base/Exception.h"
#include "base/Format.h"
#include "zone/IniFile.h"
#include "zone/TextValues.h"

namespace orv {
namespace {

TIniFile Ini(const std::string& text)
{
    return TIniFile(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

TEST(Format, ExplicitIndexRepeatsAnArgumentAndMovesTheNextOn)
{
    EXPECT_EQ(Format("%szones/zone%3.3d/dat%1:3.3d.mpk", {"/g/", 111}), "/g/zones/zone111/dat111.mpk");
    EXPECT_EQ(Format("%szones/zone%3.3d/dat%1:3.3d.mpk", {"/g/", 5}), "/g/zones/zone005/dat005.mpk");
    EXPECT_EQ(Format("%szones/zone%3.3d/dat%1:3.3d.mpk", {"/g/", 1234}), "/g/zones/zone1234/dat1234.mpk");
    // After "%1:" a plain directive takes argument 2.
    EXPECT_EQ(Format("%1:d %d %0:d", {10, 20, 30}), "20 30 10");
}

TEST(Format, WidthPrecisionSignAndTypes)
{
    EXPECT_EQ(Format("river%2.2d", {7}), "river07");
    EXPECT_EQ(Format("river%2.2d", {100}), "river100");
    EXPECT_EQ(Format("%3.3d", {-5}), "-005");
    EXPECT_EQ(Format("[%5d][%-5d]", {42, 42}), "[   42][42   ]");
    EXPECT_EQ(Format("%d", {int64_t{-9223372036854775807 - 1}}), "-9223372036854775808");
    EXPECT_EQ(Format("%x %.4x %u", {255, 10, -1}), "FF 000A 4294967295");
    EXPECT_EQ(Format("%.2s|%s|100%%", {"abc", ""}), "ab||100%");
}

TEST(Format, MismatchesAndMissingArgumentsRaise)
{
    EXPECT_THROW(Format("%d", {"text"}), EConvertError);
    EXPECT_THROW(Format("%s", {1}), EConvertError);
    EXPECT_THROW(Format("%d %d", {1}), EConvertError);
    EXPECT_THROW(Format("%3:d", {1}), EConvertError);
    EXPECT_THROW(Format("%q", {1}), EConvertError);
    EXPECT_THROW(Format("%", {1}), EConvertError);
    try {
        Format("a%d", {"x"});
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Format 'a%d' invalid or incompatible with argument");
    }
}

TEST(IntegerSyntax, DecimalAndHexadecimalForms)
{
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("  -12"), -12);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("255"), 255);
    for (const char* red : {"$FF", "$0000ff", "xFF", "XfF", "0xFF", "0X0000FF", " +$ff"})
        EXPECT_EQ(StrToInt(red), 255) << red;
    EXPECT_EQ(StrToInt("-$10"), -16);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
    // Hexadecimal may use all 32 bits.
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("0x00000000FFFF00"), 0xFFFF00);
}

TEST(IntegerSyntax, EverythingElseIsNotAnInteger)
{
    for (const char* bad : {"", " ", "-", "+", "$", "0x", "x", "12 ", "1 2", "1.5", "abc", "12a", "--1", "$G",
                            "2147483648", "-2147483649", "$100000000", "0x1FFFFFFFF", "\"10\"", "1e3"})
        EXPECT_FALSE(TryStrToInt(bad).has_value()) << '"' << bad << '"';
    try {
        StrToInt("12a");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'12a' is not a valid integer value");
    }
    EXPECT_EQ(StrToIntDef("abc", 7), 7);
    EXPECT_EQ(StrToIntDef("", -3), -3);
    EXPECT_EQ(StrToIntDef("$10", -3), 16);
}

TEST(CommaText, SeparatorsBlanksAndQuotes)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommaText("10,20"), (V{"10", "20"}));
    EXPECT_EQ(SplitCommaText("  10   20\t30 "), (V{"10", "20", "30"}));
    EXPECT_EQ(SplitCommaText("10 , 20"), (V{"10", "20"}));
    EXPECT_EQ(SplitCommaText("10,,20"), (V{"10", "", "20"}));
    EXPECT_EQ(SplitCommaText("10,"), (V{"10", ""}));
    EXPECT_EQ(SplitCommaText(",10"), (V{"", "10"}));
    EXPECT_EQ(SplitCommaText("\"1, 0\",20"), (V{"1, 0", "20"}));
    EXPECT_EQ(SplitCommaText("\"a\"\"b\" c"), (V{"a\"b", "c"}));
    EXPECT_EQ(SplitCommaText("\"open"), (V{"open"}));
    EXPECT_EQ(SplitCommaText(std::string("10\0 20", 6)), (V{"10"}));
    EXPECT_TRUE(SplitCommaText("").empty());
    EXPECT_TRUE(SplitCommaText("   ").empty());
}

TEST(CommaText, CommaFieldConvertsStrictlyAndCountsItems)
{
    EXPECT_EQ(CommaField("10,20", 0), 10);
    EXPECT_EQ(CommaField("10 20 30", 1), 20);
    EXPECT_EQ(CommaField("\" 5\",6", 0), 5);   // leading blanks of a quoted item are allowed
    try {
        CommaField("10", 1);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (1)");
    }
    try {
        CommaField("", 0);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (0)");
    }
    try {
        CommaField("10,2x", 1);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'2x' is not a valid integer value");
    }
    EXPECT_THROW(CommaField("10,,20", 1), EConvertError);   // the empty item
}

TEST(IniFile, SectionsAndKeysIgnoreCaseAndValuesAreTrimmed)
{
    const TIniFile ini = Ini("\xEF\xBB\xBFtop=1\r\n"
                             "[WaterDefs]\r\n"
                             "  NUM =  3  \r\n"
                             "[river00]\n"
                             "color=$FF\n"
                             "height = deep\n"
                             "empty=\n"
                             "noequals\n"
                             "[river00]\n"
                             "color=1\n"
                             "[\xC4rger]\n"
                             "k=v=w\n");
    EXPECT_EQ(ini.ReadInteger("waterdefs", "num", 0), 3);
    EXPECT_EQ(ini.ReadString("WATERDEFS", "Num", "x"), "3");
    EXPECT_EQ(ini.ReadInteger("river00", "COLOR", 0), 255);   // the first section of a name
    EXPECT_EQ(ini.ReadInteger("river00", "height", -1), -1);  // not an integer: the default
    EXPECT_EQ(ini.ReadString("river00", "height", ""), "deep");
    EXPECT_EQ(ini.ReadString("river00", "empty", "d"), "");
    EXPECT_EQ(ini.ReadInteger("river00", "empty", 9), 9);
    EXPECT_EQ(ini.ReadString("river00", "noequals", "d"), "");
    EXPECT_EQ(ini.ReadString("river00", "missing", "d"), "d");
    EXPECT_EQ(ini.ReadString("river01", "color", "d"), "d");
    EXPECT_EQ(ini.ReadString("\xE4rger", "K", ""), "v=w");   // Latin-1 letters fold too
    EXPECT_EQ(ini.ReadString("", "top", "d"), "d");          // keys before any section
    EXPECT_FALSE(ini.SectionExists("top"));
}

TEST(IniFile, LongValuesAreCut)
{
    const std::string longValue(3000, '7');
    const TIniFile ini = Ini("[s]\nk=" + longValue + "\n");
    EXPECT_EQ(ini.ReadString("s", "k", "").size(), TIniFile::MaxValueLength);
    EXPECT_EQ(ini.ReadInteger("s", "k", -1), -1);
}

}  // namespace
}  // namespace orv
