// Helpers of the tool tests: private scratch directories, running the built programs
// with their output captured, the sample game generated once per build of the
// generator, and ImageMagick's decoding of a picture as an independent reference.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ExternalPrograms.h"
#include "TestSystem.h"

namespace orv::tooltest {

namespace fs = std::filesystem;

inline const std::string ToolProgram = test::BuiltProgram("tools/orvandel-tool");
inline const std::string MkGameProgram = test::BuiltProgram("tools/orvandel-mkgame");
inline const std::string MagickProgram = "/usr/bin/convert";

// A fresh directory under the system's temporary directory, removed afterwards.
class ScratchDir {
public:
    ScratchDir() : m_Path(test::MakeScratchDirectory("orvandel-tools")) {}
    ~ScratchDir()
    {
        std::error_code ignored;
        fs::remove_all(m_Path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string File(const std::string& name) const { return (m_Path / name).string(); }
    const fs::path& Path() const { return m_Path; }

private:
    fs::path m_Path;
};

inline std::vector<uint8_t> ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadText(const fs::path& path)
{
    const std::vector<uint8_t> bytes = ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

inline bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

struct TRunResult {
    int ExitCode = -1;        // -1: did not exit normally
    std::string Out;
    std::string Err;
};

// Runs a program with arguments (no shell), its standard output and error captured.
inline TRunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workingDir = "")
{
    ScratchDir capture;
    TRunResult result;
    result.ExitCode = test::RunProcess(program, args, workingDir, capture.Path() / "out", capture.Path() / "err");
    result.Out = test::PlainLines(ReadText(capture.Path() / "out"));
    result.Err = test::PlainLines(ReadText(capture.Path() / "err"));
    return result;
}

inline TRunResult Tool(const std::vector<std::string>& args, const std::string& workingDir = "")
{
    return RunProgram(ToolProgram, args, workingDir);
}

// The sample game, generated once for each build of the generator and shared by the
// tests (each test runs in its own process). It is written to a private directory and
// renamed into place, so parallel tests never see half a game.
inline const fs::path& SampleGame()
{
    static const fs::path game = [] {
        std::error_code missing;
        const auto built = fs::last_write_time(MkGameProgram, missing);
        if (missing)
            throw std::runtime_error("no " + MkGameProgram);
        const fs::path base = fs::path(ORVANDEL_BINARY_DIR) / "tests" / "tools";
        const std::string key = std::to_string(built.time_since_epoch().count()) + "-" +
                                std::to_string(fs::file_size(MkGameProgram));
        const fs::path ready = base / ("sample-game-" + key);
        if (fs::exists(ready / "checker.bmp"))
            return ready;
        fs::create_directories(base);
        const std::string pattern = test::MakeScratchDirectory("sample-game-new", base).string();
        const TRunResult run = RunProgram(MkGameProgram, {pattern});
        if (run.ExitCode != 0)
            throw std::runtime_error("orvandel-mkgame failed: " + run.Err);
        std::error_code lost;
        fs::rename(pattern, ready, lost);   // another test may have been quicker
        if (lost)
            fs::remove_all(pattern, lost);
        // Games of earlier builds of the generator are no longer needed.
        for (const auto& entry : fs::directory_iterator(base)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("sample-game-") && !name.starts_with("sample-game-new-") && entry.path() != ready)
                fs::remove_all(entry.path(), lost);
        }
        return ready;
    }();
    return game;
}

// ImageMagick's reading of a picture as raw bytes, top row first: "rgb" or "rgba".
inline std::vector<uint8_t> MagickPixels(const std::string& file, const std::string& layout)
{
    ScratchDir scratch;
    const std::string raw = scratch.File("pixels." + layout);
    // TGA rows stored bottom first are only put upright by -auto-orient.
    const TRunResult run = RunProgram(MagickProgram, {file, "-auto-orient", "-depth", "8", layout + ":" + raw});
    if (run.ExitCode != 0)
        throw std::runtime_error("ImageMagick cannot read " + file + ": " + run.Err);
    return ReadBytes(raw);
}

// Every regular file below a directory with its bytes, by relative path.
inline std::map<std::string, std::vector<uint8_t>> Tree(const fs::path& root)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).string()] = ReadBytes(entry.path());
    return files;
}

}  // namespace orv::tooltest
