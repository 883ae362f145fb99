#include "SharedArt.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "Noise.h"

namespace orvgame {

namespace {

constexpr uint64_t ArtSeed = 0x5EED0A47;

uint8_t ToByte(double value)
{
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

orv::TImage Blank(int width, int height, int channels)
{
    orv::TImage image;
    image.Width = width;
    image.Height = height;
    image.Channels = channels;
    image.Pixels.assign(static_cast<size_t>(width) * height * channels, 0);
    return image;
}

void Put(orv::TImage& image, int x, int y, double r, double g, double b)
{
    uint8_t* p = image.Pixels.data() + (static_cast<size_t>(y) * image.Width + x) * image.Channels;
    p[0] = ToByte(r);
    p[1] = ToByte(g);
    p[2] = ToByte(b);
}

// A 5 x 7 font for the compass letters.
constexpr int GlyphWidth = 5;
constexpr int GlyphHeight = 7;
using TGlyph = std::array<std::string_view, GlyphHeight>;

constexpr TGlyph GlyphN = {"X...X", "XX..X", "X.X.X", "X..XX", "X...X", "X...X", "X...X"};
constexpr TGlyph GlyphE = {"XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"};
constexpr TGlyph GlyphS = {".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."};
constexpr TGlyph GlyphW = {"X...X", "X...X", "X...X", "X.X.X", "X.X.X", "XX.XX", "X...X"};

struct TCompassColors {
    double r, g, b;
};
constexpr TCompassColors CompassInk{236, 234, 222};
constexpr TCompassColors NorthInk{232, 64, 52};

}  // namespace

orv::TImage DetailTexture()
{
    constexpr int Lattice = 8;   // noise cells across the texture at the coarsest octave
    constexpr double Contrast = 64.0;
    constexpr double MidGrey = 128.0;
    orv::TImage image = Blank(DetailSize, DetailSize, 3);
    std::vector<double> values(static_cast<size_t>(DetailSize) * DetailSize);
    double sum = 0.0;
    for (int y = 0; y < DetailSize; ++y)
        for (int x = 0; x < DetailSize; ++x) {
            const double scale = static_cast<double>(Lattice) / DetailSize;
            const double v = Fbm(x * scale, y * scale, {.Seed = ArtSeed + 1, .Octaves = 5, .Gain = 0.6, .Period = Lattice});
            values[static_cast<size_t>(y) * DetailSize + x] = v;
            sum += v;
        }
    const double mean = sum / static_cast<double>(values.size());
    for (int y = 0; y < DetailSize; ++y)
        for (int x = 0; x < DetailSize; ++x) {
            const double grey = MidGrey + Contrast * (values[static_cast<size_t>(y) * DetailSize + x] - mean);
            Put(image, x, y, grey, grey, grey);
        }
    return image;
}

orv::TImage CloudTexture()
{
    constexpr int Lattice = 4;
    orv::TImage image = Blank(CloudSize, CloudSize, 4);
    for (int y = 0; y < CloudSize; ++y)
        for (int x = 0; x < CloudSize; ++x) {
            const double u = static_cast<double>(x) * Lattice / CloudSize;
            const double v = static_cast<double>(y) * Lattice / CloudSize;
            // Warping by a noise of the same period keeps the picture tileable.
            const double wu = 0.7 * Fbm(u, v, {.Seed = ArtSeed + 2, .Octaves = 3, .Period = Lattice});
            const double wv = 0.7 * Fbm(u, v, {.Seed = ArtSeed + 3, .Octaves = 3, .Period = Lattice});
            const double thick =
                0.5 * (Fbm(u + wu, v + wv, {.Seed = ArtSeed + 4, .Octaves = 6, .Period = Lattice}) + 1.0);
            const double alpha = SmoothStep(0.47, 0.74, thick);
            const double grey = 255.0 - 34.0 * SmoothStep(0.65, 0.95, thick);
            uint8_t* p = image.Pixels.data() + (static_cast<size_t>(y) * CloudSize + x) * 4;
            p[0] = ToByte(grey);
            p[1] = ToByte(grey + 2.0);
            p[2] = ToByte(grey + 6.0);
            p[3] = ToByte(255.0 * alpha);
        }
    return image;
}

orv::TImage WaterTexture()
{
    // Wave vectors in whole waves per texture, so that every wave wraps round.
    constexpr int Waves[][2] = {{3, 1}, {-2, 4}, {5, -3}, {1, 6}, {-6, -2}};
    constexpr int Lattice = 4;
    orv::TImage image = Blank(WaterSize, WaterSize, 3);
    for (int y = 0; y < WaterSize; ++y)
        for (int x = 0; x < WaterSize; ++x) {
            const double u = static_cast<double>(x) * Lattice / WaterSize;
            const double v = static_cast<double>(y) * Lattice / WaterSize;
            const double wobble = 0.25 * Fbm(u, v, {.Seed = ArtSeed + 5, .Octaves = 3, .Period = Lattice});
            double sum = 0.0;
            for (const auto& w : Waves)
                sum += Wave(static_cast<double>(w[0] * x + w[1] * y) / WaterSize + wobble);
            // Bright where the waves cancel out: a net of thin lines, as light plays on water.
            const double level = 1.0 - std::fabs(sum) / std::size(Waves);
            const double crest = level * level * level * level;
            Put(image, x, y, 158.0 + 90.0 * crest, 182.0 + 72.0 * crest, 196.0 + 58.0 * crest);
        }
    return image;
}

orv::TImage CompassTexture()
{
    constexpr int GlyphScale = 2;
    constexpr int GlyphTop = 3;
    constexpr int MajorTick = 12;   // pixels, every 45 degrees
    constexpr int MinorTick = 6;    // every 15 degrees
    constexpr double TickHalfWidth = 1.0;
    orv::TImage image = Blank(CompassWidth, CompassHeight, 3);
    for (int y = 0; y < CompassHeight; ++y)
        for (int x = 0; x < CompassWidth; ++x) {
            const double shade = 26.0 + 14.0 * y / CompassHeight;
            Put(image, x, y, shade, shade + 3.0, shade + 12.0);
        }

    auto blend = [&](int x, int y, const TCompassColors& ink, double cover) {
        x = ((x % CompassWidth) + CompassWidth) % CompassWidth;
        uint8_t* p = image.Pixels.data() + (static_cast<size_t>(y) * CompassWidth + x) * 3;
        p[0] = ToByte(Lerp(p[0], ink.r, cover));
        p[1] = ToByte(Lerp(p[1], ink.g, cover));
        p[2] = ToByte(Lerp(p[2], ink.b, cover));
    };

    const double pixelsPerDegree = static_cast<double>(CompassWidth) / 360.0;
    for (int angle = 0; angle < 360; angle += CompassTickDegrees) {
        const double centre = angle * pixelsPerDegree;
        const int length = angle % 45 == 0 ? MajorTick : MinorTick;
        // Anti-aliased: each column gets the part of the tick that covers it.
        const int first = static_cast<int>(std::floor(centre - TickHalfWidth));
        for (int x = first; x <= first + 2; ++x) {
            const double cover =
                std::max(0.0, std::min(x + 1.0, centre + TickHalfWidth) - std::max<double>(x, centre - TickHalfWidth));
            for (int y = CompassHeight - length; y < CompassHeight; ++y)
                blend(x, y, CompassInk, cover);
        }
    }

    const std::pair<int, const TGlyph*> letters[] = {{0, &GlyphN}, {90, &GlyphE}, {180, &GlyphS}, {270, &GlyphW}};
    for (const auto& [angle, glyph] : letters) {
        const int left = static_cast<int>(std::lround(angle * pixelsPerDegree)) - GlyphWidth * GlyphScale / 2;
        const TCompassColors& ink = angle == 0 ? NorthInk : CompassInk;
        for (int gy = 0; gy < GlyphHeight; ++gy)
            for (int gx = 0; gx < GlyphWidth; ++gx)
                if ((*glyph)[gy][gx] == 'X')
                    for (int sy = 0; sy < GlyphScale; ++sy)
                        for (int sx = 0; sx < GlyphScale; ++sx)
                            blend(left + gx * GlyphScale + sx, GlyphTop + gy * GlyphScale + sy, ink, 1.0);
    }
    return image;
}

orv::TImage CheckerTexture()
{
    orv::TImage image = Blank(CheckerSize, CheckerSize, 3);
    for (int y = 0; y < CheckerSize; ++y)
        for (int x = 0; x < CheckerSize; ++x) {
            if (((x / CheckerSquare) + (y / CheckerSquare)) % 2 == 0)
                Put(image, x, y, 232, 232, 226);
            else
                Put(image, x, y, 58, 104, 168);
        }
    return image;
}

}  // namespace orvgame
