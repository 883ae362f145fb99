// ExtractTarget: files written below one directory and nowhere else, whatever the
// directory already holds.
//
//   TExtractTarget target("out");                       // created when missing
//   if (auto problem = target.Check({"maps", "deep.txt"}))   // before anything is written
//       ...;
//   target.Write({"maps", "deep.txt"}, [&](orv::TStream& file) { ... });
//
// Every path component is opened from the open directory above it, never following a
// link: a symbolic link (or reparse point) at any level below the directory, or at the
// file's own name, is refused and never followed. A file is written under a fresh
// temporary name created exclusively beside its final name, then renamed over it
// (platform::TAtomicFile): a file or link already standing there is replaced, never
// written through, and a failed write leaves nothing behind. The temporary names are
// short, so a file name may take the file system's whole limit (255 bytes).
//
// Paths given as components are already checked to stay below the directory (no "..",
// no empty or "." components: ArchiveCommands' SafeComponents).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/platform/Files.h"
#include "formats/Stream.h"

namespace orvtool {

using TComponents = std::vector<std::string>;

// Finds two paths of a list that would land on the same file, or where one needs the
// other as its directory ("d" and "d/f"), in time linear in the total length of the
// names. Letter case is folded as the game compares names (a file system may ignore
// case); "d/f" and "d\f" both come as {"d", "f"}. Returns the indices of the first
// such pair, the earlier first.
std::optional<std::pair<size_t, size_t>> FindClash(const std::vector<TComponents>& paths);

// The directory joined with the path, for messages.
std::string ShownPath(const std::string& directory, const TComponents& path);

class TExtractTarget {
public:
    // Creates the directory (and its parents) when missing, then holds it open; the
    // directory itself may be reached through a link, as the user named it.
    explicit TExtractTarget(const std::string& directory);
    TExtractTarget(const TExtractTarget&) = delete;
    TExtractTarget& operator=(const TExtractTarget&) = delete;

    // What stands in the way of writing the path, without changing anything: a symbolic
    // link or a file where a directory is needed, a link or a directory at the file's
    // own name. Nothing when the path can be written.
    std::optional<std::string> Check(const TComponents& path) const;

    // Creates the missing directories, writes the file through `write` under a
    // temporary name and renames it into place. Raises orv::Exception with the path and
    // the system's reason; whatever `write` raises passes on after the temporary file is
    // removed.
    void Write(const TComponents& path, const std::function<void(orv::TStream&)>& write);

    // The directory joined with the path, for messages.
    std::string Shown(const TComponents& path) const { return ShownPath(m_Directory, path); }

private:
    const orv::platform::TDirectory& OpenParent(const TComponents& path);

    std::string m_Directory;
    orv::platform::TDirectory m_Root;
    // The last parent directory opened, so that members of one directory open it once.
    TComponents m_ParentPath;
    orv::platform::TDirectory m_Parent;
};

}  // namespace orvtool
