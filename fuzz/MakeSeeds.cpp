// Writes the seed inputs of the fuzz targets sector, dxt, convert and zone from the sample
// game (orvandel-mkgame), kept small: pictures cut to a few pixels, heightmaps to their
// first scan lines.
//
//   fuzz_make_seeds GAMEDIR <source>/fuzz/corpus
//
// The output depends only on the sample game, so the seeds can be made again at any time.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/MPKFile.h"
#include "formats/Pictures.h"
#include "formats/Stream.h"
#include "writers/ImageWriters.h"
#include "writers/MPKWriter.h"
#include "zone/Heightfield.h"
#include "zone/TextureImages.h"
#include "zone/WaterRegions.h"
#include "zone/ZonePaths.h"

namespace {

namespace fs = std::filesystem;
using namespace orv;
using Bytes = std::vector<uint8_t>;

constexpr int SampleZones[] = {111, 5, 112};
constexpr int DDSTileZone = 111, BitmapTileZone = 112;
constexpr size_t PCXHeaderBytes = 128;
// Encoded heightmap bytes kept after the header: a few scan lines; the reader repeats
// the last byte for the rest.
constexpr size_t HeightmapBytesKept = 600;
constexpr int ZoneTileSide = 4;      // pixels of each tile in the zone seeds
constexpr int PictureSide = 8;       // pixels of the picture seeds
constexpr int OddSide = 6;           // partial blocks at the right and bottom edges
constexpr uint32_t Timestamp = 1768471200;
constexpr ptrdiff_t DDSFileHeaderBytes = 128;   // the magic and the header

// The convert target's first byte picks the file name's extension.
enum TExtension : uint8_t { Tga, Bmp, Dds, Pcx };

void Write(const fs::path& path, const Bytes& bytes)
{
    fs::create_directories(path.parent_path());
    WriteWholeFile(path.string(), bytes.data(), bytes.size());
    std::printf("%s: %zu bytes\n", path.string().c_str(), bytes.size());
}

Bytes Member(TMPKFile& archive, const std::string& name)
{
    return archive.ExtractToMemory(name)->Bytes();
}

// The top-left side x side pixels of a picture (or less where it is smaller).
TImage Crop(const TImage& image, int side, int left = 0, int top = 0)
{
    TImage out{std::min(side, image.Width - left), std::min(side, image.Height - top), image.Channels, {}};
    for (int y = 0; y < out.Height; ++y) {
        const auto row = image.Pixels.begin() + (size_t(top + y) * size_t(image.Width) + size_t(left)) * size_t(image.Channels);
        out.Pixels.insert(out.Pixels.end(), row, row + out.Width * image.Channels);
    }
    return out;
}

Bytes WithPrefix(std::initializer_list<uint8_t> prefix, const Bytes& rest)
{
    Bytes out(prefix);
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

void AppendFile(Bytes& input, const Bytes& file)
{
    const uint32_t size = static_cast<uint32_t>(file.size());
    for (int shift = 0; shift < 32; shift += 8)
        input.push_back(static_cast<uint8_t>(size >> shift));
    input.insert(input.end(), file.begin(), file.end());
}

Bytes HeightmapStart(const Bytes& pcx)
{
    return Bytes(pcx.begin(), pcx.begin() + static_cast<std::ptrdiff_t>(std::min(pcx.size(), PCXHeaderBytes + HeightmapBytesKept)));
}

// Grey palette indices of a picture's first channel.
Bytes Indices(const TImage& image)
{
    Bytes out;
    for (size_t i = 0; i < image.Pixels.size(); i += size_t(image.Channels))
        out.push_back(image.Pixels[i]);
    return out;
}

Bytes GreyPalette()
{
    Bytes palette;
    for (int i = 0; i < 256; ++i)
        palette.insert(palette.end(), 3, static_cast<uint8_t>(i));
    return palette;
}

// The DXT blocks of a DDS file after its header, with the dxt target's header in front.
Bytes DXTInput(uint8_t selector, const TImage& picture, uint32_t fourCC)
{
    const Bytes dds = EncodeDDS(picture, fourCC);
    Bytes input{selector, static_cast<uint8_t>(picture.Width), 0, static_cast<uint8_t>(picture.Height), 0};
    input.insert(input.end(), dds.begin() + DDSFileHeaderBytes, dds.end());
    return input;
}

void MakeSeeds(const std::string& gameDir, const fs::path& corpus)
{
    // sector: every sample zone's water definitions.
    for (const int zone : SampleZones) {
        TMPKFile data(ZoneArchivePath(gameDir, zone, TZoneArchive::Data));
        Write(corpus / "sector" / ("zone" + std::to_string(zone) + ".dat"), Member(data, std::string(SectorMember)));
    }

    TMPKFile textures(ZoneArchivePath(gameDir, DDSTileZone, TZoneArchive::Texture));
    const TImage tile = LoadTileImage(textures, 0, 0);
    const TImage tileCrop = Crop(tile, PictureSide, tile.Width / 2, tile.Height / 2);
    const TImage water = LoadWaterTextureImage(gameDir);
    const std::string skyPath = ResolvePathIgnoringCase(gameDir, SkyTextureFile);
    TFileStream skyFile(skyPath, TFileMode::OpenRead);
    const TImage sky = Crop(DecodeTGAPicture(skyFile), PictureSide);

    // dxt: a sample tile's pixels in each format; an odd size with partial blocks.
    Write(corpus / "dxt" / "dxt1.bin", DXTInput(0, tileCrop, FourCCDXT1));
    Write(corpus / "dxt" / "dxt3.bin", DXTInput(1, Crop(sky, PictureSide), FourCCDXT3));
    Write(corpus / "dxt" / "dxt5.bin", DXTInput(2, Crop(sky, PictureSide), FourCCDXT5));
    Write(corpus / "dxt" / "dxt1_6x6.bin", DXTInput(0, Crop(tileCrop, OddSide), FourCCDXT1));

    // convert: the first byte picks the extension.
    Write(corpus / "convert" / "sky_rle32.tga", WithPrefix({Tga}, EncodeTGA(sky, true, true)));
    Write(corpus / "convert" / "water24.tga", WithPrefix({Tga}, EncodeTGA(Crop(water, PictureSide), false, false)));
    Write(corpus / "convert" / "tile24.bmp", WithPrefix({Bmp}, EncodeBMP24(tileCrop)));
    Write(corpus / "convert" / "tile8.bmp",
          WithPrefix({Bmp}, EncodeBMP8(tileCrop.Width, tileCrop.Height, Indices(tileCrop), GreyPalette())));
    Write(corpus / "convert" / "tile_dxt1.dds", WithPrefix({Dds}, EncodeDDS(tileCrop, FourCCDXT1)));
    Write(corpus / "convert" / "sky_dxt5.dds", WithPrefix({Dds}, EncodeDDS(sky, FourCCDXT5)));
    Write(corpus / "convert" / "tile.pcx",
          WithPrefix({Pcx}, EncodePCX8(tileCrop.Width, tileCrop.Height, Indices(tileCrop), GreyPalette())));

    // zone: each sample zone's data archive with its heightmaps cut short, its tiles cut
    // to a few pixels (DDS or BMP as the zone has them), and the water texture.
    const Bytes waterFile = EncodeTGA(Crop(water, ZoneTileSide), false, false);
    for (const int zone : {DDSTileZone, BitmapTileZone}) {
        TMPKFile data(ZoneArchivePath(gameDir, zone, TZoneArchive::Data));
        const std::vector<TMPKMember> dataMembers = {
            {std::string(TerrainMember), HeightmapStart(Member(data, std::string(TerrainMember))), Timestamp},
            {std::string(OffsetMember), HeightmapStart(Member(data, std::string(OffsetMember))), Timestamp},
            {std::string(SectorMember), Member(data, std::string(SectorMember)), Timestamp}};
        TMPKFile zoneTextures(ZoneArchivePath(gameDir, zone, TZoneArchive::Texture));
        std::vector<TMPKMember> tileMembers;
        for (int py = 0; py < PatchesPerSide; ++py)
            for (int px = 0; px < PatchesPerSide; ++px) {
                const TImage small = Crop(LoadTileImage(zoneTextures, px, py), ZoneTileSide);
                const bool dds = zone == DDSTileZone;
                tileMembers.push_back({dds ? TileMemberName(px, py) : TileBitmapMemberName(px, py),
                                       dds ? EncodeDDS(small, FourCCDXT1) : EncodeBMP24(small), Timestamp});
            }
        Bytes input;
        AppendFile(input, BuildMPK("dat" + std::to_string(zone), dataMembers));
        AppendFile(input, BuildMPK("tex" + std::to_string(zone), tileMembers));
        input.insert(input.end(), waterFile.begin(), waterFile.end());
        Write(corpus / "zone" / ("zone" + std::to_string(zone) + ".bin"), input);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_make_seeds GAMEDIR CORPUSDIR\n");
        return 2;
    }
    try {
        MakeSeeds(IncludeTrailingPathDelimiter(argv[1]), argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz_make_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
