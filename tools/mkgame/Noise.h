// Noise: the sample game's own deterministic random numbers and coherent noise.
//
// Everything here is plain integer hashing and double arithmetic, so the same seed gives
// the same bytes on every run (no standard-library distributions, whose output may change
// between library versions).
//
//   TRandom random(seed);
//   double u = random.Uniform();                 // [0, 1)
//   double n = Fbm(x, y, {.Seed = 7, .Octaves = 5});      // about [-1, 1]
//   double p = Fbm(x, y, {.Seed = 7, .Period = 8});       // tiles every 8 units
#pragma once

#include <cmath>
#include <cstdint>

namespace orvgame {

// SplitMix64: small, fast, and good enough for placing rivers and lakes.
class TRandom {
public:
    explicit TRandom(uint64_t seed) : m_State(seed) {}
    uint64_t Next();
    double Uniform();                         // [0, 1)
    double Uniform(double low, double high);  // [low, high)
    int Range(int low, int high);             // [low, high], inclusive

private:
    uint64_t m_State;
};

// A well-mixed 64-bit hash of a lattice point and a seed.
uint64_t HashPoint(int64_t x, int64_t y, uint64_t seed);

struct TNoiseOptions {
    uint64_t Seed = 0;
    int Octaves = 1;
    double Lacunarity = 2.0;   // frequency factor per octave
    double Gain = 0.5;         // amplitude factor per octave
    int Period = 0;            // > 0: the first octave repeats every Period units (and each
                               // later octave every Period * Lacunarity^k, Lacunarity must be 2)
};

// Gradient noise on the unit lattice, about [-1, 1], 0 at lattice points. With period > 0
// the lattice wraps, so the noise repeats every period units in x and y.
double GradientNoise(double x, double y, uint64_t seed, int period = 0);

// Fractal sum of gradient noise, normalised to about [-1, 1].
double Fbm(double x, double y, const TNoiseOptions& options);

// Ridged fractal: sharp crests where the noise crosses zero, in [0, 1].
double Ridged(double x, double y, const TNoiseOptions& options);

// The length of (x, y). Square root is exact in IEEE arithmetic, so unlike the library's
// hypot and trigonometric functions it cannot differ between library versions; the
// generator keeps to such arithmetic so that its bytes do not depend on them.
inline double Length(double x, double y)
{
    return std::sqrt(x * x + y * y);
}

// A smooth wave of period 1 with the shape of cos(2 pi t), as a polynomial (within 0.03).
double Wave(double t);

inline double Clamp(double x, double low, double high)
{
    return x < low ? low : (x > high ? high : x);
}

inline double Lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

inline double SmoothStep(double edge0, double edge1, double x)
{
    const double t = Clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

}  // namespace orvgame
