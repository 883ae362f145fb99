// ExtractTarget: writing below a directory through descriptors, never through a link.
#include "tool/ExtractTarget.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>
#include <utility>

#include "base/Exception.h"
#include "base/TextCase.h"

namespace orvtool {

namespace platform = orv::platform;

namespace {

[[noreturn]] void Fail(const std::string& what, const platform::TError& error)
{
    throw orv::Exception(what + ": " + error.Reason());
}

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
    platform::CreateDirectories(directory);
    platform::TError error;
    m_Root = platform::TDirectory::Open(directory, error);
    if (error)
        Fail("cannot open the directory " + directory, error);
}

std::string ShownPath(const std::string& directory, const TComponents& path)
{
    std::string shown = directory;
    for (const std::string& part : path)
        shown = platform::JoinPath(shown, part);
    return shown;
}

std::optional<std::string> TExtractTarget::Check(const TComponents& path) const
{
    // Relative paths from the open directory, each component looked at itself.
    std::string relative;
    for (size_t i = 0; i < path.size(); ++i) {
        relative = platform::JoinPath(relative, path[i]);
        const std::string shown = Shown({path.begin(), path.begin() + static_cast<std::ptrdiff_t>(i + 1)});
        platform::TError error;
        const platform::TFileKind kind = m_Root.KindAt(relative, error);
        if (error.NotFound())
            return std::nullopt;   // neither it nor anything below exists yet
        if (error)
            return shown + ": " + error.Reason();
        if (kind == platform::TFileKind::Link)
            return "refusing to write through the symbolic link " + shown;
        const bool last = i + 1 == path.size();
        if (!last && kind != platform::TFileKind::Directory)
            return shown + " is not a directory";
        if (last && kind == platform::TFileKind::Directory)
            return shown + " is a directory";
    }
    return std::nullopt;
}

const platform::TDirectory& TExtractTarget::OpenParent(const TComponents& path)
{
    const TComponents parentPath(path.begin(), path.end() - 1);
    if (m_Parent.IsOpen() && parentPath == m_ParentPath)
        return m_Parent;
    m_Parent = {};
    if (parentPath.empty()) {
        m_ParentPath.clear();
        return m_Root;
    }
    const platform::TDirectory* parent = &m_Root;
    platform::TDirectory next;
    for (size_t i = 0; i < parentPath.size(); ++i) {
        platform::TError error;
        next = parent->OpenChild(parentPath[i], error);
        if (error) {
            const std::string shown =
                Shown({parentPath.begin(), parentPath.begin() + static_cast<std::ptrdiff_t>(i + 1)});
            if (error.Refused == platform::TFileKind::Link)
                throw orv::Exception("refusing to write through the symbolic link " + shown);
            Fail("cannot open the directory " + shown, error);
        }
        m_Parent = std::move(next);
        parent = &m_Parent;
    }
    // Kept open for the next path of the same directory.
    m_ParentPath = parentPath;
    return m_Parent;
}

void TExtractTarget::Write(const TComponents& path, const std::function<void(orv::TStream&)>& write)
{
    const platform::TDirectory& parent = OpenParent(path);
    const std::string shown = Shown(path);
    // A fresh name of our own, created exclusively: nothing that stood there is touched.
    platform::TAtomicFile file;
    if (const platform::TError error = file.Begin(parent, path.back()))
        Fail("cannot create a file beside " + shown, error);
    {
        orv::TFileStream stream(file.File(), shown);
        write(stream);   // whatever it raises passes on, and the temporary file goes with `file`
    }
    // The rename never follows a link at the new name: a link standing there is replaced.
    if (const platform::TError error = file.Commit())
        Fail("cannot write " + shown, error);
}

}  // namespace orvtool
