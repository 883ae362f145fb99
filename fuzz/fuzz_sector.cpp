// Fuzz target: the INI reader and the water regions of "sector.dat", then the water's
// corners as the frame draws them. Every region must be a rectangle its bank points
// span, and the rivers no more than "num" asks for.
#include <cstddef>
#include <cstdint>

#include "base/Exception.h"
#include "scene/FrameMath.h"
#include "zone/IniFile.h"
#include "zone/WaterRegions.h"

namespace {
// Keeps the results from being optimised away.
volatile float Sink = 0.0f;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const orv::TIniFile ini({data, size});
    orv::TWaterRegionList regions;
    try {
        orv::ReadWaterRegions(ini, regions);
    } catch (const orv::Exception&) {
    }
    const int32_t count = ini.ReadInteger("waterdefs", "num", 0);
    if (regions.size() > static_cast<size_t>(count > 0 ? count : 0))
        __builtin_trap();
    float sum = 0.0f;
    for (const auto& region : regions) {
        const orv::TRect& b = region->Bounds;
        if (b.Left > b.Right || b.Top > b.Bottom)
            __builtin_trap();
        for (const orv::TVec3f& corner : orv::WaterCorners(*region))
            sum += corner.x + corner.y + corner.z;
    }
    Sink = sum;
    return 0;
}
