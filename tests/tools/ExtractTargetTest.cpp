// TExtractTarget itself: what the check made before the writing cannot see.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ToolTestSupport.h"
#include "base/Exception.h"
#include "tool/ExtractTarget.h"

namespace orv::tooltest {
namespace {

void WriteText(orvtool::TExtractTarget& target, const orvtool::TComponents& path, const std::string& text)
{
    target.Write(path, [&](TStream& file) { file.WriteBuffer(text.data(), static_cast<int64_t>(text.size())); });
}

// A link put in place between the check and the writing is refused at a directory and
// replaced at the file's own name: nothing is written through it.
TEST(ExtractTarget, ALinkSwappedInAfterTheCheckIsNeverFollowed)
{
    SKIP_ON_WINDOWS("making a symbolic link needs a privilege there, and Wine makes none");
    ScratchDir scratch;
    const fs::path out = scratch.Path() / "out";
    const fs::path outside = scratch.Path() / "outside";
    fs::create_directories(outside);
    orvtool::TExtractTarget target(out.string());
    ASSERT_FALSE(target.Check({"sub", "x.txt"}));
    ASSERT_FALSE(target.Check({"f.txt"}));
    fs::create_directory_symlink(outside, out / "sub");
    fs::create_symlink(outside / "f.txt", out / "f.txt");

    try {
        WriteText(target, {"sub", "x.txt"}, "x");
        ADD_FAILURE() << "written through the link";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "refusing to write through the symbolic link " + (out / "sub").string());
    }
    WriteText(target, {"f.txt"}, "f");
    EXPECT_FALSE(fs::is_symlink(out / "f.txt"));
    EXPECT_EQ(ReadText(out / "f.txt"), "f");
    EXPECT_TRUE(fs::is_empty(outside));
    EXPECT_TRUE(fs::is_symlink(out / "sub"));
}

}  // namespace
}  // namespace orv::tooltest
