#include "zone/ZonePaths.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/Format.h"
#include "base/TextCase.h"
#include "base/platform/Files.h"

namespace orv {
namespace {

bool Exists(const std::string& path) { return platform::KindOf(path) != platform::TFileKind::Missing; }

// The entries of `directory` whose names equal `name` ignoring case, an exact match first.
std::vector<std::string> MatchesIgnoringCase(const std::string& directory, std::string_view name)
{
    std::vector<std::string> matches;
    for (std::string& candidate : platform::DirectoryEntries(directory)) {
        if (!SameTextIgnoringCase(candidate, name))
            continue;
        if (candidate == name)
            matches.insert(matches.begin(), std::move(candidate));
        else
            matches.push_back(std::move(candidate));
    }
    return matches;
}

// Depth-first over the components from `first` on: several entries may match one
// component (say "zones" and "Zones"), and only one of them may lead on.
std::optional<std::string> Resolve(const std::string& resolved, const std::vector<std::string_view>& components,
                                   size_t first)
{
    if (first == components.size())
        return Exists(resolved) ? std::optional(resolved) : std::nullopt;
    const std::string parent = resolved.empty() || PathDelimiters.find(resolved.back()) != std::string_view::npos
                                   ? resolved
                                   : resolved + PathDelimiter;
    for (const std::string& match : MatchesIgnoringCase(parent, components[first]))
        if (auto found = Resolve(parent + match, components, first + 1))
            return found;
    return std::nullopt;
}

}  // namespace

std::string IncludeTrailingPathDelimiter(const std::string& path)
{
    if (!path.empty() && PathDelimiters.find(path.back()) != std::string_view::npos)
        return path;
    return path + PathDelimiter;
}

std::string ResolvePathIgnoringCase(const std::string& directory, std::string_view relative)
{
    const std::string asWritten = directory + std::string(relative);
    if (Exists(asWritten))
        return asWritten;
    std::vector<std::string_view> components;
    size_t start = 0;
    while (start <= relative.size()) {
        const size_t slash = std::min(relative.find_first_of(PathDelimiters, start), relative.size());
        if (slash > start)
            components.push_back(relative.substr(start, slash - start));
        start = slash + 1;
    }
    if (components.empty())
        return asWritten;
    return Resolve(directory, components, 0).value_or(asWritten);
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
