#include "writers/MPKWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>

#include "formats/MPKFile.h"
#include "formats/Stream.h"

namespace orv {

namespace {

constexpr int64_t MaxArchiveBytes = std::numeric_limits<int32_t>::max();

std::vector<uint8_t> Deflate(std::span<const uint8_t> data, int level)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level) != Z_OK)
        throw EMPKError("MPAK writer: zlib could not compress a block");
    out.resize(size);
    return out;
}

std::span<const uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

void PutLE32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void Append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void CheckMember(const TMPKMember& member)
{
    if (member.Name.size() > static_cast<size_t>(MPKRecord::NameSize))
        throw EMPKError("MPAK writer: member name longer than 256 bytes: " + member.Name.substr(0, 64) + "...");
    if (member.Name.find('\0') != std::string::npos)
        throw EMPKError("MPAK writer: member name holds a NUL byte");
    if (member.Data.size() > static_cast<size_t>(MaxArchiveBytes))
        throw EMPKError("MPAK writer: member " + member.Name + " is 2 GiB or larger");
}

}  // namespace

std::vector<uint8_t> BuildMPK(const std::string& archiveName, const std::vector<TMPKMember>& members, int level)
{
    if (level < Z_NO_COMPRESSION || level > Z_BEST_COMPRESSION)
        throw EMPKError("MPAK writer: compression level " + std::to_string(level) + " is not 0..9");
    if (archiveName.size() > static_cast<size_t>(MPKMaxArchiveName))
        throw EMPKError("MPAK writer: archive name longer than 1024 bytes");

    std::vector<uint8_t> directory(members.size() * MPKRecordSize, 0);
    std::vector<uint8_t> data;
    for (size_t i = 0; i < members.size(); ++i) {
        const TMPKMember& member = members[i];
        CheckMember(member);
        const std::vector<uint8_t> packed = Deflate(member.Data, level);
        if (static_cast<int64_t>(data.size() + packed.size()) > MaxArchiveBytes)
            throw EMPKError("MPAK writer: archive data of 2 GiB or more");
        uint8_t* record = directory.data() + i * MPKRecordSize;
        std::memcpy(record + MPKRecord::Name, member.Name.data(), member.Name.size());
        PutLE32(record + MPKRecord::Timestamp, member.Timestamp);
        PutLE32(record + MPKRecord::UncompressedSize, static_cast<uint32_t>(member.Data.size()));
        PutLE32(record + MPKRecord::Offset, static_cast<uint32_t>(data.size()));
        PutLE32(record + MPKRecord::CompressedSize, static_cast<uint32_t>(packed.size()));
        Append(data, packed);
    }

    std::vector<uint8_t> out(MPKNameBlockStart, 0);
    std::copy(MPKMagic.begin(), MPKMagic.end(), out.begin());
    Append(out, Deflate(Bytes(archiveName), level));
    Append(out, Deflate(directory, level));
    Append(out, data);
    if (static_cast<int64_t>(out.size()) > MaxArchiveBytes)
        throw EMPKError("MPAK writer: archive of 2 GiB or more");
    return out;
}

void WriteMPK(const std::string& path, const std::string& archiveName, const std::vector<TMPKMember>& members, int level)
{
    const std::vector<uint8_t> bytes = BuildMPK(archiveName, members, level);
    WriteWholeFile(path, bytes.data(), bytes.size());
}

}  // namespace orv
