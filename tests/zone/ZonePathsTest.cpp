// Where the zone archives are, in the game's letter case or another.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TestSystem.h"
#include "zone/TestZone.h"
#include "zone/ZonePaths.h"

namespace orv {
namespace {

TEST(ZonePaths, ArchiveNamesCarryTheIdTwiceWithAtLeastThreeDigits)
{
    EXPECT_EQ(ZoneArchiveName("/g/", 111, TZoneArchive::Data), "/g/" + test::SystemPath("zones/zone111/dat111.mpk"));
    EXPECT_EQ(ZoneArchiveName("/g/", 111, TZoneArchive::Texture), "/g/" + test::SystemPath("zones/zone111/tex111.mpk"));
    EXPECT_EQ(ZoneArchiveName("/g/", 5, TZoneArchive::Data), "/g/" + test::SystemPath("zones/zone005/dat005.mpk"));
    EXPECT_EQ(ZoneArchiveName("/g/", 5, TZoneArchive::Texture), "/g/" + test::SystemPath("zones/zone005/tex005.mpk"));
    EXPECT_EQ(ZoneArchiveName("/g/", 1234, TZoneArchive::Data), "/g/" + test::SystemPath("zones/zone1234/dat1234.mpk"));
    // A directory with a percent sign is text, not a format.
    EXPECT_EQ(ZoneArchiveName("/100%s/", 7, TZoneArchive::Data), "/100%s/" + test::SystemPath("zones/zone007/dat007.mpk"));
}

TEST(ZonePaths, ComponentsAreMatchedIgnoringCaseWhenTheWrittenPathIsMissing)
{
    SKIP_ON_WINDOWS("names differing in letter case only are one file there (PlatformTest opens one by another case)");
    test::TTempDir dir;
    std::filesystem::create_directories(dir.Path() + "Zones/ZONE111");
    std::ofstream(dir.Path() + "Zones/ZONE111/Dat111.MPK") << "x";
    std::filesystem::create_directories(dir.Path() + "zones/zone005");
    std::ofstream(dir.Path() + "zones/zone005/dat005.mpk") << "x";

    EXPECT_EQ(ZoneArchivePath(dir.Path(), 111, TZoneArchive::Data), dir.Path() + "Zones/ZONE111/Dat111.MPK");
    // Written as it exists: taken as is.
    EXPECT_EQ(ZoneArchivePath(dir.Path(), 5, TZoneArchive::Data), dir.Path() + "zones/zone005/dat005.mpk");
    // Not there in any case: the name as written, so that opening it names it.
    EXPECT_EQ(ZoneArchivePath(dir.Path(), 111, TZoneArchive::Texture), dir.Path() + "zones/zone111/tex111.mpk");
    EXPECT_EQ(ResolvePathIgnoringCase(dir.Path(), "ZONES/zone005/DAT005.mpk"), dir.Path() + "zones/zone005/dat005.mpk");
    // An exact component wins over one that differs in case only.
    std::filesystem::create_directories(dir.Path() + "zones/zone111");
    std::ofstream(dir.Path() + "zones/zone111/DAT111.mpk") << "x";
    EXPECT_EQ(ZoneArchivePath(dir.Path(), 111, TZoneArchive::Data), dir.Path() + "zones/zone111/DAT111.mpk");
}

TEST(ZonePaths, TrailingDelimiter)
{
    EXPECT_EQ(IncludeTrailingPathDelimiter("/games/isles"), "/games/isles" + test::SystemPath("/"));
    EXPECT_EQ(IncludeTrailingPathDelimiter("/games/isles/"), "/games/isles/");
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), test::SystemPath("/"));
}

}  // namespace
}  // namespace orv
