// ZonePaths: where a zone's archives lie under the game directory, and how a path
// written in the game's own letter case is found on a case-sensitive file system.
//
//   std::string path = ZoneArchivePath(gameDir, 111, TZoneArchive::Data);
//       // gameDir + "zones/zone111/dat111.mpk", with each component after gameDir
//       // matched ignoring case when the path does not exist as written
#pragma once

#include <string>
#include <string_view>

namespace orv {

// The archive names, with the game directory as argument 0 and the zone id as argument
// 1 (at least three digits, longer ids in full). Windows writes `\` between the
// components and takes `/` as well.
#ifdef _WIN32
constexpr char PathDelimiter = '\\';
constexpr std::string_view PathDelimiters = "\\/";
constexpr std::string_view DataArchiveFormat = "%szones\\zone%3.3d\\dat%1:3.3d.mpk";
constexpr std::string_view TextureArchiveFormat = "%szones\\zone%3.3d\\tex%1:3.3d.mpk";
#else
constexpr char PathDelimiter = '/';
constexpr std::string_view PathDelimiters = "/";
constexpr std::string_view DataArchiveFormat = "%szones/zone%3.3d/dat%1:3.3d.mpk";
constexpr std::string_view TextureArchiveFormat = "%szones/zone%3.3d/tex%1:3.3d.mpk";
#endif

enum class TZoneArchive { Data, Texture };

// The path as formatted, before any case resolution.
std::string ZoneArchiveName(const std::string& gameDir, int zoneId, TZoneArchive kind);
// The path of the archive as it exists on disk (see ResolvePathIgnoringCase).
std::string ZoneArchivePath(const std::string& gameDir, int zoneId, TZoneArchive kind);

// directory + relative, where relative is "a/b/c". When that path exists it is returned
// as is; otherwise each component of relative is looked up in its parent directory,
// first as written, then ignoring letter case (ASCII and Latin-1), trying every match
// until one leads to an existing path. When none does, the path as written is returned,
// so that opening it fails with that name. The directory itself is taken as written.
std::string ResolvePathIgnoringCase(const std::string& directory, std::string_view relative);

// Appends the delimiter unless the path already ends in one of PathDelimiters (an empty
// path gives the delimiter alone).
std::string IncludeTrailingPathDelimiter(const std::string& path);

}  // namespace orv
