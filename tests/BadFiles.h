// BadFiles: what the tests of hostile input share: decompression bombs built in a blink,
// and work run in a child process under a memory limit.
//
//   const std::vector<uint8_t> bomb = ZeroBomb(uint64_t{1} << 30);   // ~1 MB of zlib data
//   WriteBytes(path, ArchiveOfStreams({{"terrain.pcx", bomb}, {"sector.dat", Deflate(text)}}));
//   const TChildOutcome run = RunWithMemoryLimit(64 << 20, [&] { LoadTheThing(); });
//   EXPECT_TRUE(run.Succeeded) << run.Message;
//
// RunWithMemoryLimit and MemoryLimitHolds are TestSystem's.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "formats/MPKFile.h"
#include "TestSystem.h"

namespace orv::test {

// A zlib stream (RFC 1950) that inflates to `prefix` followed by `bytes` zero bytes (a
// multiple of 1 MiB): the prefix and one deflated MiB of zeros, each flushed so that it
// stands on its own, the MiB repeated, then the final block and the Adler-32.
inline std::vector<uint8_t> ZeroBomb(uint64_t bytes, const std::vector<uint8_t>& prefix = {})
{
    constexpr uint64_t Piece = uint64_t{1} << 20;
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    const std::vector<uint8_t> zeros(Piece, 0);
    std::vector<uint8_t> out(2 * Piece + prefix.size());
    auto run = [&](const std::vector<uint8_t>& input, int flush) {
        z.next_in = const_cast<Bytef*>(input.data());
        z.avail_in = static_cast<uInt>(input.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        deflate(&z, flush);
        return std::vector<uint8_t>(out.data(), z.next_out);
    };
    const std::vector<uint8_t> head = run(prefix, Z_FULL_FLUSH);
    const std::vector<uint8_t> block = run(zeros, Z_FULL_FLUSH);
    const std::vector<uint8_t> last = run({}, Z_FINISH);
    deflateEnd(&z);

    // The zlib header (deflate, 32 KiB window, best compression), then the blocks.
    constexpr std::array<uint8_t, 2> ZlibHeader{0x78, 0xDA};
    std::vector<uint8_t> stream;
    stream.reserve(ZlibHeader.size() + head.size() + bytes / Piece * block.size() + last.size() + 4);
    for (const std::vector<uint8_t>& part : {std::vector<uint8_t>(ZlibHeader.begin(), ZlibHeader.end()), head})
        stream.insert(stream.end(), part.begin(), part.end());
    for (uint64_t done = 0; done < bytes; done += Piece)
        stream.insert(stream.end(), block.begin(), block.end());
    stream.insert(stream.end(), last.begin(), last.end());
    // Adler-32 of zeros: the sum of the bytes stays 1, the sum of the sums counts them.
    const auto zerosAdler = static_cast<uLong>(bytes % 65521) << 16 | 1u;
    const uLong adler = adler32_combine(adler32(adler32(0, nullptr, 0), prefix.data(), static_cast<uInt>(prefix.size())),
                                        zerosAdler, static_cast<z_off_t>(bytes));
    for (int shift = 24; shift >= 0; shift -= 8)
        stream.push_back(static_cast<uint8_t>(adler >> shift));
    return stream;
}

// A zlib stream of the bytes.
inline std::vector<uint8_t> Deflate(const std::vector<uint8_t>& bytes)
{
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), 9) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

inline std::vector<uint8_t> Deflate(const std::string& text) { return Deflate(std::vector<uint8_t>(text.begin(), text.end())); }

// A run-length bitmap header and an end marker: any size in a handful of bytes.
inline std::vector<uint8_t> RunLengthBMP(int side)
{
    std::vector<uint8_t> file{'B', 'M'};
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](uint32_t v) {
        file.push_back(static_cast<uint8_t>(v));
        file.push_back(static_cast<uint8_t>(v >> 8));
    };
    u32(56);   // the file's size
    u32(0);
    u32(54);   // where the data starts
    u32(40);
    u32(static_cast<uint32_t>(side));
    u32(static_cast<uint32_t>(side));
    u16(1);
    u16(8);
    u32(1);    // RLE8
    for (int i = 0; i < 5; ++i)
        u32(0);
    file.push_back(0);   // end of bitmap
    file.push_back(1);
    return file;
}

struct TStreamMember {
    std::string Name;
    std::vector<uint8_t> Stream;   // a zlib stream, stored as it is
};

// What a zlib stream inflates to, counted up to 64 MiB; a bomb beyond that counts as 0
// (no reader takes one to its end).
inline uint32_t InflatedSize(const std::vector<uint8_t>& stream)
{
    constexpr uint64_t Counted = uint64_t{64} << 20;
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return 0;
    std::vector<Bytef> scratch(1 << 20);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    int result = Z_OK;
    while (result == Z_OK && z.total_out < Counted) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        result = inflate(&z, Z_NO_FLUSH);
    }
    const uint64_t size = result == Z_STREAM_END ? z.total_out : 0;
    inflateEnd(&z);
    return static_cast<uint32_t>(size);
}

// An MPAK archive whose members are the given zlib streams, with their true sizes
// recorded (0 for a bomb, see InflatedSize).
inline std::vector<uint8_t> ArchiveOfStreams(const std::vector<TStreamMember>& members)
{
    std::vector<uint8_t> directory, data;
    for (const TStreamMember& m : members) {
        std::vector<uint8_t> record(MPKRecordSize, 0);
        std::memcpy(record.data(), m.Name.data(), std::min<size_t>(m.Name.size(), MPKRecord::NameSize));
        PutU32(record, MPKRecord::Offset, static_cast<uint32_t>(data.size()));
        PutU32(record, MPKRecord::CompressedSize, static_cast<uint32_t>(m.Stream.size()));
        PutU32(record, MPKRecord::UncompressedSize, InflatedSize(m.Stream));
        directory.insert(directory.end(), record.begin(), record.end());
        data.insert(data.end(), m.Stream.begin(), m.Stream.end());
    }
    // The magic, the header bytes no one reads, the name and directory blocks, the data.
    std::vector<uint8_t> archive(MPKNameBlockStart, 0);
    std::copy(MPKMagic.begin(), MPKMagic.end(), archive.begin());
    for (const std::vector<uint8_t>& part : {Deflate(std::string("bad files")), Deflate(directory), data})
        archive.insert(archive.end(), part.begin(), part.end());
    return archive;
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace orv::test
