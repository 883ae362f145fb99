// TextureImages: tile members decoded in software, and the water texture file.
#include "zone/TextureImages.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "base/Log.h"
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

void LogDamage(std::string_view file, std::string_view member, std::string_view damage)
{
    if (!damage.empty())
        Log(Exception::NamedMessage(file, member, std::string(damage).append("; shown as read")));
}

TTileLoader::TTileLoader(TMPKFile& archive, uint64_t maxSide)
    : m_Archive(archive), m_MaxSide(maxSide), m_Budget(TileTextureBudget(archive.FileSize()))
{
}

bool TTileLoader::HasDDS(int px, int py) const { return m_Archive.Directory().Exists(TileMemberName(px, py)); }

bool TTileLoader::HasBitmap(int px, int py) const
{
    return m_Archive.Directory().Exists(TileBitmapMemberName(px, py));
}

void TTileLoader::Read(const std::string& member, const TDecode& decode)
{
    const TDecoded decoded = NamingFailures(m_Archive.FileName(), member, [&] {
        const std::unique_ptr<TStream> stream = m_Archive.OpenMember(member);
        return decode(*stream, {.MaxSide = m_MaxSide, .MaxBytes = m_Budget - m_Used, .Budget = TileBudgetName});
    });
    m_Used += decoded.Bytes;
    LogDamage(m_Archive.FileName(), member, decoded.Damage);
}

TImage TTileLoader::Picture(int px, int py)
{
    const bool isDDS = HasDDS(px, py);
    TImage tile;
    Read(isDDS ? TileMemberName(px, py) : TileBitmapMemberName(px, py), [&](TStream& member, const TImageLimits& limits) {
        // Both kinds decode top row first, which is how the renderer lays them: DDS
        // tiles with their t coordinate flipped, BMP tiles with their rows uploaded
        // bottom first.
        tile = isDDS ? WithoutAlpha(DecodeDDSPicture(member, limits)) : DecodeBitmapPicture(member, limits);
        if (tile.Width <= 0 || tile.Height <= 0)
            throw EPictureError("an image of " + std::to_string(tile.Width) + " x " + std::to_string(tile.Height) +
                                " pixels, a tile without a pixel");
        return TDecoded{tile.Pixels.size(), tile.Damage};
    });
    return tile;
}

TImage LoadTileImage(TMPKFile& archive, int px, int py)
{
    return TTileLoader(archive).Picture(px, py);
}

TTileImages LoadTileImages(TMPKFile& archive)
{
    TTileImages tiles;
    TTileLoader loader(archive);
    for (int py = 0; py < PatchesPerSide; ++py)
        for (int px = 0; px < PatchesPerSide; ++px)
            tiles[static_cast<size_t>(px + PatchesPerSide * py)] = loader.Picture(px, py);
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
    TImage water = NamingFailures(path, "", [&] {
        // Read whole: the run-length reader asks for a few bytes at a time, which straight
        // from the file cost a system call each (a third of a textured export's time).
        const std::vector<uint8_t> bytes = ReadWholeFile(path);
        TMemoryStream file;
        file.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
        file.Seek(0, TSeekOrigin::Beginning);
        return DecodeTGAPicture(file);
    });
    LogDamage(path, "", water.Damage);
    return water;
}

}  // namespace orv
