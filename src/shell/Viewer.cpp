#include "shell/Viewer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "base/CgUtils.h"
#include "base/Format.h"
#include "base/Log.h"
#include "base/TextCase.h"
#include "base/Wrapping.h"
#include "base/platform/Files.h"
#include "formats/MPKFile.h"
#include "scene/MapDumps.h"
#include "terrain/CLOD.h"
#include "zone/Heightfield.h"
#include "zone/Normals.h"
#include "zone/TextValues.h"
#include "zone/WaterRegions.h"
#include "zone/ZonePaths.h"

namespace orv {
namespace {

constexpr TVec3f StartPosition{32768.0f, 256.0f, 256.0f};
constexpr float StartPitch = 80.0f;
constexpr float LevelPitch = 90.0f;
constexpr float MaxPitch = 180.0f;
constexpr int LocYBase = 65535;   // Loc Y grows opposite to world y
constexpr float MouseDegreePixels = 5.0f;

// Movement speeds in world units per millisecond.
constexpr float NormalSpeed = 2.0f;
constexpr float ShiftSpeed = 8.0f;
constexpr float AltSpeed = 0.4296875f;

// The items of a location: X, Y, Z, h, p.
enum TLocItem : size_t { LocX, LocY, LocZ, LocH, LocP, LocItems };
// The camera after "above" in the location box.
constexpr int AboveLocation[LocItems] = {29963, 55175, 30683, 359, 7};

[[maybe_unused]] constexpr std::string_view WineGameDir = "drive_c/games/isles/";
[[maybe_unused]] constexpr std::string_view WindowsGameDir = "c:\\games\\isles\\";
constexpr std::string_view ZonesFolder = "zones";
constexpr std::string_view ZonePrefix = "zone";
// Zone numbers beyond nine digits do not fit the archive's 32-bit zone id.
constexpr size_t MaxZoneDigits = 9;

// Rounds to the nearest integer, halves to even. Like the processor's conversion with
// invalid operations masked, a value without an integer (NaN, out of range) gives the
// smallest 64-bit integer.
int64_t RoundToInt64(double value)
{
    const double r = std::nearbyint(value);
    constexpr double Limit = 9223372036854775808.0;   // 2^63
    if (!(r >= -Limit && r < Limit))
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(r);
}

// heading := -h, then wrapped into 0..360 once.
float HeadingFromLoc(int32_t h)
{
    float heading = static_cast<float>(WrappingSub(0, h));
    if (heading < 0.0f)
        heading += FullTurn;
    else if (heading > FullTurn)
        heading -= FullTurn;
    return heading;
}

}  // namespace

TViewer::TViewer() : GameDir(DefaultGameDir()) {}

TViewer::~TViewer() = default;

// --- Zone ------------------------------------------------------------------------

void TViewer::LoadZone(int zoneId)
{
    // Whatever goes wrong (running out of memory too) is told with the archive it came
    // from; the readers name the member.
    const std::string dataPath = ZoneArchivePath(GameDir, zoneId, TZoneArchive::Data);
    NamingFailures(dataPath, "", [&] {
        TMPKFile data(dataPath);
        LoadTerrainVertices(data);
        CreateTerrainNormals();
        LoadWaterRegions(data);
    });
    if (TexturesEnabled) {
        const uint32_t start = TickCountMs();
        const std::string texturePath = ZoneArchivePath(GameDir, zoneId, TZoneArchive::Texture);
        NamingFailures(texturePath, "", [&] {
            TMPKFile textures(texturePath);
            LoadTerrainTextures(textures);
        });
        Log(Format("Textures loaded in %d ms", {static_cast<int64_t>(TickCountMs() - start)}));
    }
    // Only a zone that loaded whole leaves its sector.dat behind.
    if (LeavesSectorFile)
        orv::WriteSectorFile(m_SectorBytes);
    m_SectorBytes.clear();
    ZoneID = zoneId;
}

void TViewer::LoadTerrainVertices(TMPKFile& archive)
{
    Log("Loading terrain verticies...");
    const THeightRange range = ReadTerrainHeights(archive, Terrain);
    ComputeD2Values();
    UpdateCLOD();
    Log(Format("MinZ=%d MaxZ=%d", {range.MinZ, range.MaxZ}));
}

void TViewer::CreateTerrainNormals()
{
    Log("Creating terrain normals...");
    orv::CreateTerrainNormals(Terrain, TerrainNormals);
}

void TViewer::LoadWaterRegions(TMPKFile& archive)
{
    Log("Loading water regions...");
    m_SectorBytes = ExtractWaterRegions(archive, WaterRegions);
}

void TViewer::LoadTerrainTextures(TMPKFile&) {}

// --- Level of detail -------------------------------------------------------------

void TViewer::ComputeD2Values() { orv::ComputeD2Values(Terrain); }

void TViewer::UpdateCLOD() { orv::UpdateCLOD(Terrain, Camera.Pos, CLODDetail); }

void TViewer::SetCLODDetail(int position)
{
    CLODDetail = static_cast<float>(position / static_cast<double>(CLODDetailMax));
    UpdateCLOD();
}

// --- Camera and navigation -------------------------------------------------------

void TViewer::ResetCamera()
{
    Camera.Pos = StartPosition;
    Camera.Pitch = StartPitch;
    Camera.Heading = 0.0f;
}

void TViewer::SetLocation(int X, int Y, int Z, int h, int p)
{
    Camera.Pos.x = static_cast<float>(X);
    Camera.Pos.y = static_cast<float>(WrappingSub(LocYBase, Y));
    Camera.Pos.z = static_cast<float>(Z);
    Camera.Heading = HeadingFromLoc(h);
    Camera.Pitch = static_cast<float>(p);
}

std::string TViewer::LocationText() const
{
    const int64_t x = RoundToInt64(Camera.Pos.x);
    const int64_t y = LocYBase - RoundToInt64(Camera.Pos.y);
    const int64_t z = RoundToInt64(Camera.Pos.z);
    // The remainder takes the sign of the dividend, as C++'s % does.
    constexpr auto Turn = static_cast<int64_t>(FullTurn);
    const int64_t h = (RoundToInt64(-Camera.Heading) + Turn) % Turn;
    const int64_t p = RoundToInt64(Camera.Pitch);
    return Format("%d,%d,%d,%d,%d", {x, y, z, h, p});
}

void TViewer::ApplyLocationReply(const std::string& reply)
{
    if (SameTextIgnoringCase(reply, "above")) {
        const auto& a = AboveLocation;
        SetLocation(a[LocX], a[LocY], a[LocZ], a[LocH], a[LocP]);
        return;
    }
    // The whole reply is converted before anything moves: a bad item leaves the camera
    // where it was.
    const std::vector<std::string> items = SplitCommaText(reply);
    const int x = StrToInt(ListItem(items, LocX));
    const int y = StrToInt(ListItem(items, LocY));
    std::optional<int> z, h, p;
    if (items.size() > LocZ)
        z = StrToInt(items[LocZ]);
    if (items.size() > LocH)
        h = StrToInt(items[LocH]);
    if (items.size() > LocP)
        p = StrToInt(items[LocP]);
    Camera.Pos.x = static_cast<float>(x);
    Camera.Pos.y = static_cast<float>(WrappingSub(LocYBase, y));
    if (z)
        Camera.Pos.z = static_cast<float>(*z);
    if (h)
        Camera.Heading = HeadingFromLoc(*h);
    if (p)
        Camera.Pitch = static_cast<float>(*p);
}

bool TViewer::MoveCamera(float t, const TKeyState& keys)
{
    const float s = keys.Alt ? AltSpeed : keys.Shift ? ShiftSpeed : NormalSpeed;
    TVec3f m;
    if (keys.Up)
        m.z = -t * s;
    else if (keys.Down)
        m.z = t * s;
    if (keys.Left)
        m.x = -t * s;
    else if (keys.Right)
        m.x = t * s;
    VecRotateX(m, Radians(Camera.Pitch));
    VecRotateZ(m, Radians(Camera.Heading));
    if (m.x == 0.0f && m.z == 0.0f)
        return false;
    Camera.Pos = VecAdd(Camera.Pos, m);
    UpdateCLOD();
    return true;
}

bool TViewer::WheelMove(float notches, bool shift, bool alt)
{
    TKeyState keys;
    keys.Shift = shift;
    keys.Alt = alt;
    keys.Up = notches > 0.0f;
    keys.Down = notches < 0.0f;
    return MoveCamera(std::fabs(notches) * WheelNotchMs, keys);
}

void TViewer::MouseMove(int x, int y, bool leftButton)
{
    if (leftButton) {
        const double dx = static_cast<double>(x) - LastMouse.X, dy = static_cast<double>(y) - LastMouse.Y;
        Camera.Pitch = static_cast<float>(Camera.Pitch - dy / MouseDegreePixels);
        Camera.Heading = static_cast<float>(Camera.Heading - dx / MouseDegreePixels);
        if (Camera.Pitch > MaxPitch)
            Camera.Pitch = MaxPitch;
        if (Camera.Pitch < -MaxPitch)
            Camera.Pitch = -MaxPitch;
        if (Camera.Heading > FullTurn)
            Camera.Heading -= FullTurn;
        else if (Camera.Heading < 0.0f)
            Camera.Heading += FullTurn;
    }
    LastMouse = {x, y};
}

// --- Map dumps -------------------------------------------------------------------

void TViewer::DumpD2Map(std::FILE* out) { orv::DumpD2Map(Terrain, out); }

void TViewer::DumpHeightMap(std::FILE* out) { DumpHMap(Terrain, out); }

// --- Game directory ----------------------------------------------------------------

std::string DefaultGameDir()
{
#ifdef _WIN32
    return std::string(WindowsGameDir);
#else
    std::string prefix;
    if (const char* wine = std::getenv("WINEPREFIX"); wine && *wine) {
        prefix = wine;
    } else {
        prefix = IncludeTrailingPathDelimiter(platform::HomeFolder()) + ".wine";
    }
    return IncludeTrailingPathDelimiter(prefix) + std::string(WineGameDir);
#endif
}

std::string GameDirFromArgument(const std::string& argument) { return IncludeTrailingPathDelimiter(argument); }

std::string GameFolderProblem(const std::string& dir)
{
    if (platform::KindOf(dir, true) != platform::TFileKind::Directory)
        return "There is no folder " + dir + ".";
    const std::string zones = ResolvePathIgnoringCase(IncludeTrailingPathDelimiter(dir), ZonesFolder);
    if (platform::KindOf(zones, true) != platform::TFileKind::Directory)
        return std::string("There is no zones folder in ").append(dir).append(
            ", so it is no game folder: choose the folder that holds zones and data.");
    return "";
}

std::vector<int> GameZones(const std::string& gameDir)
{
    std::vector<int> zones;
    const std::string folder = ResolvePathIgnoringCase(IncludeTrailingPathDelimiter(gameDir), ZonesFolder);
    for (const std::string& name : platform::DirectoryEntries(folder)) {
        if (name.size() < ZonePrefix.size() + 3 || !SameTextIgnoringCase(name.substr(0, ZonePrefix.size()), ZonePrefix))
            continue;
        const std::string digits = name.substr(ZonePrefix.size());
        if (digits.size() > MaxZoneDigits || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const int zone = std::stoi(digits);
        // The folder's own name must be the one the archive path is formed with.
        std::array<char, 16> formatted{};
        std::snprintf(formatted.data(), formatted.size(), "%03d", zone);
        if (digits != formatted.data())
            continue;
        if (platform::KindOf(ZoneArchivePath(IncludeTrailingPathDelimiter(gameDir), zone, TZoneArchive::Data), true) ==
            platform::TFileKind::Regular)
            zones.push_back(zone);
    }
    std::sort(zones.begin(), zones.end());
    zones.erase(std::unique(zones.begin(), zones.end()), zones.end());
    return zones;
}

std::string MissingZoneNote(const std::string& gameDir, int zoneId)
{
    if (std::string problem = GameFolderProblem(gameDir); !problem.empty())
        return problem;
    const std::vector<int> zones = GameZones(gameDir);
    if (std::find(zones.begin(), zones.end(), zoneId) != zones.end())
        return "";
    if (zones.empty())
        return "There are no zones in " + IncludeTrailingPathDelimiter(gameDir) + std::string(ZonesFolder) + ".";
    std::string note = "The zones of this game folder: ";
    for (size_t i = 0; i < zones.size(); ++i)
        note.append(i == 0 ? "" : ", ").append(std::to_string(zones[i]));
    return note.append(".");
}

}  // namespace orv
