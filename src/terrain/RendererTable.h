// RendererTable: the terrain renderers, one row each. The command line's names, the
// viewer's radio buttons, the help texts and the drawing (DrawTerrain, Renderers.h) are
// all built from these rows; a new renderer is a row here and its drawing.
//
//   const TRendererEntry* r = FindRendererByName("fan");  // r->Tag == rvFan, r->Label == "Fan renderer"
//   RendererNames(", ", " or ");                      // "v1, pointer, fan or clod"
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "terrain/DrawSwitches.h"

namespace orv {

// The winding DrawTerrain sets as front facing before a renderer draws.
enum class TFrontFace : uint8_t { Unchanged, Clockwise, CounterClockwise };

struct TRendererEntry {
    TRenderVersion Tag;        // RenderVersion, and the radio button's tag
    std::string_view Name;     // on command lines (--renderer NAME)
    std::string_view Label;    // the radio button's caption
    bool CullFaces;            // selecting it switches face culling on (off: both sides drawn)
    TFrontFace FrontFace;
};

// In the order of the panel's radio buttons, top to bottom.
inline constexpr std::array<TRendererEntry, 4> RendererTable{{
    {rvV1, "v1", "V1 renderer", true, TFrontFace::Clockwise},
    {rvPointer, "pointer", "Pointer renderer", false, TFrontFace::Unchanged},
    {rvFan, "fan", "Fan renderer", true, TFrontFace::CounterClockwise},
    {rvCLOD, "clod", "CLOD fans", true, TFrontFace::Unchanged},
}};

// The row of a RenderVersion value; null for a value no renderer has (nothing is drawn).
constexpr const TRendererEntry* FindRenderer(int tag)
{
    for (const TRendererEntry& entry : RendererTable)
        if (entry.Tag == tag)
            return &entry;
    return nullptr;
}

// The row of a command-line name (exact letter case); null for an unknown name.
constexpr const TRendererEntry* FindRendererByName(std::string_view name)
{
    for (const TRendererEntry& entry : RendererTable)
        if (entry.Name == name)
            return &entry;
    return nullptr;
}

// The renderer selected at start-up.
constexpr const TRendererEntry& DefaultRenderer() { return *FindRenderer(TDrawSwitches{}.RenderVersion); }

// The command-line names in order, joined by separator, the last two by lastSeparator.
inline std::string RendererNames(std::string_view separator, std::optional<std::string_view> lastSeparator = {})
{
    std::string names;
    for (size_t i = 0; i < RendererTable.size(); ++i) {
        if (i > 0)
            names += i + 1 == RendererTable.size() ? lastSeparator.value_or(separator) : separator;
        names += RendererTable[i].Name;
    }
    return names;
}

}  // namespace orv
