// ExtractTarget: writing below a directory through descriptors, never through a link.
#include "tool/ExtractTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>
#include <unordered_map>

#include "base/Exception.h"
#include "base/TextCase.h"

namespace orvtool {

namespace {

constexpr mode_t FileMode = 0644;
constexpr mode_t DirectoryMode = 0755;
// Temporary names taken before giving up (each try is a fresh name; another process
// would have to create them all first).
constexpr int TemporaryNameTries = 1000;

std::string Reason(int error)
{
    return std::strerror(error);
}

[[noreturn]] void Fail(const std::string& what, int error)
{
    throw orv::Exception(std::string(what).append(": ").append(Reason(error)));
}

// Closes a descriptor it owns on leaving the scope.
class THandle {
public:
    explicit THandle(int handle = -1) : m_Handle(handle) {}
    ~THandle()
    {
        if (m_Handle >= 0)
            ::close(m_Handle);
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    int Get() const { return m_Handle; }
    int Release() { return std::exchange(m_Handle, -1); }
    void Reset(int handle)
    {
        if (m_Handle >= 0)
            ::close(m_Handle);
        m_Handle = handle;
    }

private:
    int m_Handle;
};

}  // namespace

std::optional<std::pair<size_t, size_t>> FindClash(const std::vector<TComponents>& paths)
{
    // The first path to land on each file, and the first to need each directory.
    std::unordered_map<std::string, size_t> files;
    std::unordered_map<std::string, size_t> directories;
    auto ordered = [](size_t a, size_t b) { return std::make_pair(std::min(a, b), std::max(a, b)); };
    for (size_t i = 0; i < paths.size(); ++i) {
        std::string key;
        for (size_t c = 0; c < paths[i].size(); ++c) {
            key.append(c == 0 ? "" : "/").append(orv::FoldCase(paths[i][c]));
            if (c + 1 < paths[i].size()) {
                if (const auto file = files.find(key); file != files.end())
                    return ordered(file->second, i);
                directories.emplace(key, i);
            }
        }
        if (const auto directory = directories.find(key); directory != directories.end() && directory->second != i)
            return ordered(directory->second, i);
        if (const auto [file, added] = files.emplace(key, i); !added)
            return ordered(file->second, i);
    }
    return std::nullopt;
}

TExtractTarget::TExtractTarget(const std::string& directory) : m_Directory(directory)
{
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    m_Handle = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_Handle < 0)
        Fail("cannot open the directory " + directory, errno);
}

TExtractTarget::~TExtractTarget()
{
    if (m_Parent >= 0)
        ::close(m_Parent);
    ::close(m_Handle);
}

std::string ShownPath(const std::string& directory, const TComponents& path)
{
    std::filesystem::path shown(directory);
    for (const std::string& part : path)
        shown /= part;
    return shown.string();
}

std::optional<std::string> TExtractTarget::Check(const TComponents& path) const
{
    // Relative paths from the directory's descriptor, each component looked at itself.
    std::string relative;
    for (size_t i = 0; i < path.size(); ++i) {
        relative.append(i == 0 ? "" : "/").append(path[i]);
        struct stat status {};
        if (::fstatat(m_Handle, relative.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                return std::nullopt;   // neither it nor anything below exists yet
            return Shown({path.begin(), path.begin() + static_cast<std::ptrdiff_t>(i + 1)}) + ": " + Reason(errno);
        }
        const std::string shown = Shown({path.begin(), path.begin() + static_cast<std::ptrdiff_t>(i + 1)});
        if (S_ISLNK(status.st_mode))
            return "refusing to write through the symbolic link " + shown;
        const bool last = i + 1 == path.size();
        if (!last && !S_ISDIR(status.st_mode))
            return shown + " is not a directory";
        if (last && S_ISDIR(status.st_mode))
            return shown + " is a directory";
    }
    return std::nullopt;
}

int TExtractTarget::OpenParent(const TComponents& path)
{
    const TComponents parentPath(path.begin(), path.end() - 1);
    if (m_Parent >= 0 && parentPath == m_ParentPath)
        return m_Parent;
    if (m_Parent >= 0)
        ::close(m_Parent);
    m_Parent = -1;
    THandle parent(::dup(m_Handle));
    if (parent.Get() < 0)
        Fail("cannot open the directory " + m_Directory, errno);
    for (size_t i = 0; i < parentPath.size(); ++i) {
        const char* name = parentPath[i].c_str();
        const std::string shown = Shown({parentPath.begin(), parentPath.begin() + static_cast<std::ptrdiff_t>(i + 1)});
        if (::mkdirat(parent.Get(), name, DirectoryMode) != 0 && errno != EEXIST)
            Fail("cannot create the directory " + shown, errno);
        THandle next(::openat(parent.Get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.Get() < 0) {
            struct stat status {};
            if (::fstatat(parent.Get(), name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode))
                throw orv::Exception("refusing to write through the symbolic link " + shown);
            Fail("cannot open the directory " + shown, errno);
        }
        parent.Reset(next.Release());
    }
    // Kept open for the next path of the same directory.
    m_ParentPath = parentPath;
    m_Parent = parent.Release();
    return m_Parent;
}

void TExtractTarget::Write(const TComponents& path, const std::function<void(orv::TStream&)>& write)
{
    const int parent = OpenParent(path);
    const std::string& name = path.back();
    const std::string shown = Shown(path);

    // A fresh name of our own, created exclusively: nothing that stood there is touched.
    std::array<char, 48> temporary{};
    int handle = -1;
    for (int tries = 0; handle < 0; ++tries) {
        std::snprintf(temporary.data(), temporary.size(), ".orvandel-%ld-%u.part", static_cast<long>(::getpid()),
                      m_Serial++);
        handle = ::openat(parent, temporary.data(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, FileMode);
        if (handle < 0 && (errno != EEXIST || tries >= TemporaryNameTries))
            Fail("cannot create a file beside " + shown, errno);
    }
    try {
        orv::TFileStream file(handle, shown);
        write(file);
    } catch (...) {
        ::unlinkat(parent, temporary.data(), 0);
        throw;
    }
    // rename never follows a link at the new name: a link standing there is replaced.
    if (::renameat(parent, temporary.data(), parent, name.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(parent, temporary.data(), 0);
        Fail("cannot write " + shown, error);
    }
}

}  // namespace orvtool
