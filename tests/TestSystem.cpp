// TestSystem: the POSIX and the Windows half of what the tests ask of the system.
#include "TestSystem.h"

#include "base/platform/Files.h"

#include <fstream>
#include <random>
#include <stdexcept>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdlib>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#endif

namespace orv::test {

namespace fs = std::filesystem;

fs::path MakeScratchDirectory(const std::string& prefix, const fs::path& base)
{
    static const char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    for (int tries = 0; tries < 100; ++tries) {
        std::string name = prefix + "-";
        for (int i = 0; i < 6; ++i)
            name += Letters[random() % (sizeof Letters - 1)];
        // Creating the folder is the test of its name: it fails when the name is taken.
        if (fs::create_directory(base / name))
            return base / name;
    }
    throw std::runtime_error("cannot create a scratch directory in " + base.string());
}

namespace {

// The work's outcome as the child reports it: its message, if any.
TChildOutcome RunHere(const std::function<void()>& work)
{
    TChildOutcome outcome;
    try {
        work();
        outcome.Succeeded = true;
    } catch (const std::bad_alloc&) {
        outcome.Message = "out of memory";
    } catch (const std::exception& e) {
        outcome.Message = e.what();
    }
    return outcome;
}

}  // namespace

std::string PlainLines(const std::string& text)
{
    std::string plain = text;
    if (OnWindows) {
        for (size_t at = plain.find("\r\n"); at != std::string::npos; at = plain.find("\r\n", at))
            plain.erase(at, 1);
    }
    return plain;
}

#ifdef _WIN32

namespace {

using orv::platform::Wide;

// One argument of a command line as the C runtime splits it again: quoted when it holds
// a blank or a quote, a quote and the backslashes before it (or before the closing quote)
// escaped.
std::wstring Quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

HANDLE InheritedFile(const fs::path& path)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

int RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& workingDir,
               const fs::path& outFile, const fs::path& errFile)
{
    const HANDLE out = InheritedFile(outFile), err = InheritedFile(errFile);
    std::wstring line = Quoted(Wide(program));
    for (const std::string& a : args)
        line += L" " + Quoted(Wide(a));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const std::wstring directory = Wide(workingDir);
    const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                         ::CreateProcessW(Wide(program).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          directory.empty() ? nullptr : directory.c_str(), &startup, &process);
    for (const HANDLE file : {out, err})
        if (file != INVALID_HANDLE_VALUE)
            ::CloseHandle(file);
    if (!started)
        return 127;
    DWORD code = 0;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    const bool exited = ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return exited ? static_cast<int>(code) : -1;
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value)
{
    // An empty value removes the variable.
    ::_wputenv_s(Wide(name).c_str(), Wide(value.value_or("")).c_str());
}

TChildOutcome RunWithMemoryLimit(uint64_t, const std::function<void()>& work) { return RunHere(work); }

bool MakeFifo(const std::string&) { return false; }
void Alarm(unsigned) {}
void WithFileSizeLimit(uint64_t, const std::function<void()>& work) { work(); }

#else

int RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& workingDir,
               const fs::path& outFile, const fs::path& errFile)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
            ::_exit(127);
        if (!workingDir.empty() && ::chdir(workingDir.c_str()) != 0)
            ::_exit(127);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
        return WEXITSTATUS(status);
    return -1;
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value)
{
    value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
}

namespace {

// The bytes the calling process maps now (its address space).
uint64_t MappedBytes()
{
    std::ifstream statm("/proc/self/statm");
    uint64_t pages = 0;
    statm >> pages;
    return pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace

TChildOutcome RunWithMemoryLimit(uint64_t extraBytes, const std::function<void()>& work)
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    const uint64_t limit = MappedBytes() + extraBytes;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (MemoryLimitHolds) {
            const rlimit bound{limit, limit};
            ::setrlimit(RLIMIT_AS, &bound);
        }
        const TChildOutcome outcome = RunHere(work);
        int code = outcome.Succeeded ? 0 : 1;
        if (!outcome.Message.empty() && ::write(fds[1], outcome.Message.data(), outcome.Message.size()) < 0)
            code = 2;
        ::_exit(code);
    }
    ::close(fds[1]);
    TChildOutcome outcome;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0)
        outcome.Message.append(buffer, static_cast<size_t>(got));
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) == child) {
        outcome.Succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        outcome.PeakRssKiB = usage.ru_maxrss;
        if (WIFSIGNALED(status))
            outcome.Message = "killed by signal " + std::to_string(WTERMSIG(status));
    }
    return outcome;
}

bool MakeFifo(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

void Alarm(unsigned seconds) { ::alarm(seconds); }

void WithFileSizeLimit(uint64_t bytes, const std::function<void()>& work)
{
    rlimit previous{};
    if (::getrlimit(RLIMIT_FSIZE, &previous) != 0)
        throw std::runtime_error("getrlimit failed");
    rlimit small = previous;
    small.rlim_cur = bytes;
    const auto handler = ::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
        throw std::runtime_error("setrlimit failed");
    work();
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ::signal(SIGXFSZ, handler);
}

#endif

}  // namespace orv::test
