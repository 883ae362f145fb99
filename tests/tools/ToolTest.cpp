// orvandel-tool run as a program: list, extract, info and convert on the sample game and
// on damaged, missing and hostile files; convert checked against ImageMagick's reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ToolTestSupport.h"
#include "formats/MPKFile.h"
#include "writers/ImageWriters.h"
#include "writers/MPKWriter.h"

namespace orv::tooltest {
namespace {

fs::path Game()
{
    return SampleGame();
}

std::string DatArchive()
{
    return (Game() / "zones" / "zone111" / "dat111.mpk").string();
}

std::string TexArchive()
{
    return (Game() / "zones" / "zone111" / "tex111.mpk").string();
}

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// The date as the C library prints it, for comparison with the tool's own conversion.
std::string LibraryIsoTime(uint32_t seconds)
{
    const std::time_t t = seconds;
    const std::tm parts = *std::gmtime(&t);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::vector<uint8_t> Text(const std::string& s)
{
    return {s.begin(), s.end()};
}

// Everything a test directory holds, as relative paths.
std::vector<std::string> Listing(const fs::path& root)
{
    std::vector<std::string> names;
    if (!fs::exists(root))
        return names;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        names.push_back(fs::relative(entry.path(), root).string());
    std::sort(names.begin(), names.end());
    return names;
}

// A game folder and outputs named with letters beyond ASCII: the arguments arrive as
// they were typed, the game is read as from any folder, and the outputs and the glTF's
// side files land under their own names.
TEST(ToolPaths, NonASCIIGameFolderAndOutputNames)
{
    ScratchDir scratch;
    const fs::path game = scratch.Path() / fs::path(u8"\u00D6land") / fs::path(u8"z\u00F6nes");
    fs::create_directories(game);
    fs::copy(SampleGame(), game, fs::copy_options::recursive);
    const std::string out = test::Utf8(scratch.Path() / fs::path(u8"K\u00E4rta"));
    for (const std::vector<std::string>& args : {std::vector<std::string>{"map", test::Utf8(game), "111", "-o", out + ".png"},
                                                 {"export", test::Utf8(game), "111", "-o", out + ".GLTF"}}) {
        const TRunResult run = Tool(args);
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
    }
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(scratch.Path()))
        names.insert(test::Utf8(entry.path().filename()));
    for (const std::string name : {"K\xC3\xA4rta.png", "K\xC3\xA4rta.GLTF", "K_C3_A4rta_2EGLTF.bin", "K_C3_A4rta_2EGLTF-water.png"})
        EXPECT_TRUE(names.contains(name)) << name;
}

// ---- general behaviour ----

TEST(ToolCommands, EachCommandHasHelpAndUsageErrors)
{
    for (const std::string command : {"list", "extract", "info", "convert"}) {
        SCOPED_TRACE(command);
        const TRunResult help = Tool({command, "--help"});
        EXPECT_EQ(help.ExitCode, 0);
        EXPECT_TRUE(Has(help.Out, "Usage: orvandel-tool " + command + " ")) << help.Out;
        EXPECT_TRUE(Has(help.Out, "Example"));
        const TRunResult bare = Tool({command});
        EXPECT_EQ(bare.ExitCode, 2);
        EXPECT_TRUE(Has(bare.Err, "Usage: orvandel-tool " + command)) << bare.Err;
        EXPECT_TRUE(bare.Out.empty());
    }
    const TRunResult overview = Tool({"--help"});
    EXPECT_EQ(overview.ExitCode, 0);
    for (const std::string command : {"list", "extract", "info", "convert"})
        EXPECT_TRUE(Has(overview.Out, "  " + command + " "));
    EXPECT_EQ(Tool({"frobnicate"}).ExitCode, 2);
    const TRunResult option = Tool({"list", "--bogus", DatArchive()});
    EXPECT_EQ(option.ExitCode, 2);
    EXPECT_TRUE(Has(option.Err, "unknown option --bogus"));
}

// ---- list ----

TEST(ToolList, ShowsTheArchiveNameAndEveryMemberAsTheDirectoryRecordsIt)
{
    const TRunResult run = Tool({"list", DatArchive()});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const std::vector<std::string> lines = Lines(run.Out);
    TMPKFile archive(DatArchive());
    ASSERT_EQ(lines.size(), static_cast<size_t>(archive.Directory().Count()) + 2);
    EXPECT_EQ(lines[0], "Archive: " + archive.ArchiveName());
    for (int i = 0; i < archive.Directory().Count(); ++i) {
        const TMPKDirectoryEntry& entry = archive.Directory().Items(i);
        const std::vector<std::string> words = Words(lines[static_cast<size_t>(i) + 2]);
        ASSERT_EQ(words.size(), 5u) << lines[static_cast<size_t>(i) + 2];
        EXPECT_EQ(words[0], entry.Name);
        EXPECT_EQ(words[1], std::to_string(entry.UncompressedSize));
        EXPECT_EQ(words[1], std::to_string(archive.ExtractToMemory(entry.Name)->Size()));
        EXPECT_EQ(words[2], std::to_string(entry.CompressedSize));
        EXPECT_EQ(words[3], std::to_string(entry.Ratio) + "%");
        EXPECT_EQ(words[4], LibraryIsoTime(entry.UnixTime));
    }
}

TEST(ToolList, WritesDatesOfAnyYearInUtc)
{
    ScratchDir scratch;
    // The epoch, a leap day, the end of a century year that is no leap year, and the
    // last second the record can hold.
    const std::vector<uint32_t> times = {0, 951825600, 4107542399u, 4294967295u, 1768471200};
    std::vector<TMPKMember> members;
    for (size_t i = 0; i < times.size(); ++i)
        // (appended, not "m" + ...: GCC 12 at -O3 warns falsely about that operator)
        members.push_back({std::string("m").append(std::to_string(i)), Text("data"), times[i]});
    WriteMPK(scratch.File("dates.mpk"), "dates", members);
    const TRunResult run = Tool({"list", scratch.File("dates.mpk")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const std::vector<std::string> lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), times.size() + 2);
    for (size_t i = 0; i < times.size(); ++i)
        EXPECT_EQ(Words(lines[i + 2]).back(), LibraryIsoTime(times[i]));
}

TEST(ToolList, MissingDamagedAndForeignFilesFailNamingTheFile)
{
    ScratchDir scratch;
    const std::vector<uint8_t> whole = ReadBytes(DatArchive());
    WriteBytes(scratch.File("cut.mpk"), std::vector<uint8_t>(whole.begin(), whole.begin() + 30));
    WriteBytes(scratch.File("foreign.mpk"), ReadBytes(Game() / "checker.bmp"));
    std::vector<uint8_t> scrambled = whole;
    for (size_t i = 24; i < 60; ++i)
        scrambled[i] ^= 0x5A;
    WriteBytes(scratch.File("scrambled.mpk"), scrambled);
    WriteBytes(scratch.File("short.mpk"), std::vector<uint8_t>(whole.begin(), whole.end() - 100));

    const struct {
        std::string File, Says;
    } cases[] = {
        {scratch.File("missing.mpk"), "Cannot open file"},
        {scratch.File("foreign.mpk"), "Not an MPAK file"},
        {scratch.File("cut.mpk"), "cut short"},
        {scratch.File("scrambled.mpk"), ""},
        {scratch.File("short.mpk"), "sector.dat reaches past the end of the file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        for (const std::string command : {"list", "info"}) {
            if (command == "info" && c.File == scratch.File("foreign.mpk"))
                continue;   // a BMP file, whatever its name says
            const TRunResult run = Tool({command, c.File});
            EXPECT_EQ(run.ExitCode, 1);
            EXPECT_TRUE(Has(run.Err, "orvandel-tool " + command + ": "));
            EXPECT_TRUE(Has(run.Err, c.File)) << run.Err;
            EXPECT_TRUE(Has(run.Err, c.Says)) << run.Err;
        }
    }
    // Extracting the member cut short fails and leaves nothing; the others come out whole.
    const fs::path out = scratch.Path() / "out";
    const TRunResult cut = Tool({"extract", scratch.File("short.mpk"), "sector.dat", "-d", out.string()});
    EXPECT_EQ(cut.ExitCode, 1);
    EXPECT_TRUE(Has(cut.Err, "sector.dat")) << cut.Err;
    EXPECT_TRUE(Listing(out).empty());
    EXPECT_EQ(Tool({"extract", scratch.File("short.mpk"), "terrain.pcx", "-d", out.string()}).ExitCode, 0);
}

// ---- extract ----

TEST(ToolExtract, WritesEveryMemberOrTheNamedOnesIgnoringCase)
{
    ScratchDir scratch;
    const fs::path all = scratch.Path() / "all" / "deeper";
    const TRunResult run = Tool({"extract", DatArchive(), "-d", all.string()});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    TMPKFile archive(DatArchive());
    ASSERT_EQ(Listing(all).size(), static_cast<size_t>(archive.Directory().Count()));
    for (int i = 0; i < archive.Directory().Count(); ++i) {
        const std::string& name = archive.Directory().Items(i).Name;
        EXPECT_EQ(ReadBytes(all / name), archive.ExtractToMemory(name)->Bytes()) << name;
        EXPECT_TRUE(Has(run.Out, (all / name).string()));
    }

    const fs::path some = scratch.Path() / "some";
    const TRunResult named = Tool({"extract", TexArchive(), "TEX03-04.DDS", "tex00-07.dds", "-d", some.string()});
    ASSERT_EQ(named.ExitCode, 0) << named.Err;
    EXPECT_EQ(Listing(some), (std::vector<std::string>{"tex00-07.dds", "tex03-04.dds"}));
    TMPKFile tiles(TexArchive());
    EXPECT_EQ(ReadBytes(some / "tex03-04.dds"), tiles.ExtractToMemory("tex03-04.dds")->Bytes());

    // Without -d: the working directory.
    const TRunResult here = Tool({"extract", DatArchive(), "sector.dat"}, scratch.Path().string());
    ASSERT_EQ(here.ExitCode, 0) << here.Err;
    EXPECT_EQ(ReadBytes(scratch.Path() / "sector.dat"), archive.ExtractToMemory("sector.dat")->Bytes());
}

TEST(ToolExtract, NestedNamesBelowTheDirectoryAndNamesUpToTheFileSystemsLimit)
{
    ScratchDir scratch;
    std::vector<TMPKMember> members = {{"maps/sub/deep.txt", Text("deep"), 0},
                                       {"./dotted.txt", Text("dot"), 0},
                                       {"win\\style.txt", Text("win"), 0}};
    // Names of 251 to 255 bytes: no temporary name may be longer than the name itself.
    for (size_t length = 251; length <= 255; ++length)
        members.push_back({std::string(length, static_cast<char>('a' + length - 251)), Text(std::to_string(length)), 0});
    WriteMPK(scratch.File("a.mpk"), "a", members);
    const fs::path out = scratch.Path() / "out";
    const TRunResult run = Tool({"extract", scratch.File("a.mpk"), "-d", out.string()});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadText(out / "maps" / "sub" / "deep.txt"), "deep");
    EXPECT_EQ(ReadText(out / "dotted.txt"), "dot");
    EXPECT_EQ(ReadText(out / "win" / "style.txt"), "win");
    for (size_t length = 251; length <= 255; ++length)
        EXPECT_EQ(ReadText(out / std::string(length, static_cast<char>('a' + length - 251))), std::to_string(length));
    EXPECT_EQ(Listing(out).size(), 11u) << "nothing but the members and their directories";
}

TEST(ToolExtract, TwoMembersLandingOnOneFileAreRefusedByNameBeforeAnythingIsWritten)
{
    const std::vector<std::pair<std::string, std::string>> clashes = {
        {"d/f", "d\\f"}, {"same.txt", "SAME.TXT"}, {"same.txt", "same.txt"}, {"x", "./x"}, {"a//b", "a/b"},
        {"Maps/x", "maps\\X"}, {"d", "d/f"}, {"d\\f", "D"},
    };
    for (const auto& [first, second] : clashes) {
        SCOPED_TRACE(first + " " + second);
        ScratchDir scratch;
        WriteMPK(scratch.File("a.mpk"), "a",
                 {{"good.txt", Text("good"), 0}, {first, Text("one"), 0}, {second, Text("two"), 0}});
        const fs::path out = scratch.Path() / "out";
        const TRunResult run = Tool({"extract", scratch.File("a.mpk"), "-d", out.string()});
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_TRUE(Has(run.Err, scratch.File("a.mpk") + ": refusing members " + first + " and " + second)) << run.Err;
        EXPECT_EQ(Listing(scratch.Path()), (std::vector<std::string>{"a.mpk"})) << "not even the directory";
    }
    // Named, equal names give the first member, as the viewer reads it.
    ScratchDir scratch;
    WriteMPK(scratch.File("a.mpk"), "a", {{"same.txt", Text("first"), 0}, {"SAME.TXT", Text("second"), 0}});
    const TRunResult named = Tool({"extract", scratch.File("a.mpk"), "SAME.TXT", "-d", scratch.Path().string()});
    ASSERT_EQ(named.ExitCode, 0) << named.Err;
    EXPECT_EQ(ReadText(scratch.Path() / "same.txt"), "first");
}

TEST(ToolExtract, WritesOnlyItsOwnNewFilesWhateverTheDirectoryHolds)
{
    SKIP_ON_WINDOWS("making a symbolic link needs a privilege there, and Wine makes none");
    ScratchDir scratch;
    const fs::path out = scratch.Path() / "out";
    const fs::path outside = scratch.Path() / "outside.txt";
    fs::create_directories(out);
    WriteBytes(outside, Text("keep"));
    // A link planted where a fixed temporary name would be, and a hard link to a file
    // outside at a member's own name: neither is written through.
    fs::create_symlink(outside, out / "x.part");
    fs::create_hard_link(outside, out / "y");
    WriteMPK(scratch.File("a.mpk"), "a",
             {{"x", Text("member x"), 0}, {"y", Text("member y"), 0}, {"z.part", Text("member z.part"), 0},
              {"z", Text("member z"), 0}});
    const TRunResult run = Tool({"extract", scratch.File("a.mpk"), "-d", out.string()});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(ReadText(outside), "keep");
    EXPECT_TRUE(fs::is_symlink(out / "x.part"));
    EXPECT_EQ(ReadText(out / "x"), "member x");
    EXPECT_EQ(ReadText(out / "y"), "member y");
    // A member named like another's temporary file: both survive.
    EXPECT_EQ(ReadText(out / "z.part"), "member z.part");
    EXPECT_EQ(ReadText(out / "z"), "member z");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"x", "x.part", "y", "z", "z.part"}));
}

TEST(ToolExtract, ControlCharactersInNamesArePrintedEscaped)
{
    ScratchDir scratch;
    const std::string name = "bell\a\x1b[2Jname\n.txt";
    WriteMPK(scratch.File("a.mpk"), "a", {{name, Text("x"), 0}, {"../\x1b[1m", Text("y"), 0}});
    const fs::path out = scratch.Path() / "out";
    const std::string shown = "bell\\x07\\x1B[2Jname\\x0A.txt";
    const TRunResult written = Tool({"extract", scratch.File("a.mpk"), name, "-d", out.string()});
    if (test::OnWindows) {
        // Windows allows no control characters in file names: the failure names it escaped.
        EXPECT_EQ(written.ExitCode, 1);
        EXPECT_TRUE(Has(written.Err, shown)) << written.Err;
    } else {
        ASSERT_EQ(written.ExitCode, 0) << written.Err;
        EXPECT_EQ(ReadText(out / name), "x") << "the file keeps its name";
        EXPECT_TRUE(Has(written.Out, shown)) << written.Out;
    }
    const TRunResult refused = Tool({"extract", scratch.File("a.mpk"), "-d", out.string()});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_TRUE(Has(refused.Err, "../\\x1B[1m")) << refused.Err;
    for (const std::string& text : {written.Out, written.Err, refused.Out, refused.Err})
        EXPECT_FALSE(std::any_of(text.begin(), text.end(), [](char c) { return c == '\a' || c == '\x1b'; }));
}

TEST(ToolExtract, RefusesNamesThatLeaveTheDirectoryAndWritesNothing)
{
    const std::vector<std::string> hostile = {
        "../evil.txt", "..\\evil.txt", "sub/../../evil.txt", "sub\\..\\..\\evil.txt", "a/b/../../../evil.txt",
        "/tmp/orvandel-evil.txt", "\\evil.txt", "C:\\evil.txt", "c:evil.txt", "..", "sub/..",
    };
    for (const std::string& name : hostile) {
        SCOPED_TRACE(name);
        ScratchDir scratch;
        WriteMPK(scratch.File("bad.mpk"), "bad", {{"good.txt", Text("good"), 0}, {name, Text("evil"), 0}});
        const fs::path out = scratch.Path() / "box" / "out";
        for (const std::vector<std::string>& chosen : {std::vector<std::string>{}, std::vector<std::string>{name}}) {
            std::vector<std::string> args = {"extract", scratch.File("bad.mpk")};
            args.insert(args.end(), chosen.begin(), chosen.end());
            args.insert(args.end(), {"-d", out.string()});
            const TRunResult run = Tool(args);
            EXPECT_EQ(run.ExitCode, 1);
            EXPECT_TRUE(Has(run.Err, "refusing")) << run.Err;
            EXPECT_TRUE(Has(run.Err, scratch.File("bad.mpk")));
            // Nothing anywhere: not in the directory, not beside it, not at the absolute path.
            EXPECT_EQ(Listing(scratch.Path()), (std::vector<std::string>{"bad.mpk"}));
            EXPECT_FALSE(fs::exists("/tmp/orvandel-evil.txt"));
        }
    }
}

TEST(ToolExtract, RefusesToWriteThroughSymbolicLinks)
{
    SKIP_ON_WINDOWS("making a symbolic link needs a privilege there, and Wine makes none");
    ScratchDir scratch;
    const fs::path out = scratch.Path() / "out";
    const fs::path outside = scratch.Path() / "outside";
    fs::create_directories(out);
    fs::create_directories(outside);
    fs::create_directory_symlink(outside, out / "link");
    fs::create_symlink(outside / "target.txt", out / "file.txt");
    WriteMPK(scratch.File("a.mpk"), "a", {{"link/x.txt", Text("x"), 0}});
    WriteMPK(scratch.File("b.mpk"), "b", {{"file.txt", Text("x"), 0}});
    for (const std::string archive : {"a.mpk", "b.mpk"}) {
        const TRunResult run = Tool({"extract", scratch.File(archive), "-d", out.string()});
        EXPECT_EQ(run.ExitCode, 1) << archive;
        EXPECT_TRUE(Has(run.Err, "symbolic link")) << run.Err;
    }
    EXPECT_TRUE(Listing(outside).empty());
}

// A folder standing where the archive's last member would land stops the extraction
// before the first file is written.
TEST(ToolExtract, AFolderAtAMembersNameIsRefusedBeforeAnythingIsWritten)
{
    ScratchDir scratch;
    const TMPKFile archive(DatArchive());
    const int count = archive.Directory().Count();
    ASSERT_GT(count, 1);
    const std::string last = archive.Directory().Items(count - 1).Name;
    const fs::path out = scratch.Path() / "out";
    fs::create_directories(out / last);
    const TRunResult run = Tool({"extract", DatArchive(), "-d", out.string()});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_TRUE(Has(run.Err, (out / last).string() + " is a directory")) << run.Err;
    EXPECT_EQ(Listing(out), std::vector<std::string>{last});
}

TEST(ToolExtract, MissingMembersAndDamagedDataFailWithoutLeavingFiles)
{
    ScratchDir scratch;
    const fs::path out = scratch.Path() / "out";
    const TRunResult missing = Tool({"extract", DatArchive(), "terrain.pcx", "nothere.pcx", "-d", out.string()});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(Has(missing.Err, DatArchive()));
    EXPECT_TRUE(Has(missing.Err, "nothere.pcx"));
    EXPECT_TRUE(Listing(out).empty()) << "not even the member that exists";

    // The second member's data damaged: the first is written, the second leaves nothing.
    std::vector<uint8_t> bytes = BuildMPK("d", {{"one.txt", Text(std::string(5000, 'a')), 0},
                                                 {"two.txt", Text(std::string(5000, 'b')), 0}});
    {
        WriteBytes(scratch.File("probe.mpk"), bytes);
        TMPKFile probe(scratch.File("probe.mpk"));
        const TMPKDirectoryEntry& two = probe.Directory().Items(1);
        for (int i = 2; i < two.CompressedSize; ++i)
            bytes[static_cast<size_t>(two.Offset + i)] ^= 0xA5;
    }
    WriteBytes(scratch.File("damaged.mpk"), bytes);
    const TRunResult damaged = Tool({"extract", scratch.File("damaged.mpk"), "-d", out.string()});
    EXPECT_EQ(damaged.ExitCode, 1);
    EXPECT_TRUE(Has(damaged.Err, scratch.File("damaged.mpk")));
    EXPECT_TRUE(Has(damaged.Err, "two.txt")) << damaged.Err;
    EXPECT_EQ(Listing(out), (std::vector<std::string>{"one.txt"}));

    const TRunResult noArchive = Tool({"extract", scratch.File("none.mpk"), "-d", out.string()});
    EXPECT_EQ(noArchive.ExitCode, 1);
    EXPECT_TRUE(Has(noArchive.Err, scratch.File("none.mpk")));
}

// ---- info ----

TEST(ToolInfo, TellsTheHeaderFactsOfEachKindOfFile)
{
    ScratchDir scratch;
    ASSERT_EQ(Tool({"extract", DatArchive(), "terrain.pcx", "-d", scratch.Path().string()}).ExitCode, 0);
    ASSERT_EQ(Tool({"extract", TexArchive(), "tex05-02.dds", "-d", scratch.Path().string()}).ExitCode, 0);
    const struct {
        std::string File;
        std::vector<std::string> Facts;
    } cases[] = {
        {DatArchive(), {"MPAK archive", "Archive name:        dat111", "Members:             3"}},
        {scratch.File("terrain.pcx"),
         {"PCX", "Width:               256", "Height:              256", "Bits per pixel:      8", "run-length",
          "256 colours"}},
        {scratch.File("tex05-02.dds"), {"DDS", "FourCC:              DXT1", "Width:               256", "32768"}},
        {(Game() / "zones" / "sky" / "wisps.tga").string(),
         {"TGA", "Pixel depth:         32", "8 alpha bits", "bottom to top"}},
        {(Game() / "zones" / "textures" / "watery.tga").string(), {"TGA", "run-length", "top to bottom"}},
        {(Game() / "data" / "compass_bar.bmp").string(), {"BMP", "Bits per pixel:      24", "Header size:         40"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        const TRunResult run = Tool({"info", c.File});
        ASSERT_EQ(run.ExitCode, 0) << run.Err;
        EXPECT_EQ(Lines(run.Out).front(), c.File);
        for (const std::string& fact : c.Facts)
            EXPECT_TRUE(Has(run.Out, fact)) << fact << "\n" << run.Out;
    }
}

TEST(ToolInfo, DamagedUnknownAndMissingFilesFail)
{
    ScratchDir scratch;
    const std::vector<uint8_t> tile = ReadBytes((Game() / "checker.bmp"));
    TImage picture{8, 8, 3, std::vector<uint8_t>(8 * 8 * 3, 90)};
    const std::vector<uint8_t> dds = EncodeDDS(picture, FourCCDXT1);
    WriteBytes(scratch.File("cut.dds"), std::vector<uint8_t>(dds.begin(), dds.end() - 8));
    std::vector<uint8_t> odd = dds;
    odd[84] = 'A';   // FourCC "AXT1"
    WriteBytes(scratch.File("odd.dds"), odd);
    WriteBytes(scratch.File("noise.bin"), Text("just some words, no picture at all"));
    WriteBytes(scratch.File("cut.bmp"), std::vector<uint8_t>(tile.begin(), tile.begin() + 20));

    const struct {
        std::string File, Says;
    } cases[] = {
        {scratch.File("cut.dds"), "Stream read error"},
        {scratch.File("odd.dds"), "Currently unsupported DDS pixel format"},
        {scratch.File("noise.bin"), "not an MPAK archive, BMP, TGA, DDS or PCX file"},
        {scratch.File("cut.bmp"), "cut short"},
        {scratch.File("missing.tga"), "Cannot open file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        const TRunResult run = Tool({"info", c.File});
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_TRUE(Has(run.Err, "orvandel-tool info: ")) << run.Err;
        EXPECT_TRUE(Has(run.Err, c.File)) << run.Err;
        EXPECT_TRUE(Has(run.Err, c.Says)) << run.Err;
    }
}

// ---- convert ----

// Our PNG, read back by ImageMagick, must show what ImageMagick sees in the source; for
// DXT blocks the two decoders may round the blended colours differently.
void ExpectConvertMatchesMagick(const std::string& source, const std::string& layout, int tolerance,
                                const ScratchDir& scratch)
{
    SCOPED_TRACE(source);
    const std::string png = scratch.File(fs::path(source).filename().string() + ".png");
    const TRunResult run = Tool({"convert", source, png});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const std::vector<uint8_t> header = ReadBytes(png);
    ASSERT_GT(header.size(), 26u);
    EXPECT_EQ(header[25], layout == "rgba" ? 6 : 2) << "PNG colour type";
    const std::vector<uint8_t> expected = MagickPixels(source, layout);
    const std::vector<uint8_t> ours = MagickPixels(png, layout);
    ASSERT_EQ(ours.size(), expected.size());
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i)
        worst = std::max(worst, std::abs(ours[i] - expected[i]));
    EXPECT_LE(worst, tolerance);
}

// A picture with gradients, edges and (for RGBA) every kind of alpha.
TImage Pattern(int width, int height, int channels)
{
    TImage image{width, height, channels, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            image.Pixels.push_back(static_cast<uint8_t>(x * 255 / std::max(1, width - 1)));
            image.Pixels.push_back(static_cast<uint8_t>(y * 255 / std::max(1, height - 1)));
            image.Pixels.push_back(static_cast<uint8_t>((x / 4 + y / 4) % 2 ? 220 : 30));
            if (channels == 4)
                image.Pixels.push_back(static_cast<uint8_t>((x * 7 + y * 3) % 256));
        }
    return image;
}

TEST(ToolConvert, SampleGameImagesMatchImageMagick)
{
    REQUIRE_PROGRAMS(MagickProgram.c_str());
    ScratchDir scratch;
    ASSERT_EQ(Tool({"extract", DatArchive(), "terrain.pcx", "offset.pcx", "-d", scratch.Path().string()}).ExitCode, 0);
    ASSERT_EQ(Tool({"extract", TexArchive(), "tex00-07.dds", "tex07-00.dds", "-d", scratch.Path().string()}).ExitCode,
              0);
    ASSERT_EQ(Tool({"extract", (Game() / "zones" / "zone112" / "tex112.mpk").string(), "tex02-05.bmp", "-d",
                    scratch.Path().string()})
                  .ExitCode,
              0);
    ExpectConvertMatchesMagick(scratch.File("terrain.pcx"), "rgb", 0, scratch);
    ExpectConvertMatchesMagick(scratch.File("offset.pcx"), "rgb", 0, scratch);
    ExpectConvertMatchesMagick(scratch.File("tex00-07.dds"), "rgb", 3, scratch);
    ExpectConvertMatchesMagick(scratch.File("tex07-00.dds"), "rgb", 3, scratch);
    ExpectConvertMatchesMagick(scratch.File("tex02-05.bmp"), "rgb", 0, scratch);
    ExpectConvertMatchesMagick((Game() / "zones" / "d00.bmp").string(), "rgb", 0, scratch);
    ExpectConvertMatchesMagick((Game() / "data" / "compass_bar.bmp").string(), "rgb", 0, scratch);
    ExpectConvertMatchesMagick((Game() / "checker.bmp").string(), "rgb", 0, scratch);
    ExpectConvertMatchesMagick((Game() / "zones" / "sky" / "wisps.tga").string(), "rgba", 0, scratch);
    ExpectConvertMatchesMagick((Game() / "zones" / "textures" / "watery.tga").string(), "rgb", 0, scratch);
}

TEST(ToolConvert, EveryVariantOfEachFormatMatchesImageMagick)
{
    REQUIRE_PROGRAMS(MagickProgram.c_str());
    ScratchDir scratch;
    const TImage rgb = Pattern(37, 23, 3);    // odd sizes: row padding, partial blocks
    const TImage rgba = Pattern(32, 16, 4);
    auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteBytes(scratch.File(name), bytes);
        return scratch.File(name);
    };
    for (bool rle : {false, true})
        for (bool top : {false, true}) {
            const std::string tag = std::string(rle ? "rle" : "raw") + (top ? "-top" : "-bottom");
            ExpectConvertMatchesMagick(write("rgb-" + tag + ".tga", EncodeTGA(rgb, rle, top)), "rgb", 0, scratch);
            ExpectConvertMatchesMagick(write("rgba-" + tag + ".tga", EncodeTGA(rgba, rle, top)), "rgba", 0, scratch);
        }
    ExpectConvertMatchesMagick(write("rgb24.bmp", EncodeBMP24(rgb)), "rgb", 0, scratch);

    std::vector<uint8_t> indices, palette;
    for (int i = 0; i < 37 * 23; ++i)
        indices.push_back(static_cast<uint8_t>((i * 37) % 251));
    for (int i = 0; i < 256; ++i)
        palette.insert(palette.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                       static_cast<uint8_t>((i * 5) % 256)});
    ExpectConvertMatchesMagick(write("palette.bmp", EncodeBMP8(37, 23, indices, palette)), "rgb", 0, scratch);
    ExpectConvertMatchesMagick(write("palette.pcx", EncodePCX8(37, 23, indices, palette)), "rgb", 0, scratch);

    for (uint32_t fourCC : {FourCCDXT1, FourCCDXT3, FourCCDXT5}) {
        const bool alpha = fourCC != FourCCDXT1;
        const std::string name = "block-" + std::to_string(fourCC) + ".dds";
        ExpectConvertMatchesMagick(write(name, EncodeDDS(alpha ? rgba : Pattern(32, 16, 3), fourCC)),
                                   alpha ? "rgba" : "rgb", 3, scratch);
    }
}

TEST(ToolConvert, PCXWithoutPaletteBecomesGrey)
{
    REQUIRE_PROGRAMS(MagickProgram.c_str());
    ScratchDir scratch;
    std::vector<uint8_t> indices;
    for (int i = 0; i < 21 * 9; ++i)
        indices.push_back(static_cast<uint8_t>(i * 13));
    WriteBytes(scratch.File("grey.pcx"), EncodePCX8(21, 9, indices, {}));
    const TRunResult run = Tool({"convert", scratch.File("grey.pcx"), scratch.File("grey.png")});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    const std::vector<uint8_t> pixels = MagickPixels(scratch.File("grey.png"), "rgb");
    ASSERT_EQ(pixels.size(), indices.size() * 3);
    for (size_t i = 0; i < indices.size(); ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(pixels[3 * i + c], indices[i]) << i;
}

TEST(ToolConvert, DamagedImagesFailNamingTheFileAndWriteNothing)
{
    ScratchDir scratch;
    std::vector<uint8_t> indices(64 * 64);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<uint8_t>((i * 7919) % 256);   // little to run-length encode
    const std::vector<uint8_t> pcx = EncodePCX8(64, 64, indices, {});
    WriteBytes(scratch.File("cut.pcx"), std::vector<uint8_t>(pcx.begin(), pcx.begin() + 128 + 1000));
    std::vector<uint8_t> huge = pcx;
    huge[8] = huge[10] = 0xFE;   // a window of 65535 x 65535
    huge[9] = huge[11] = 0xFF;
    huge[66] = huge[67] = 0xFF;
    WriteBytes(scratch.File("huge.pcx"), huge);
    std::vector<uint8_t> planar = pcx;
    planar[3] = 4;   // four bits per pixel
    WriteBytes(scratch.File("planar.pcx"), planar);
    std::vector<uint8_t> narrow = pcx;
    narrow[66] = 8;   // lines shorter than the picture
    narrow[67] = 0;
    WriteBytes(scratch.File("narrow.pcx"), narrow);
    const std::vector<uint8_t> dds = EncodeDDS(Pattern(16, 16, 3), FourCCDXT1);
    WriteBytes(scratch.File("cut.dds"), std::vector<uint8_t>(dds.begin(), dds.begin() + 140));
    WriteBytes(scratch.File("picture.tga"), Text("no"));
    std::vector<uint8_t> empty = EncodeTGA(Pattern(8, 8, 3), true, true);
    empty[12] = empty[13] = 0;   // no width: the reader takes it, but there is no pixel to write
    WriteBytes(scratch.File("empty.tga"), empty);
    const std::vector<uint8_t> tga = EncodeTGA(Pattern(8, 8, 3), false, true);
    WriteBytes(scratch.File("cut.tga"), std::vector<uint8_t>(tga.begin(), tga.begin() + 18 + 8 * 3));

    const struct {
        std::string File, Says;
    } cases[] = {
        {scratch.File("cut.pcx"), "cut short"},
        {scratch.File("huge.pcx"), "cut short"},
        {scratch.File("planar.pcx"), "unsupported PCX"},
        {scratch.File("narrow.pcx"), "cannot hold"},
        {scratch.File("cut.dds"), "Stream read error"},
        {scratch.File("empty.tga"), "an image of 0 x 8 pixels, nothing to convert"},
        {scratch.File("cut.tga"), "TGA pixel data cut short"},
        {DatArchive(), "MPAK archive"},
        {scratch.File("missing.bmp"), "Cannot open file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        const std::string out = scratch.File("out.png");
        const TRunResult run = Tool({"convert", c.File, out});
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_TRUE(Has(run.Err, "orvandel-tool convert: ")) << run.Err;
        EXPECT_TRUE(Has(run.Err, c.File)) << run.Err;
        EXPECT_TRUE(Has(run.Err, c.Says)) << run.Err;
        EXPECT_FALSE(fs::exists(out));
    }

    const TRunResult unwritable =
        Tool({"convert", (Game() / "checker.bmp").string(), scratch.File("no/such/dir/out.png")});
    EXPECT_EQ(unwritable.ExitCode, 1);
    EXPECT_TRUE(Has(unwritable.Err, "Cannot create file " + scratch.File("no/such/dir/out.png"))) << unwritable.Err;
}

// Standard output on a full device is a failure; outputs that could only be wrong (an
// extension that says another format, a scale that makes coordinates infinite) are usage
// errors before anything is loaded; file text reaches the terminal with its control
// bytes escaped.
TEST(ToolOutputs, WhatCannotArriveRightIsRefused)
{
    ScratchDir scratch;
    const std::string game = SampleGame().string();
    for (const std::string command : {"list", "info"}) {
        if (test::OnWindows)
            break;   // no full device to write to
        const TRunResult run = RunProgram("/bin/sh", {"-c", "exec \"$0\" \"$@\" >/dev/full", ToolProgram, command, DatArchive()});
        EXPECT_EQ(run.ExitCode, 1) << command;
        EXPECT_TRUE(Has(run.Err, "orvandel-tool " + command + ": cannot write to standard output")) << run.Err;
    }
    const struct {
        std::vector<std::string> Args;
        std::string Says;
    } refused[] = {
        {{"map", game, "111", "-o", "x.jpg"}, "'x.jpg' is not a .png file"},
        {{"heightmap", game, "111", "x.PNG.jpg"}, "'x.PNG.jpg' is not a .png file"},
        {{"export", game, "111", "-o", "x.glb", "--scale", "3e38"}, "'3e38' is not a positive number of at most"},
    };
    for (const auto& c : refused) {
        const TRunResult run = Tool(c.Args, scratch.Path().string());
        EXPECT_EQ(run.ExitCode, 2) << c.Args[0];
        EXPECT_TRUE(Has(run.Err, c.Says)) << run.Err;
    }
    EXPECT_TRUE(Listing(scratch.Path()).empty());

    WriteMPK(scratch.File("a.mpk"), "\x1b]0;title\x07name", {{"m", Text("x"), 0}});
    const TRunResult info = Tool({"info", scratch.File("a.mpk")});
    EXPECT_EQ(info.ExitCode, 0) << info.Err;
    EXPECT_TRUE(Has(info.Out, "\\x1B]0;title\\x07name")) << info.Out;
    EXPECT_FALSE(Has(info.Out, "\x1b"));
}

// An output that cannot be written whole (here: beyond the file size limit, as on a full
// disk) fails naming the file and the system's reason, and leaves nothing behind.
TEST(ToolOutputs, AFileThatCannotBeWrittenWholeIsNamedWithTheReasonAndRemoved)
{
    SKIP_ON_WINDOWS("no file size limit");
    ScratchDir scratch;
    const std::string game = SampleGame().string();
    const struct {
        std::vector<std::string> Args;
        std::string Out, Says;
    } cases[] = {
        {{"convert", game + "/zones/sky/wisps.tga", scratch.File("c.png")}, scratch.File("c.png"),
         scratch.File("c.png") + ": Stream write error (File too large)"},
        {{"heightmap", game, "111", scratch.File("h.png")}, scratch.File("h.png"),
         scratch.File("h.png") + ": Stream write error (File too large)"},
        {{"map", game, "111", "-o", scratch.File("m.png")}, scratch.File("m.png"),
         "Cannot write file " + scratch.File("m.png") + ": Stream write error (File too large)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args[0]);
        // At most 8 blocks of 512 bytes a file; writing past that fails instead of ending the program.
        std::vector<std::string> args{"-c", "trap '' XFSZ; ulimit -f 8; exec \"$0\" \"$@\"", ToolProgram};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const TRunResult run = RunProgram("/bin/sh", args, scratch.Path().string());
        EXPECT_EQ(run.ExitCode, 1) << run.Err;
        EXPECT_TRUE(Has(run.Err, c.Says)) << run.Err;
        EXPECT_FALSE(fs::exists(c.Out));
    }
    // Only the sector.dat the zone commands extract into the working directory is left.
    for (const auto& entry : fs::directory_iterator(scratch.Path()))
        EXPECT_EQ(entry.path().filename(), "sector.dat");
}

// Only a regular file (or nothing) is ever replaced: a FIFO or a directory at an output's
// name, the main file's or a side file's, is refused by name and left as it was.
TEST(ToolOutputs, AFifoOrADirectoryAtAnOutputIsRefusedByNameAndKept)
{
    SKIP_ON_WINDOWS("no FIFOs in the file system");
    ScratchDir scratch;
    const std::string game = SampleGame().string();
    const std::string fifo = scratch.File("fifo.png");
    const std::string directory = scratch.File("folder.png");
    const std::string glbDirectory = scratch.File("folder.glb");
    ASSERT_TRUE(test::MakeFifo(fifo));
    fs::create_directory(directory);
    fs::create_directory(glbDirectory);
    ASSERT_TRUE(test::MakeFifo(scratch.File("z.bin")));
    const struct {
        std::vector<std::string> Args;
        std::string Says;
    } cases[] = {
        {{"convert", game + "/zones/sky/wisps.tga", fifo}, fifo + " (a FIFO, not a regular file)"},
        {{"heightmap", game, "111", fifo}, fifo + " (a FIFO, not a regular file)"},
        {{"map", game, "111", "-o", fifo}, fifo + " (a FIFO, not a regular file)"},
        {{"map", game, "111", "-o", directory}, directory + " (a directory, not a regular file)"},
        {{"export", game, "111", "-o", glbDirectory}, glbDirectory + " (a directory, not a regular file)"},
        {{"export", game, "111", "-o", scratch.File("z.gltf")}, scratch.File("z.bin") + " (a FIFO, not a regular file)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args[0] + " " + c.Args.back());
        const TRunResult run = Tool(c.Args, scratch.Path().string());
        EXPECT_EQ(run.ExitCode, 1) << run.Err;
        EXPECT_TRUE(Has(run.Err, c.Says)) << run.Err;
    }
    EXPECT_EQ(Listing(scratch.Path()), (std::vector<std::string>{"fifo.png", "folder.glb", "folder.png", "z.bin"}));
    EXPECT_EQ(fs::symlink_status(fifo).type(), fs::file_type::fifo);
    EXPECT_EQ(fs::symlink_status(scratch.File("z.bin")).type(), fs::file_type::fifo);
}

}  // namespace
}  // namespace orv::tooltest
