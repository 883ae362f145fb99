// The tile images of the software decoding stand as the level-of-detail renderer lays
// its tile textures on the terrain: for every fan vertex, the texel that the renderer's
// texture coordinate picks from the uploaded texture is the decoded image's pixel at
// the vertex's place in its tile (row 0 at the tile's far-y edge, column 0 at its low-x
// edge). Checked for DDS tiles (uploaded as stored, t flipped) and BMP tiles (rows
// uploaded bottom first, t as it is).
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "formats/MPKFile.h"
#include "terrain/CLOD.h"
#include "writers/ImageWriters.h"
#include "writers/MPKWriter.h"
#include "zone/TextureImages.h"
#include "zone/TestZone.h"

namespace orv {
namespace {

constexpr int Side = 32;    // tile images of 32 x 32 pixels in solid 4 x 4 blocks
constexpr int Block = 4;

// Block (bx, by) of tile t has a colour of its own (within the tile) that DXT1 keeps
// exactly: each channel a value of its five or six bits widened.
std::array<uint8_t, 3> BlockColor(int tile, int bx, int by)
{
    auto widen5 = [](int c) { return static_cast<uint8_t>(c << 3 | c >> 2); };
    auto widen6 = [](int c) { return static_cast<uint8_t>(c << 2 | c >> 4); };
    return {widen5(tile % 32), widen6(bx * 8), widen5(by * 4)};
}

TImage TilePicture(int tile)
{
    TImage image{Side, Side, 3, {}};
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const auto c = BlockColor(tile, x / Block, y / Block);
            image.Pixels.insert(image.Pixels.end(), c.begin(), c.end());
        }
    return image;
}

// Records, for every fan vertex, its grid place, its tile and its texture coordinates.
struct TVertexRecord {
    int Tile, X, Y;
    float S, T;
};
class TRecordingSink : public IFanSink {
public:
    void BindTile(int tile) override { m_Tile = tile; }
    void DrawFan(const TFanBuffers& fan, int count) override
    {
        for (int i = 0; i < count; ++i)
            Vertices.push_back({m_Tile, static_cast<int>(fan.Vertices[i].x) / CellSize,
                                static_cast<int>(fan.Vertices[i].y) / CellSize, fan.TexCoords[i][0],
                                fan.TexCoords[i][1]});
    }
    std::vector<TVertexRecord> Vertices;

private:
    int m_Tile = -1;
};

// The two texels (in one direction) that linear filtering blends at a coordinate of c
// texel widths, clamped to the image as GL_CLAMP does.
std::array<int, 2> Footprint(double c)
{
    const int first = static_cast<int>(std::floor(c - 0.5));
    return {std::clamp(first, 0, Side - 1), std::clamp(first + 1, 0, Side - 1)};
}

using TColors = std::multiset<std::array<uint8_t, 3>>;

TEST(TileOrientation, DecodedTilesMatchTheTexelsTheFanWalkSamples)
{
    for (const bool dds : {true, false}) {
        SCOPED_TRACE(dds ? "DDS tiles" : "BMP tiles");
        test::TTempDir dir;
        std::vector<TMPKMember> members;
        for (int py = 0; py < PatchesPerSide; ++py)
            for (int px = 0; px < PatchesPerSide; ++px) {
                const TImage picture = TilePicture(px + PatchesPerSide * py);
                members.push_back(dds ? TMPKMember{TileMemberName(px, py), EncodeDDS(picture, FourCCDXT1), 0}
                                      : TMPKMember{TileBitmapMemberName(px, py), EncodeBMP24(picture), 0});
            }
        WriteMPK(dir.Path() + "tex.mpk", "tex", members);
        TMPKFile archive(dir.Path() + "tex.mpk");
        const TTileImages tiles = LoadTileImages(archive);

        // Every vertex of the fully refined walk, so that each tile's every grid vertex is seen.
        auto terrain = std::make_unique<TTerrain>();
        auto normals = std::make_unique<TTerrainNormals>();
        for (auto& column : *terrain)
            for (auto& v : column)
                v.Subdivided = CLODSubdivided;
        TRecordingSink sink;
        DrawCLODFanWalk(*terrain, *normals, false, dds, sink);
        ASSERT_FALSE(sink.Vertices.empty());

        for (const TVertexRecord& v : sink.Vertices) {
            const int px = v.Tile % PatchesPerSide, py = v.Tile / PatchesPerSide;
            // What the renderer samples: the uploaded texture's rows for t are the DDS
            // rows as stored (the picture's top row first) or the bitmap's rows bottom first.
            TColors seen;
            for (const int uploadedRow : Footprint(double{v.T} * Side))
                for (const int column : Footprint(double{v.S} * Side)) {
                    const int pictureRow = dds ? uploadedRow : Side - 1 - uploadedRow;
                    seen.insert(BlockColor(v.Tile, column / Block, pictureRow / Block));
                }
            // The decoded image around the vertex's place in its tile.
            TColors decoded;
            const double fromTop = double(PatchCells * (py + 1) - v.Y) * Side / PatchCells;
            const double fromLeft = double(v.X - PatchCells * px) * Side / PatchCells;
            for (const int row : Footprint(fromTop))
                for (const int column : Footprint(fromLeft)) {
                    const uint8_t* pixel = &tiles[v.Tile].Pixels[(static_cast<size_t>(row) * Side + column) * 3];
                    decoded.insert({pixel[0], pixel[1], pixel[2]});
                }
            ASSERT_EQ(seen, decoded) << "tile " << v.Tile << " vertex (" << v.X << ", " << v.Y << ")";
        }
    }
}

}  // namespace
}  // namespace orv
