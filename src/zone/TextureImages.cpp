// TextureImages: tile members decoded in software, and the water texture file.
#include "zone/TextureImages.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "formats/MPKFile.h"
#include "formats/Pictures.h"
#include "zone/ZonePaths.h"

namespace orv {
namespace {

std::string TileName(int px, int py, const char* extension)
{
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "tex%2.2d-%2.2d.%s", px, PatchesPerSide - 1 - py, extension);
    return text.data();
}

}  // namespace

std::string TileMemberName(int px, int py) { return TileName(px, py, "dds"); }

std::string TileBitmapMemberName(int px, int py) { return TileName(px, py, "bmp"); }

uint64_t TileTextureBudget(int64_t archiveBytes)
{
    return std::max(MinTileTextureBudget,
                    static_cast<uint64_t>(std::max<int64_t>(archiveBytes, 0)) * DecodedBytesPerSourceByte);
}

TImage LoadTileImage(TMPKFile& archive, int px, int py, const TImageLimits& limits)
{
    const std::string dds = TileMemberName(px, py);
    const bool isDDS = archive.Directory().Exists(dds);
    const std::string member = isDDS ? dds : TileBitmapMemberName(px, py);
    return NamingFailures(archive.FileName(), member, [&] {
        const std::unique_ptr<TStream> stream = archive.OpenMember(member);
        // Both kinds decode top row first, which is how the renderer lays them: DDS
        // tiles with their t coordinate flipped, BMP tiles with their rows uploaded
        // bottom first.
        return isDDS ? WithoutAlpha(DecodeDDSPicture(*stream, limits)) : DecodeBitmapPicture(*stream, limits);
    });
}

TTileImages LoadTileImages(TMPKFile& archive)
{
    TTileImages tiles;
    const uint64_t budget = TileTextureBudget(archive.FileSize());
    uint64_t used = 0;
    for (int py = 0; py < PatchesPerSide; ++py)
        for (int px = 0; px < PatchesPerSide; ++px) {
            TImage& tile = tiles[static_cast<size_t>(px + PatchesPerSide * py)];
            tile = LoadTileImage(archive, px, py, {.MaxBytes = budget - used, .Budget = TileBudgetName});
            used += tile.Pixels.size();
        }
    return tiles;
}

TTileImages LoadZoneTileImages(const std::string& gameDir, int zoneId)
{
    TMPKFile archive(ZoneArchivePath(gameDir, zoneId, TZoneArchive::Texture));
    return LoadTileImages(archive);
}

TImage LoadWaterTextureImage(const std::string& gameDir)
{
    const std::string path = ResolvePathIgnoringCase(gameDir, WaterTextureFile);
    return NamingFailures(path, "", [&] {
        // Read whole: the run-length reader asks for a few bytes at a time, which straight
        // from the file cost a system call each (a third of a textured export's time).
        const std::vector<uint8_t> bytes = ReadWholeFile(path);
        TMemoryStream file;
        file.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
        file.Seek(0, TSeekOrigin::Beginning);
        return DecodeTGAPicture(file);
    });
}

}  // namespace orv
