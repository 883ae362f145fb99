// orvandel-tool list and extract: the members of an MPAK archive.
//
//   orvandel-tool list zones/zone111/dat111.mpk
//   orvandel-tool extract zones/zone111/tex111.mpk tex00-07.dds -d tiles
//
// extract refuses member names that would land outside the target directory (absolute
// paths, drive letters, ".." components, with "/" or "\" as separators), two members
// that would land on the same file, and symbolic links below the directory, and writes
// nothing at all when any selected member is refused or missing. The files are written
// as ExtractTarget describes.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_set>
#include <vector>

#include "formats/MPKFile.h"
#include "formats/Stream.h"
#include "tool/ArchiveCommands.h"
#include "tool/Command.h"
#include "tool/ExtractTarget.h"

namespace orvtool {

namespace {


constexpr int64_t SecondsPerDay = 86400;

// "2026-01-15T10:00:00Z" for seconds since 1970 (days to a civil date, proleptic Gregorian).
std::string IsoTime(uint32_t unixTime)
{
    const int64_t days = unixTime / SecondsPerDay;
    const int64_t rest = unixTime % SecondsPerDay;
    const int64_t z = days + 719468;
    const int64_t era = z / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return text;
}

}  // namespace

std::unique_ptr<orv::TMPKFile> OpenArchive(const std::string& path)
{
    return orv::NamingFailures(path, "", [&] { return std::make_unique<orv::TMPKFile>(path); });
}

std::optional<std::string> ArchiveDamage(const orv::TMPKFile& archive)
{
    const orv::TMPKDirectoryEntryList& directory = archive.Directory();
    for (int i = 0; i < directory.Count(); ++i)
        if (auto damage = archive.MemberDamage(directory.Items(i)))
            return damage;
    return std::nullopt;
}

namespace {

int List(const std::string& path)
{
    const auto archive = OpenArchive(path);
    const orv::TMPKDirectoryEntryList& directory = archive->Directory();

    size_t nameWidth = 4;
    for (int i = 0; i < directory.Count(); ++i)
        nameWidth = std::max(nameWidth, Printable(directory.Items(i).Name).size());
    std::printf("Archive: %s\n", Printable(archive->ArchiveName()).c_str());
    std::printf("%-*s %10s %10s %6s  %s\n", static_cast<int>(nameWidth), "Name", "Size", "Packed", "Ratio",
                "Timestamp");
    for (int i = 0; i < directory.Count(); ++i) {
        const orv::TMPKDirectoryEntry& entry = directory.Items(i);
        std::printf("%-*s %10d %10d %5d%%  %s\n", static_cast<int>(nameWidth), Printable(entry.Name).c_str(),
                    entry.UncompressedSize, entry.CompressedSize, entry.Ratio, IsoTime(entry.UnixTime).c_str());
    }
    if (auto damage = ArchiveDamage(*archive))
        throw FileError(path, "", *damage);
    return 0;
}

// The path components of a member name below the target directory, or nothing when the
// name would leave it (or names no file at all).
std::optional<std::vector<std::string>> SafeComponents(const std::string& name)
{
    if (name.empty() || name[0] == '/' || name[0] == '\\')
        return std::nullopt;
    std::vector<std::string> parts;
    std::string part;
    auto finish = [&]() -> bool {
        if (part == "..")
            return false;
        if (!part.empty() && part != ".")
            parts.push_back(part);
        part.clear();
        return true;
    };
    for (char c : name) {
        if (c == '/' || c == '\\') {
            if (!finish())
                return std::nullopt;
        } else {
            part += c;
        }
    }
    if (!finish() || parts.empty())
        return std::nullopt;
    // "C:..." is a path on another drive where the game's files come from.
    const std::string& first = parts.front();
    if (first.size() >= 2 && first[1] == ':' && std::isalpha(static_cast<unsigned char>(first[0])))
        return std::nullopt;
    return parts;
}

struct TExtraction {
    std::string Member;                   // the name as stored
    TComponents Components;               // where it goes below the directory
};

struct TExtractOptions {
    std::string Archive;
    std::vector<std::string> Members;   // none: all
    std::string Directory = ".";
};

int Extract(const TExtractOptions& options)
{
    const std::string& archivePath = options.Archive;
    const std::vector<std::string>& wanted = options.Members;
    const std::string& root = options.Directory;

    const auto archive = OpenArchive(archivePath);
    const orv::TMPKDirectoryEntryList& directory = archive->Directory();

    // Everything is checked before anything is written.
    std::vector<int> chosen;
    if (wanted.empty()) {
        for (int i = 0; i < directory.Count(); ++i)
            chosen.push_back(i);
    } else {
        // Each member once, in the order first named.
        std::unordered_set<int> seen;
        for (const std::string& name : wanted) {
            const int index = directory.IndexOf(name);
            if (index < 0)
                throw FileError(archivePath, "", "no member named " + Printable(name));
            if (seen.insert(index).second)
                chosen.push_back(index);
        }
    }
    std::vector<TExtraction> items;
    std::vector<TComponents> paths;
    for (int index : chosen) {
        const std::string& name = directory.Items(index).Name;
        auto components = SafeComponents(name);
        if (!components)
            throw FileError(archivePath, "",
                            "refusing member " + Printable(name) + ": its name leads outside " + Printable(root));
        items.push_back({name, *components});
        paths.push_back(std::move(*components));
    }
    if (const auto clash = FindClash(paths)) {
        const TExtraction& first = items[clash->first];
        const TExtraction& second = items[clash->second];
        throw FileError(archivePath, "",
                        "refusing members " + Printable(first.Member) + " and " + Printable(second.Member) +
                            ": both would land on " + Printable(ShownPath(root, first.Components)) +
                            " (names compared ignoring letter case, with / and \\ alike)");
    }
    TExtractTarget target(root);
    for (const TExtraction& item : items)
        if (auto problem = target.Check(item.Components))
            throw FileError(archivePath, Printable(item.Member), Printable(*problem));

    for (const TExtraction& item : items) {
        try {
            target.Write(item.Components, [&](orv::TStream& file) { archive->ExtractToStream(item.Member, file); });
        } catch (const std::bad_alloc&) {
            throw FileError(archivePath, Printable(item.Member), "out of memory");
        } catch (const std::exception& e) {
            throw FileError(archivePath, Printable(item.Member), Printable(e.what()));
        }
        std::printf("%s\n", Printable(target.Shown(item.Components)).c_str());
    }
    return 0;
}

const TCommandRegistration ListRegistration{
    "list", "List the members of an MPAK archive", [](CLI::App& command) -> TRun {
        auto archive = std::make_shared<std::string>();
        command.add_option("ARCHIVE", *archive, "the archive")->required();
        command.footer("Prints the archive's name, then one line per member in directory order: its name,\n"
                       "its size, its compressed size and the percentage saved (as the directory records\n"
                       "them) and its timestamp in ISO 8601 form, UTC.\n"
                       "\n"
                       "Example:\n"
                       "  orvandel-tool list game/zones/zone111/dat111.mpk");
        return [archive] { return List(*archive); };
    }};

const TCommandRegistration ExtractRegistration{
    "extract", "Extract members of an MPAK archive", [](CLI::App& command) -> TRun {
        auto options = std::make_shared<TExtractOptions>();
        command.add_option("ARCHIVE", options->Archive, "the archive")->required();
        command.add_option("MEMBER", options->Members, "a member to extract (letter case ignored); none: all");
        command.add_option("-d", options->Directory, "the directory to write into (default: the working directory)")
            ->type_name("DIR");
        command.footer("Writes the named members (letter case ignored), or all members, into DIR (default:\n"
                       "the working directory, created when missing) and prints the path of each file\n"
                       "written (control characters in names shown as \\xNN).\n"
                       "\n"
                       "Member names that would land outside DIR (absolute paths, drive letters, \"..\"\n"
                       "components, with / or \\ as separators) are refused, and so are two members that\n"
                       "would land on the same file (names equal but for letter case or separators: name\n"
                       "one to get the first, as the viewer reads it) and any path through a symbolic link\n"
                       "inside DIR; when any chosen member is refused or missing nothing is written. Each\n"
                       "file is written under a temporary name and then renamed into place.\n"
                       "\n"
                       "Examples:\n"
                       "  orvandel-tool extract game/zones/zone111/dat111.mpk -d zone111\n"
                       "  orvandel-tool extract game/zones/zone111/tex111.mpk TEX00-07.DDS -d tiles");
        return [options] { return Extract(*options); };
    }};

}  // namespace

}  // namespace orvtool
