// The platform layer: what its halves must do alike on every system.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/platform/Files.h"

namespace orv::platform {
namespace {

namespace fs = std::filesystem;

std::string Text(const std::string& path)
{
    TError error;
    TFile file = TFile::Open(path, TOpenMode::Read, error);
    std::string text(64, '\0');
    text.resize(static_cast<size_t>(file.IsOpen() ? file.Read(text.data(), 64) : 0));
    return text;
}

bool Put(const std::string& path, const std::string& text)
{
    TAtomicFile file;
    return !file.Begin(path) && file.File().Write(text.data(), static_cast<int64_t>(text.size())) ==
                                    static_cast<int64_t>(text.size()) && !file.Commit();
}

// Paths split and joined as the system writes them: `/` only here, `\` and `/` and drive
// letters on Windows.
TEST(Platform, PathsAreSplitAtTheSystemsSeparators)
{
    EXPECT_EQ(DirectoryOf(JoinPath("a", "b")), "a");
    EXPECT_EQ(NameOf(JoinPath("a", "b")), "b");
    EXPECT_EQ(DirectoryOf("b"), ".");
    EXPECT_EQ(JoinPath("", "b"), "b");
    EXPECT_EQ(JoinPath("a/", "b"), "a/b");
#ifdef _WIN32
    EXPECT_EQ(JoinPath("a", "b"), "a\\b");
    EXPECT_EQ(NameOf("a/b\\c"), "c");
    EXPECT_EQ(DirectoryOf("a/b\\c"), "a/b");
    EXPECT_EQ(DirectoryOf("c:\\x"), "c:\\");
    EXPECT_EQ(DirectoryOf("c:x"), "c:");
    EXPECT_EQ(NameOf("c:x"), "x");
    EXPECT_EQ(JoinPath("c:", "x"), "c:x");
    EXPECT_TRUE(IsAbsolutePath("c:/x"));
    EXPECT_TRUE(IsAbsolutePath("\\x"));
    EXPECT_FALSE(IsAbsolutePath("c:x"));
#else
    EXPECT_EQ(JoinPath("a", "b"), "a/b");
    EXPECT_EQ(NameOf("a\\b"), "a\\b");
    EXPECT_EQ(DirectoryOf("/x"), "/");
    EXPECT_TRUE(IsAbsolutePath("/x"));
    EXPECT_FALSE(IsAbsolutePath("c:/x"));
#endif
}

// A folder named with letters beyond ASCII: created, listed, written and replaced by
// its UTF-8 name; on a file system that ignores case (Windows) another case finds the file.
TEST(Platform, UTF8NamesAreWrittenReplacedAndListed)
{
    const std::string dir = JoinPath(fs::temp_directory_path().string(), "orvandel-\xC3\x98ster\xC3\xA5-\xE6\xB0\xB4");
    RemoveTree(dir);
    ASSERT_FALSE(CreateDirectories(JoinPath(dir, "Zones")));
    const std::string file = JoinPath(JoinPath(dir, "Zones"), "D\xC3\xA9p\xC3\xB4t.txt");
    EXPECT_EQ(KindOf(file), TFileKind::Missing);
    ASSERT_TRUE(Put(file, "first"));
    ASSERT_TRUE(Put(file, "second"));   // replaced in one step
    EXPECT_EQ(Text(file), "second");
    EXPECT_EQ(KindOf(file), TFileKind::Regular);
    EXPECT_EQ(KindOf(JoinPath(dir, "Zones")), TFileKind::Directory);
    EXPECT_EQ(DirectoryEntries(JoinPath(dir, "Zones")), std::vector<std::string>{"D\xC3\xA9p\xC3\xB4t.txt"});
#ifdef _WIN32
    EXPECT_EQ(Text(JoinPath(JoinPath(dir, "ZONES"), "D\xC3\xA9P\xC3\xB4T.TXT")), "second");
#endif
    // Only a regular file is replaced.
    TAtomicFile folder;
    EXPECT_EQ(folder.Begin(JoinPath(dir, "Zones")).Refused, TFileKind::Directory);
    RemoveTree(dir);
    EXPECT_EQ(KindOf(dir), TFileKind::Missing);
}

#ifndef _WIN32
// Ctrl+C or a termination request during a write: the temporary file, and a stage
// directory with its files, are gone when the signal has ended the program as usual.
TEST(PlatformDeathTest, TemporariesAreRemovedWhenASignalEndsTheProgram)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        const fs::path dir = fs::temp_directory_path() / ("orvandel-platform-" + std::to_string(signal));
        fs::remove_all(dir);
        fs::create_directories(dir);
        EXPECT_EXIT(
            {
                TAtomicFile file;
                if (file.Begin((dir / "map.png").string()) || file.File().Write("x", 1) != 1)
                    std::_Exit(3);
                TError error;
                const std::string stage = MakeTemporaryDirectory(dir.string(), "z.gltf", error);
                std::ofstream(JoinPath(stage, "z.bin")) << "x";
                RegisterTemporary(JoinPath(stage, "z.bin"));
                std::raise(signal);
                std::_Exit(4);
            },
            testing::KilledBySignal(signal), "");
        EXPECT_TRUE(fs::is_empty(dir)) << signal;
        fs::remove_all(dir);
    }
}
#endif

}  // namespace
}  // namespace orv::platform
