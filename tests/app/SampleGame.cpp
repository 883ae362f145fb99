#include "SampleGame.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace orvtest {

const std::string& SampleGame()
{
    static const std::string dir = [] {
        const fs::path target = fs::path(ORVANDEL_BINARY_DIR) / "tests" / "app" / "sample-game";
        const fs::path marker = target / "zones" / "zone111" / "dat111.mpk";
        if (fs::exists(marker))
            return target.string();
        const std::string generator = ORVANDEL_MKGAME;
        if (generator.empty() || !fs::exists(generator))
            return std::string();
        // Written beside the target and renamed, so that test programs running at the
        // same time never see half a game.
        const fs::path scratch = target.string() + ".tmp" + std::to_string(::getpid());
        fs::remove_all(scratch);
        const std::string command = "'" + generator + "' '" + scratch.string() + "' >/dev/null";
        if (std::system(command.c_str()) != 0) {
            fs::remove_all(scratch);
            return std::string();
        }
        std::error_code error;
        fs::rename(scratch, target, error);
        if (error)
            fs::remove_all(scratch);
        return fs::exists(marker) ? target.string() : std::string();
    }();
    return dir;
}

std::string NewTempDir(const std::string& stem)
{
    std::string pattern = (fs::temp_directory_path() / (stem + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary directory under " + fs::temp_directory_path().string());
    return pattern;
}

}  // namespace orvtest
