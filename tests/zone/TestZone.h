// TestZone: zone archives and scratch directories for the tests.
//
//   TTempDir dir;                                    // removed with everything in it
//   TTestZone zone = TTestZone::FromHeights([](int x, int y) { return 8 * x; });
//   zone.Sector = "[waterdefs]\nnum=0\n";
//   WriteZone(dir.Path(), 111, zone);                // zones/zone111/dat111.mpk (+ tex)
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orv::test {

class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    // Ends in "/".
    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
};

// Runs the rest of a scope in another working directory.
class TWorkingDir {
public:
    explicit TWorkingDir(const std::string& path);
    ~TWorkingDir();
    TWorkingDir(const TWorkingDir&) = delete;
    TWorkingDir& operator=(const TWorkingDir&) = delete;

private:
    std::string m_Previous;
};

struct TTestZone {
    // 256 x 256 pixels each, first scanline first (it lands on y = 256).
    std::vector<uint8_t> TerrainPixels = std::vector<uint8_t>(256 * 256, 0);
    std::vector<uint8_t> OffsetPixels = std::vector<uint8_t>(256 * 256, 0);
    std::string Sector = "[waterdefs]\r\nnum=0\r\n";
    bool WithTerrain = true, WithOffset = true, WithSector = true;

    // Pixels for the vertex heights height(x, y), x 0..255, y 1..256; each height must be
    // offset * 48 + terrain * 8 for bytes offset and terrain (any multiple of 8 up to
    // 14280 is).
    static TTestZone FromHeights(const std::function<int(int x, int y)>& height);
    // The height the loader gives vertex (x, y) for x 0..255, y 1..256.
    int HeightAt(int x, int y) const;
};

std::vector<uint8_t> BuildDataArchive(const TTestZone& zone);
// Writes gameDir/zones/zone%3.3d/dat%3.3d.mpk, and with textures an (empty) texture
// archive beside it. Returns the data archive's path.
std::string WriteZone(const std::string& gameDir, int zoneId, const TTestZone& zone, bool textures = true);

// The bytes of a file, or nothing when it cannot be read.
std::vector<uint8_t> FileBytes(const std::string& path);
std::vector<std::string> DirectoryEntries(const std::string& path);

}  // namespace orv::test
