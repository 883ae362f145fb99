// TestSystem: what the tests ask of the operating system, the same on POSIX and Windows:
// scratch folders, programs run with their output captured, the environment, work run
// under a memory limit; and the few things only POSIX offers (FIFOs, a file size limit,
// an alarm), which a test skips on Windows with SKIP_ON_WINDOWS(reason) first.
//
//   const std::filesystem::path dir = test::MakeScratchDirectory("orvandel-tools");
//   const int code = test::RunProcess(test::BuiltProgram("tools/orvandel-tool"), {"list", archive},
//                                     "", dir / "out", dir / "err");
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "SanitizedBuild.h"

namespace orv::test {

#ifdef _WIN32
inline constexpr bool OnWindows = true;
inline constexpr const char* ProgramSuffix = ".exe";
#define SKIP_ON_WINDOWS(reason) GTEST_SKIP() << "not on Windows: " << (reason)
#else
inline constexpr bool OnWindows = false;
inline constexpr const char* ProgramSuffix = "";
#define SKIP_ON_WINDOWS(reason) static_cast<void>(0)
#endif

// A program of this build, by its path below the build folder without suffix
// ("tools/orvandel-tool").
#ifdef ORVANDEL_BINARY_DIR
inline std::string BuiltProgram(const std::string& relative)
{
    return ORVANDEL_BINARY_DIR "/" + relative + ProgramSuffix;
}
#endif

// A new, empty folder "<prefix>-XXXXXX" (a random ending) in the given folder, by default
// the system's temporary folder.
std::filesystem::path MakeScratchDirectory(const std::string& prefix,
                                           const std::filesystem::path& parent = std::filesystem::temp_directory_path());

// A path written with '/' in the separators the program joins paths with ('\\' on Windows).
inline std::string SystemPath(std::string path)
{
    for (char& c : path)
        if (OnWindows && c == '/')
            c = '\\';
    return path;
}

// A path as UTF-8 text, as the program's own code takes it (path::string() is in the
// ANSI code page on Windows).
inline std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// Runs a program with arguments (no shell, no argument re-read), in workingDir when not
// empty, its standard output and error written to the two files. The exit code; -1 when
// it did not exit normally, 127 when it could not be started.
int RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& workingDir,
               const std::filesystem::path& outFile, const std::filesystem::path& errFile);

// A program's text output with the lines ended by "\n" alone, as written on POSIX (a
// console program's text ends them with "\r\n" on Windows).
std::string PlainLines(const std::string& text);

// Sets (or, with no value, removes) an environment variable of this process.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value);

struct TChildOutcome {
    bool Succeeded = false;   // the work returned
    std::string Message;      // what it raised ("out of memory" for std::bad_alloc)
    long PeakRssKiB = 0;      // the child's largest resident set
};

// Whether RunWithMemoryLimit bounds the work: not under AddressSanitizer, which reserves
// terabytes of address space, nor on Windows, which cannot fork the work into a child
// (there it runs in the test's own process). Its messages are checked all the same.
inline constexpr bool MemoryLimitHolds = !SanitizedBuild && !OnWindows;
// Runs work in a forked child whose address space may grow by at most `extraBytes`.
TChildOutcome RunWithMemoryLimit(uint64_t extraBytes, const std::function<void()>& work);

// POSIX only (the test skips on Windows first): a FIFO at the path; an alarm that ends
// the test program after `seconds` should it hang (0 cancels it); work run while files
// may grow to at most `bytes` (a write beyond fails with EFBIG, as on a full disk).
bool MakeFifo(const std::string& path);
void Alarm(unsigned seconds);
void WithFileSizeLimit(uint64_t bytes, const std::function<void()>& work);

}  // namespace orv::test
