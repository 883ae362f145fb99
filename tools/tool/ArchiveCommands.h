// ArchiveCommands: what the archive commands share with the other command groups.
//
//   auto archive = OpenArchive(path);                 // errors name the file
//   if (auto damage = ArchiveDamage(path, *archive))  // "directory block cut short", ...
//       throw FileError(path, "", *damage);
//
// The viewer's archive reader is lenient by design: a block cut short just ends early.
// The tools tell the user instead.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "formats/MPKFile.h"

namespace orvtool {

std::unique_ptr<orv::TMPKFile> OpenArchive(const std::string& path);

// What is wrong with the structure of an archive the reader took: the name or directory
// block damaged or cut short, or a member whose data reaches past the end of the file.
std::optional<std::string> ArchiveDamage(const std::string& path, const orv::TMPKFile& archive);

// Whether a member's recorded data lies within the file (of fileSize bytes).
std::optional<std::string> MemberDamage(const orv::TMPKDirectoryEntry& entry, int64_t fileSize);

}  // namespace orvtool
