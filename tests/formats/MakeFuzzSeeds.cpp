// Writes the seed inputs of the fuzz targets fuzz_mpk and fuzz_inflate:
//
//   formats_make_fuzz_seeds <source>/fuzz/corpus
//
// fills <dir>/mpk and <dir>/inflate with a few small valid and damaged inputs. The
// output is deterministic, so the committed seeds can be made again at any time.
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "formats/MPKFile.h"
#include "formats/Stream.h"
#include "writers/MPKWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& text)
{
    return {text.begin(), text.end()};
}

Bytes Noise(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes out(size);
    for (auto& byte : out)
        byte = static_cast<uint8_t>(random());
    return out;
}

Bytes Compress(std::span<const uint8_t> data, int level = 9)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level);
    out.resize(size);
    return out;
}

Bytes Join(std::initializer_list<std::span<const uint8_t>> parts)
{
    Bytes out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Record(const std::string& name, int64_t offset, uint32_t size)
{
    Bytes record(orv::MPKRecordSize, 0);
    std::memcpy(record.data(), name.data(), std::min<size_t>(name.size(), 256));
    const auto put = [&](int at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            record[static_cast<size_t>(at + i)] = static_cast<uint8_t>(value >> (8 * i));
    };
    put(orv::MPKRecord::UncompressedSize, size);
    put(orv::MPKRecord::Offset, static_cast<uint32_t>(offset));
    put(orv::MPKRecord::CompressedSize, size);
    return record;
}

Bytes RawArchive(std::span<const uint8_t> directory, std::span<const uint8_t> data, const std::string& name = "raw")
{
    return Join({Text("MPAK"), Bytes(17, 0), Compress(Text(name)), Compress(directory), data});
}

Bytes DictionaryStream()
{
    const Bytes dictionary = Text("terrain water sky");
    const Bytes data = Text("terrain water sky terrain water");
    z_stream z{};
    deflateInit(&z, 9);
    deflateSetDictionary(&z, dictionary.data(), static_cast<uInt>(dictionary.size()));
    Bytes out(256);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

void Save(const std::filesystem::path& path, const Bytes& bytes)
{
    orv::WriteWholeFile(path.string(), bytes.data(), bytes.size());
    std::printf("%s: %zu bytes\n", path.string().c_str(), bytes.size());
}

void MakeArchiveSeeds(const std::filesystem::path& dir)
{
    const Bytes text = Text("[river01]\nheight=1000\ncolor=0x00ff8040\n[river01]\n");
    const std::vector<orv::TMPKMember> members = {
        {"sector.dat", text, 946684800u}, {"terrain.pcx", Noise(300, 1), 0}, {"empty", {}, 0}};
    const Bytes valid = orv::BuildMPK("dat111", members);
    Save(dir / "valid.mpk", valid);
    Save(dir / "stored.mpk", orv::BuildMPK("tex111", members, 0));
    Save(dir / "empty_directory.mpk", orv::BuildMPK("empty", {}));
    Save(dir / "duplicates.mpk", orv::BuildMPK("dup", {{"a.txt", Text("first"), 1}, {"A.TXT", Text("second"), 2}}));

    Bytes truncated = valid;
    truncated.resize(valid.size() - 150);
    Save(dir / "truncated.mpk", truncated);
    Bytes badMagic = valid;
    std::memcpy(badMagic.data(), "mpak", 4);
    Save(dir / "bad_magic.mpk", badMagic);
    Bytes damaged = valid;
    damaged[valid.size() - 200] ^= 0xFF;
    damaged[valid.size() - 20] ^= 0x5A;
    Save(dir / "damaged_member.mpk", damaged);

    const Bytes packed = Compress(text);
    Save(dir / "partial_record.mpk",
         RawArchive(Join({Record("sector.dat", 0, static_cast<uint32_t>(text.size())), Bytes(100, 'x')}), packed));
    Save(dir / "odd_offsets.mpk",
         RawArchive(Join({Record("beyond", 1 << 30, 0x7FFFFFFF), Record("before", -100000, 5),
                          Record("inside", -8, 5), Record("good", 0, static_cast<uint32_t>(text.size()))}),
                    packed));
    Save(dir / "name_1024.mpk", orv::BuildMPK(std::string(1024, 'n'), members));
    Save(dir / "name_1025.mpk", RawArchive(Record("sector.dat", 0, static_cast<uint32_t>(text.size())), packed,
                                           std::string(1025, 'n')));
}

// The inflate target reads its first byte as the way to read (see fuzz_inflate.cpp).
void MakeInflateSeeds(const std::filesystem::path& dir)
{
    const Bytes text = Text("zone terrain water sky tile height offset sector river lake zone terrain water sky");
    const Bytes packed = Compress(text);
    const auto seed = [&](const char* name, uint8_t control, const Bytes& stream) {
        Save(dir / name, Join({Bytes{control}, stream}));
    };
    seed("text.bin", 0, packed);
    seed("noise.bin", 3, Compress(Noise(600, 2)));
    seed("stored.bin", 4, Compress(Noise(300, 3), 0));
    seed("empty.bin", 1, Compress({}));
    seed("back_to_back.bin", 2, Join({packed, Compress(Noise(100, 4), 1), Compress(text, 0)}));
    Bytes truncated = packed;
    truncated.resize(packed.size() / 2);
    seed("truncated.bin", 0, truncated);
    Bytes damaged = packed;
    damaged[damaged.size() - 1] ^= 0x01;
    seed("bad_checksum.bin", 1, damaged);
    seed("dictionary.bin", 0, DictionaryStream());
    seed("seek_forward.bin", 0x08 | 2, packed);
    seed("seek_restart.bin", 0x10 | 1, Join({packed, Text("tail")}));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <fuzz corpus directory>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    std::filesystem::create_directories(root / "mpk");
    std::filesystem::create_directories(root / "inflate");
    MakeArchiveSeeds(root / "mpk");
    MakeInflateSeeds(root / "inflate");
    return 0;
}
