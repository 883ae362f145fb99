// zlib2: TDecompressionStream, a read-only, forward-only stream that inflates one
// zlib-framed stream read from another stream.
//
// When the zlib stream ends, the source is left on the first byte after its Adler-32
// trailer, although the source is read ahead in 64 KiB pieces; the archive reader relies
// on this to find blocks stored back to back.
//
//   TDecompressionStream inflater(file);
//   while ((n = inflater.Read(buffer, sizeof buffer)) > 0) ...
#pragma once

#include <zlib.h>

#include <array>

#include "formats/Stream.h"

namespace orv {

class EZlibError : public Exception { using Exception::Exception; };
class EDecompressionError : public EZlibError { using EZlibError::EZlibError; };

class TCustomZlibStream : public TStream {
protected:
    explicit TCustomZlibStream(TStream& source);

    TStream& m_Source;               // not owned
    int64_t m_SourcePosition = 0;    // the source's position after the last refill
    z_stream m_Zlib{};
    std::array<Bytef, 65536> m_Input{};
};

class TDecompressionStream : public TCustomZlibStream {
public:
    // Raises EDecompressionError "error" when the inflater cannot be initialised.
    explicit TDecompressionStream(TStream& source);
    ~TDecompressionStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    // Always raises EDecompressionError "Invalid stream operation".
    int64_t Write(const void* buffer, int64_t count) override;
    // 0 from the beginning restarts; forward moves decompress and discard; anything
    // else raises "Invalid stream operation". Returns the bytes produced so far.
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
};

}  // namespace orv
