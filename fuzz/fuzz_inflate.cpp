// Fuzz target of TDecompressionStream over a TMemoryStream.
//
// Input: one control byte, then the source bytes. The control byte picks the read size
// (bits 0-2) and the seeks tried along the way (bits 3-4). Up to four zlib streams are
// read back to back, each by a new object, as the archive reader does. Without seeks the
// output and the end position are checked against zlib's own inflate of the same bytes.
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "formats/zlib2.h"

namespace {

using namespace orv;

constexpr int64_t MaxOutputPerStream = 256 << 10;
constexpr int MaxStreams = 4;
constexpr std::array<int64_t, 8> ReadSizes = {1, 7, 100, 1000, 4096, 4097, 65536, 200000};

// An invariant of the stream: breaking it is a finding, reported like a crash.
#define Require(condition)                                                          \
    do {                                                                            \
        if (!(condition)) {                                                         \
            std::fprintf(stderr, "fuzz_inflate: %s failed (line %d)\n", #condition, __LINE__); \
            std::abort();                                                           \
        }                                                                           \
    } while (false)

// What zlib itself makes of the bytes at `data`: the output (up to the cap), whether the
// stream ended, failed, or was still going when the input or the cap ran out.
struct TReference {
    std::vector<uint8_t> Output;
    bool Ended = false;
    bool Failed = false;
    bool Capped = false;
    size_t Consumed = 0;
};

TReference Inflate(const uint8_t* data, size_t size)
{
    TReference ref;
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        std::abort();
    // One buffer for every run: filling a fresh one each time would cost more than the run.
    static std::vector<uint8_t> buffer(static_cast<size_t>(MaxOutputPerStream));
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = buffer.data();
    z.avail_out = static_cast<uInt>(buffer.size());
    const int result = inflate(&z, Z_NO_FLUSH);
    ref.Ended = result == Z_STREAM_END;
    // Z_BUF_ERROR: nothing to do with no input at all, which is a stream cut short.
    ref.Failed = result == Z_NEED_DICT || (result < 0 && result != Z_BUF_ERROR);
    ref.Capped = result == Z_OK && z.avail_out == 0;
    ref.Output.assign(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(z.total_out));
    ref.Consumed = z.total_in;
    inflateEnd(&z);
    return ref;
}

// Reads one zlib stream; returns whether the next one may follow.
bool ReadOneStream(TMemoryStream& source, uint8_t control)
{
    const int64_t start = source.Position();
    const int64_t piece = ReadSizes[control & 7];
    const int seeks = (control >> 3) & 3;
    const bool checked = seeks == 0;
    const auto* bytes = source.Memory() + start;
    const TReference ref = checked ? Inflate(bytes, static_cast<size_t>(source.Size() - start)) : TReference{};

    std::vector<uint8_t> out;
    std::vector<uint8_t> buffer(static_cast<size_t>(piece));
    bool failed = false;
    try {
        TDecompressionStream inflater(source);
        int64_t got = 0;
        bool sought = false;
        while (static_cast<int64_t>(out.size()) < MaxOutputPerStream
               && (got = inflater.Read(buffer.data(), piece)) > 0) {
            out.insert(out.end(), buffer.begin(), buffer.begin() + got);
            Require(inflater.Position() == static_cast<int64_t>(out.size()) || !checked);
            if (!sought && (seeks & 1)) {
                sought = true;
                inflater.Seek(control * 37, TSeekOrigin::Current);
            }
            if (!sought && (seeks & 2)) {
                sought = true;
                Require(inflater.Seek(0, TSeekOrigin::Beginning) == 0);
            }
        }
        Require(source.Position() >= 0 && source.Position() <= source.Size());
    } catch (const Exception&) {
        failed = true;
    }
    if (!checked)
        return false;
    if (ref.Capped || static_cast<int64_t>(out.size()) >= MaxOutputPerStream)
        return false;
    // The same bytes come out as far as either got, and both fail or both do not.
    const size_t common = std::min(out.size(), ref.Output.size());
    Require(std::equal(out.begin(), out.begin() + static_cast<ptrdiff_t>(common), ref.Output.begin()));
    // Damage may sit in bits zlib has already taken in when the source runs out; the
    // stream then ends quietly, as for any source that ends early, where zlib (called
    // once more) reports the damage.
    if (failed)
        Require(ref.Failed);
    else if (ref.Failed)
        Require(source.Position() == source.Size());
    if (ref.Ended) {
        Require(out == ref.Output);
        Require(source.Position() == start + static_cast<int64_t>(ref.Consumed));
        return source.Position() > start;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    TMemoryStream source;
    source.Write(data + 1, static_cast<int64_t>(size - 1));
    source.SetPosition(0);
    for (int i = 0; i < MaxStreams && ReadOneStream(source, data[0]); ++i) {
    }
    return 0;
}
