// zlib2: TDecompressionStream, a read-only, forward-only stream that inflates one
// zlib-framed stream (RFC 1950) read from another stream.
//
// When the zlib stream ends, the source is left on the first byte after its Adler-32
// trailer, although the source is read ahead in 64 KiB pieces; the archive reader relies
// on this to find blocks stored back to back. Every Read first puts the source back where
// this object's last refill left it, so several of these may take turns on one source.
//
//   TDecompressionStream inflater(file);       // starts at the file's current position
//   while ((n = inflater.Read(buffer, sizeof buffer)) > 0) ...
//
// Damaged data raises EDecompressionError "error (damaged compressed data)" (zlib
// running out of memory: "error (out of memory)"); a source that ends early just ends
// the output, and Ended() tells the two ends apart. Write, backward seeks (other than to 0) and seeks from the end raise
// "Invalid stream operation"; Position() is the count of bytes produced so far.
#pragma once

#include <zlib.h>

#include <array>
#include <cstddef>
#include <functional>

#include "formats/Stream.h"

namespace orv {

class EZlibError : public Exception { using Exception::Exception; };
class EDecompressionError : public EZlibError { using EZlibError::EZlibError; };

class TCustomZlibStream : public TStream {
public:
    // Bytes read from the source per refill of the input buffer.
    static constexpr size_t InputBufferSize = 65536;

    // Called after each refill of the input buffer, with this stream.
    std::function<void(TCustomZlibStream&)> OnProgress;

protected:
    explicit TCustomZlibStream(TStream& source);

    TStream& m_Source;               // not owned
    int64_t m_SourcePosition = 0;    // the source's position after the last refill
    z_stream m_Zlib{};
    // Only ever read after a refill has filled it, so it is left uninitialised.
    std::array<Bytef, InputBufferSize> m_Input;
};

class TDecompressionStream : public TCustomZlibStream {
public:
    // Bytes decompressed and dropped per piece when seeking forward.
    static constexpr int64_t SkipPieceSize = 4096;

    // Raises EDecompressionError "error" when the inflater cannot be initialised.
    explicit TDecompressionStream(TStream& source);
    ~TDecompressionStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    // Always raises EDecompressionError "Invalid stream operation".
    int64_t Write(const void* buffer, int64_t count) override;
    // 0 from the beginning restarts at position 0 of the source; forward moves
    // decompress and discard (raising "Stream read error" when the data ends first);
    // anything else raises "Invalid stream operation". Returns the bytes produced so far.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    // Whether the zlib stream has ended (rather than the source running out first).
    bool Ended() const { return m_Ended; }
    // Compressed bytes taken from the source so far (at the end: the whole stream).
    int64_t InputUsed() const { return static_cast<int64_t>(m_Zlib.total_in); }

private:
    bool m_Ended = false;

    // Raises "error (...)" for a negative zlib result and for a stream that asks for a preset
    // dictionary (it would otherwise ask again on every call without making progress).
    static int Check(int result);
};

}  // namespace orv
