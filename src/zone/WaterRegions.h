// WaterRegions: a zone's rivers and lakes from the member "sector.dat" of its data
// archive.
//
//   LoadWaterRegions(archive, regions);          // the zone loading step
//   ReadWaterRegions(TIniFile(bytes), regions);  // the text alone, appending
//
// "waterdefs"/"num" rivers; river r is section "river%2.2d" with "bankpoints" pairs of
// keys "left%2.2d" and "right%2.2d" (each "x,y", further items ignored), "height" and
// "color" (0x00BBGGRR, default 0xFFFF00). A region keeps the bounding rectangle of all
// bank points of its river.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zone/Zone.h"

namespace orv {

class TMPKFile;
class TIniFile;

constexpr std::string_view SectorMember = "sector.dat";
// The section of region r: "river%2.2d".
std::string WaterRegionSection(int r);
constexpr uint32_t DefaultWaterColor = 0xFFFF00;
// What a zone's water definition can hold. Every region costs each frame one quad, the
// map a test in each of its pixels and the export a primitive with its material, so the
// regions a file can give are bounded, not only the bytes it takes:
// - the sections and keys are numbered in two digits ("river%2.2d"), made for at most
//   100 rivers (the sample zones have 8 to 25);
// - each region is the bounding rectangle of a river's banks; rectangles overlap where
//   rivers wind and meet, but together they cover at most four times the zone's 256 x 256
//   cells (the sample zones: a fifth to a quarter of it once). Rectangles reaching out of
//   the zone count whole: they are drawn whole.
// A file beyond either bound is refused (EFormatError).
constexpr int MaxWaterRegions = 100;
constexpr int64_t MaxWaterCells = int64_t{4} * GridCells * GridCells;
// A "sector.dat" larger than this is no water definition (a zone's rivers and lakes take
// a few kilobytes): the member is refused once that much is inflated, before it fills
// memory or the disk.
constexpr int64_t MaxSectorBytes = int64_t{4} << 20;

// Appends one region per river. A missing or empty bank point raises EListError
// "sector.dat: [river01]: no left01"; a bad one EListError ("List index out of bounds
// (%d)") or EConvertError ("'%s' is not a valid integer value") after
// "sector.dat: [river01]: left01: "; the regions of the rivers before it stay appended.
// A "num" above MaxWaterRegions raises EFormatError before any region is added, and
// regions covering more than MaxWaterCells raise it at the river that goes over.
void ReadWaterRegions(const TIniFile& ini, TWaterRegionList& regions);

// Clears the list, extracts "sector.dat" (raising the archive's error when it is
// missing, EMPKError when it is larger than MaxSectorBytes or damaged) and reads the
// regions from the member's bytes. With a directory (the viewer's "."), the member is
// first written to directory/sector.dat (a temporary file in the directory renamed into
// place); when that fails, one log line says so and the regions are read all the same.
// Without one nothing is written. Errors name the archive and the member.
void LoadWaterRegions(TMPKFile& archive, TWaterRegionList& regions,
                      const std::optional<std::string>& directory = ".");
// The two halves of LoadWaterRegions for a loader that writes the file only once the
// rest of its zone has loaded: the regions read (the member's bytes returned) ...
std::vector<uint8_t> ExtractWaterRegions(TMPKFile& archive, TWaterRegionList& regions);
// ... and directory/sector.dat written (a failure logged).
void WriteSectorFile(std::span<const uint8_t> bytes, const std::string& directory = ".");

}  // namespace orv
