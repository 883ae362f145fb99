// TextureImages: tile members decoded in software, and the water texture file.
#include "zone/TextureImages.h"

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

// The failure's text with the file and the member in front, each unless the text
// already names it.
[[noreturn]] void FailAbout(const std::string& file, const std::string& member, const std::exception& e)
{
    const std::string text = e.what();
    std::string message;
    if (text.find(file) == std::string::npos)
        message.append(file).append(": ");
    if (!member.empty() && text.find(member) == std::string::npos)
        message.append(member).append(": ");
    throw EFormatError(message.append(text));
}

}  // namespace

std::string TileMemberName(int px, int py) { return TileName(px, py, "dds"); }

std::string TileBitmapMemberName(int px, int py) { return TileName(px, py, "bmp"); }

TImage LoadTileImage(TMPKFile& archive, int px, int py)
{
    const std::string dds = TileMemberName(px, py);
    const bool isDDS = archive.Directory().Exists(dds);
    const std::string member = isDDS ? dds : TileBitmapMemberName(px, py);
    try {
        const std::unique_ptr<TMemoryStream> stream = archive.ExtractToMemory(member);
        // Both kinds decode top row first, which is how the renderer lays them: DDS
        // tiles with their t coordinate flipped, BMP tiles with their rows uploaded
        // bottom first.
        return isDDS ? WithoutAlpha(DecodeDDSPicture(*stream)) : DecodeBitmapPicture(*stream);
    } catch (const std::exception& e) {
        FailAbout(archive.FileName(), member, e);
    }
}

TTileImages LoadTileImages(TMPKFile& archive)
{
    TTileImages tiles;
    for (int py = 0; py < PatchesPerSide; ++py)
        for (int px = 0; px < PatchesPerSide; ++px)
            tiles[static_cast<size_t>(px + PatchesPerSide * py)] = LoadTileImage(archive, px, py);
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
    try {
        TFileStream file(path, TFileMode::OpenRead);
        return DecodeTGAPicture(file);
    } catch (const std::exception& e) {
        FailAbout(path, "", e);
    }
}

}  // namespace orv
