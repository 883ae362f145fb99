#include "Noise.h"

#include <cmath>

namespace orvgame {

namespace {

constexpr uint64_t GoldenGamma = 0x9E3779B97F4A7C15ull;

uint64_t Mix(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Sixteen unit gradients evenly spread around the circle (cos, sin of k * 22.5 degrees),
// written out so that no trigonometric library call decides the noise.
constexpr double Gradients[16][2] = {
    {1.0, 0.0},           {0.9238795325, 0.3826834324},   {0.7071067812, 0.7071067812},
    {0.3826834324, 0.9238795325},   {0.0, 1.0},           {-0.3826834324, 0.9238795325},
    {-0.7071067812, 0.7071067812},  {-0.9238795325, 0.3826834324},  {-1.0, 0.0},
    {-0.9238795325, -0.3826834324}, {-0.7071067812, -0.7071067812}, {-0.3826834324, -0.9238795325},
    {0.0, -1.0},          {0.3826834324, -0.9238795325},  {0.7071067812, -0.7071067812},
    {0.9238795325, -0.3826834324},
};

// Gradient noise of two unit gradients meeting at a point gives at most about 0.7; this
// scales the result to about [-1, 1].
constexpr double NoiseScale = 1.4;

double Fade(double t)
{
    return t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
}

int64_t Wrap(int64_t i, int period)
{
    if (period <= 0)
        return i;
    const int64_t m = i % period;
    return m < 0 ? m + period : m;
}

double Corner(int64_t ix, int64_t iy, double dx, double dy, uint64_t seed, int period)
{
    const uint64_t h = HashPoint(Wrap(ix, period), Wrap(iy, period), seed);
    const double* g = Gradients[h & 15];
    return g[0] * dx + g[1] * dy;
}

}  // namespace

uint64_t TRandom::Next()
{
    m_State += GoldenGamma;
    return Mix(m_State);
}

double TRandom::Uniform()
{
    return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
}

double TRandom::Uniform(double low, double high)
{
    return low + (high - low) * Uniform();
}

int TRandom::Range(int low, int high)
{
    const uint64_t span = static_cast<uint64_t>(high - low) + 1;
    return low + static_cast<int>(Next() % span);
}

double Wave(double t)
{
    // cos(2 pi u) = -cos(2 pi (u - 1/2)); the even Taylor polynomial of the latter up to
    // the eighth power on |u - 1/2| <= 1/2.
    constexpr double C2 = 19.7392088022, C4 = 64.9393940227, C6 = 85.4568172798, C8 = 60.2446413718;
    const double u = t - std::floor(t) - 0.5;
    const double v = u * u;
    return -(1.0 - v * (C2 - v * (C4 - v * (C6 - v * C8))));
}

uint64_t HashPoint(int64_t x, int64_t y, uint64_t seed)
{
    return Mix(seed * GoldenGamma ^ static_cast<uint64_t>(x) * 0xD6E8FEB86659FD93ull ^
               static_cast<uint64_t>(y) * 0xA0761D6478BD642Full);
}

double GradientNoise(double x, double y, uint64_t seed, int period)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const auto ix = static_cast<int64_t>(fx);
    const auto iy = static_cast<int64_t>(fy);
    const double dx = x - fx;
    const double dy = y - fy;
    const double n00 = Corner(ix, iy, dx, dy, seed, period);
    const double n10 = Corner(ix + 1, iy, dx - 1.0, dy, seed, period);
    const double n01 = Corner(ix, iy + 1, dx, dy - 1.0, seed, period);
    const double n11 = Corner(ix + 1, iy + 1, dx - 1.0, dy - 1.0, seed, period);
    const double u = Fade(dx);
    const double v = Fade(dy);
    return NoiseScale * Lerp(Lerp(n00, n10, u), Lerp(n01, n11, u), v);
}

double Fbm(double x, double y, const TNoiseOptions& options)
{
    double sum = 0.0;
    double amplitude = 1.0;
    double norm = 0.0;
    double frequency = 1.0;
    int period = options.Period;
    for (int k = 0; k < options.Octaves; ++k) {
        sum += amplitude * GradientNoise(x * frequency, y * frequency, options.Seed + static_cast<uint64_t>(k) * 7919u,
                                         period);
        norm += amplitude;
        amplitude *= options.Gain;
        frequency *= options.Lacunarity;
        period *= 2;
    }
    return norm > 0.0 ? sum / norm : 0.0;
}

double Ridged(double x, double y, const TNoiseOptions& options)
{
    double sum = 0.0;
    double amplitude = 1.0;
    double norm = 0.0;
    double frequency = 1.0;
    double weight = 1.0;
    int period = options.Period;
    for (int k = 0; k < options.Octaves; ++k) {
        double n = 1.0 - std::fabs(GradientNoise(x * frequency, y * frequency,
                                                 options.Seed + static_cast<uint64_t>(k) * 104729u, period));
        n = Clamp(n, 0.0, 1.0);
        n *= n;
        // Finer octaves count for more on the crests than in the valleys.
        const double contribution = n * weight;
        weight = Clamp(n * 1.6, 0.0, 1.0);
        sum += amplitude * contribution;
        norm += amplitude;
        amplitude *= options.Gain;
        frequency *= options.Lacunarity;
        period *= 2;
    }
    return norm > 0.0 ? sum / norm : 0.0;
}

}  // namespace orvgame
