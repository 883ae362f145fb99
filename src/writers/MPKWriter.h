// MPKWriter: builds MPAK archives, the format MPKFile.h reads, for the tests and the
// sample game.
//
//   std::vector<TMPKMember> members = {{"terrain.pcx", pcxBytes, timestamp}};
//   WriteMPK("dat111.mpk", "dat111", members);          // level 0..9 (zlib's), default 9
//
// The output depends only on the arguments: the same input gives the same bytes. The 17
// header bytes after the magic and the record words the reader ignores are zero. Raises
// EMPKError for what the reader could not take back: an archive name over 1024 bytes, a
// member name over 256 bytes or holding a NUL byte, a member or archive of 2 GiB or more,
// and a compression level outside 0..9.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

struct TMPKMember {
    std::string Name;
    std::vector<uint8_t> Data;
    uint32_t Timestamp = 0;   // seconds since 1970-01-01 00:00:00
};

std::vector<uint8_t> BuildMPK(const std::string& archiveName, const std::vector<TMPKMember>& members, int level = 9);
void WriteMPK(const std::string& path, const std::string& archiveName, const std::vector<TMPKMember>& members, int level = 9);

}  // namespace orv
