#include "zone/TestZone.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "TestSystem.h"
#include "base/Format.h"
#include "writers/ImageWriters.h"
#include "writers/MPKWriter.h"

namespace orv::test {

TTempDir::TTempDir() : m_Path(MakeScratchDirectory("orvandel-test").string() + "/") {}

TTempDir::~TTempDir()
{
    std::error_code ignored;
    // Make everything writable again first, so that a test's read-only folder goes too.
    for (auto it = std::filesystem::recursive_directory_iterator(m_Path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    std::filesystem::permissions(m_Path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(m_Path, ignored);
}

TWorkingDir::TWorkingDir(const std::string& path) : m_Previous(std::filesystem::current_path().string())
{
    std::filesystem::current_path(path);
}

TWorkingDir::~TWorkingDir()
{
    std::error_code ignored;
    std::filesystem::current_path(m_Previous, ignored);
}

TTestZone TTestZone::FromHeights(const std::function<int(int x, int y)>& height)
{
    TTestZone zone;
    for (int r = 0; r < 256; ++r) {
        for (int c = 0; c < 256; ++c) {
            const int h = height(c, 256 - r);
            if (h < 0 || h > 14280 || h % 8 != 0)
                throw std::invalid_argument("height not representable");
            // As much as possible in the offset byte, the rest in the terrain byte.
            int o = std::min(h / 48, 255);
            const int t = (h - 48 * o) / 8;
            if (t > 255)
                throw std::invalid_argument("height not representable");
            zone.OffsetPixels[static_cast<size_t>(r * 256 + c)] = static_cast<uint8_t>(o);
            zone.TerrainPixels[static_cast<size_t>(r * 256 + c)] = static_cast<uint8_t>(t);
        }
    }
    return zone;
}

int TTestZone::HeightAt(int x, int y) const
{
    const size_t i = static_cast<size_t>((256 - y) * 256 + x);
    return OffsetPixels[i] * 48 + TerrainPixels[i] * 8;
}

std::vector<uint8_t> BuildDataArchive(const TTestZone& zone)
{
    constexpr uint32_t Timestamp = 1'200'000'000;
    std::vector<TMPKMember> members;
    if (zone.WithTerrain)
        members.push_back({"terrain.pcx", EncodePCX8(256, 256, zone.TerrainPixels, {}), Timestamp});
    if (zone.WithOffset)
        members.push_back({"offset.pcx", EncodePCX8(256, 256, zone.OffsetPixels, {}), Timestamp});
    if (zone.WithSector)
        members.push_back({"sector.dat", std::vector<uint8_t>(zone.Sector.begin(), zone.Sector.end()), Timestamp});
    return BuildMPK("dat", members);
}

std::string WriteZone(const std::string& gameDir, int zoneId, const TTestZone& zone, bool textures)
{
    const std::string folder = Format("%szones/zone%3.3d/", {gameDir, zoneId});
    std::filesystem::create_directories(folder);
    const std::string data = Format("%sdat%3.3d.mpk", {folder, zoneId});
    const std::vector<uint8_t> bytes = BuildDataArchive(zone);
    std::ofstream(data, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    if (textures)
        WriteMPK(Format("%stex%3.3d.mpk", {folder, zoneId}), "tex", {});
    return data;
}

std::vector<uint8_t> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> DirectoryEntries(const std::string& path)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace orv::test
