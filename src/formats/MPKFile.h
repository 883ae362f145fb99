// MPKFile: reader of the game's MPAK archives (".mpk").
//
// Layout: "MPAK", 17 bytes not interpreted, a zlib stream holding the archive name, a
// zlib stream holding the directory (284-byte records), then one zlib stream per member.
// The blocks follow each other without length fields; each starts where the previous
// zlib stream's trailer ends (see zlib2.h).
//
//   TMPKFile archive(path);                         // opens and reads the directory
//   auto stream = archive.ExtractToMemory("terrain.pcx");   // positioned at 0
//
// Member lookup ignores letter case; the first of equal names wins. The archive file
// stays open while the object is loaded; extractions share its position, so they must
// not overlap.
//
// A damaged or truncated archive is an error, never a shorter result: a name or
// directory block that the file ends inside, a directory that is not whole records, a
// member whose recorded data reaches past the end of the file, whose zlib stream the
// file ends inside, or whose stream takes or gives other sizes than its record says.
// (An interrupted download otherwise loads as a zone with flat terrain rows and no
// lakes.) The recorded sizes are checked once the stream has ended; they never size
// anything beyond what the file could hold.
//
// Errors name the archive file, and the member when there is one:
// "zones/zone111/dat111.mpk: terrain.pcx: the archive is cut short". A caller
// that reads only the start of a member, or that knows how large a member can be, says
// so (TExtractLimit), so that a member inflating to gigabytes never fills memory.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/Stream.h"

namespace orv {

class EMPKError : public EFormatError { using EFormatError::EFormatError; };

constexpr int MPKRecordSize = 284;

// Byte offsets of the fields of one directory record (little-endian 32-bit words).
namespace MPKRecord {
constexpr int Name = 0;
constexpr int NameSize = 256;
constexpr int Timestamp = 256;
constexpr int Unused = 260;
constexpr int Aux1 = 264;
constexpr int UncompressedSize = 268;
constexpr int Offset = 272;
constexpr int CompressedSize = 276;
constexpr int Aux2 = 280;
}  // namespace MPKRecord

// The archive header: the magic, then bytes not interpreted; the name block follows.
constexpr std::string_view MPKMagic = "MPAK";
constexpr int MPKNameBlockStart = 21;
constexpr int MPKMaxArchiveName = 1024;
// A directory this large would list some 236 000 members; anything bigger is damage
// (or a decompression bomb) and is refused before it exhausts memory.
constexpr int64_t MPKMaxDirectoryBytes = int64_t{64} << 20;

// How much of a member a caller takes. Stop: the bytes after the first Bytes are never
// inflated (for a reader that never looks further, so the result is the same as with the
// whole member). Refuse: a member inflating to more than Bytes raises EMPKError "FILE:
// MEMBER: larger than N bytes" once that many are out, before more memory is taken.
struct TExtractLimit {
    enum TAction { Stop, Refuse };
    int64_t Bytes = INT64_MAX;
    TAction Action = Refuse;
};

class TMPKDirectoryEntry {
public:
    // record: one directory record whose Offset is already absolute.
    explicit TMPKDirectoryEntry(std::span<const uint8_t, MPKRecordSize> record);

    int32_t Aux2 = 0;
    int32_t Ratio = 0;
    int32_t UncompressedSize = 0;
    int32_t Offset = 0;
    int32_t Aux1 = 0;
    int32_t CompressedSize = 0;
    std::string Name;
    double Timestamp = 0.0;    // days since 1899-12-30
    uint32_t UnixTime = 0;     // the record's seconds since 1970, as stored

    // Ratio: whole percent saved by compression, 0 for an empty member.
    void UpdateRatio();
};

class TMPKDirectoryEntryList {
public:
    // Index of the first entry whose name equals `name` ignoring case, or -1 (a hash
    // lookup: archives of many members are looked up in constant time per name).
    int IndexOf(std::string_view name) const;
    bool Exists(std::string_view name) const { return IndexOf(name) != -1; }
    int Count() const { return static_cast<int>(m_Entries.size()); }
    // Raises EListError "List index out of bounds (%d)" outside 0..Count()-1.
    const TMPKDirectoryEntry& Items(int index) const;
    void Add(std::unique_ptr<TMPKDirectoryEntry> entry);
    void Clear();

private:
    std::vector<std::unique_ptr<TMPKDirectoryEntry>> m_Entries;
    std::unordered_map<std::string, int> m_FirstByFoldedName;
};

class TMPKFile {
public:
    // Opens and loads the archive (nothing for an empty path). Raises "Cannot open file
    // %s", "FILE: Not an MPAK file", the inflate stream's "error (...)" after the file
    // name, or EMPKError for a name block that does not end within 1024 bytes, a
    // directory block larger than MPKMaxDirectoryBytes or not whole records, and a file
    // that ends inside either block ("FILE: the archive is cut short (...)").
    explicit TMPKFile(const std::string& path);
    ~TMPKFile();
    TMPKFile(const TMPKFile&) = delete;
    TMPKFile& operator=(const TMPKFile&) = delete;

    // Close, remember the path, Load.
    void SetFileName(const std::string& path);
    void Close();
    // Does nothing when the path is empty or the archive is already loaded.
    void Load();

    // Each raises "FILE: Source stream [%s] not found in archive" for a name not in
    // Directory(); every failure while inflating names the file and the member, and so
    // does the damage a member's record or stream shows (EMPKError "FILE: MEMBER: the
    // archive is cut short", "FILE: MEMBER: damaged: ..."). A member taken up to a
    // Stop limit is checked only for reaching past the end of the file.
    // Appends the inflated member at the destination's current position.
    void ExtractToStream(std::string_view member, TStream& destination, const TExtractLimit& limit = {});
    // A new stream holding the member (or as much of it as the limit takes), at 0.
    std::unique_ptr<TMemoryStream> ExtractToMemory(std::string_view member, const TExtractLimit& limit = {});
    // The member as a forward-only stream that inflates as it is read, for readers that
    // look at a header before they decide how much to take. It reads this archive's
    // file, so it must not outlive the archive nor overlap another extraction. A read
    // that reaches the member's end checks it as the extractions do. Read failures do
    // not name the member: the caller knows it.
    std::unique_ptr<TStream> OpenMember(std::string_view member);
    // Creates (or truncates) the file first, so a failed extraction leaves it behind.
    void ExtractToFile(std::string_view member, const std::string& path);
    // directory + "/" (when it does not end in one) + member.
    void ExtractToDirectory(std::string_view member, const std::string& directory);

    bool Loaded() const { return m_Loaded; }
    const std::string& FileName() const { return m_FileName; }
    // The archive file's size in bytes (0 while closed).
    int64_t FileSize() const { return m_FileSize; }
    const std::string& ArchiveName() const { return m_ArchiveName; }
    const TMPKDirectoryEntryList& Directory() const { return m_Directory; }

    // "NAME: the archive is cut short (NAME reaches past the end of the file: ...)" when
    // the member's recorded data does not lie within the file, else nothing.
    std::optional<std::string> MemberDamage(const TMPKDirectoryEntry& entry) const;

private:
    const TMPKDirectoryEntry& Find(std::string_view member) const;
    void Extract(const TMPKDirectoryEntry& entry, TStream& destination, const TExtractLimit& limit);
    void SeekMember(const TMPKDirectoryEntry& entry);
    void ReadArchiveName();
    std::vector<uint8_t> ReadDirectoryBlock();
    [[noreturn]] void Fail(const std::string& what) const;

    std::unique_ptr<TFileStream> m_File;
    bool m_Loaded = false;
    std::string m_FileName;
    std::string m_ArchiveName;
    TMPKDirectoryEntryList m_Directory;
    int64_t m_FileSize = 0;
};

}  // namespace orv
