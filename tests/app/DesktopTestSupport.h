// What the tests that drive a real program in a window share: a child process, a
// private X server, the program's window found by its caption, screenshots and their
// colours. Header only, as ExternalPrograms.h; the Linux viewer's end-to-end tests and
// the Windows programs' tests under Wine use it.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include "SampleGame.h"

extern char** environ;

namespace orvtest {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// How long a program may take to show its window (or to write a box to its message log).
constexpr auto StartTimeout = 90s;

// A child process, killed and reaped when it goes.
class TChild {
public:
    // argv[0] is looked up in PATH. stdoutPath: empty keeps the test's own.
    // extraEnv: NAME=value entries that replace the test's own.
    TChild(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
           const std::string& cwd = {}, const std::string& stdoutPath = {}, int closeInChild = -1)
    {
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<std::string> envStrings;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            bool replaced = false;
            for (const std::string& extra : extraEnv)
                replaced |= entry.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0;
            if (!replaced)
                envStrings.push_back(entry);
        }
        envStrings.insert(envStrings.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> env;
        for (std::string& e : envStrings)
            env.push_back(e.data());
        env.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (closeInChild >= 0)
            posix_spawn_file_actions_addclose(&actions, closeInChild);
        if (!cwd.empty())
            posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        if (!stdoutPath.empty())
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int rc = posix_spawnp(&m_Pid, args[0], &actions, nullptr, args.data(), env.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            m_Pid = -1;
    }
    ~TChild() { Stop(); }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    bool Started() const { return m_Pid > 0; }
    bool Running()
    {
        if (m_Pid <= 0)
            return false;
        int status = 0;
        if (::waitpid(m_Pid, &status, WNOHANG) == m_Pid) {
            m_Pid = -1;
            m_Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return false;
        }
        return true;
    }
    // The exit status once Running() has seen the process end (128 + signal when killed).
    std::optional<int> Status() const { return m_Status; }
    void Stop()
    {
        if (m_Pid <= 0)
            return;
        ::kill(m_Pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 50 && ::waitpid(m_Pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(100ms);
        if (::waitpid(m_Pid, &status, WNOHANG) == 0) {
            ::kill(m_Pid, SIGKILL);
            ::waitpid(m_Pid, &status, 0);
        }
        m_Pid = -1;
    }

private:
    pid_t m_Pid = -1;
    std::optional<int> m_Status;
};

inline std::string Output(const std::string& command)
{
    std::string text;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, n);
        ::pclose(pipe);
    }
    return text;
}

inline std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The message log once a box has been told: the window can show before the zone has failed to load.
inline std::string WaitForMessages(const fs::path& path)
{
    std::string text;
    for (const auto until = std::chrono::steady_clock::now() + StartTimeout;
         (text = ReadFile(path)).empty() && std::chrono::steady_clock::now() < until;)
        std::this_thread::sleep_for(20ms);
    return text;
}

// A private X server, so that no other window lies on the pictures.
class TXServer {
public:
    explicit TXServer(const std::string& screen = "1280x1024x24")
    {
        // Two servers starting at the same moment can race for a number; try again then.
        for (int attempt = 0; attempt < 3 && m_Display.empty(); ++attempt)
            Start(screen);
    }
    const std::string& Display() const { return m_Display; }

private:
    void Start(const std::string& screen)
    {
        // Xvfb picks a free display itself and writes its number to the pipe. Without
        // -noreset it resets when its last client leaves (the readiness probe below), and a
        // program connecting during the reset is turned away.
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        m_Server = std::make_unique<TChild>(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]),
                                                                     "-screen", "0", screen, "-nolisten",
                                                                     "tcp", "-noreset"},
                                            std::vector<std::string>{}, std::string(), std::string(), fds[0]);
        ::close(fds[1]);
        std::string number;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        const std::string display = ":" + number;
        // Ready when it answers.
        for (int i = 0; i < 50 && !number.empty() && m_Server->Running(); ++i) {
            if (Output("xwininfo -display " + display + " -root 2>/dev/null").find("Width") != std::string::npos) {
                m_Display = display;
                return;
            }
            std::this_thread::sleep_for(100ms);
        }
        m_Server.reset();
    }

    std::string m_Display;
    std::unique_ptr<TChild> m_Server;
};

struct TWindowInfo {
    std::string Title;
    int Width = 0, Height = 0, Left = 0, Top = 0;
};

// The window with a frame rate in its caption; with rated false, the window still
// without one (no zone: no frames).
inline std::optional<TWindowInfo> RatedWindow(const std::string& display, bool rated = true)
{
    static const std::regex ratedLine("\"(Orvandel -- [0-9]+ fps \\([0-9]+ terrain tris\\))\".* ([0-9]+)x([0-9]+)[+-][0-9]+[+-][0-9]+ +\\+(-?[0-9]+)\\+(-?[0-9]+)");
    static const std::regex plainLine("\"(Orvandel)\": \\(\"orvandel\".* ([0-9]+)x([0-9]+)[+-][0-9]+[+-][0-9]+ +\\+(-?[0-9]+)\\+(-?[0-9]+)");
    const std::regex& line = rated ? ratedLine : plainLine;
    const std::string tree = Output("xwininfo -display " + display + " -root -tree 2>/dev/null");
    std::smatch m;
    if (!std::regex_search(tree, m, line))
        return std::nullopt;
    return TWindowInfo{m[1], std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5])};
}

inline std::optional<TWindowInfo> WaitForRate(const std::string& display, TChild& viewer, bool rated = true)
{
    const auto end = std::chrono::steady_clock::now() + StartTimeout;
    while (std::chrono::steady_clock::now() < end && viewer.Running()) {
        if (auto window = RatedWindow(display, rated))
            return window;
        std::this_thread::sleep_for(200ms);
    }
    return std::nullopt;
}

inline QImage Screenshot(const std::string& display, const fs::path& file)
{
    Output("import -display " + display + " -window root 'png:" + file.string() + "' 2>/dev/null");
    return QImage(QString::fromStdString(file.string()));
}

// Mean and spread of a rectangle's colours.
struct TStats {
    double R = 0, G = 0, B = 0;
    double Spread = 0;     // standard deviation of the grey level
    double MaxRed = 0;     // largest r - max(g, b)
    double Darkest = 255, Brightest = 0;
};

inline TStats Stats(const QImage& image, QRect rect)
{
    TStats s;
    double sumGrey = 0, sumGrey2 = 0;
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const double grey = (c.red() + c.green() + c.blue()) / 3.0;
            s.R += c.red();
            s.G += c.green();
            s.B += c.blue();
            sumGrey += grey;
            sumGrey2 += grey * grey;
            s.MaxRed = std::max(s.MaxRed, double(c.red() - std::max(c.green(), c.blue())));
            s.Darkest = std::min(s.Darkest, grey);
            s.Brightest = std::max(s.Brightest, grey);
            ++n;
        }
    s.R /= n;
    s.G /= n;
    s.B /= n;
    s.Spread = std::sqrt(std::max(0.0, sumGrey2 / n - (sumGrey / n) * (sumGrey / n)));
    return s;
}

// The program's standard output, standard error and exit status for a shell command line.
struct TRun {
    std::string Out, Err;
    int Status = -1;
};

inline TRun RunProgram(const std::string& commandLine)
{
    const std::string dir = NewTempDir("orvandel-run");
    const std::string out = dir + "/out", err = dir + "/err";
    const int raw = std::system((commandLine + " >'" + out + "' 2>'" + err + "' </dev/null").c_str());
    TRun run{ReadFile(out), ReadFile(err), WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw)};
    fs::remove_all(dir);
    return run;
}

}  // namespace orvtest
