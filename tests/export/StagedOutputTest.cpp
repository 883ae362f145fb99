// The staged output's commit: all of a new output, or the earlier one exactly as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ExportSupport.h"
#include "base/Exception.h"
#include "export/StagedOutput.h"

namespace orv::exporttest {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::string> Names(const fs::path& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The main file's move fails after the side files were moved (here its staged file is
// gone): the side files of the earlier output come back, and no new one stays.
TEST(StagedOutput, AFailedCommitPutsTheEarlierOutputBack)
{
    ScratchDir scratch;
    const fs::path out = scratch.Path() / "out";
    fs::create_directories(out);
    WriteBytes(out / "z.gltf", Bytes("old main"));
    WriteBytes(out / "z.bin", Bytes("old side"));
    {
        TStagedOutput output((out / "z.gltf").string());
        output.Write("z.bin", Bytes("new side"));
        output.Write("z_water.png", Bytes("new picture"));
        output.Write("z.gltf", Bytes("new main"));
        fs::remove(output.Path("z.gltf"));
        try {
            output.Commit("z.gltf");
            ADD_FAILURE() << "committed without its main file";
        } catch (const EWriteError& e) {
            EXPECT_TRUE(e.Message().starts_with("Cannot write file " + (out / "z.gltf").string() + ": "))
                << e.Message();
        }
    }
    EXPECT_EQ(ReadText(out / "z.gltf"), "old main");
    EXPECT_EQ(ReadText(out / "z.bin"), "old side");
    EXPECT_EQ(Names(out), (std::vector<std::string>{"z.bin", "z.gltf"}));
}

}  // namespace
}  // namespace orv::exporttest
