// orvandel.exe [options] [GAMEDIR]: the viewer as a native Windows program, the same as
// the Qt viewer's orvandel (src/app/main.cpp) with the same command line
// (ParseViewerOptions; the arguments are CommandLineToArgvW's, taken as UTF-8).
//
// The progress log goes to standard output. The program is a GUI program: where standard
// output is redirected (a file, a pipe) the log goes there; otherwise, started from a
// console, it attaches to that console and writes there; started from Explorer it shows
// no console and writes the log to %LOCALAPPDATA%\Orvandel\orvandel.log (replaced at
// each start). --help, --version and a wrong command line (status 2) write the same way.
//
// What tests that run the program rely on (keep it stable):
// - ORVANDEL_MESSAGE_LOG=<file>: no message box is shown; each one is appended to that
//   file as one line, as the Qt viewer writes it: a carriage return written as \r, a
//   line feed as \n, an offered action as " [action]" at the end (the action is not taken).
//   No one answers the save dialogs then either: F12 "Save view" (and the other saves)
//   write under the suggested name in the working directory ("orvandel-<date>-<time>.png"),
//   and the log says "Saved view to <name>".
// - The window's class name is "TForm1"; its caption is "Orvandel" until frames run and
//   then "Orvandel -- N fps (M terrain tris)", every 20 frames.
// - The view's picture is what F12 reads back from the OpenGL view.
// - Settings live under HKCU\Software\Orvandel ("GameDir", the key "State", "Geometry").
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <io.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windows.h>

#include "WinForm.h"
#include "base/platform/Files.h"
#include "shell/CommandLine.h"

namespace {

constexpr int ExitNoWindow = 1;

bool Redirected(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// Where the log goes: see the top of this file.
void OpenLog()
{
    const bool outRedirected = Redirected(STD_OUTPUT_HANDLE), errRedirected = Redirected(STD_ERROR_HANDLE);
    if (outRedirected && errRedirected)
        return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (!outRedirected)
            std::freopen("CONOUT$", "w", stdout);
        if (!errRedirected)
            std::freopen("CONOUT$", "w", stderr);
        return;
    }
    if (outRedirected)
        return;
    PWSTR local = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local))) {
        CoTaskMemFree(local);
        return;
    }
    std::wstring folder = std::wstring(local) + L"\\Orvandel";
    CoTaskMemFree(local);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\orvandel.log";
    if (_wfreopen(path.c_str(), L"w", stdout) == nullptr)
        return;
    // Errors go into the same file, behind the same position.
    if (!errRedirected && std::freopen("NUL", "w", stderr) != nullptr)
        _dup2(_fileno(stdout), _fileno(stderr));
}

std::vector<std::string> Arguments()
{
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(orv::platform::Narrow(words[i], wcslen(words[i])));
    LocalFree(words);
    return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show)
{
    OpenLog();
    orv::TViewerOptions options;
    if (const std::optional<int> answered = orv::AnswerViewerCommandLine(Arguments(), ORVANDEL_VERSION, options))
        return *answered;
    // The folder and save dialogs are COM objects of this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int result = ExitNoWindow;
    {
        orv::win::TWinForm form(options);
        if (form.Create(show))
            result = form.Run();
        else
            std::fprintf(stderr, "orvandel: the window cannot be made\n");
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}
