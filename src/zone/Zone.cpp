#include "zone/Zone.h"

#include <cmath>

namespace orv {

std::optional<TGridIndex> NearestVertex(float worldX, float worldY)
{
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double i = std::nearbyint(static_cast<double>(worldX) / CellSize);
    const double j = std::nearbyint(static_cast<double>(worldY) / CellSize);
    if (!(i >= 0 && i <= GridCells && j >= 0 && j <= GridCells))
        return std::nullopt;
    return TGridIndex{static_cast<int>(i), static_cast<int>(j)};
}

}  // namespace orv
