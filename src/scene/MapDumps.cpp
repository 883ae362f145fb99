#include "scene/MapDumps.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "base/Exception.h"

namespace orv {
namespace {

[[noreturn]] void WriteFailed()
{
    throw EWriteError(std::string("Cannot write the map dump: ") + std::strerror(errno));
}

void Put(std::FILE* out, const char* text)
{
    errno = 0;
    if (std::fputs(text, out) == EOF || std::fflush(out) == EOF)
        WriteFailed();
}

template <typename TValue>
void DumpMap(const TTerrain& terrain, std::FILE* out, TValue value)
{
    constexpr size_t ValueText = 16;   // 8 digits, the blank and the end
    for (int k = 0; k <= GridCells; ++k) {
        for (int c = 0; c <= GridCells; ++c) {
            char text[ValueText];
            std::snprintf(text, sizeof text, "%04X ", static_cast<unsigned>(value(terrain[c][k])));
            Put(out, text);
        }
        Put(out, "\n");
    }
}

}  // namespace

void DumpD2Map(const TTerrain& terrain, std::FILE* out)
{
    DumpMap(terrain, out, [](const TTerrainVertex& v) { return static_cast<uint32_t>(v.D2); });
}

void DumpHMap(const TTerrain& terrain, std::FILE* out)
{
    DumpMap(terrain, out, [](const TTerrainVertex& v) { return static_cast<uint32_t>(v.Height); });
}

}  // namespace orv
