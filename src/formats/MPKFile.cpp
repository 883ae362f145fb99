#include "formats/MPKFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/TextCase.h"
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
// Day number of 1970-01-01 counted from 1899-12-30, and seconds per day.
constexpr double UnixEpochDays = 25569.0;
constexpr double SecondsPerDay = 86400.0;

const char* const CutShort = "the archive is cut short";

// What a member's stream, read to its end (or to the end of the file), shows against its
// record: the file ending first, or sizes other than those recorded. Nothing when whole.
std::optional<std::string> StreamDamage(const TMPKDirectoryEntry& entry, const TDecompressionStream& inflater,
                                        int64_t produced)
{
    if (!inflater.Ended())
        return entry.Name + ": " + CutShort + " (the file ends inside the member's compressed stream)";
    if (inflater.InputUsed() != entry.CompressedSize)
        return entry.Name + ": damaged: its compressed stream takes " + std::to_string(inflater.InputUsed()) +
               " bytes, its record says " + std::to_string(entry.CompressedSize);
    if (produced != entry.UncompressedSize)
        return entry.Name + ": damaged: it inflates to " + std::to_string(produced) + " bytes, its record says " +
               std::to_string(entry.UncompressedSize);
    return std::nullopt;
}

// A member read as it inflates, from where its record points; the read that meets its
// end checks it against the record.
class TMemberStream : public TStream {
public:
    TMemberStream(TStream& archive, const std::string& fileName, const TMPKDirectoryEntry& entry)
        : m_Inflater(archive), m_FileName(fileName), m_Entry(entry)
    {
    }
    int64_t Read(void* buffer, int64_t count) override
    {
        const int64_t got = m_Inflater.Read(buffer, count);
        if (got < count && !m_Checked) {
            m_Checked = true;
            if (const auto damage = StreamDamage(m_Entry, m_Inflater, m_Inflater.Position()))
                throw EMPKError(Exception::NamedMessage(m_FileName, "", *damage));
        }
        return got;
    }
    int64_t Write(const void* buffer, int64_t count) override { return m_Inflater.Write(buffer, count); }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override { return m_Inflater.Seek(offset, origin); }

private:
    TDecompressionStream m_Inflater;
    std::string m_FileName;
    TMPKDirectoryEntry m_Entry;
    bool m_Checked = false;
};

}  // namespace

// --- TMPKDirectoryEntry ------------------------------------------------------------

TMPKDirectoryEntry::TMPKDirectoryEntry(std::span<const uint8_t, MPKRecordSize> record)
{
    const auto* nameStart = reinterpret_cast<const char*>(record.data() + MPKRecord::Name);
    const auto* nameEnd = std::find(nameStart, nameStart + MPKRecord::NameSize, '\0');
    Name.assign(nameStart, nameEnd);
    const TByteReader fields(record);
    UnixTime = fields.U32(MPKRecord::Timestamp);
    Aux1 = fields.S32(MPKRecord::Aux1);
    UncompressedSize = fields.S32(MPKRecord::UncompressedSize);
    Offset = fields.S32(MPKRecord::Offset);
    CompressedSize = fields.S32(MPKRecord::CompressedSize);
    Aux2 = fields.S32(MPKRecord::Aux2);
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
    const auto found = m_FirstByFoldedName.find(FoldCase(name));
    return found == m_FirstByFoldedName.end() ? -1 : found->second;
}

void TMPKDirectoryEntryList::Add(std::unique_ptr<TMPKDirectoryEntry> entry)
{
    // The first entry of a name keeps it.
    m_FirstByFoldedName.emplace(FoldCase(entry->Name), Count());
    m_Entries.push_back(std::move(entry));
}

void TMPKDirectoryEntryList::Clear()
{
    m_Entries.clear();
    m_FirstByFoldedName.clear();
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
    throw EMPKError(Exception::NamedMessage(m_FileName, "", what));
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
        Fail("Not an MPAK file");

    m_File->SetPosition(MPKNameBlockStart);
    const std::vector<uint8_t> directory = NamingFailures(m_FileName, "", [&] {
        ReadArchiveName();
        return ReadDirectoryBlock();
    });
    const int64_t dataStart = m_File->Position();

    if (directory.size() % MPKRecordSize != 0)
        Fail("damaged: the directory holds " + std::to_string(directory.size()) + " bytes, not whole records of " +
             std::to_string(MPKRecordSize));
    const size_t records = directory.size() / MPKRecordSize;
    std::array<uint8_t, MPKRecordSize> record;
    for (size_t i = 0; i < records; ++i) {
        std::copy_n(directory.begin() + static_cast<std::ptrdiff_t>(i * MPKRecordSize), MPKRecordSize, record.begin());
        // The record's offset counts from the data area; the entry holds it absolute
        // (wrapping in 32 bits, as the field is stored).
        const TByteReader fields(record);
        PutU32(record, MPKRecord::Offset,
               static_cast<uint32_t>(fields.U32(MPKRecord::Offset) + static_cast<uint64_t>(dataStart)));
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
    if (!inflater.Ended())
        Fail(std::string(CutShort) + " (the file ends inside the archive name block)");
}

std::vector<uint8_t> TMPKFile::ReadDirectoryBlock()
{
    std::vector<uint8_t> directory;
    TDecompressionStream inflater(*m_File);
    std::array<uint8_t, DirectoryPieceSize> piece;
    int64_t got = 0;
    while ((got = inflater.Read(piece.data(), DirectoryPieceSize)) > 0) {
        if (static_cast<int64_t>(directory.size()) + got > MPKMaxDirectoryBytes)
            Fail("directory block larger than " + std::to_string(MPKMaxDirectoryBytes) + " bytes");
        directory.insert(directory.end(), piece.begin(), piece.begin() + got);
    }
    if (!inflater.Ended())
        Fail(std::string(CutShort) + " (the file ends inside the directory block)");
    return directory;
}

const TMPKDirectoryEntry& TMPKFile::Find(std::string_view member) const
{
    const int index = m_Directory.IndexOf(member);
    if (index == -1)
        Fail("Source stream [" + std::string(member) + "] not found in archive");
    return m_Directory.Items(index);
}

std::optional<std::string> TMPKFile::MemberDamage(const TMPKDirectoryEntry& entry) const
{
    const int64_t end = int64_t{entry.Offset} + entry.CompressedSize;
    if (entry.Offset >= 0 && entry.CompressedSize >= 0 && end <= m_FileSize)
        return std::nullopt;
    return entry.Name + ": " + CutShort + " (" + entry.Name + " reaches past the end of the file: " +
           std::to_string(entry.Offset) + " + " + std::to_string(entry.CompressedSize) + " bytes of " +
           std::to_string(m_FileSize) + ")";
}

void TMPKFile::SeekMember(const TMPKDirectoryEntry& entry)
{
    // The position would not move at all; reading from wherever the last extraction
    // stopped would hand out the wrong bytes.
    if (entry.Offset < 0)
        Fail("member [" + entry.Name + "] starts before the beginning of the file");
    if (const auto damage = MemberDamage(entry))
        Fail(*damage);
    m_File->SetPosition(entry.Offset);
}

void TMPKFile::Extract(const TMPKDirectoryEntry& entry, TStream& destination, const TExtractLimit& limit)
{
    SeekMember(entry);
    NamingFailures(m_FileName, entry.Name, [&] {
        TDecompressionStream inflater(*m_File);
        std::vector<uint8_t> piece(static_cast<size_t>(FirstExtractPieceSize));
        int64_t done = 0;
        for (;;) {
            // Near a refusing limit one byte more tells whether the member goes on.
            int64_t want = static_cast<int64_t>(piece.size());
            if (limit.Bytes - done < want)
                want = limit.Bytes - done + (limit.Action == TExtractLimit::Refuse ? 1 : 0);
            if (want == 0)
                return;   // stopped by the caller's limit: the rest is never looked at
            const int64_t got = inflater.Read(piece.data(), want);
            if (got <= 0)
                break;
            if (done + got > limit.Bytes) {
                if (limit.Action == TExtractLimit::Refuse)
                    Fail(entry.Name + ": larger than " + std::to_string(limit.Bytes) + " bytes");
                return;
            }
            destination.WriteBuffer(piece.data(), got);
            done += got;
            if (got == static_cast<int64_t>(piece.size()) && got < MaxExtractPieceSize)
                piece.resize(piece.size() * 2);
        }
        if (const auto damage = StreamDamage(entry, inflater, done))
            Fail(*damage);
    });
}

void TMPKFile::ExtractToStream(std::string_view member, TStream& destination, const TExtractLimit& limit)
{
    Extract(Find(member), destination, limit);
}

std::unique_ptr<TMemoryStream> TMPKFile::ExtractToMemory(std::string_view member, const TExtractLimit& limit)
{
    const TMPKDirectoryEntry& entry = Find(member);
    auto memory = std::make_unique<TMemoryStream>();
    // The recorded size is only a hint: trusted no further than what the bytes left in
    // the file could inflate to, nor than the caller takes.
    const int64_t available = std::max<int64_t>(m_FileSize - entry.Offset, 0);
    memory->Reserve(std::min({available * MaxInflateRatio, MaxReserveBytes, limit.Bytes,
                              int64_t{entry.UncompressedSize}}));
    Extract(entry, *memory, limit);
    memory->SetPosition(0);
    return memory;
}

std::unique_ptr<TStream> TMPKFile::OpenMember(std::string_view member)
{
    const TMPKDirectoryEntry& entry = Find(member);
    SeekMember(entry);
    return NamingFailures(m_FileName, entry.Name,
                          [&] { return std::make_unique<TMemberStream>(*m_File, m_FileName, entry); });
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
