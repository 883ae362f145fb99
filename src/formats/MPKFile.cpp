#include "formats/MPKFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "formats/zlib2.h"

namespace orv {

namespace {

// Piece sizes of member extraction and of reading the directory block. Members go in
// growing pieces: zlib's fast decoding loop needs room for a whole match in the output,
// so the end of every piece is decoded slowly, and each call also copies the last 32 KiB
// of its output into zlib's window; with small pieces both are much of the work. Small
// members still take only a small buffer.
constexpr int64_t FirstExtractPieceSize = 65536;
constexpr int64_t MaxExtractPieceSize = int64_t{1} << 20;
constexpr int64_t DirectoryPieceSize = 1024;
// Deflate never expands data more than about 1032 times; a claimed member size beyond
// that (or beyond this cap) is not used to reserve memory.
constexpr int64_t MaxInflateRatio = 1032;
constexpr int64_t MaxReserveBytes = int64_t{256} << 20;
// A directory this large would list some 236 000 members; anything bigger is damage
// (or a decompression bomb) and is refused before it exhausts memory.
constexpr int64_t MaxDirectoryBytes = int64_t{64} << 20;
// Day number of 1970-01-01 counted from 1899-12-30, and seconds per day.
constexpr double UnixEpochDays = 25569.0;
constexpr double SecondsPerDay = 86400.0;

uint32_t ReadLE32(std::span<const uint8_t> bytes, int at)
{
    const auto* p = bytes.data() + at;
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void WriteLE32(std::span<uint8_t> bytes, int at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(at + i)] = static_cast<uint8_t>(value >> (8 * i));
}

int32_t ReadLE32Signed(std::span<const uint8_t> bytes, int at)
{
    return static_cast<int32_t>(ReadLE32(bytes, at));
}

// Lower case of an ASCII or Latin-1 letter; every other byte unchanged.
constexpr uint8_t FoldCase(uint8_t c)
{
    constexpr uint8_t CaseBit = 0x20;
    constexpr uint8_t Latin1UpperFirst = 0xC0, Latin1UpperLast = 0xDE, Multiplication = 0xD7;
    if ((c >= 'A' && c <= 'Z') || (c >= Latin1UpperFirst && c <= Latin1UpperLast && c != Multiplication))
        return static_cast<uint8_t>(c | CaseBit);
    return c;
}

}  // namespace

bool SameTextIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return FoldCase(static_cast<uint8_t>(x)) == FoldCase(static_cast<uint8_t>(y));
    });
}

// --- TMPKDirectoryEntry ------------------------------------------------------------

TMPKDirectoryEntry::TMPKDirectoryEntry(std::span<const uint8_t, MPKRecordSize> record)
{
    const auto* nameStart = reinterpret_cast<const char*>(record.data() + MPKRecord::Name);
    const auto* nameEnd = std::find(nameStart, nameStart + MPKRecord::NameSize, '\0');
    Name.assign(nameStart, nameEnd);
    UnixTime = ReadLE32(record, MPKRecord::Timestamp);
    Aux1 = ReadLE32Signed(record, MPKRecord::Aux1);
    UncompressedSize = ReadLE32Signed(record, MPKRecord::UncompressedSize);
    Offset = ReadLE32Signed(record, MPKRecord::Offset);
    CompressedSize = ReadLE32Signed(record, MPKRecord::CompressedSize);
    Aux2 = ReadLE32Signed(record, MPKRecord::Aux2);
    Timestamp = UnixTime / SecondsPerDay + UnixEpochDays;
    UpdateRatio();
}

void TMPKDirectoryEntry::UpdateRatio()
{
    if (UncompressedSize == 0) {
        Ratio = 0;
        return;
    }
    // 32-bit arithmetic that wraps, as the record's sizes are stored.
    const auto saved = static_cast<int32_t>(int64_t{UncompressedSize} - CompressedSize);
    const auto scaled = static_cast<int32_t>(int64_t{saved} * 100);
    const double ratio = std::trunc(static_cast<double>(scaled) / UncompressedSize);
    // Only INT32_MIN / -1 leaves the 32-bit range; it wraps like the rest.
    Ratio = static_cast<int32_t>(static_cast<int64_t>(ratio));
}

// --- TMPKDirectoryEntryList --------------------------------------------------------

int TMPKDirectoryEntryList::IndexOf(std::string_view name) const
{
    for (size_t i = 0; i < m_Entries.size(); ++i)
        if (SameTextIgnoringCase(m_Entries[i]->Name, name))
            return static_cast<int>(i);
    return -1;
}

const TMPKDirectoryEntry& TMPKDirectoryEntryList::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return *m_Entries[static_cast<size_t>(index)];
}

// --- TMPKFile ----------------------------------------------------------------------

TMPKFile::TMPKFile(const std::string& path)
{
    SetFileName(path);
}

TMPKFile::~TMPKFile()
{
    Close();
}

void TMPKFile::SetFileName(const std::string& path)
{
    Close();
    m_FileName = path;
    Load();
}

void TMPKFile::Close()
{
    m_File.reset();
    m_Directory.Clear();
    m_ArchiveName.clear();
    m_Loaded = false;
    m_FileSize = 0;
}

void TMPKFile::Fail(const std::string& what) const
{
    throw EMPKError(m_FileName + ": " + what);
}

void TMPKFile::Load()
{
    if (m_FileName.empty() || m_Loaded)
        return;
    m_File = std::make_unique<TFileStream>(m_FileName, TFileMode::OpenRead);
    m_FileSize = m_File->Size();

    std::array<char, MPKMagic.size()> magic{};
    const int64_t got = m_File->Read(magic.data(), static_cast<int64_t>(magic.size()));
    if (got != static_cast<int64_t>(magic.size()) || std::string_view(magic.data(), magic.size()) != MPKMagic)
        throw EMPKError("Not an MPAK file");

    m_File->SetPosition(MPKNameBlockStart);
    ReadArchiveName();
    std::vector<uint8_t> directory = ReadDirectoryBlock();
    const int64_t dataStart = m_File->Position();

    // A partial record at the end of a damaged directory is ignored.
    const size_t records = directory.size() / MPKRecordSize;
    for (size_t i = 0; i < records; ++i) {
        const std::span<uint8_t, MPKRecordSize> record(directory.data() + i * MPKRecordSize, MPKRecordSize);
        const auto offset = static_cast<uint32_t>(ReadLE32(record, MPKRecord::Offset) + static_cast<uint64_t>(dataStart));
        WriteLE32(record, MPKRecord::Offset, offset);
        m_Directory.Add(std::make_unique<TMPKDirectoryEntry>(record));
    }
    m_Loaded = true;
}

void TMPKFile::ReadArchiveName()
{
    std::array<char, MPKMaxArchiveName> name;
    TDecompressionStream inflater(*m_File);
    const int64_t length = inflater.Read(name.data(), static_cast<int64_t>(name.size()));
    m_ArchiveName.assign(name.data(), static_cast<size_t>(length));
    // A full buffer may or may not be the whole block: one more byte tells. Either way
    // the file is left just after the block, as the directory block needs it.
    char more = 0;
    if (length == MPKMaxArchiveName && inflater.Read(&more, 1) != 0)
        Fail("archive name block longer than " + std::to_string(MPKMaxArchiveName) + " bytes");
}

std::vector<uint8_t> TMPKFile::ReadDirectoryBlock()
{
    TMemoryStream directory;
    TDecompressionStream inflater(*m_File);
    std::array<uint8_t, DirectoryPieceSize> piece;
    int64_t got = 0;
    while ((got = inflater.Read(piece.data(), DirectoryPieceSize)) > 0) {
        if (directory.Size() + got > MaxDirectoryBytes)
            Fail("directory block larger than " + std::to_string(MaxDirectoryBytes) + " bytes");
        directory.WriteBuffer(piece.data(), got);
    }
    return directory.Bytes();
}

const TMPKDirectoryEntry& TMPKFile::Find(std::string_view member) const
{
    const int index = m_Directory.IndexOf(member);
    if (index == -1)
        throw EMPKError("Source stream [" + std::string(member) + "] not found in archive");
    return m_Directory.Items(index);
}

void TMPKFile::Extract(const TMPKDirectoryEntry& entry, TStream& destination)
{
    // The position would not move at all; reading from wherever the last extraction
    // stopped would hand out the wrong bytes.
    if (entry.Offset < 0)
        Fail("member [" + entry.Name + "] starts before the beginning of the file");
    m_File->SetPosition(entry.Offset);
    TDecompressionStream inflater(*m_File);
    std::vector<uint8_t> piece(static_cast<size_t>(FirstExtractPieceSize));
    int64_t got = 0;
    while ((got = inflater.Read(piece.data(), static_cast<int64_t>(piece.size()))) > 0) {
        destination.WriteBuffer(piece.data(), got);
        if (got == static_cast<int64_t>(piece.size()) && got < MaxExtractPieceSize)
            piece.resize(piece.size() * 2);
    }
}

void TMPKFile::ExtractToStream(std::string_view member, TStream& destination)
{
    Extract(Find(member), destination);
}

std::unique_ptr<TMemoryStream> TMPKFile::ExtractToMemory(std::string_view member)
{
    const TMPKDirectoryEntry& entry = Find(member);
    auto memory = std::make_unique<TMemoryStream>();
    // The recorded size is only a hint: trusted no further than what the bytes left in
    // the file could inflate to.
    const int64_t available = std::max<int64_t>(m_FileSize - entry.Offset, 0);
    const int64_t plausible = std::min({available * MaxInflateRatio, MaxReserveBytes, int64_t{entry.UncompressedSize}});
    memory->Reserve(plausible);
    Extract(entry, *memory);
    memory->SetPosition(0);
    return memory;
}

void TMPKFile::ExtractToFile(std::string_view member, const std::string& path)
{
    TFileStream file(path, TFileMode::Create);
    ExtractToStream(member, file);
}

void TMPKFile::ExtractToDirectory(std::string_view member, const std::string& directory)
{
    std::string path = directory;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += member;
    ExtractToFile(member, path);
}

}  // namespace orv
