// Files, the POSIX half: descriptors, *at calls from open directories, errno.
#include "base/platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "base/platform/Half.h"

namespace orv::platform {

namespace {

int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

TFileKind KindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return TFileKind::Regular;
    if (S_ISDIR(mode))
        return TFileKind::Directory;
    if (S_ISLNK(mode))
        return TFileKind::Link;
    if (S_ISFIFO(mode))
        return TFileKind::Fifo;
    if (S_ISSOCK(mode))
        return TFileKind::Socket;
    return TFileKind::Device;
}

TError Result(int status) { return status == 0 ? TError{} : TError::Last(); }

}  // namespace

bool TError::NotFound() const { return Code == ENOENT; }
bool TError::AlreadyExists() const { return Code == EEXIST; }
std::string TError::Reason() const { return std::strerror(Code); }
TError TError::Last() { return TError{errno}; }

// --- TFile ------------------------------------------------------------------------

TFile::~TFile() { Close(); }

TFile TFile::Open(const std::string& path, TOpenMode mode, TError& error)
{
    // O_NONBLOCK: opening a FIFO must not wait for its other end; only regular files are
    // kept (a FIFO, a device or a directory would block, never end, or have no size).
    constexpr int Flags = O_CLOEXEC | O_NONBLOCK;
    int handle = -1;
    switch (mode) {
    case TOpenMode::Read: handle = ::open(path.c_str(), O_RDONLY | Flags); break;
    case TOpenMode::ReadWrite: handle = ::open(path.c_str(), O_RDWR | Flags); break;
    case TOpenMode::Create: handle = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | Flags, 0666); break;
    }
    error = {};
    if (handle < 0) {
        error = TError::Last();
        return {};
    }
    TFile file(handle);
    struct stat status {};
    if (::fstat(handle, &status) != 0) {
        error = TError::Last();
        return {};
    }
    if (!S_ISREG(status.st_mode)) {
        error.Refused = KindOfMode(status.st_mode);
        return {};
    }
    // Reads and writes of a regular file block as usual.
    ::fcntl(handle, F_SETFL, ::fcntl(handle, F_GETFL) & ~O_NONBLOCK);
    return file;
}

bool TFile::IsOpen() const { return m_Handle >= 0; }

int64_t TFile::Read(void* buffer, int64_t count)
{
    int64_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(Descriptor(m_Handle), out + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
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
        const ssize_t n = ::write(Descriptor(m_Handle), in + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFile::Seek(int64_t offset, TOrigin origin)
{
    const int whence = origin == TOrigin::Beginning ? SEEK_SET : origin == TOrigin::Current ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(Descriptor(m_Handle), static_cast<off_t>(offset), whence);
    if (result < 0)
        return ::lseek(Descriptor(m_Handle), 0, SEEK_CUR);
    return result;
}

TError TFile::Close()
{
    if (m_Handle < 0)
        return {};
    return Result(::close(Descriptor(std::exchange(m_Handle, -1))));
}

// --- paths ------------------------------------------------------------------------

TFileKind KindOf(const std::string& path, bool followLink)
{
    struct stat status {};
    if ((followLink ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status)) != 0)
        return TFileKind::Missing;
    return KindOfMode(status.st_mode);
}

std::vector<std::string> DirectoryEntries(const std::string& directory)
{
    struct TCloser {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    std::vector<std::string> names;
    const std::unique_ptr<DIR, TCloser> dir(::opendir(directory.empty() ? "." : directory.c_str()));
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    return names;
}

TError RemoveFile(const std::string& path) { return Result(::unlink(path.c_str())); }

TError ReplaceFile(const std::string& from, const std::string& to)
{
    return Result(::rename(from.c_str(), to.c_str()));
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

std::string ConfigFolder()
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return config;
    const std::string home = HomeFolder();
    return home.empty() ? home : JoinPath(home, ".config");
}

std::tm LocalTime(std::time_t moment)
{
    std::tm local{};
    ::localtime_r(&moment, &local);
    return local;
}

std::string ProgramFolder()
{
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size())
        return {};
    path.resize(static_cast<size_t>(length));
    return DirectoryOf(path);
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string AbsolutePath(const std::string& path)
{
    if (IsAbsolutePath(path))
        return path;
    std::string directory(4096, '\0');
    if (::getcwd(directory.data(), directory.size()) == nullptr)
        return path;
    directory.resize(std::char_traits<char>::length(directory.c_str()));
    return path.empty() ? directory : JoinPath(directory, path);
}

std::vector<std::string> ProgramArguments(int argc, const char* const* argv) { return {argv, argv + argc}; }

std::FILE* OpenStdioFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& directory, const std::string& name)
{
    if (directory.empty())
        return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::string MakeTemporaryDirectory(const std::string& directory, const std::string& name, TError& error)
{
    std::string path = JoinPath(directory, "." + name + ".partial-XXXXXX");
    error = {};
    if (::mkdtemp(path.data()) == nullptr) {
        error = TError::Last();
        return {};
    }
    RegisterTemporary(path);
    return path;
}

// --- TDirectory ---------------------------------------------------------------------

TDirectory::~TDirectory()
{
    if (m_Handle >= 0)
        ::close(Descriptor(m_Handle));
}

TDirectory::TDirectory(TDirectory&& other) noexcept
    : m_Path(std::move(other.m_Path)), m_Handle(std::exchange(other.m_Handle, -1))
{
}

TDirectory& TDirectory::operator=(TDirectory&& other) noexcept
{
    if (this != &other) {
        if (m_Handle >= 0)
            ::close(Descriptor(m_Handle));
        m_Path = std::move(other.m_Path);
        m_Handle = std::exchange(other.m_Handle, -1);
    }
    return *this;
}

TDirectory TDirectory::Open(const std::string& path, TError& error)
{
    TDirectory directory;
    const int handle = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    error = handle < 0 ? TError::Last() : TError{};
    if (handle >= 0) {
        directory.m_Path = path;
        directory.m_Handle = handle;
    }
    return directory;
}

bool TDirectory::IsOpen() const { return m_Handle >= 0; }

TFileKind TDirectory::KindAt(const std::string& relative, TError& error) const
{
    struct stat status {};
    if (::fstatat(Descriptor(m_Handle), relative.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        error = TError::Last();
        return TFileKind::Missing;
    }
    error = {};
    return KindOfMode(status.st_mode);
}

TDirectory TDirectory::OpenChild(const std::string& name, TError& error) const
{
    TDirectory child;
    error = {};
    if (::mkdirat(Descriptor(m_Handle), name.c_str(), 0777) != 0 && errno != EEXIST) {
        error = TError::Last();
        return child;
    }
    const int handle = ::openat(Descriptor(m_Handle), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (handle < 0) {
        error = TError::Last();
        TError ignored;
        if (KindAt(name, ignored) == TFileKind::Link)
            error.Refused = TFileKind::Link;
        return child;
    }
    child.m_Path = JoinPath(m_Path, name);
    child.m_Handle = handle;
    return child;
}

TFile TDirectory::CreateExclusive(const std::string& name, TError& error) const
{
    const int handle =
        ::openat(Descriptor(m_Handle), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    error = handle < 0 ? TError::Last() : TError{};
    return handle < 0 ? TFile() : TFile(handle);
}

TError TDirectory::Rename(const std::string& from, const std::string& to) const
{
    // rename never follows a link at the new name: a link standing there is replaced.
    return Result(::renameat(Descriptor(m_Handle), from.c_str(), Descriptor(m_Handle), to.c_str()));
}

TError TDirectory::Remove(const std::string& name) const
{
    return Result(::unlinkat(Descriptor(m_Handle), name.c_str(), 0));
}

// --- the half's share ------------------------------------------------------------------

namespace half {

std::filesystem::path NativePath(const std::string& path) { return std::filesystem::path(path); }

std::string TemporaryName(std::string_view ending)
{
    static std::atomic<unsigned> serial{0};
    return ".orvandel-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + std::string(ending);
}

void RemoveInHandler(const char* path)
{
    if (::unlink(path) != 0)
        ::rmdir(path);
}

namespace {

// Removes the temporaries, then ends the program as the signal would have.
void RemoveTemporariesAndEnd(int signal)
{
    RemoveTemporaries();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

void InstallTemporaryCleanup()
{
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        // A program (or its toolkit) with a handler of its own, or one ignoring the
        // signal, keeps it.
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            continue;
        struct sigaction ours {};
        ours.sa_handler = RemoveTemporariesAndEnd;
        sigemptyset(&ours.sa_mask);
        ::sigaction(signal, &ours, nullptr);
    }
}

}  // namespace half
}  // namespace orv::platform
