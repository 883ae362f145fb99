#include "formats/Stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // O_NONBLOCK: opening a FIFO must not wait for its other end; only regular files are
    // kept (a FIFO, a device or a directory would block, never end, or have no size).
    constexpr int Flags = O_CLOEXEC | O_NONBLOCK;
    switch (mode) {
    case TFileMode::OpenRead: m_Handle = ::open(path.c_str(), O_RDONLY | Flags); break;
    case TFileMode::OpenReadWrite: m_Handle = ::open(path.c_str(), O_RDWR | Flags); break;
    case TFileMode::Create: m_Handle = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | Flags, 0644); break;
    }
    auto fail = [&](const std::string& reason) {
        if (mode == TFileMode::Create)
            throw EFCreateError("Cannot create file " + path + reason);
        throw EFOpenError("Cannot open file " + path + reason);
    };
    if (m_Handle < 0)
        fail("");
    struct stat status {};
    if (::fstat(m_Handle, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(m_Handle);
        m_Handle = -1;
        const char* what = S_ISDIR(status.st_mode) ? "a directory" : S_ISFIFO(status.st_mode) ? "a FIFO"
                           : S_ISSOCK(status.st_mode)                                          ? "a socket"
                                                                                               : "a device";
        fail(std::string(" (").append(what).append(", not a regular file)"));
    }
    // Reads and writes of a regular file block as usual.
    ::fcntl(m_Handle, F_SETFL, ::fcntl(m_Handle, F_GETFL) & ~O_NONBLOCK);
}

TFileStream::~TFileStream()
{
    if (m_Handle >= 0)
        ::close(m_Handle);
}

int64_t TFileStream::Read(void* buffer, int64_t count)
{
    int64_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(m_Handle, out + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count)
{
    int64_t done = 0;
    const auto* in = static_cast<const uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(m_Handle, in + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const int whence = origin == TSeekOrigin::Beginning ? SEEK_SET : origin == TSeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(m_Handle, static_cast<off_t>(offset), whence);
    if (result < 0)
        return ::lseek(m_Handle, 0, SEEK_CUR);
    return result;
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
    TFileStream file(path, TFileMode::Create);
    try {
        file.WriteBuffer(data, static_cast<int64_t>(size));
    } catch (EWriteError& e) {
        ::unlink(path.c_str());   // no half-written file stays behind
        e.NameSource(path);
        throw;
    }
}

}  // namespace orv
