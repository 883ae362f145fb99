#include "zone/Heightfield.h"

#include <stdexcept>
#include <vector>

#include "formats/MPKFile.h"
#include "formats/PCXStream.h"

namespace orv {
namespace {

constexpr size_t HeightmapPixels = size_t{GridCells} * GridCells;

std::vector<uint8_t> DecodePixels(TPCXByteStream& stream)
{
    std::vector<uint8_t> pixels(HeightmapPixels);
    for (uint8_t& p : pixels)
        p = stream.ReadByte();
    return pixels;
}

}  // namespace

THeightRange ReadTerrainHeights(TMPKFile& archive, TTerrain& terrain)
{
    constexpr TExtractLimit used{HeightmapBytesRead, TExtractLimit::Stop};
    TPCXByteStream terrainPixels(archive.ExtractToMemory(TerrainMember, used));
    TPCXByteStream offsetPixels(archive.ExtractToMemory(OffsetMember, used));
    // The readers' errors name the member they were decoding.
    auto decode = [&](TPCXByteStream& stream, std::string_view member) {
        return NamingFailures(archive.FileName(), member, [&] { return DecodePixels(stream); });
    };
    const std::vector<uint8_t> offset = decode(offsetPixels, OffsetMember);
    return StoreTerrainHeights(offset, decode(terrainPixels, TerrainMember), terrain);
}

THeightRange StoreTerrainHeights(std::span<const uint8_t> offsetPixels, std::span<const uint8_t> terrainPixels,
                                 TTerrain& terrain)
{
    if (offsetPixels.size() < HeightmapPixels || terrainPixels.size() < HeightmapPixels)
        throw std::invalid_argument("StoreTerrainHeights: fewer than 256 x 256 pixels");
    THeightRange range;
    for (int r = 0; r < GridCells; ++r) {
        const int y = GridCells - r;
        for (int c = 0; c < GridCells; ++c) {
            const size_t i = static_cast<size_t>(r) * GridCells + c;
            const int v = offsetPixels[i] * OffsetScale + terrainPixels[i] * TerrainScale;
            if (range.MinZ == -1 || v < range.MinZ)
                range.MinZ = v;
            if (range.MaxZ == -1 || v > range.MaxZ)
                range.MaxZ = v;
            terrain[c][y].Height = static_cast<uint16_t>(v);
        }
        terrain[GridCells][y].Height = terrain[GridCells - 1][y].Height;
    }
    for (int x = 0; x <= GridCells; ++x)
        terrain[x][0].Height = terrain[x][1].Height;
    return range;
}

}  // namespace orv
