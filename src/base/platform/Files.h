// Files: every call the program makes to the operating system about files, directories
// and folders. Paths are UTF-8 strings everywhere; the Windows half turns them into wide
// strings at the system call and accepts `\` and `/` alike.
//
//   platform::TError error;
//   platform::TFile file = platform::TFile::Open("zones/d00.bmp", platform::TOpenMode::Read, error);
//   if (!file.IsOpen())
//       throw EFOpenError("Cannot open file zones/d00.bmp" + error.Detail());
//
//   platform::TAtomicFile out;                           // the one way an output is written
//   if (auto error = out.Begin("map.png")) ...;          // a fresh temporary name beside it
//   out.File().Write(bytes, size);
//   if (auto error = out.Commit()) ...;                  // replaces map.png at once, or fails
//
// Only regular files are ever opened or replaced: a directory, FIFO, socket or device at
// the path is refused and named in the error. Temporary files and directories are
// registered while they exist, so that Ctrl+C or a termination request removes them
// before the program ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace orv::platform {

// What stands at a path, not following a link at its last component unless asked.
enum class TFileKind { Missing, Regular, Directory, Link, Fifo, Socket, Device };

// "a directory", "a symbolic link", "a FIFO", "a socket", "a device" (and "a file", "nothing").
std::string_view KindText(TFileKind kind);

// A failure of a system call: the system's own code (errno, or the Windows error code) and
// the kind of what stood in the way when that was the reason. Empty (false) on success.
struct TError {
    int Code = 0;
    TFileKind Refused = TFileKind::Missing;   // set when the path holds no regular file

    explicit operator bool() const { return Code != 0 || Refused != TFileKind::Missing; }
    bool NotFound() const;
    bool AlreadyExists() const;
    // The system's text for the code ("Permission denied").
    std::string Reason() const;
    // "a FIFO, not a regular file" for a refused kind, else Reason().
    std::string Text() const;
    // What a message puts after the path: "" when the path does not exist (the plain
    // "Cannot open file %s"), " (a FIFO, not a regular file)" for a refused kind, and
    // ": Permission denied" for any other reason.
    std::string Detail() const;

    // The error the last failed system call of this thread left.
    static TError Last();
};

enum class TOpenMode { Read, ReadWrite, Create };

// An open regular file; closed with the object.
class TFile {
public:
    TFile() = default;
    ~TFile();
    TFile(TFile&& other) noexcept;
    TFile& operator=(TFile&& other) noexcept;
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    // Read and ReadWrite open an existing file; Create creates or truncates it. Anything
    // but a regular file is refused (error.Refused) without waiting for a FIFO's other end.
    static TFile Open(const std::string& path, TOpenMode mode, TError& error);

    bool IsOpen() const;
    // The count done; fewer at the end of the file or on an error (then TError::Last()).
    int64_t Read(void* buffer, int64_t count);
    int64_t Write(const void* buffer, int64_t count);
    enum class TOrigin { Beginning, Current, End };
    // The new position; a failed seek leaves the position and returns it.
    int64_t Seek(int64_t offset, TOrigin origin);
    TError Close();

private:
    friend class TDirectory;
    friend class TAtomicFile;
    explicit TFile(intptr_t handle) : m_Handle(handle) {}
    intptr_t m_Handle = -1;   // a descriptor, or a Windows HANDLE
};

// What stands at path. FollowLink: the kind of what a link at the last component leads to.
TFileKind KindOf(const std::string& path, bool followLink = false);
// The names in a directory (without "." and ".."); empty when it cannot be read.
std::vector<std::string> DirectoryEntries(const std::string& directory);
TError CreateDirectories(const std::string& path);
TError RemoveFile(const std::string& path);
// Removes a directory and everything in it; links inside are removed, never followed.
void RemoveTree(const std::string& path);
// Moves from over to in one step: to holds either its old file or the new one.
TError ReplaceFile(const std::string& from, const std::string& to);
// A new, empty directory "<directory>/.<name>.partial-XXXXXX", registered as temporary.
std::string MakeTemporaryDirectory(const std::string& directory, const std::string& name, TError& error);

// The user's home folder and the folder for programs' settings ($XDG_CONFIG_HOME or
// ~/.config; %APPDATA% on Windows); empty when unknown.
std::string HomeFolder();
std::string ConfigFolder();
// The folder of the running program; empty when unknown.
std::string ProgramFolder();
#ifdef _WIN32
// UTF-8 text as the system's wide characters and back.
std::wstring Wide(const std::string& text);
std::string Narrow(const wchar_t* text, size_t length);
#endif

// The local time of a moment, by the system's time zone.
std::tm LocalTime(std::time_t moment);
// Whether the path starts at a root ("/x"; "c:\x", "\\server\x" or "\x" on Windows).
bool IsAbsolutePath(const std::string& path);
// The path's last component and the rest, `\` and `/` both taken as separators on
// Windows. Directory of "x" is ".".
std::string DirectoryOf(const std::string& path);
std::string NameOf(const std::string& path);
// directory + separator + name ("name" alone when directory is empty).
std::string JoinPath(const std::string& directory, const std::string& name);
// The path from the root, a relative one taken from the working directory; the path
// itself when that cannot be told.
std::string AbsolutePath(const std::string& path);
// std::fopen of a UTF-8 path (the wide-character open on Windows); null when it fails.
std::FILE* OpenStdioFile(const std::string& path, const char* mode);

// The program's command-line arguments in UTF-8, argv[0] first: main's own on POSIX; on
// Windows, where main's are in the ANSI code page, the wide command line's.
std::vector<std::string> ProgramArguments(int argc, const char* const* argv);

// An open directory, for writing below it without ever following a link: its children
// are opened from the directory itself, so that a link swapped in after a check is still
// refused.
class TDirectory {
public:
    TDirectory() = default;
    ~TDirectory();
    TDirectory(TDirectory&& other) noexcept;
    TDirectory& operator=(TDirectory&& other) noexcept;
    TDirectory(const TDirectory&) = delete;
    TDirectory& operator=(const TDirectory&) = delete;

    // The directory itself may be reached through a link, as the user named it.
    static TDirectory Open(const std::string& path, TError& error);
    bool IsOpen() const;
    const std::string& Path() const { return m_Path; }

    // The kind at a relative path "a/b/c" below the directory, no link followed.
    TFileKind KindAt(const std::string& relative, TError& error) const;
    // Creates a child directory (an existing one is fine) and opens it; a link there is
    // refused with error.Refused == TFileKind::Link.
    TDirectory OpenChild(const std::string& name, TError& error) const;
    // A new file of this name, created exclusively (AlreadyExists when anything is there).
    TFile CreateExclusive(const std::string& name, TError& error) const;
    TError Rename(const std::string& from, const std::string& to) const;
    TError Remove(const std::string& name) const;

private:
    std::string m_Path;
    intptr_t m_Handle = -1;
};

// A file written under a fresh temporary name beside its target and moved over the target
// in one step by Commit; removed again when not committed. The one way outputs are written.
class TAtomicFile {
public:
    TAtomicFile() = default;
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // Refuses a target that is not a regular file (a link is judged by what it leads to)
    // and then creates the temporary file beside it.
    TError Begin(const std::string& target);
    // The same below an open directory (never following a link; whatever is at the
    // name is replaced, as the caller checked).
    TError Begin(const TDirectory& directory, const std::string& name);
    TFile& File() { return m_File; }
    // Closes the file and moves it over the target. On a failure the temporary file is gone.
    TError Commit();

private:
    void Discard();

    TFile m_File;
    TDirectory m_OwnDirectory;                // the target's directory, for Begin(target)
    const TDirectory* m_Directory = nullptr;  // where the temporary file is
    std::string m_Target;      // a path, or a name below m_Directory
    std::string m_Temporary;   // likewise
    std::string m_Registered;  // the temporary file's path as registered for the signals
};

// Paths removed when SIGINT or SIGTERM (Ctrl+C, a console close) ends the program:
// files first, then (empty) directories. Registering the first one installs the handlers
// where the program has none of its own.
void RegisterTemporary(const std::string& path);
void UnregisterTemporary(const std::string& path);

}  // namespace orv::platform
