// External programs that some tests run (ImageMagick's convert and import, Xvfb,
// xwininfo) and what a test does when one is missing. scripts/setup installs all of
// them; a test that needs one says so with REQUIRE_PROGRAMS at its start:
//
//   REQUIRE_PROGRAMS("Xvfb", "xwininfo", "import");
//
// Outside CI a missing program skips the test, naming what is missing. In CI (the
// environment variable CI is "true") it fails the test instead, so that a machine that
// lacks a package can never pass by skipping. On Windows these programs are never there
// (the tests run under Wine, the programs are Linux's): such a test skips there, and the
// Linux run of the same test does the check.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <gtest/gtest.h>

namespace orvtest {

// True when running in CI (CI=true), where nothing may be skipped for a missing program.
inline bool InCI()
{
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

// Whether a missing program fails the test rather than skipping it.
inline bool MissingProgramFails()
{
#ifdef _WIN32
    return false;
#else
    return InCI();
#endif
}

// The full path of an executable program found on PATH (or the name itself when it
// contains a '/' and is executable); empty when there is none.
inline std::string FindProgram(const std::string& name)
{
#ifdef _WIN32
    static_cast<void>(name);
    return std::string();
#else
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty())
            continue;
        std::string candidate = dir;
        candidate += '/';
        candidate += name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::string();
#endif
}

// The programs of the list that cannot be found, separated by ", "; empty when all are there.
inline std::string MissingPrograms(std::initializer_list<const char*> names)
{
    std::string missing;
    for (const char* name : names)
        if (FindProgram(name).empty())
            missing.append(missing.empty() ? "" : ", ").append(name);
    return missing;
}

}  // namespace orvtest

// Skips the current test (outside CI) or fails it (in CI) when a condition the test needs
// does not hold; `what` names what is missing.
#define REQUIRE_OR_SKIP(condition, what)                                                     \
    do {                                                                                     \
        if (!(condition)) {                                                                  \
            if (orvtest::MissingProgramFails())                                              \
                FAIL() << "missing in CI: " << (what) << " (scripts/setup installs it)";     \
            else                                                                             \
                GTEST_SKIP() << "needs " << (what) << ", which is missing (scripts/setup installs it)"; \
        }                                                                                    \
    } while (false)

// Requires every named program (see the header comment).
#define REQUIRE_PROGRAMS(...)                                                                \
    do {                                                                                     \
        const std::string orvMissingPrograms_ = orvtest::MissingPrograms({__VA_ARGS__});     \
        REQUIRE_OR_SKIP(orvMissingPrograms_.empty(), orvMissingPrograms_);                   \
    } while (false)
