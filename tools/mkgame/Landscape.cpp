#include "Landscape.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <queue>

#include "Noise.h"

namespace orvgame {

namespace {

constexpr int Vertices = GridSize * GridSize;
constexpr int LastCell = MapSize - 1;          // 255: the y flip of the water file
constexpr double SeaLevel = 480.0;
constexpr double Infinity = std::numeric_limits<double>::infinity();

// Rivers.
constexpr int PathMargin = 3;                  // rivers stay this many cells inside the grid
constexpr double PathSpacing = 0.5;            // cells between the points of a river path
constexpr double MeanderCells = 8.0;           // how far a river swings off its cheapest line
constexpr double MeanderLength = 18.0;         // cells of river per swing, roughly
constexpr double MeanderLowland = 1200.0;      // rivers swing freely below this height ...
constexpr double MeanderUpland = 3000.0;       // ... and not at all above this one
constexpr double MouthBedAboveSea = 24.0;      // a river bed ends this far above the sea
constexpr double JoinBedAbove = 16.0;          // a tributary's bed ends above its river's bed
constexpr double StretchMaxDrop = 120.0;       // a flat stretch covers at most this fall
constexpr int StretchMaxPoints = 28;           // ... and at most 14 cells
constexpr int StretchMinPoints = 10;           // shorter stretches run dry (rapids)
constexpr double RiverWaterAboveBed = 48.0;
constexpr double ChannelReach = 2.5;           // cells beyond the bed edge that count as channel
constexpr double BedEdge = 1.0;                // cells over which the gravel of a bed fades out
constexpr double ValleyFoot = 5.0;             // cells of rounded valley floor beside the bed
constexpr double ValleyWallSlope = 290.0;      // height units per cell above the foot
constexpr double CarveRadius = 56.0;           // cells; the valley wall exceeds any height there
constexpr double ValleySmoothing = 300.0;      // height units over which a valley rim is rounded

// Lakes.
constexpr double LakeRimAbove = 40.0;
constexpr double LakeCarveEnd = 2.5;           // in lake radii
constexpr double LakeRingEnd = 1.8;

// Water checks.
constexpr double WaterClearance = 8.0;
constexpr int MinFloodedVertices = 4;

int Index(int x, int y)
{
    return x * GridSize + y;
}

struct TField {
    std::vector<double> Values = std::vector<double>(Vertices, 0.0);
    double& At(int x, int y) { return Values[Index(x, y)]; }
    double At(int x, int y) const { return Values[Index(x, y)]; }
    double Sample(double x, double y) const
    {
        x = Clamp(x, 0.0, GridSize - 1.0);
        y = Clamp(y, 0.0, GridSize - 1.0);
        const int x0 = std::min(static_cast<int>(x), GridSize - 2);
        const int y0 = std::min(static_cast<int>(y), GridSize - 2);
        const double fx = x - x0;
        const double fy = y - y0;
        return Lerp(Lerp(At(x0, y0), At(x0 + 1, y0), fx), Lerp(At(x0, y0 + 1), At(x0 + 1, y0 + 1), fx), fy);
    }
};

struct TPoint {
    double x = 0.0;
    double y = 0.0;
};

double Distance(TPoint a, TPoint b)
{
    return Length(a.x - b.x, a.y - b.y);
}

// Position relative to the shore edge: Across grows inland, Along runs with the shore.
struct TShoreFrame {
    double Across = 0.0;
    double Along = 0.0;
};

TShoreFrame Frame(TShore shore, double x, double y)
{
    switch (shore) {
    case TShore::West: return {x, y};
    case TShore::East: return {MapSize - x, y};
    case TShore::South: return {y, x};
    case TShore::North: return {MapSize - y, x};
    }
    return {x, y};
}

// A smooth minimum: min(a, b) with the crease rounded over width k.
double SmoothMin(double a, double b, double k)
{
    const double h = std::max(k - std::fabs(a - b), 0.0) / k;
    return std::min(a, b) - h * h * k * 0.25;
}

// Height of a valley wall at e cells beyond the edge of the bed: a rounded foot, then
// no steeper than ValleyWallSlope.
double ValleyWall(double e)
{
    if (e <= 0.0)
        return 0.0;
    if (e <= ValleyFoot)
        return 70.0 * e + 22.0 * e * e;
    return 70.0 * ValleyFoot + 22.0 * ValleyFoot * ValleyFoot + ValleyWallSlope * (e - ValleyFoot);
}

uint32_t PackColor(int red, int green, int blue)
{
    return static_cast<uint32_t>(red) | static_cast<uint32_t>(green) << 8 | static_cast<uint32_t>(blue) << 16;
}

// ---- the land before rivers and lakes ----

struct TBaseLand {
    TField Height;
    TField Landness;   // 0 at sea ... 1 on land
};

TBaseLand BuildBaseLand(const TZoneRecipe& recipe)
{
    const uint64_t seed = recipe.Seed;
    TField base, hills, mountains, detail;
    TBaseLand land;
    for (int x = 0; x < GridSize; ++x) {
        for (int y = 0; y < GridSize; ++y) {
            const TShoreFrame f = Frame(recipe.Shore, x, y);
            const double coast = recipe.ShoreWidth + 12.0 * Fbm(f.Along / 45.0, 0.37, {.Seed = seed + 1, .Octaves = 3});
            const double across = f.Across + 5.0 * Fbm(x / 14.0, y / 14.0, {.Seed = seed + 2, .Octaves = 2});
            const double landness = SmoothStep(coast - 4.0, coast + 8.0, across);
            const double inland = SmoothStep(coast, coast + 140.0, across);

            const double plains = SmoothStep(
                0.05, 0.45, Fbm(x / 85.0, y / 85.0, {.Seed = seed + 4, .Octaves = 2}) + (recipe.PlainsCover - 0.5));
            const double rolling = 0.5 * (Fbm(x / 52.0, y / 52.0, {.Seed = seed + 3, .Octaves = 5}) + 1.0);
            const double mask =
                SmoothStep(0.0, 0.35,
                           Fbm(x / 100.0, y / 100.0, {.Seed = seed + 5, .Octaves = 3}) + (recipe.MountainCover - 0.5) +
                               0.6 * (inland - 0.5)) *
                (1.0 - 0.8 * plains);
            const double ridge = Ridged(x / 80.0, y / 80.0, {.Seed = seed + 6, .Octaves = 5, .Gain = 0.45});

            base.At(x, y) = SeaLevel + 50.0 + 700.0 * inland;
            hills.At(x, y) = recipe.HillHeight * rolling * rolling * (0.3 + 0.7 * inland) * (1.0 - 0.8 * plains);
            mountains.At(x, y) = mask * (0.12 + 0.88 * ridge * (0.7 + 0.3 * ridge)) * inland;
            detail.At(x, y) = Fbm(x / 5.0, y / 5.0, {.Seed = seed + 7, .Octaves = 3}) * (12.0 + 90.0 * mask);

            const double depth = SmoothStep(0.0, recipe.ShoreWidth * 0.8, coast - across);
            const double seabed = SeaLevel - 80.0 - (SeaLevel - 140.0) * depth +
                                  30.0 * Fbm(x / 20.0, y / 20.0, {.Seed = seed + 8, .Octaves = 2});
            land.Landness.At(x, y) = landness;
            land.Height.At(x, y) = seabed;   // the land part is added below
        }
    }

    // Scale the ranges so that the highest point is the recipe's peak.
    auto highest = [&](double scale) {
        double top = 0.0;
        for (int i = 0; i < Vertices; ++i)
            top = std::max(top, base.Values[i] + hills.Values[i] + detail.Values[i] + scale * mountains.Values[i]);
        return top;
    };
    double low = 0.0;
    double high = 4.0 * MaxHeight;
    for (int step = 0; step < 40; ++step) {
        const double mid = 0.5 * (low + high);
        (highest(mid) < recipe.PeakHeight ? low : high) = mid;
    }
    for (int i = 0; i < Vertices; ++i) {
        const double landHeight = base.Values[i] + hills.Values[i] + detail.Values[i] + low * mountains.Values[i];
        land.Height.Values[i] = Lerp(land.Height.Values[i], landHeight, land.Landness.Values[i]);
    }
    return land;
}

// ---- rivers ----

struct TStretch {
    int First = 0;
    int Last = 0;
    bool Wet = false;
    double Level = 0.0;
};

struct TRiver {
    std::vector<TPoint> Path;
    std::vector<double> Bed;
    std::vector<double> HalfWidth;
    std::vector<int> StretchOf;
    std::vector<TStretch> Stretches;
    uint32_t Color = 0;
};

// Who owns the low ground at a vertex: its river and stretch, or its lake.
struct TOwner {
    int River = -1;
    int Stretch = -1;
    int Lake = -1;
    double Distance = Infinity;
    double Riverbed = 0.0;   // 1 on the bed, falling to 0 up the banks
};

bool InsidePathArea(int x, int y)
{
    return x >= PathMargin && y >= PathMargin && x <= GridSize - 1 - PathMargin && y <= GridSize - 1 - PathMargin;
}

// The cheapest 8-connected walk from start to the first target vertex, preferring low and
// falling ground: the line a river would take.
std::vector<int> CheapestPath(const TField& height, int start, const std::vector<uint8_t>& target)
{
    std::vector<double> cost(Vertices, Infinity);
    std::vector<int> from(Vertices, -1);
    using TItem = std::pair<double, int>;
    std::priority_queue<TItem, std::vector<TItem>, std::greater<>> open;
    cost[start] = 0.0;
    open.push({0.0, start});
    int reached = -1;
    while (!open.empty()) {
        const auto [c, v] = open.top();
        open.pop();
        if (c > cost[v])
            continue;
        if (target[v]) {
            reached = v;
            break;
        }
        const int vx = v / GridSize;
        const int vy = v % GridSize;
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                if ((dx == 0 && dy == 0) || !InsidePathArea(vx + dx, vy + dy))
                    continue;
                const int w = Index(vx + dx, vy + dy);
                const double length = (dx != 0 && dy != 0) ? std::sqrt(2.0) : 1.0;
                const double rise = std::max(0.0, height.Values[w] - height.Values[v]);
                const double next = c + length * (1.0 + height.Values[w] / 250.0) + 0.5 * rise;
                if (next < cost[w]) {
                    cost[w] = next;
                    from[w] = v;
                    open.push({next, w});
                }
            }
        }
    }
    std::vector<int> path;
    for (int v = reached; v != -1; v = from[v])
        path.push_back(v);
    std::reverse(path.begin(), path.end());
    return path;
}

// Rounds the corners of a grid walk, resamples it evenly and lets it meander where the
// land is low and open (in the hills it keeps to the valley floor the walk found).
std::vector<TPoint> ShapePath(const std::vector<int>& walk, const TField& height, uint64_t seed)
{
    std::vector<TPoint> points;
    for (int v : walk)
        points.push_back({static_cast<double>(v / GridSize), static_cast<double>(v % GridSize)});
    for (int round = 0; round < 4 && points.size() > 2; ++round) {
        std::vector<TPoint> cut{points.front()};
        for (size_t i = 0; i + 1 < points.size(); ++i) {
            const TPoint a = points[i];
            const TPoint b = points[i + 1];
            cut.push_back({0.75 * a.x + 0.25 * b.x, 0.75 * a.y + 0.25 * b.y});
            cut.push_back({0.25 * a.x + 0.75 * b.x, 0.25 * a.y + 0.75 * b.y});
        }
        cut.push_back(points.back());
        points = std::move(cut);
    }

    std::vector<TPoint> even{points.front()};
    double carry = 0.0;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const TPoint a = points[i];
        const TPoint b = points[i + 1];
        const double length = Distance(a, b);
        double t = PathSpacing - carry;
        while (t <= length) {
            even.push_back({a.x + (b.x - a.x) * t / length, a.y + (b.y - a.y) * t / length});
            t += PathSpacing;
        }
        carry = length - (t - PathSpacing);
    }
    if (Distance(even.back(), points.back()) > 0.1)
        even.push_back(points.back());

    const size_t n = even.size();
    std::vector<TPoint> meander = even;
    for (size_t i = 1; i + 1 < n; ++i) {
        const double tx = even[i + 1].x - even[i - 1].x;
        const double ty = even[i + 1].y - even[i - 1].y;
        const double length = Length(tx, ty);
        if (length <= 0.0)
            continue;
        const double s = static_cast<double>(i) * PathSpacing;
        const double taper = SmoothStep(0.0, 12.0, s) * SmoothStep(0.0, 12.0, (n - 1 - i) * PathSpacing) *
                             (1.0 - SmoothStep(MeanderLowland, MeanderUpland, height.Sample(even[i].x, even[i].y)));
        const double offset = MeanderCells * taper * Fbm(s / MeanderLength, 0.5, {.Seed = seed, .Octaves = 2});
        meander[i].x = Clamp(even[i].x - ty / length * offset, PathMargin, GridSize - 1 - PathMargin);
        meander[i].y = Clamp(even[i].y + tx / length * offset, PathMargin, GridSize - 1 - PathMargin);
    }
    return meander;
}

// The bed: falls with the ground from the source, never rises, and lies flat along each
// stretch that is long and level enough to hold water.
void LayBed(TRiver& river, const TField& height, double lowest)
{
    const size_t n = river.Path.size();
    std::vector<double> floor(n);
    double running = Infinity;
    for (size_t i = 0; i < n; ++i) {
        const double ground = height.Sample(river.Path[i].x, river.Path[i].y);
        const double depth = 140.0 + 0.05 * std::max(0.0, ground - SeaLevel);
        running = std::min(running, ground - depth);
        floor[i] = std::max(running, lowest);
    }

    river.Stretches.clear();
    river.StretchOf.assign(n, 0);
    for (size_t first = 0; first < n;) {
        size_t last = first;
        while (last + 1 < n && floor[first] - floor[last + 1] <= StretchMaxDrop &&
               static_cast<int>(last + 1 - first) < StretchMaxPoints)
            ++last;
        TStretch stretch;
        stretch.First = static_cast<int>(first);
        stretch.Last = static_cast<int>(last);
        stretch.Wet = static_cast<int>(last - first + 1) >= StretchMinPoints;
        stretch.Level = floor[last];
        for (size_t i = first; i <= last; ++i)
            river.StretchOf[i] = static_cast<int>(river.Stretches.size());
        river.Stretches.push_back(stretch);
        first = last + 1;
    }

    river.Bed.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const TStretch& stretch = river.Stretches[river.StretchOf[i]];
        river.Bed[i] = stretch.Wet ? stretch.Level : floor[i];
    }
    // Before rapids a wet stretch keeps its level a little past its end, so that its
    // rectangle of water does not reach over the falling bed that follows. (Where
    // another wet stretch follows, the step is small and the overlap is a shallow pool.)
    for (size_t k = 0; k + 1 < river.Stretches.size(); ++k) {
        const TStretch& stretch = river.Stretches[k];
        if (!stretch.Wet || river.Stretches[k + 1].Wet)
            continue;
        const int hold = 2 * static_cast<int>(std::ceil(river.HalfWidth[stretch.Last] + 2.0));
        for (int i = stretch.Last + 1; i <= stretch.Last + hold && i < static_cast<int>(n); ++i)
            river.Bed[i] = std::max(river.Bed[i], stretch.Level);
    }
}

// Nearest path point of a river to (x, y) and its distance.
std::pair<int, double> NearestOnPath(const TRiver& river, double x, double y)
{
    int best = -1;
    double bestSquared = Infinity;
    for (size_t i = 0; i < river.Path.size(); ++i) {
        const double dx = river.Path[i].x - x;
        const double dy = river.Path[i].y - y;
        const double squared = dx * dx + dy * dy;
        if (squared < bestSquared) {
            bestSquared = squared;
            best = static_cast<int>(i);
        }
    }
    return {best, std::sqrt(bestSquared)};
}

void CarveRiver(const TRiver& river, int riverIndex, TField& height, std::vector<TOwner>& owners)
{
    double minX = Infinity, minY = Infinity, maxX = -Infinity, maxY = -Infinity;
    for (const TPoint& p : river.Path) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    const int x0 = std::max(0, static_cast<int>(minX - CarveRadius));
    const int x1 = std::min(GridSize - 1, static_cast<int>(maxX + CarveRadius) + 1);
    const int y0 = std::max(0, static_cast<int>(minY - CarveRadius));
    const int y1 = std::min(GridSize - 1, static_cast<int>(maxY + CarveRadius) + 1);
    const double reachSquared = CarveRadius * CarveRadius;
    for (int x = x0; x <= x1; ++x) {
        for (int y = y0; y <= y1; ++y) {
            // The valley is the lower envelope of the walls rising from every point of the
            // bed: with the nearest point alone, beds of different heights would meet in a
            // cliff where one point stops being the nearest.
            int i = -1;
            double nearestSquared = Infinity;
            double valley = Infinity;
            for (size_t k = 0; k < river.Path.size(); ++k) {
                const double dx = river.Path[k].x - x;
                const double dy = river.Path[k].y - y;
                const double squared = dx * dx + dy * dy;
                if (squared > reachSquared)
                    continue;
                if (squared < nearestSquared) {
                    nearestSquared = squared;
                    i = static_cast<int>(k);
                }
                valley = std::min(valley, river.Bed[k] + ValleyWall(std::sqrt(squared) - river.HalfWidth[k]));
            }
            if (i < 0)
                continue;
            const double d = std::sqrt(nearestSquared);
            height.At(x, y) = SmoothMin(height.At(x, y), valley, ValleySmoothing);
            TOwner& owner = owners[Index(x, y)];
            owner.Riverbed = std::max(owner.Riverbed,
                                      1.0 - SmoothStep(river.HalfWidth[i] - 0.3, river.HalfWidth[i] + BedEdge, d));
            if (d <= river.HalfWidth[i] + ChannelReach && d < owner.Distance) {
                owner.River = riverIndex;
                owner.Stretch = river.StretchOf[i];
                owner.Lake = -1;
                owner.Distance = d;
            }
        }
    }
}

std::vector<TRiver> CutRivers(const TZoneRecipe& recipe, const TBaseLand& base, TField& height,
                              std::vector<TOwner>& owners)
{
    TRandom random(recipe.Seed * 31 + 11);
    std::vector<TRiver> rivers;
    std::vector<TPoint> sources;
    std::vector<uint8_t> target(Vertices, 0);
    for (int v = 0; v < Vertices; ++v)
        target[v] = base.Landness.Values[v] < 0.5 && height.Values[v] < SeaLevel;

    for (int r = 0; r < recipe.Rivers; ++r) {
        // The source: high ground away from the sea, from other sources and from the rivers.
        int source = -1;
        double bestScore = -Infinity;
        for (int attempt = 0; attempt < 800; ++attempt) {
            const int x = random.Range(16, GridSize - 17);
            const int y = random.Range(16, GridSize - 17);
            const int v = Index(x, y);
            const double score = height.Values[v] + random.Uniform(0.0, 3000.0);
            if (base.Landness.Values[v] < 1.0 || Frame(recipe.Shore, x, y).Across < recipe.ShoreWidth + 60.0)
                continue;
            bool crowded = false;
            for (const TPoint& s : sources)
                crowded = crowded || Distance(s, {double(x), double(y)}) < 60.0;
            for (const TRiver& other : rivers)
                crowded = crowded || NearestOnPath(other, x, y).second < 30.0;
            if (!crowded && score > bestScore) {
                bestScore = score;
                source = v;
            }
        }
        if (source < 0)
            break;
        const std::vector<int> walk = CheapestPath(height, source, target);
        if (walk.size() < 40)
            continue;

        TRiver river;
        river.Path = ShapePath(walk, height, recipe.Seed + 100 + static_cast<uint64_t>(r));
        const size_t n = river.Path.size();
        const int mouth = walk.back();
        const bool tributary = base.Landness.Values[mouth] >= 0.5 && owners[mouth].River >= 0;
        river.HalfWidth.resize(n);
        for (size_t i = 0; i < n; ++i)
            river.HalfWidth[i] = (tributary ? 0.8 : 1.0) + (tributary ? 0.6 : 1.1) * static_cast<double>(i) / n;

        double lowest = SeaLevel + MouthBedAboveSea;
        if (tributary) {
            // Ends in an earlier river: stay above that river's bed where they meet.
            const TRiver& parent = rivers[owners[mouth].River];
            const int meet = NearestOnPath(parent, mouth / GridSize, mouth % GridSize).first;
            lowest = parent.Bed[meet] + JoinBedAbove;
        }
        LayBed(river, height, lowest);
        const int shade = r * 17;
        river.Color = PackColor(60 + shade % 50, 118 + shade % 40, 128 + (r * 23) % 60);
        CarveRiver(river, static_cast<int>(rivers.size()), height, owners);

        sources.push_back(river.Path.front());
        for (int v = 0; v < Vertices; ++v)
            if (owners[v].River >= 0 && owners[v].Distance <= 1.0)
                target[v] = 1;
        rivers.push_back(std::move(river));
    }
    return rivers;
}

// ---- lakes ----

struct TLake {
    TPoint Centre;
    double RadiusX = 0.0;
    double RadiusY = 0.0;
    double Level = 0.0;
    uint32_t Color = 0;

    double Reach(double x, double y) const
    {
        return Length((x - Centre.x) / RadiusX, (y - Centre.y) / RadiusY);
    }
};

std::vector<TLake> DigLakes(const TZoneRecipe& recipe, const TBaseLand& base, const std::vector<TRiver>& rivers,
                            TField& height, std::vector<TOwner>& owners)
{
    TRandom random(recipe.Seed * 131 + 7);
    std::vector<TLake> lakes;
    for (int attempt = 0; attempt < 3000 && static_cast<int>(lakes.size()) < recipe.Lakes; ++attempt) {
        TLake lake;
        lake.RadiusX = random.Uniform(5.0, 11.0);
        lake.RadiusY = random.Uniform(5.0, 11.0);
        const double reach = std::max(lake.RadiusX, lake.RadiusY) * LakeCarveEnd;
        lake.Centre = {random.Uniform(reach + 2.0, GridSize - 3.0 - reach),
                       random.Uniform(reach + 2.0, GridSize - 3.0 - reach)};
        const int cx = static_cast<int>(lake.Centre.x);
        const int cy = static_cast<int>(lake.Centre.y);
        if (Frame(recipe.Shore, cx, cy).Across < recipe.ShoreWidth + 40.0 + reach ||
            base.Landness.At(cx, cy) < 1.0)
            continue;
        bool crowded = false;
        for (const TRiver& river : rivers)
            crowded = crowded || NearestOnPath(river, lake.Centre.x, lake.Centre.y).second < reach + 6.0;
        for (const TLake& other : lakes)
            crowded = crowded || Distance(other.Centre, lake.Centre) <
                                     reach + std::max(other.RadiusX, other.RadiusY) * LakeCarveEnd + 4.0;
        if (crowded)
            continue;

        // The surface: just below the lowest ground of the ring around the basin.
        double ringLow = Infinity, ringHigh = -Infinity;
        const int x0 = static_cast<int>(lake.Centre.x - reach), x1 = static_cast<int>(lake.Centre.x + reach) + 1;
        const int y0 = static_cast<int>(lake.Centre.y - reach), y1 = static_cast<int>(lake.Centre.y + reach) + 1;
        for (int x = x0; x <= x1; ++x)
            for (int y = y0; y <= y1; ++y) {
                const double d = lake.Reach(x, y);
                if (d >= 1.0 && d <= LakeRingEnd) {
                    ringLow = std::min(ringLow, height.At(x, y));
                    ringHigh = std::max(ringHigh, height.At(x, y));
                }
            }
        if (ringHigh - ringLow > 1600.0 || ringLow < SeaLevel + 300.0)
            continue;
        lake.Level = std::round(ringLow - LakeRimAbove);
        const double depth = random.Uniform(160.0, 420.0);
        for (int x = x0; x <= x1; ++x)
            for (int y = y0; y <= y1; ++y) {
                const double d = lake.Reach(x, y);
                if (d >= LakeCarveEnd)
                    continue;
                const double e = d - 1.0;
                const double basin =
                    d < 1.0 ? lake.Level - depth * (1.0 - d * d) : lake.Level + LakeRimAbove + 500.0 * e + 2000.0 * e * e;
                const double weight = 1.0 - SmoothStep(LakeRingEnd, LakeCarveEnd, d);
                height.At(x, y) = Lerp(height.At(x, y), std::min(height.At(x, y), basin), weight);
                if (d <= 1.1) {
                    TOwner& owner = owners[Index(x, y)];
                    owner.River = -1;
                    owner.Stretch = -1;
                    owner.Lake = static_cast<int>(lakes.size());
                }
            }
        const int k = static_cast<int>(lakes.size());
        lake.Color = PackColor(38 + 20 * k, 92 + 12 * k, 150 + 15 * k);
        lakes.push_back(lake);
    }
    return lakes;
}

// ---- heightmaps ----

TBankPoint ToBankPoint(double x, double y)
{
    const int gx = std::clamp(static_cast<int>(std::lround(x)), 0, LastCell);
    const int gy = std::clamp(static_cast<int>(std::lround(y)), 0, LastCell);
    return {gx, LastCell - gy};
}

// Splits each height (a multiple of 8) into offset * 48 + terrain * 8, the offset
// following a blurred copy of the land so that the terrain byte holds the local relief.
void StoreHeightmaps(const TField& height, TLandscape& land)
{
    constexpr int BlurRadius = 2;
    constexpr int TerrainMiddle = 127 * TerrainUnit;
    std::vector<int> quantised(MapSize * MapSize);
    auto at = [&](int c, int r) -> int& { return quantised[r * MapSize + c]; };
    for (int r = 0; r < MapSize; ++r)
        for (int c = 0; c < MapSize; ++c) {
            const double h = Clamp(height.At(c, MapSize - r), 0.0, MaxHeight);
            at(c, r) = static_cast<int>(std::lround(h / TerrainUnit)) * TerrainUnit;
        }
    std::vector<double> rows(MapSize * MapSize), blurred(MapSize * MapSize);
    for (int r = 0; r < MapSize; ++r)
        for (int c = 0; c < MapSize; ++c) {
            double sum = 0.0;
            for (int k = -BlurRadius; k <= BlurRadius; ++k)
                sum += at(std::clamp(c + k, 0, MapSize - 1), r);
            rows[r * MapSize + c] = sum / (2 * BlurRadius + 1);
        }
    for (int r = 0; r < MapSize; ++r)
        for (int c = 0; c < MapSize; ++c) {
            double sum = 0.0;
            for (int k = -BlurRadius; k <= BlurRadius; ++k)
                sum += rows[std::clamp(r + k, 0, MapSize - 1) * MapSize + c];
            blurred[r * MapSize + c] = sum / (2 * BlurRadius + 1);
        }

    land.OffsetPixels.resize(MapSize * MapSize);
    land.TerrainPixels.resize(MapSize * MapSize);
    for (int i = 0; i < MapSize * MapSize; ++i) {
        const int h = quantised[i];
        const int fewest = std::max(0, (h - 255 * TerrainUnit + OffsetUnit - 1) / OffsetUnit);
        const int most = std::min(255, h / OffsetUnit);
        const int wanted = static_cast<int>(std::floor((blurred[i] - TerrainMiddle) / OffsetUnit));
        const int offset = std::clamp(wanted, fewest, most);
        land.OffsetPixels[i] = static_cast<uint8_t>(offset);
        land.TerrainPixels[i] = static_cast<uint8_t>((h - offset * OffsetUnit) / TerrainUnit);
    }
    land.Heights = GridFromHeightmaps(land.OffsetPixels, land.TerrainPixels);
}

// ---- water regions ----

TWaterBody RiverStretchWater(const TRiver& river, const TStretch& stretch)
{
    TWaterBody body;
    body.Kind = TWaterKind::River;
    body.Color = river.Color;
    body.Height = static_cast<int>(std::lround(stretch.Level + RiverWaterAboveBed));
    // The first pair stands a cell into the stretch, clear of the step up to the one before.
    for (int i = std::min(stretch.First + 2, stretch.Last);; i = std::min(i + 6, stretch.Last)) {
        const int before = std::max(i - 1, 0);
        const int after = std::min(i + 1, static_cast<int>(river.Path.size()) - 1);
        const double tx = river.Path[after].x - river.Path[before].x;
        const double ty = river.Path[after].y - river.Path[before].y;
        const double length = std::max(Length(tx, ty), 1e-9);
        const double reach = river.HalfWidth[i] + 1.2;
        const TPoint p = river.Path[i];
        body.Banks.push_back({ToBankPoint(p.x - ty / length * reach, p.y + tx / length * reach),
                              ToBankPoint(p.x + ty / length * reach, p.y - tx / length * reach)});
        if (i == stretch.Last)
            break;
    }
    return body;
}

TWaterBody LakeWater(const TLake& lake)
{
    // Opposite points of the shore, the pair turning by 30 degrees from the west and east
    // ends of the lake through its south and north ends.
    constexpr double HalfRoot3 = 0.8660254037844386;
    constexpr double Directions[][2] = {{1.0, 0.0}, {HalfRoot3, 0.5}, {0.5, HalfRoot3},
                                        {0.0, 1.0}, {-0.5, HalfRoot3}, {-HalfRoot3, 0.5}};
    TWaterBody body;
    body.Kind = TWaterKind::Lake;
    body.Color = lake.Color;
    body.Height = static_cast<int>(lake.Level);
    for (const auto& direction : Directions) {
        const double dx = lake.RadiusX * direction[0];
        const double dy = lake.RadiusY * direction[1];
        body.Banks.push_back({ToBankPoint(lake.Centre.x - dx, lake.Centre.y - dy),
                              ToBankPoint(lake.Centre.x + dx, lake.Centre.y + dy)});
    }
    return body;
}

// The sea: pairs from the coast to the shore edge along the whole shore.
TWaterBody SeaWater(const TZoneRecipe& recipe, const TField& height, uint32_t color)
{
    constexpr int Step = 8;
    TWaterBody body;
    body.Kind = TWaterKind::Sea;
    body.Color = color;
    body.Height = static_cast<int>(SeaLevel);
    for (int along = 0;; along = std::min(along + Step, LastCell)) {
        // The farthest sea vertex from the shore edge on this line.
        int coast = -1;
        for (int across = 0; across < MapSize / 2; ++across) {
            int x = across, y = along;
            switch (recipe.Shore) {
            case TShore::West: x = across; y = along; break;
            case TShore::East: x = LastCell - across; y = along; break;
            case TShore::South: x = along; y = across; break;
            case TShore::North: x = along; y = MapSize - across; break;
            }
            if (height.At(x, y) < SeaLevel)
                coast = across;
        }
        if (coast < 0) {
            if (along == LastCell)
                break;
            continue;
        }
        const double reach = coast + 1.0;
        switch (recipe.Shore) {
        case TShore::West: body.Banks.push_back({ToBankPoint(reach, along), ToBankPoint(0, along)}); break;
        case TShore::East:
            body.Banks.push_back({ToBankPoint(LastCell - reach, along), ToBankPoint(LastCell, along)});
            break;
        case TShore::South: body.Banks.push_back({ToBankPoint(along, reach), ToBankPoint(along, 0)}); break;
        case TShore::North:
            body.Banks.push_back({ToBankPoint(along, MapSize - reach), ToBankPoint(along, MapSize)});
            break;
        }
        if (along == LastCell)
            break;
    }
    return body;
}

// Lowers a region's surface below any ground inside its rectangle that is not its own bed,
// and drops it when that leaves no water above its bed. Returns whether it stays.
bool FitToGround(TWaterBody& body, const TLandscape& land, double floor,
                 const std::function<bool(int x, int y)>& ownGround)
{
    if (body.Banks.empty())
        return false;
    double surface = body.Height;
    for (int x = body.GridX0(); x <= body.GridX1(); ++x)
        for (int y = body.GridY0(); y <= body.GridY1(); ++y)
            if (land.Height(x, y) < surface && !ownGround(x, y))
                surface = land.Height(x, y) - WaterClearance;
    if (surface < floor + 2 * WaterClearance)
        return false;
    body.Height = static_cast<int>(surface);
    int flooded = 0;
    for (int x = body.GridX0(); x <= body.GridX1(); ++x)
        for (int y = body.GridY0(); y <= body.GridY1(); ++y)
            flooded += land.Height(x, y) < body.Height;
    return flooded >= MinFloodedVertices;
}

}  // namespace

int TWaterBody::GridX0() const
{
    int v = Banks.empty() ? 0 : Banks[0].first.x;
    for (const auto& [l, r] : Banks)
        v = std::min({v, l.x, r.x});
    return v;
}

int TWaterBody::GridX1() const
{
    int v = Banks.empty() ? 0 : Banks[0].first.x;
    for (const auto& [l, r] : Banks)
        v = std::max({v, l.x, r.x});
    return v;
}

int TWaterBody::GridY0() const
{
    int bottom = Banks.empty() ? 0 : Banks[0].first.y;
    for (const auto& [l, r] : Banks)
        bottom = std::max({bottom, l.y, r.y});
    return LastCell - bottom;
}

int TWaterBody::GridY1() const
{
    int top = Banks.empty() ? 0 : Banks[0].first.y;
    for (const auto& [l, r] : Banks)
        top = std::min({top, l.y, r.y});
    return LastCell - top;
}

uint16_t TLandscape::Height(int x, int y) const
{
    x = std::clamp(x, 0, GridSize - 1);
    y = std::clamp(y, 0, GridSize - 1);
    return Heights[Index(x, y)];
}

std::vector<uint16_t> GridFromHeightmaps(const std::vector<uint8_t>& offset, const std::vector<uint8_t>& terrain)
{
    const auto grid = std::make_unique<orv::TTerrain>();
    orv::StoreTerrainHeights(offset, terrain, *grid);
    std::vector<uint16_t> heights(Vertices, 0);
    for (int x = 0; x < GridSize; ++x)
        for (int y = 0; y < GridSize; ++y)
            heights[Index(x, y)] = (*grid)[x][y].Height;
    return heights;
}

TLandscape BuildLandscape(const TZoneRecipe& recipe)
{
    const TBaseLand base = BuildBaseLand(recipe);
    TField height = base.Height;
    std::vector<TOwner> owners(Vertices);
    const std::vector<TRiver> rivers = CutRivers(recipe, base, height, owners);
    const std::vector<TLake> lakes = DigLakes(recipe, base, rivers, height, owners);

    TLandscape land;
    land.SeaLevel = static_cast<int>(SeaLevel);
    StoreHeightmaps(height, land);
    land.Riverbed.resize(Vertices);
    for (int v = 0; v < Vertices; ++v)
        land.Riverbed[v] = static_cast<float>(owners[v].Riverbed);

    for (size_t r = 0; r < rivers.size(); ++r) {
        const TRiver& river = rivers[r];
        for (size_t k = 0; k < river.Stretches.size(); ++k) {
            const TStretch& stretch = river.Stretches[k];
            if (!stretch.Wet)
                continue;
            TWaterBody body = RiverStretchWater(river, stretch);
            // Its own bed, and the beds of the neighbouring stretches where the rectangle
            // reaches over them, may lie under this water, unless they fall away steeply
            // there (or are some other valley the river passes near).
            const auto own = [&](int x, int y) {
                const TOwner& o = owners[Index(x, y)];
                return o.River == static_cast<int>(r) && std::abs(o.Stretch - static_cast<int>(k)) <= 1 &&
                       land.Height(x, y) >= stretch.Level - StretchMaxDrop;
            };
            if (FitToGround(body, land, stretch.Level, own))
                land.Water.push_back(std::move(body));
        }
    }
    for (size_t k = 0; k < lakes.size(); ++k) {
        TWaterBody body = LakeWater(lakes[k]);
        const auto own = [&](int x, int y) { return owners[Index(x, y)].Lake == static_cast<int>(k); };
        if (FitToGround(body, land, lakes[k].Level - 100.0, own))
            land.Water.push_back(std::move(body));
    }
    TWaterBody sea = SeaWater(recipe, height, PackColor(34, 84, 128));
    const auto coastal = [&](int x, int y) {
        return base.Landness.At(x, y) < 0.999 || owners[Index(x, y)].River >= 0;
    };
    if (FitToGround(sea, land, 0.0, coastal))
        land.Water.push_back(std::move(sea));
    return land;
}

std::string FormatSectorFile(const TLandscape& land)
{
    std::string text;
    char line[128];
    std::snprintf(line, sizeof line, "[waterdefs]\nnum=%d\n", static_cast<int>(land.Water.size()));
    text += line;
    for (size_t k = 0; k < land.Water.size(); ++k) {
        const TWaterBody& body = land.Water[k];
        std::snprintf(line, sizeof line, "\n[river%02d]\nbankpoints=%d\n", static_cast<int>(k),
                      static_cast<int>(body.Banks.size()));
        text += line;
        for (size_t i = 0; i < body.Banks.size(); ++i) {
            const auto& [left, right] = body.Banks[i];
            std::snprintf(line, sizeof line, "left%02d=%d,%d\nright%02d=%d,%d\n", static_cast<int>(i), left.x, left.y,
                          static_cast<int>(i), right.x, right.y);
            text += line;
        }
        std::snprintf(line, sizeof line, "height=%d\ncolor=0x%08X\n", body.Height, body.Color);
        text += line;
    }
    return text;
}

}  // namespace orvgame
