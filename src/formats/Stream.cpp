#include "formats/Stream.h"

#include <cerrno>

#include <algorithm>
#include <cstring>
#include <limits>

namespace orv {

int64_t TStream::Size()
{
    const int64_t position = Seek(0, TSeekOrigin::Current);
    const int64_t size = Seek(0, TSeekOrigin::End);
    Seek(position, TSeekOrigin::Beginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    // A file that cannot take the bytes tells why ("No space left on device").
    errno = 0;
    if (count != 0 && Write(buffer, count) != count) {
        const int error = errno;
        std::string message = "Stream write error";
        if (error != 0)
            message.append(" (").append(std::strerror(error)).append(")");
        throw EWriteError(message);
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count <= 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr int64_t PieceSize = 65536;
    std::vector<uint8_t> piece(static_cast<size_t>(std::min(count, PieceSize)));
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min(left, PieceSize);
        source.ReadBuffer(piece.data(), n);
        WriteBuffer(piece.data(), n);
        left -= n;
    }
    return count;
}

// --- TMemoryStream -------------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count)
{
    const int64_t available = Size() - m_Position;
    const int64_t n = std::clamp<int64_t>(count, 0, std::max<int64_t>(available, 0));
    if (n > 0)
        std::memcpy(buffer, m_Data.data() + m_Position, static_cast<size_t>(n));
    m_Position += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    if (count > std::numeric_limits<int64_t>::max() - m_Position)
        return 0;
    const int64_t end = m_Position + count;
    const auto* in = static_cast<const uint8_t*>(buffer);
    if (m_Position > Size())
        m_Data.resize(static_cast<size_t>(m_Position));   // the gap reads as zeros
    // Overwrite what is there, append the rest (appending fills nothing twice).
    const int64_t overlap = std::min(count, Size() - m_Position);
    if (overlap > 0)
        std::memcpy(m_Data.data() + m_Position, in, static_cast<size_t>(overlap));
    m_Data.insert(m_Data.end(), in + overlap, in + count);
    m_Position = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const int64_t base = origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? m_Position : Size();
    // base is never negative, so only a move past the largest position can overflow.
    int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target))
        target = std::numeric_limits<int64_t>::max();
    m_Position = std::max<int64_t>(target, 0);
    return m_Position;
}

void TMemoryStream::SetSize(int64_t size)
{
    m_Data.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
    m_Position = std::min(m_Position, Size());
}

void TMemoryStream::Reserve(int64_t capacity)
{
    if (capacity > 0)
        m_Data.reserve(static_cast<size_t>(capacity));
}

void TMemoryStream::Clear()
{
    m_Data.clear();
    m_Position = 0;
}

// --- TFileStream ---------------------------------------------------------------

TFileStream::TFileStream(const std::string& path, TFileMode mode) : m_FileName(path)
{
    platform::TError error;
    m_Own = platform::TFile::Open(path,
                                  mode == TFileMode::OpenRead        ? platform::TOpenMode::Read
                                  : mode == TFileMode::OpenReadWrite ? platform::TOpenMode::ReadWrite
                                                                     : platform::TOpenMode::Create,
                                  error);
    if (mode == TFileMode::Create && error)
        throw EFCreateError("Cannot create file " + path + error.Detail());
    if (error)
        throw EFOpenError("Cannot open file " + path + error.Detail());
}

int64_t TFileStream::Read(void* buffer, int64_t count) { return m_File->Read(buffer, count); }

int64_t TFileStream::Write(const void* buffer, int64_t count) { return m_File->Write(buffer, count); }

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    return m_File->Seek(offset, origin == TSeekOrigin::Beginning ? platform::TFile::TOrigin::Beginning
                                : origin == TSeekOrigin::Current ? platform::TFile::TOrigin::Current
                                                                 : platform::TFile::TOrigin::End);
}

std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    TFileStream file(path, TFileMode::OpenRead);
    std::vector<uint8_t> data(static_cast<size_t>(file.Size()));
    file.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
    return data;
}

void WriteWholeFile(const std::string& path, const void* data, size_t size)
{
    platform::TAtomicFile file;
    if (const platform::TError error = file.Begin(path))
        throw EFCreateError("Cannot create file " + path + error.Detail());
    try {
        TFileStream stream(file.File(), path);
        stream.WriteBuffer(data, static_cast<int64_t>(size));
    } catch (EWriteError& e) {
        e.NameSource(path);   // the temporary file goes with `file`
        throw;
    }
    if (const platform::TError error = file.Commit())
        throw EWriteError("Cannot write file " + path + error.Detail());
}

}  // namespace orv
