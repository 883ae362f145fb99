// ArchiveCommands: what the archive commands share with the other command groups.
//
//   auto archive = OpenArchive(path);                 // errors name the file
//   if (auto damage = ArchiveDamage(*archive))        // a member reaching past the end
//       throw FileError(path, "", *damage);
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "formats/MPKFile.h"

namespace orvtool {

std::unique_ptr<orv::TMPKFile> OpenArchive(const std::string& path);

// The first member whose recorded data reaches past the end of the file, as the
// reader would refuse it on extraction (a cut or damaged block already fails to open).
std::optional<std::string> ArchiveDamage(const orv::TMPKFile& archive);

}  // namespace orvtool
