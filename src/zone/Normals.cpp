#include "zone/Normals.h"

namespace orv {

void CreateTerrainNormals(const TTerrain& terrain, TTerrainNormals& normals)
{
    constexpr float Step = static_cast<float>(CellSize);
    const TVec3f up = VecSet(0.0f, 0.0f, 1.0f);
    for (int x = 0; x <= GridCells; ++x) {
        for (int y = 0; y <= GridCells; ++y) {
            if (x == 0 || x == GridCells || y == 0 || y == GridCells) {
                normals[x][y] = up;
                continue;
            }
            const int h = terrain[x][y].Height;
            auto rise = [&](int i, int j) { return static_cast<float>(terrain[i][j].Height - h); };
            const TVec3f e1 = VecSet(-Step, 0.0f, rise(x - 1, y));
            const TVec3f e2 = VecSet(0.0f, -Step, rise(x, y - 1));
            const TVec3f e3 = VecSet(Step, 0.0f, rise(x + 1, y));
            const TVec3f e4 = VecSet(0.0f, Step, rise(x, y + 1));
            const TVec3f c1 = VecCross(e1, e2);
            const TVec3f c2 = VecCross(e2, e3);
            const TVec3f c3 = VecCross(e3, e4);
            const TVec3f c4 = VecCross(e4, e1);
            TVec3f n = VecAdd(VecAdd(VecAdd(c1, c2), c3), c4);
            VecNormalize(n);
            normals[x][y] = n;
        }
    }
}

}  // namespace orv
