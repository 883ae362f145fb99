#include "formats/zlib2.h"

#include <algorithm>
#include <climits>
#include <string>

namespace orv {

namespace {

// zlib's failures all raise "error"; what went wrong follows in brackets.
const char* const ErrorMessage = "error";
const char* const InvalidOperationMessage = "Invalid stream operation";

}  // namespace

TCustomZlibStream::TCustomZlibStream(TStream& source)
    : m_Source(source), m_SourcePosition(source.Position())
{
    m_Zlib.next_in = m_Input.data();
    m_Zlib.avail_in = 0;
}

int TDecompressionStream::Check(int result)
{
    if (result >= 0 && result != Z_NEED_DICT)
        return result;
    std::string message = ErrorMessage;
    switch (result) {
    case Z_DATA_ERROR:
    case Z_NEED_DICT: message += " (damaged compressed data)"; break;
    case Z_MEM_ERROR: message += " (out of memory)"; break;
    default: break;
    }
    throw EDecompressionError(message);
}

TDecompressionStream::TDecompressionStream(TStream& source) : TCustomZlibStream(source)
{
    // zlib's default allocator (the general heap) and default window.
    Check(inflateInit(&m_Zlib));
}

TDecompressionStream::~TDecompressionStream()
{
    inflateEnd(&m_Zlib);
}

int64_t TDecompressionStream::Read(void* buffer, int64_t count)
{
    count = std::max<int64_t>(count, 0);
    auto* out = static_cast<Bytef*>(buffer);
    int64_t left = count;   // output not yet handed to zlib
    // zlib counts output in unsigned int; hand it the buffer in pieces it can count.
    const auto nextPiece = [&] {
        const auto piece = static_cast<uInt>(std::min<int64_t>(left, UINT_MAX));
        m_Zlib.next_out = out;
        m_Zlib.avail_out = piece;
        out += piece;
        left -= piece;
    };
    const auto produced = [&] { return count - left - m_Zlib.avail_out; };
    nextPiece();

    if (m_Source.Position() != m_SourcePosition)
        m_Source.SetPosition(m_SourcePosition);

    while (m_Zlib.avail_out > 0) {
        if (m_Zlib.avail_in == 0) {
            const int64_t got = m_Source.Read(m_Input.data(), static_cast<int64_t>(m_Input.size()));
            if (got <= 0)
                return produced();   // the source ended first: whatever came out
            m_Zlib.next_in = m_Input.data();
            m_Zlib.avail_in = static_cast<uInt>(got);
            m_SourcePosition = m_Source.Position();
            if (OnProgress)
                OnProgress(*this);
        }
        if (Check(inflate(&m_Zlib, Z_NO_FLUSH)) == Z_STREAM_END) {
            // Give back what was read ahead, so the source stands just after the trailer.
            m_Source.Seek(-static_cast<int64_t>(m_Zlib.avail_in), TSeekOrigin::Current);
            m_Ended = true;
            return produced();
        }
        if (m_Zlib.avail_out == 0 && left > 0)
            nextPiece();
    }
    return count;
}

int64_t TDecompressionStream::Write(const void*, int64_t)
{
    throw EDecompressionError(InvalidOperationMessage);
}

int64_t TDecompressionStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const auto producedSoFar = static_cast<int64_t>(m_Zlib.total_out);
    if (offset == 0 && origin == TSeekOrigin::Beginning) {
        Check(inflateReset(&m_Zlib));
        m_Zlib.next_in = m_Input.data();
        m_Zlib.avail_in = 0;
        m_Source.SetPosition(0);
        m_SourcePosition = 0;
        m_Ended = false;
    } else if ((origin == TSeekOrigin::Current && offset >= 0)
               || (origin == TSeekOrigin::Beginning && offset > producedSoFar)) {
        if (origin == TSeekOrigin::Beginning)
            offset -= producedSoFar;
        std::array<Bytef, SkipPieceSize> scratch;
        for (int64_t i = 0; i < offset / SkipPieceSize; ++i)
            ReadBuffer(scratch.data(), SkipPieceSize);
        ReadBuffer(scratch.data(), offset % SkipPieceSize);
    } else {
        throw EDecompressionError(InvalidOperationMessage);
    }
    return static_cast<int64_t>(m_Zlib.total_out);
}

}  // namespace orv
