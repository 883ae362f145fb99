// The platform layer: what its halves must do alike on every system.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/platform/Files.h"

namespace orv::platform {
namespace {

namespace fs = std::filesystem;

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
