// MPKFile: reader of the game's MPAK archives (".mpk").
//
// Layout: "MPAK", 17 bytes not interpreted, a zlib stream holding the archive name, a
// zlib stream holding the directory (284-byte records), then one zlib stream per member.
//
//   TMPKFile archive(path);                         // opens and reads the directory
//   auto stream = archive.ExtractToMemory("terrain.pcx");   // positioned at 0
//
// Member lookup ignores letter case; the first of equal names wins.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formats/Stream.h"

namespace orv {

class EMPKError : public EFormatError { using EFormatError::EFormatError; };

constexpr int MPKRecordSize = 284;

class TMPKDirectoryEntry {
public:
    // record: one 284-byte directory record whose Offset is already absolute.
    explicit TMPKDirectoryEntry(const uint8_t* record);

    int32_t Aux2 = 0;
    int32_t Ratio = 0;
    int32_t UncompressedSize = 0;
    int32_t Offset = 0;
    int32_t Aux1 = 0;
    int32_t CompressedSize = 0;
    std::string Name;
    double Timestamp = 0.0;    // days since 1899-12-30
    uint32_t UnixTime = 0;     // the record's seconds since 1970, as stored

    void UpdateRatio();
};

class TMPKDirectoryEntryList {
public:
    int IndexOf(std::string_view name) const;
    bool Exists(std::string_view name) const { return IndexOf(name) != -1; }
    int Count() const { return static_cast<int>(m_Entries.size()); }
    const TMPKDirectoryEntry& Items(int index) const;
    void Add(std::unique_ptr<TMPKDirectoryEntry> entry) { m_Entries.push_back(std::move(entry)); }
    void Clear() { m_Entries.clear(); }

private:
    std::vector<std::unique_ptr<TMPKDirectoryEntry>> m_Entries;
};

class TMPKFile {
public:
    explicit TMPKFile(const std::string& path);
    ~TMPKFile();
    TMPKFile(const TMPKFile&) = delete;
    TMPKFile& operator=(const TMPKFile&) = delete;

    void SetFileName(const std::string& path);
    void Close();
    void Load();

    void ExtractToStream(std::string_view member, TStream& destination);
    std::unique_ptr<TMemoryStream> ExtractToMemory(std::string_view member);
    void ExtractToFile(std::string_view member, const std::string& path);
    void ExtractToDirectory(std::string_view member, const std::string& directory);

    bool Loaded() const { return m_Loaded; }
    const std::string& FileName() const { return m_FileName; }
    const std::string& ArchiveName() const { return m_ArchiveName; }
    const TMPKDirectoryEntryList& Directory() const { return m_Directory; }

private:
    std::unique_ptr<TFileStream> m_File;
    bool m_Loaded = false;
    std::string m_FileName;
    std::string m_ArchiveName;
    TMPKDirectoryEntryList m_Directory;
};

// Case-insensitive comparison used for member names (ASCII and Latin-1 letters).
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace orv
