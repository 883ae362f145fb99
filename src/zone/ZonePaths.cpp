#include "zone/ZonePaths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "base/Format.h"
#include "formats/MPKFile.h"

namespace orv {
namespace {

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

struct TDirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// The entry of `directory` whose name equals `name` ignoring case; empty when none.
std::string FindIgnoringCase(const std::string& directory, std::string_view name)
{
    const std::unique_ptr<DIR, TDirCloser> dir(::opendir(directory.empty() ? "." : directory.c_str()));
    if (!dir)
        return {};
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view candidate = entry->d_name;
        if (candidate != "." && candidate != ".." && SameTextIgnoringCase(candidate, name))
            return std::string(candidate);
    }
    return {};
}

}  // namespace

std::string IncludeTrailingPathDelimiter(const std::string& path)
{
    if (!path.empty() && path.back() == PathDelimiter)
        return path;
    return path + PathDelimiter;
}

std::string ResolvePathIgnoringCase(const std::string& directory, std::string_view relative)
{
    const std::string asWritten = directory + std::string(relative);
    if (Exists(asWritten))
        return asWritten;

    std::string resolved = directory;
    size_t start = 0;
    while (start <= relative.size()) {
        const size_t slash = relative.find(PathDelimiter, start);
        const size_t stop = slash == std::string_view::npos ? relative.size() : slash;
        const std::string_view component = relative.substr(start, stop - start);
        if (!component.empty()) {
            if (!resolved.empty() && resolved.back() != PathDelimiter)
                resolved += PathDelimiter;
            const std::string exact = resolved + std::string(component);
            if (Exists(exact)) {
                resolved = exact;
            } else {
                const std::string found = FindIgnoringCase(resolved, component);
                if (found.empty())
                    return asWritten;
                resolved += found;
            }
        }
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    return resolved;
}

std::string ZoneArchiveName(const std::string& gameDir, int zoneId, TZoneArchive kind)
{
    return Format(kind == TZoneArchive::Data ? DataArchiveFormat : TextureArchiveFormat, {gameDir, zoneId});
}

std::string ZoneArchivePath(const std::string& gameDir, int zoneId, TZoneArchive kind)
{
    // The name starts with the game directory, which is taken as written.
    const std::string name = ZoneArchiveName(gameDir, zoneId, kind);
    return ResolvePathIgnoringCase(gameDir, std::string_view(name).substr(gameDir.size()));
}

}  // namespace orv
