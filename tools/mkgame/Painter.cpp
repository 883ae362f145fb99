#include "Painter.h"

#include <algorithm>
#include <cmath>

#include "Noise.h"

namespace orvgame {

namespace {

constexpr int CellsPerTile = 32;
constexpr double CellWorld = 256.0;   // world units per cell, for slopes

struct TMaterial {
    double r, g, b;
};

constexpr TMaterial LushGrass{70, 110, 44};
constexpr TMaterial DryGrass{132, 138, 74};
constexpr TMaterial Forest{42, 70, 36};
constexpr TMaterial Heath{112, 98, 70};
constexpr TMaterial LightRock{128, 122, 114};
constexpr TMaterial DarkRock{82, 78, 74};
constexpr TMaterial Snow{236, 240, 246};
constexpr TMaterial Sand{206, 192, 146};
constexpr TMaterial WetSand{158, 144, 106};
constexpr TMaterial Gravel{146, 136, 114};
constexpr TMaterial Mud{92, 84, 62};
constexpr TMaterial SeaFloor{88, 104, 96};

// Light for the baked relief, from the north-west and above.
constexpr double LightX = -0.45, LightY = 0.55, LightZ = 0.70;
constexpr double ReliefStrength = 0.35;

constexpr double SnowLine = 10400.0;
constexpr double TreeLine = 6500.0;

uint8_t ToByte(double value)
{
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

TTilePainter::TTilePainter(const TLandscape& land, uint64_t seed)
    : m_Land(land), m_Seed(seed), m_Vertices(GridSize * GridSize), m_CellWater(MapSize * MapSize, -1),
      m_CellSea(MapSize * MapSize, 0), m_Patches(SampleNoise(4, 1.0 / 3.0, seed + 1, 3)),
      m_Woods(SampleNoise(1, 1.0 / 9.0, seed + 2, 2))
{
    for (int x = 0; x < GridSize; ++x)
        for (int y = 0; y < GridSize; ++y) {
            const int i = x * GridSize + y;
            const double dx = (land.Height(x + 1, y) - land.Height(x - 1, y)) / (2.0 * CellWorld);
            const double dy = (land.Height(x, y + 1) - land.Height(x, y - 1)) / (2.0 * CellWorld);
            const double length = std::sqrt(dx * dx + dy * dy + 1.0);
            m_Vertices[i] = {static_cast<float>(land.Height(x, y)), static_cast<float>(-dx / length),
                             static_cast<float>(-dy / length), static_cast<float>(1.0 / length), land.Riverbed[i]};
        }
    // Region rectangles run along vertex lines, so each cell is wholly in or out.
    for (const TWaterBody& body : land.Water)
        for (int x = body.GridX0(); x < body.GridX1(); ++x)
            for (int y = body.GridY0(); y < body.GridY1(); ++y) {
                const int c = x * MapSize + y;
                if (body.Height > m_CellWater[c]) {
                    m_CellWater[c] = body.Height;
                    m_CellSea[c] = body.Kind == TWaterKind::Sea;
                }
            }
}

TTilePainter::TNoiseGrid TTilePainter::SampleNoise(int perCell, double scale, uint64_t seed, int octaves)
{
    TNoiseGrid grid;
    grid.PerCell = perCell;
    grid.Side = MapSize * perCell + 1;
    grid.Values.resize(static_cast<size_t>(grid.Side) * grid.Side);
    for (int i = 0; i < grid.Side; ++i)
        for (int j = 0; j < grid.Side; ++j)
            grid.Values[static_cast<size_t>(i) * grid.Side + j] = static_cast<float>(
                Fbm(i * scale / perCell, j * scale / perCell, {.Seed = seed, .Octaves = octaves}));
    return grid;
}

double TTilePainter::TNoiseGrid::Sample(double gx, double gy) const
{
    const double u = Clamp(gx * PerCell, 0.0, Side - 1.0);
    const double v = Clamp(gy * PerCell, 0.0, Side - 1.0);
    const int i = std::min(static_cast<int>(u), Side - 2);
    const int j = std::min(static_cast<int>(v), Side - 2);
    const float* p = Values.data() + static_cast<size_t>(i) * Side + j;
    const double fu = u - i;
    const double fv = v - j;
    return Lerp(Lerp(p[0], p[Side], fu), Lerp(p[1], p[Side + 1], fu), fv);
}

TTilePainter::TVertex TTilePainter::SampleVertex(double gx, double gy) const
{
    gx = Clamp(gx, 0.0, GridSize - 1.0);
    gy = Clamp(gy, 0.0, GridSize - 1.0);
    const int x0 = std::min(static_cast<int>(gx), GridSize - 2);
    const int y0 = std::min(static_cast<int>(gy), GridSize - 2);
    const auto fx = static_cast<float>(gx - x0);
    const auto fy = static_cast<float>(gy - y0);
    const TVertex* p = m_Vertices.data() + x0 * GridSize + y0;
    const float w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy, w11 = fx * fy;
    auto blend = [&](float TVertex::*field) {
        return w00 * p[0].*field + w10 * p[GridSize].*field + w01 * p[1].*field + w11 * p[GridSize + 1].*field;
    };
    return {blend(&TVertex::Height), blend(&TVertex::NormalX), blend(&TVertex::NormalY), blend(&TVertex::NormalZ),
            blend(&TVertex::Riverbed)};
}

TTilePainter::TColor TTilePainter::Texel(double gx, double gy) const
{
    auto mix = [](TColor c, const TMaterial& m, double t) {
        t = Clamp(t, 0.0, 1.0);
        return TColor{Lerp(c.r, m.r, t), Lerp(c.g, m.g, t), Lerp(c.b, m.b, t)};
    };
    const TVertex v = SampleVertex(gx, gy);
    const double h = v.Height;
    const double nx = v.NormalX;
    const double ny = v.NormalY;
    const double nz = v.NormalZ;
    const double slope = std::sqrt(nx * nx + ny * ny) / std::max(nz, 1e-6);
    const double sea = m_Land.SeaLevel;

    const double patches = m_Patches.Sample(gx, gy);
    const double woods = m_Woods.Sample(gx, gy);
    const double fine = GradientNoise(gx * 1.5, gy * 1.5, m_Seed + 3);

    // Vegetation below the tree line, heath above it.
    TColor c{LushGrass.r, LushGrass.g, LushGrass.b};
    c = mix(c, DryGrass, SmoothStep(-0.3, 0.5, patches));
    const double forest = SmoothStep(0.05, 0.35, woods) * (1.0 - SmoothStep(TreeLine - 1500.0, TreeLine, h)) *
                          (1.0 - SmoothStep(0.45, 0.8, slope)) * SmoothStep(sea + 150.0, sea + 400.0, h);
    c = mix(c, Forest, 0.85 * forest);
    c = mix(c, Heath, SmoothStep(TreeLine - 1000.0, TreeLine + 1500.0, h + 600.0 * patches));

    // Rock on steep ground and on the heights, in bands.
    const double band = h / 700.0 + 1.5 * patches;
    const double strata =
        0.5 + 0.25 * (2.0 * std::fabs(2.0 * (band - std::floor(band)) - 1.0) - 1.0) + 0.35 * patches;
    const TColor rock = mix(TColor{LightRock.r, LightRock.g, LightRock.b}, DarkRock, strata);
    const double rocky = std::max(SmoothStep(0.65, 1.05, slope + 0.25 * patches + 0.1 * fine),
                                  SmoothStep(8500.0, 10500.0, h + 800.0 * patches));
    c = TColor{Lerp(c.r, rock.r, rocky), Lerp(c.g, rock.g, rocky), Lerp(c.b, rock.b, rocky)};

    // Snow where it can lie.
    const double snow = SmoothStep(SnowLine - 300.0, SnowLine + 300.0, h + 700.0 * patches) *
                        (1.0 - SmoothStep(0.9, 1.4, slope));
    c = mix(c, Snow, snow);

    // Beaches along the sea, beds and banks of the rivers.
    c = mix(c, Sand, 1.0 - SmoothStep(sea + 60.0, sea + 200.0, h + 40.0 * fine));
    c = mix(c, Gravel, 0.9 * v.Riverbed);

    // Under water: sand in the shallows, mud (or the sea floor) in the deep.
    const int cx = std::clamp(static_cast<int>(gx), 0, MapSize - 1);
    const int cy = std::clamp(static_cast<int>(gy), 0, MapSize - 1);
    const int surface = m_CellWater[cx * MapSize + cy];
    if (surface >= 0) {
        const double depth = surface - h;
        if (depth > -40.0)
            c = mix(c, WetSand, SmoothStep(-40.0, 0.0, depth));
        if (depth > 0.0)
            c = mix(c, m_CellSea[cx * MapSize + cy] ? SeaFloor : Mud, SmoothStep(0.0, 250.0, depth + 40.0 * fine));
    }

    // Baked relief, neutral on flat ground.
    const double lit = nx * LightX + ny * LightY + nz * LightZ;
    const double shade = Clamp(1.0 + ReliefStrength * (lit - LightZ), 0.6, 1.2);
    const double grain = 1.0 + 0.05 * fine;
    return {c.r * shade * grain, c.g * shade * grain, c.b * shade * grain};
}

orv::TImage TTilePainter::Paint(int px, int py) const
{
    orv::TImage image;
    image.Width = TileSize;
    image.Height = TileSize;
    image.Channels = 3;
    image.Pixels.resize(static_cast<size_t>(TileSize) * TileSize * 3);
    for (int row = 0; row < TileSize; ++row) {
        // Row 0 is the far y edge of the patch.
        const double gy = CellsPerTile * (py + 1) - (row + 0.5) / TexelsPerCell;
        for (int column = 0; column < TileSize; ++column) {
            const double gx = CellsPerTile * px + (column + 0.5) / TexelsPerCell;
            const TColor c = Texel(gx, gy);
            // A little per-texel grain that survives the block compression.
            const double speckle = static_cast<double>(HashPoint(static_cast<int64_t>(gx * TexelsPerCell),
                                                                 static_cast<int64_t>(gy * TexelsPerCell), m_Seed) &
                                                       15) -
                                   7.5;
            uint8_t* out = image.Pixels.data() + (static_cast<size_t>(row) * TileSize + column) * 3;
            out[0] = ToByte(c.r + speckle);
            out[1] = ToByte(c.g + speckle);
            out[2] = ToByte(c.b + speckle);
        }
    }
    return image;
}

}  // namespace orvgame
