// Files, the Windows half: wide-character calls with the UTF-8 paths converted at the
// call, `\` and `/` both separators, handles held open so that what was checked stays.
#include "base/platform/Files.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef ReplaceFile   // the system's own function of that name is not used here

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cwchar>
#include <utility>

#include "base/platform/Half.h"

namespace orv::platform {

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string Narrow(const wchar_t* text, size_t length)
{
    if (length == 0)
        return {};
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

namespace {

HANDLE Native(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
intptr_t Held(HANDLE handle) { return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(handle); }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

TError Result(BOOL done) { return done ? TError{} : TError::Last(); }

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The kind of an open handle: a file on a disk, a pipe or a character device.
TFileKind KindOfHandle(HANDLE handle)
{
    switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION information{};
        if (::GetFileInformationByHandle(handle, &information) &&
            (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return TFileKind::Directory;
        return TFileKind::Regular;
    }
    case FILE_TYPE_PIPE: return TFileKind::Fifo;
    default: return TFileKind::Device;
    }
}

}  // namespace

bool TError::NotFound() const { return Code == ERROR_FILE_NOT_FOUND || Code == ERROR_PATH_NOT_FOUND; }
bool TError::AlreadyExists() const { return Code == ERROR_FILE_EXISTS || Code == ERROR_ALREADY_EXISTS; }

std::string TError::Reason() const
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(Code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = text ? Narrow(text, length) : "error " + std::to_string(Code);
    ::LocalFree(text);
    // "Access is denied.\r\n" as a clause: "Access is denied"
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.' ||
                               reason.back() == ' '))
        reason.pop_back();
    return reason;
}

TError TError::Last() { return TError{static_cast<int>(::GetLastError())}; }

// --- TFile ------------------------------------------------------------------------

TFile::~TFile() { Close(); }

TFile TFile::Open(const std::string& path, TOpenMode mode, TError& error)
{
    const DWORD access = mode == TOpenMode::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    const DWORD disposition = mode == TOpenMode::Create ? CREATE_ALWAYS : OPEN_EXISTING;
    error = {};
    // A directory cannot be opened as a file at all; say what it is.
    if (const TFileKind kind = KindOf(path, true); kind == TFileKind::Directory) {
        error.Refused = kind;
        return {};
    }
    const HANDLE handle =
        ::CreateFileW(Wide(path).c_str(), access, ShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = TError::Last();
        return {};
    }
    TFile file(Held(handle));
    if (const TFileKind kind = KindOfHandle(handle); kind != TFileKind::Regular) {
        error.Refused = kind;
        return {};
    }
    return file;
}

bool TFile::IsOpen() const { return m_Handle != -1; }

namespace {

// errno for a failed write, so that "Stream write error (No space left on device)" reads
// the same on both systems.
void SetErrnoFrom(DWORD error)
{
    errno = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ENOSPC
            : error == ERROR_ACCESS_DENIED                                ? EACCES
                                                                          : EIO;
}

}  // namespace

int64_t TFile::Read(void* buffer, int64_t count)
{
    int64_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < count) {
        const DWORD piece = static_cast<DWORD>(std::min<int64_t>(count - done, 1 << 30));
        DWORD n = 0;
        if (!::ReadFile(Native(m_Handle), out + done, piece, &n, nullptr) || n == 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFile::Write(const void* buffer, int64_t count)
{
    int64_t done = 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    while (done < count) {
        const DWORD piece = static_cast<DWORD>(std::min<int64_t>(count - done, 1 << 30));
        DWORD n = 0;
        if (!::WriteFile(Native(m_Handle), in + done, piece, &n, nullptr) || n == 0) {
            SetErrnoFrom(::GetLastError());
            break;
        }
        done += n;
    }
    return done;
}

int64_t TFile::Seek(int64_t offset, TOrigin origin)
{
    const DWORD method = origin == TOrigin::Beginning ? FILE_BEGIN : origin == TOrigin::Current ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER distance{}, result{};
    distance.QuadPart = offset;
    if (!::SetFilePointerEx(Native(m_Handle), distance, &result, method)) {
        distance.QuadPart = 0;
        ::SetFilePointerEx(Native(m_Handle), distance, &result, FILE_CURRENT);
    }
    return result.QuadPart;
}

TError TFile::Close()
{
    if (m_Handle == -1)
        return {};
    return Result(::CloseHandle(Native(std::exchange(m_Handle, -1))));
}

// --- paths ------------------------------------------------------------------------

TFileKind KindOf(const std::string& path, bool followLink)
{
    const std::wstring wide = Wide(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TFileKind::Missing;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && !followLink)
        return TFileKind::Link;
    // What the handle shows tells devices ("NUL", "COM1") and pipes from files.
    const HANDLE handle = ::CreateFileW(wide.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TFileKind::Directory : TFileKind::Regular;
    const TFileKind kind = KindOfHandle(handle);
    ::CloseHandle(handle);
    return kind;
}

std::vector<std::string> DirectoryEntries(const std::string& directory)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry{};
    const HANDLE find = ::FindFirstFileW(Wide(JoinPath(directory.empty() ? "." : directory, "*")).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(Narrow(name.data(), name.size()));
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    return names;
}

TError RemoveFile(const std::string& path) { return Result(::DeleteFileW(Wide(path).c_str())); }

TError ReplaceFile(const std::string& from, const std::string& to)
{
    return Result(::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING));
}

namespace {

std::string Variable(const wchar_t* name)
{
    const wchar_t* value = ::_wgetenv(name);
    return value ? Narrow(value, std::wcslen(value)) : std::string();
}

}  // namespace

std::string HomeFolder()
{
    if (std::string profile = Variable(L"USERPROFILE"); !profile.empty())
        return profile;
    const std::string drive = Variable(L"HOMEDRIVE"), path = Variable(L"HOMEPATH");
    return path.empty() ? std::string() : drive + path;
}

std::string ConfigFolder() { return Variable(L"APPDATA"); }

std::tm LocalTime(std::time_t moment)
{
    std::tm local{};
    ::localtime_s(&local, &moment);
    return local;
}

std::FILE* OpenStdioFile(const std::string& path, const char* mode)
{
    return ::_wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

std::string ProgramFolder()
{
    std::wstring path(32768, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return {};
    return DirectoryOf(Narrow(path.data(), length));
}

bool IsAbsolutePath(const std::string& path)
{
    return (!path.empty() && IsSeparator(path[0])) || (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]));
}

std::string AbsolutePath(const std::string& path)
{
    const std::wstring wide = Wide(path.empty() ? "." : path);
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size == 0 ? 0 : ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    return length == 0 || length >= size ? path : Narrow(full.data(), length);
}

std::vector<std::string> ProgramArguments(int argc, const char* const* argv)
{
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr)
        return {argv, argv + argc};
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Narrow(wide[i], std::wcslen(wide[i])));
    ::LocalFree(wide);
    return arguments;
}

namespace {

// Where the last component starts: after the last separator, or after "c:".
size_t NameStart(const std::string& path)
{
    const size_t separator = path.find_last_of("/\\");
    if (separator != std::string::npos)
        return separator + 1;
    return path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

}  // namespace

std::string DirectoryOf(const std::string& path)
{
    const size_t start = NameStart(path);
    if (start == 0)
        return ".";
    // A root keeps its separator ("c:\", "\"); any other directory loses it.
    const bool root = start == 1 || (start <= 3 && path[1] == ':');
    return path.substr(0, root ? start : start - 1);
}

std::string NameOf(const std::string& path) { return path.substr(NameStart(path)); }

std::string JoinPath(const std::string& directory, const std::string& name)
{
    if (directory.empty())
        return name;
    const char last = directory.back();
    return IsSeparator(last) || (last == ':' && directory.size() == 2) ? directory + name : directory + "\\" + name;
}

std::string MakeTemporaryDirectory(const std::string& directory, const std::string& name, TError& error)
{
    constexpr int Tries = 1000;
    for (int tries = 0; tries < Tries; ++tries) {
        const std::string path = JoinPath(directory, "." + name + ".partial" + half::TemporaryName(""));
        if (::CreateDirectoryW(Wide(path).c_str(), nullptr)) {
            error = {};
            RegisterTemporary(path);
            return path;
        }
        error = TError::Last();
        if (!error.AlreadyExists())
            break;
    }
    return {};
}

// --- TDirectory ---------------------------------------------------------------------
//
// The directory's handle is held without FILE_SHARE_DELETE: while it is open, nobody can
// rename or remove the directory, so a path below it means what was checked.

namespace {

constexpr DWORD ShareNoDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE OpenDirectoryHandle(const std::string& path, DWORD flags)
{
    return ::CreateFileW(Wide(path.empty() ? "." : path).c_str(), FILE_LIST_DIRECTORY, ShareNoDelete, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

}  // namespace

TDirectory::~TDirectory()
{
    if (m_Handle != -1)
        ::CloseHandle(Native(m_Handle));
}

TDirectory::TDirectory(TDirectory&& other) noexcept
    : m_Path(std::move(other.m_Path)), m_Handle(std::exchange(other.m_Handle, -1))
{
}

TDirectory& TDirectory::operator=(TDirectory&& other) noexcept
{
    if (this != &other) {
        if (m_Handle != -1)
            ::CloseHandle(Native(m_Handle));
        m_Path = std::move(other.m_Path);
        m_Handle = std::exchange(other.m_Handle, -1);
    }
    return *this;
}

TDirectory TDirectory::Open(const std::string& path, TError& error)
{
    TDirectory directory;
    const HANDLE handle = OpenDirectoryHandle(path, 0);
    error = handle == INVALID_HANDLE_VALUE ? TError::Last() : TError{};
    if (handle != INVALID_HANDLE_VALUE && KindOfHandle(handle) != TFileKind::Directory) {
        ::CloseHandle(handle);
        error = TError{ERROR_DIRECTORY};
        return directory;
    }
    if (handle != INVALID_HANDLE_VALUE) {
        directory.m_Path = path;
        directory.m_Handle = Held(handle);
    }
    return directory;
}

bool TDirectory::IsOpen() const { return m_Handle != -1; }

TFileKind TDirectory::KindAt(const std::string& relative, TError& error) const
{
    const TFileKind kind = KindOf(JoinPath(m_Path, relative));
    error = kind == TFileKind::Missing ? TError{ERROR_FILE_NOT_FOUND} : TError{};
    return kind;
}

TDirectory TDirectory::OpenChild(const std::string& name, TError& error) const
{
    TDirectory child;
    const std::string path = JoinPath(m_Path, name);
    error = {};
    if (!::CreateDirectoryW(Wide(path).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        error = TError::Last();
        return child;
    }
    // The reparse point itself is opened, never what it leads to.
    const HANDLE handle = OpenDirectoryHandle(path, FILE_FLAG_OPEN_REPARSE_POINT);
    if (handle == INVALID_HANDLE_VALUE) {
        error = TError::Last();
        return child;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information) ||
        (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) !=
            FILE_ATTRIBUTE_DIRECTORY) {
        error = TError{ERROR_DIRECTORY};
        if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            error.Refused = TFileKind::Link;
        ::CloseHandle(handle);
        return child;
    }
    child.m_Path = path;
    child.m_Handle = Held(handle);
    return child;
}

TFile TDirectory::CreateExclusive(const std::string& name, TError& error) const
{
    const HANDLE handle = ::CreateFileW(Wide(JoinPath(m_Path, name)).c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    error = handle == INVALID_HANDLE_VALUE ? TError::Last() : TError{};
    return handle == INVALID_HANDLE_VALUE ? TFile() : TFile(Held(handle));
}

TError TDirectory::Rename(const std::string& from, const std::string& to) const
{
    return ReplaceFile(JoinPath(m_Path, from), JoinPath(m_Path, to));
}

TError TDirectory::Remove(const std::string& name) const { return RemoveFile(JoinPath(m_Path, name)); }

// --- the half's share ------------------------------------------------------------------

namespace half {

std::filesystem::path NativePath(const std::string& path) { return std::filesystem::path(Wide(path)); }

std::string TemporaryName(std::string_view ending)
{
    static std::atomic<unsigned> serial{0};
    return ".orvandel-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(serial++) +
           std::string(ending);
}

void RemoveInHandler(const char* path)
{
    const std::wstring wide = Wide(path);
    if (!::DeleteFileW(wide.c_str()))
        ::RemoveDirectoryW(wide.c_str());
}

namespace {

// Ctrl+C, Ctrl+Break, a closed console, a logoff or shutdown: the temporaries go, then
// the system's default handling ends the program.
BOOL WINAPI RemoveTemporariesOnConsoleEvent(DWORD)
{
    RemoveTemporaries();
    return FALSE;
}

}  // namespace

void InstallTemporaryCleanup() { ::SetConsoleCtrlHandler(RemoveTemporariesOnConsoleEvent, TRUE); }

}  // namespace half
}  // namespace orv::platform
